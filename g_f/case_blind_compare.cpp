// The case-blind comparison and its character routine.
#include "g_f/case_blind_compare.h"

#include "g_f/console.h"

namespace orvalt {

int ovt_case_blind_compare(Console& con, std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        say_line(con, "**ERROR in ovt$case_blind_compare");
        say_line(con, "**Strings are of unequal length");
        return -1;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char ca = a[i];
        char cb = b[i];
        upper_case_char(ca);
        upper_case_char(cb);
        if (ca != cb) return 1;
    }
    return 0;
}

void upper_case_char(char& c) {
    // Only the 26 ASCII letters: bytes of other character sets stay as they are.
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

}  // namespace orvalt

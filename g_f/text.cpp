// Small text routines and the fixed-field helpers.
#include "g_f/text.h"

#include <algorithm>
#include <cmath>

#include "g_f/chars.h"
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

int digit_count(std::int32_t v) {
    if (v == 0) return 1;
    // The value goes through single precision on purpose: above 2^24 a value
    // just below a power of ten is carried up to it and counts one more. The
    // logarithm itself is taken in double precision, so every magnitude that
    // single precision holds exactly gets its exact digit count.
    const float magnitude = std::fabs(static_cast<float>(v));
    const double lg = std::log10(static_cast<double>(magnitude));
    int count = static_cast<int>(lg) + 1;
    if (v < 0) ++count;
    return count;
}

int trimmed_length(std::string_view text) {
    std::size_t n = text.size();
    // Name fields are thousands of characters long, nearly all blanks: those
    // go eight at a time.
    constexpr std::string_view eight_blanks = "        ";
    while (n >= 8 && text.substr(n - 8, 8) == eight_blanks) n -= 8;
    while (n > 0 && (is_blank_or_tab(text[n - 1]) || text[n - 1] == '\0')) --n;
    return static_cast<int>(std::min<std::size_t>(n, 0x7fffffff));
}

std::string_view trimmed(std::string_view text) {
    return text.substr(0, static_cast<std::size_t>(trimmed_length(text)));
}

std::string field(std::string_view text, std::size_t length, char pad) {
    std::string out(text.substr(0, std::min(text.size(), length)));
    out.resize(length, pad);
    return out;
}

void set_field(std::string& dest, std::string_view text) {
    const std::size_t n = std::min(text.size(), dest.size());
    // copy first: text may view dest itself
    std::string tmp(text.substr(0, n));
    std::fill(dest.begin(), dest.end(), ' ');
    std::copy(tmp.begin(), tmp.end(), dest.begin());
}

std::string& double_backslashes(std::string& result, std::string_view source, std::int32_t n) {
    if (n <= 0) return result;
    const auto count = static_cast<std::size_t>(n);
    // Never beyond either field, whatever n says.
    const std::size_t limit = std::min(count, result.size());
    const std::size_t last = std::min(count, source.size());
    std::size_t j = 0;
    for (std::size_t i = 0; i < last; ++i) {
        const char c = source[i];
        if (j < limit) result[j] = c;
        if (c == '\\') {
            ++j;
            if (j < limit) result[j] = '\\';
        }
        ++j;
    }
    return result;
}

}  // namespace orvalt

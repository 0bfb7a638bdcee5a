// Fuzz target: the dialogue routines on arbitrary console input. The first
// byte chooses the answer field's length and the default flags; the rest is
// what the user types. ask_string, ask_integer and the name question of
// check_file each get the same typed text. A Stop is an expected end (end of
// input, an empty name); anything else that goes wrong is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "g_f/console.h"
#include "g_f/input_files.h"
#include "g_f/stop.h"

namespace {

// A name that no file has, so that check_file asks for another.
constexpr std::string_view missing_name = "orvalt_fuzz_no_such_file.xrdml";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = data[0];
    const std::string typed(reinterpret_cast<const char*>(data + 1), size - 1);
    const int default_flag = static_cast<int>(control & 1u);
    const std::size_t length = 1 + ((control >> 1) & 63u);

    {
        std::istringstream in(typed);
        std::ostringstream out;
        orvalt::Console con{in, out};
        std::string field(length, ' ');
        field.replace(0, std::min<std::size_t>(length, 5), std::string_view("abc d").substr(0, length));
        int n = -1;
        try {
            orvalt::ask_string(con, field, "a question", n, default_flag);
            if (field.size() != length || n < 0) __builtin_trap();
        } catch (const orvalt::Stop& s) {
            if (s.status != 1) __builtin_trap();
        }
    }
    {
        std::istringstream in(typed);
        std::ostringstream out;
        orvalt::Console con{in, out};
        std::int32_t value = 7;
        try {
            orvalt::ask_integer(con, value, "a number", default_flag);
        } catch (const orvalt::Stop& s) {
            if (s.status != 1) __builtin_trap();
        }
    }
    {
        std::istringstream in(typed);
        std::ostringstream out;
        orvalt::Console con{in, out};
        std::string name(200, ' ');
        name.replace(0, missing_name.size(), missing_name);
        std::string full(200, ' ');
        std::int32_t status = 0;
        try {
            orvalt::check_file(con, name, full, 1, 1, status);
            if (status != 1 || name.size() != 200 || full.size() != 200) __builtin_trap();
        } catch (const orvalt::Stop& s) {
            if (s.status != 1) __builtin_trap();
        }
    }
    return 0;
}

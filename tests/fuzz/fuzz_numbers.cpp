// Fuzz target: the number layouts on arbitrary doubles and integers. Every
// layout keeps its exact width, and what it shows parses back to the value
// rounded to the layout's significant digits.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

#include "g_f/number_parsing.h"
#include "g_f/numbers.h"

namespace {

// x rounded to s significant digits, as the nearest double; false when the
// rounding carries it past the largest double (then no reader takes it back).
bool rounded(double x, int s, double& v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, s - 1);
    return std::from_chars(buf, r.ptr, v).ec == std::errc();
}

std::string_view stripped(std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
}

void check_general(double x, int w, int s, int e, const std::string& text) {
    if (text.size() != static_cast<std::size_t>(w)) __builtin_trap();
    const std::string_view t = stripped(text);
    if (std::isnan(x)) {
        if (t != "NaN") __builtin_trap();
        return;
    }
    if (std::isinf(x)) {
        if (t != (x < 0 ? "-Infinity" : "Infinity")) __builtin_trap();
        return;
    }
    // Beyond +-99 the two-digit layout drops the "E" before a three-digit
    // exponent; the free-form reader wants it back.
    std::string item(t);
    const std::size_t sign = item.find_first_of("+-", 1);
    if (sign != std::string::npos && item[sign - 1] != 'E') item.insert(sign, "E");
    double expected = 0, back = 0;
    if (!rounded(x, s, expected)) return;
    if (!orvalt::parse_real(item, back)) __builtin_trap();
    if (back != expected) __builtin_trap();
    if (std::signbit(back) != std::signbit(x) && x != 0.0) __builtin_trap();
    // Fixed form stands e + 2 blanks before the field's end.
    if (t.find_first_of("Ee") == std::string_view::npos && t.find_first_of("+", 1) == std::string_view::npos &&
        t.find('-', 1) == std::string_view::npos) {
        if (text.substr(text.size() - static_cast<std::size_t>(e + 2)) !=
            std::string(static_cast<std::size_t>(e + 2), ' '))
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double x[3] = {0, 0, 0};
    std::memcpy(x, data, std::min(size, sizeof x));

    check_general(x[0], 20, 13, 2, orvalt::format_general(x[0], 20, 13));
    check_general(x[0], 14, 7, 2, orvalt::format_general(x[0], 14, 7));
    check_general(x[0], 24, 15, 3, orvalt::format_general(x[0], 24, 15, 3));
    if (orvalt::format_real13(x[0]) != orvalt::format_general(x[0], 20, 13)) __builtin_trap();
    if (orvalt::format_real7(x[0]) != orvalt::format_general(x[0], 14, 7)) __builtin_trap();

    const std::string line = orvalt::format_data_line(x[0], x[1], x[2]);
    if (line.size() != 24 * 3 + 2 || line[24] != ' ' || line[49] != ' ') __builtin_trap();
    for (int i = 0; i < 3; ++i)
        check_general(x[i], 24, 15, 3, line.substr(static_cast<std::size_t>(25 * i), 24));

    for (std::size_t off = 0; off + sizeof(std::int32_t) <= std::min(size, sizeof x);
         off += sizeof(std::int32_t)) {
        std::int32_t v = 0;
        std::memcpy(&v, data + off, sizeof v);
        const std::string t = orvalt::format_integer(v);
        if (t.size() != static_cast<std::size_t>(orvalt::digit_count(v))) __builtin_trap();
        if (t.find_first_not_of('*') == std::string::npos) continue;  // no room for it
        std::int32_t back = 0;
        if (!orvalt::parse_integer(stripped(t), back) || back != v) __builtin_trap();
    }
    return 0;
}

// Number parsing: every number the program reads, from the dialogue's answers
// or a measurement file, goes through here; all of it is independent of the
// locale. Numbers are printed in numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvalt {

// Parses a whole item as a real: optional sign, digits with an optional point
// (at least one digit), optional exponent E/D/e/d with optional sign and
// digits. Anything else, including NaN, Inf and out-of-range values, fails.
bool parse_real(std::string_view item, double& value);

// Parses a whole item as a signed 32-bit integer: optional sign and digits.
bool parse_integer(std::string_view item, std::int32_t& value);

// Free-form read of the first number of a text whose items are separated by
// blanks, tabs and commas (leading blanks and tabs skipped; a leading comma is
// an empty item). False when the text is blank or the first item is not a
// real.
bool read_first_real(std::string_view text, double& value);

// The text of an element that holds one number: blanks and tabs around it,
// nothing else. `more` when the number is followed by anything but blanks
// and tabs ("0,7093170", "0.70 93170", "2,5"); `not_a_number` when the
// first item is no number (or there is none).
enum class OneNumber { ok, not_a_number, more };
OneNumber read_one_real(std::string_view text, double& value);

// Free-form read of the first item of a text as an integer (leading blanks
// and tabs skipped; the item ends at a blank, tab, comma, slash or the end).
// False when there is no item or it is not a valid 32-bit integer.
bool read_first_integer(std::string_view text, std::int32_t& value);

// A plain count, the common item of an intensity list: a string of digits.
// Up to this many digits it is exact in a double and converts directly, with
// the result parse_real gives.
inline constexpr std::ptrdiff_t max_exact_digits = 15;

// Reads the run of digits that starts at p (ending at `end` at the latest) as
// one number and returns where the run ends. `value` is exact when the run
// holds at most max_exact_digits digits.
inline const char* read_digits(const char* p, const char* end, std::uint64_t& value) {
    std::uint64_t v = 0;
    for (; p < end; ++p) {
        const auto d = static_cast<unsigned>(*p) - static_cast<unsigned>('0');
        if (d > 9) break;
        v = v * 10 + d;
    }
    value = v;
    return p;
}

// parse_real with the shortcut for a plain count.
inline bool parse_count_or_real(std::string_view item, double& value) {
    std::uint64_t v = 0;
    const char* end = item.data() + item.size();
    if (!item.empty() && read_digits(item.data(), end, v) == end &&
        end - item.data() <= max_exact_digits) {
        value = static_cast<double>(v);
        return true;
    }
    return parse_real(item, value);
}

}  // namespace orvalt

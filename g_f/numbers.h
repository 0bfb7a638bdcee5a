// Number layouts and number parsing. Every number the program prints or reads
// goes through here; all of it is locale-independent.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace orvalt {

// Characters needed to print v in decimal, minus sign included. Works through
// single precision on purpose: exact up to 2^24; above it a value just below a
// power of ten can count one more (99999999 gives 9); never fewer.
int digit_count(std::int32_t v);

// Integer in minimal width: right-aligned in digit_count(v) characters.
std::string format_integer(std::int32_t v);

// Integer right-justified in a field of `width` characters (widened if needed).
std::string format_integer_width(std::int32_t v, int width);

// General notation of width w with s significant digits and an exponent of
// e digits (e = 2: "E+08", and beyond +-99 the sign and three digits without
// "E"; e = 3: always "E+008"). Fixed notation is followed by e + 2 blanks.
// The choice between fixed and exponent form is made on the value rounded to
// s significant digits.
std::string format_general(double x, int w, int s, int e = 2);
// The same layout written into out[0..w) (exactly w characters, no
// terminator, nothing allocated for the usual layouts); returns out + w.
char* format_general_to(char* out, double x, int w, int s, int e = 2);

// The console layouts: say_real (w 20, s 13) and say_two_reals (w 14, s 7).
std::string format_real13(double x);
std::string format_real7(double x);

// One data value of an ASCII data file: w 24, s 15, three exponent digits.
std::string format_data_value(double x);
// A data line: x, y and e in format_data_value, separated by one blank.
std::string format_data_line(double x, double y, double e);
// The data line written into out[0..data_line_length); returns the end.
inline constexpr std::size_t data_line_length = 3 * 24 + 2;
char* format_data_line_to(char* out, double x, double y, double e);

// Fixed notation with `decimals` digits after the point appended to out, a
// value that rounds to zero without its sign and one that is not finite as
// 0: the pictures' tick labels. Returns out.
std::string& append_fixed(std::string& out, double x, int decimals);

// The shortest text that reads back as x ("0" for a value that is not
// finite): figures in the scan table.
std::string format_shortest(double x);

// Plain decimal texts without a field width, for the pattern files: `decimals`
// digits after the point ("%.*f"); exponent form with `decimals` digits after
// the point and at least two exponent digits ("%.*E"); at most `significant`
// digits with trailing zeros dropped ("%.*g").
std::string format_fixed(double x, int decimals);
std::string format_exponent(double x, int decimals);
std::string format_significant(double x, int significant);

// Parses a whole item as a real: optional sign, digits with an optional point
// (at least one digit), optional exponent E/D/e/d with optional sign and
// digits. Anything else, including NaN, Inf and out-of-range values, fails.
bool parse_real(std::string_view item, double& value);

// Parses a whole item as a signed 32-bit integer: optional sign and digits.
bool parse_integer(std::string_view item, std::int32_t& value);

// Free-form read of the first number of a text whose items are separated by
// blanks, tabs and commas (leading blanks and tabs skipped; a leading comma is
// an empty item). False when the text
// is blank or the first item is not a real.
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

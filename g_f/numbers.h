// Number layouts: every number the program prints goes through here (the
// pictures' pixel coordinates aside, which plot/ writes itself); all of it is
// independent of the locale. Numbers are read in number_parsing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// x with its standard uncertainty as crystallographers write it, "x(su)":
// the su rounded to two significant digits when they read 10 to 19, else to
// one, in units of x's last digit, and x rounded to that digit
// (2974.75 +- 15.74 is "2975(16)", 18.1818 +- 0.6428 is "18.2(6)", 12345 +-
// 96 is "12300(100)"). An su of 0 (or not above 0) gives x in `decimals`
// digits after the point, trailing zeros dropped, and "(0)".
std::string format_with_su(double x, double su, int decimals);

}  // namespace orvalt

// Pixel coordinates written to a tenth of a pixel: the numbers of a picture,
// of which it holds hundreds of thousands.
#pragma once

#include <cmath>
#include <cstdint>

namespace orvalt::plot {

// x rounded to a tenth in fixed notation with one decimal ("-12.3", "0.0"),
// written at out (at most 13 characters); returns the end. |x| is taken as
// at most 1e9 and a value that is not finite as 0.
char* format_tenths_to(char* out, double x);

// The same rounding as a whole number of tenths (x 10), |x| taken as at most
// 1e8: the coordinates of the pictures' paths.
inline std::int32_t round_to_tenths(double x) {
    // Within +-1e8, so that the difference of two stays a 32-bit count (a
    // value that is not a number as 1e8), as the processor's minimum and
    // maximum take them.
    x = x < 1e8 ? x : 1e8;
    x = x > -1e8 ? x : -1e8;
    // Halves away from zero, as llround, without the library call.
    return static_cast<std::int32_t>(x * 10.0 + std::copysign(0.5, x));
}

// A number of tenths written at out (at most 11 characters); returns the end.
char* format_tenths_count_to(char* out, std::int32_t tenths);

}  // namespace orvalt::plot

// Pixel coordinates written to a tenth of a pixel: the numbers of a picture,
// of which it holds hundreds of thousands.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace orvalt::plot {

// x rounded to a tenth in fixed notation with one decimal ("-12.3", "0.0"),
// written at out (at most 13 characters); returns the end. |x| is taken as
// at most 1e9 and a value that is not finite as 0: the pictures' pixel
// coordinates, of which a picture holds hundreds of thousands.
char* format_tenths_to(char* out, double x);
// The same rounding as a whole number of tenths (x 10), |x| taken as at most
// 1e8, and a number of tenths written at out (at most 11 characters): the
// coordinates of the pictures' paths.
inline std::int32_t round_to_tenths(double x) {
    // Within +-1e8, so that the difference of two stays a 32-bit count (a
    // value that is not a number as 1e8), as the processor's minimum and
    // maximum take them.
    x = x < 1e8 ? x : 1e8;
    x = x > -1e8 ? x : -1e8;
    // Halves away from zero, as llround, without the library call.
    return static_cast<std::int32_t>(x * 10.0 + std::copysign(0.5, x));
}
char* format_tenths_count_long_to(char* out, std::int32_t tenths);
// The digits of 0 to 999, each as up to three characters and their count in
// the fourth place.
struct ShortCounts {
    char text[1000][4];
};
inline constexpr ShortCounts short_counts = [] {
    ShortCounts t{};
    for (int v = 0; v < 1000; ++v) {
        char* p = t.text[v];
        if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
        if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
        *p++ = static_cast<char>('0' + v % 10);
        t.text[v][3] = static_cast<char>(p - t.text[v]);
    }
    return t;
}();
// Most of a path's steps are a few tenths, up or down as the noise goes: they
// are written here from a table, without a branch on their sign or length,
// which would be guessed wrong half the time (five characters may be
// written, the end returned after those that count); the others out of line.
inline char* format_tenths_count_to(char* out, std::int32_t tenths) {
    if (tenths <= -1000 || tenths >= 1000) return format_tenths_count_long_to(out, tenths);
    const std::int32_t negative = tenths < 0;
    const char* digits = short_counts.text[negative ? -tenths : tenths];
    out[0] = '-';
    out += negative;
    std::memcpy(out, digits, 4);
    return out + digits[3];
}

}  // namespace orvalt::plot

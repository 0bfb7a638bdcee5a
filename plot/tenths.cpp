// Pixel coordinates in tenths.
#include "plot/tenths.h"

#include <charconv>

namespace orvalt::plot {

char* format_tenths_count_to(char* out, std::int32_t tenths) {
    return std::to_chars(out, out + 11, tenths).ptr;
}

char* format_tenths_to(char* out, double x) {
    if (!(x >= -1e9 && x <= 1e9)) x = x > 0.0 ? 1e9 : x < 0.0 ? -1e9 : 0.0;  // NaN too
    // Halves away from zero, as llround, without the library call.
    long long t = static_cast<long long>(x * 10.0 + (x < 0.0 ? -0.5 : 0.5));
    if (t < 0) {
        *out++ = '-';
        t = -t;
    }
    char digits[12];
    int n = 0;
    for (long long whole = t / 10; n == 0 || whole > 0; whole /= 10)
        digits[n++] = static_cast<char>('0' + whole % 10);
    while (n > 0) *out++ = digits[--n];
    *out++ = '.';
    *out++ = static_cast<char>('0' + t % 10);
    return out;
}

}  // namespace orvalt::plot

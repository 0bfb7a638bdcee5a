// Round-number ticks: steps of 1, 2 or 5 times a power of ten; labels with
// as many decimals as the step needs.
#include "plot/axes.h"

#include <algorithm>
#include <cmath>

#include "g_f/numbers.h"

namespace orvalt::plot {

double Axis::fraction(double v) const {
    if (log) {
        if (!(v > low)) return 0.0;
        return (std::log10(v) - std::log10(low)) / (std::log10(high) - std::log10(low));
    }
    return (v - low) / (high - low);
}

Axis linear_axis(double lo, double hi, int wanted) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0.0;
    if (lo > hi) std::swap(lo, hi);
    if (hi - lo <= std::abs(hi) * 1e-12) {
        const double half = hi == 0.0 ? 1.0 : std::abs(hi) * 0.5;
        lo -= half;
        hi += half;
    }
    const double rough = (hi - lo) / std::max(wanted, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= rough) break;
    }
    Axis axis;
    axis.low = std::floor(lo / step) * step;
    axis.high = std::ceil(hi / step) * step;
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    const auto count = static_cast<long>(std::llround((axis.high - axis.low) / step));
    for (long i = 0; i <= count; ++i) {
        // Each tick from its index, so no rounding error builds up.
        const double v = axis.low + static_cast<double>(i) * step;
        std::string label;
        axis.ticks.push_back({v, append_fixed(label, v, decimals)});
    }
    return axis;
}

Axis log_axis(double lo_positive, double hi) {
    Axis axis;
    axis.log = true;
    if (!(lo_positive > 0.0) || !std::isfinite(lo_positive)) lo_positive = 1.0;
    if (!(hi > lo_positive) || !std::isfinite(hi)) hi = lo_positive;
    int first = static_cast<int>(std::floor(std::log10(lo_positive) + 1e-12));
    int last = static_cast<int>(std::ceil(std::log10(hi) - 1e-12));
    if (last <= first) last = first + 1;
    axis.low = std::pow(10.0, first);
    axis.high = std::pow(10.0, last);
    const int every = last - first > 16 ? 5 : last - first > 8 ? 2 : 1;
    for (int k = first; k <= last; ++k) {
        if ((k - first) % every != 0) continue;
        const double v = std::pow(10.0, k);
        std::string label = k >= 0 && k <= 5 ? format_fixed(v, 0)
                            : k < 0 && k >= -3 ? format_fixed(v, -k)
                                                : "1e" + format_integer(k);
        axis.ticks.push_back({v, std::move(label)});
    }
    return axis;
}

}  // namespace orvalt::plot

// Round-number ticks inside the data's range: steps of 1, 2 or 5 times a
// power of ten; labels with as many decimals as the step needs.
#include "plot/axes.h"

#include <algorithm>
#include <cmath>

#include "g_f/numbers.h"

namespace orvalt::plot {

namespace {

// "10" and the exponent in superscript digits: one style for every power.
std::string power_label(int k) {
    static constexpr const char* digits[] = {"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷", "⁸", "⁹"};
    std::string label = "10";
    if (k < 0) label += "⁻";
    const std::string n = format_integer(k < 0 ? -k : k);
    for (const char c : n) label += digits[c - '0'];
    return label;
}

// Decimals that a plain label of a tick at steps of `step` needs.
int decimals_of(double step) {
    return std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
}

}  // namespace

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
    axis.low = lo;
    axis.high = hi;
    const int decimals = decimals_of(step);
    // Ticks inside the range, a hair's rounding of its ends allowed.
    const double slack = (hi - lo) * 1e-9;
    const auto first = static_cast<long>(std::ceil((lo - slack) / step));
    const auto last = static_cast<long>(std::floor((hi + slack) / step));
    for (long i = first; i <= last; ++i) {
        // Each tick from its index, so no rounding error builds up.
        const double v = static_cast<double>(i) * step;
        std::string label;
        axis.ticks.push_back({v, append_fixed(label, v, decimals)});
    }
    return axis;
}

Axis log_axis(double lo_positive, double hi) {
    Axis axis;
    axis.log = true;
    if (!(lo_positive > 0.0) || !std::isfinite(lo_positive)) lo_positive = 1.0;
    if (!std::isfinite(hi) || !(hi > lo_positive)) hi = lo_positive;
    if (hi <= lo_positive * (1.0 + 1e-9)) {
        // One value: a decade around it.
        lo_positive /= std::sqrt(10.0);
        hi = lo_positive * 10.0;
    }
    axis.low = lo_positive;
    axis.high = hi;
    const int first = static_cast<int>(std::ceil(std::log10(lo_positive) - 1e-9));
    const int last = static_cast<int>(std::floor(std::log10(hi) + 1e-9));
    if (last - first >= 1) {
        const int every = last - first > 16 ? 5 : last - first > 8 ? 2 : 1;
        for (int k = first; k <= last; k += every)
            axis.ticks.push_back({std::pow(10.0, k), power_label(k)});
        return axis;
    }
    // Less than two decades' powers inside: 1, 2 and 5 times them.
    for (int k = first - 1; k <= last; ++k) {
        for (const double m : {1.0, 2.0, 5.0}) {
            const double v = m * std::pow(10.0, k);
            if (v < lo_positive * (1.0 - 1e-9) || v > hi * (1.0 + 1e-9)) continue;
            std::string label;
            axis.ticks.push_back({v, append_fixed(label, v, std::max(0, -k))});
        }
    }
    // Narrower still: plain ticks as a linear axis would put them.
    if (axis.ticks.size() < 2) axis.ticks = linear_axis(lo_positive, hi, 4).ticks;
    return axis;
}

}  // namespace orvalt::plot

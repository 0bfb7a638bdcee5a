// Minimum and maximum per run of points: the reduction that keeps peaks.
#include "plot/reduce.h"

#include <algorithm>
#include <cmath>

namespace orvalt::plot {

namespace {

void take(Column& c, bool fresh, double x, double y, double low, double high) {
    if (fresh) {
        c = {x, x, y, y, y, y, low, high};
        return;
    }
    c.x_last = x;
    c.y_last = y;
    c.y_min = std::min(c.y_min, y);
    c.y_max = std::max(c.y_max, y);
    c.band_low = std::min(c.band_low, low);
    c.band_high = std::max(c.band_high, high);
}

void join(Column& c, const Column& next) {
    c.x_last = next.x_last;
    c.y_last = next.y_last;
    c.y_min = std::min(c.y_min, next.y_min);
    c.y_max = std::max(c.y_max, next.y_max);
    c.band_low = std::min(c.band_low, next.band_low);
    c.band_high = std::max(c.band_high, next.band_high);
}

}  // namespace

std::vector<Column> reduce(std::span<const double> x, std::span<const double> y,
                           std::span<const double> e, std::int32_t columns) {
    const std::size_t n = std::min(x.size(), y.size());
    const std::size_t per_run =
        std::max<std::size_t>(1, (n + static_cast<std::size_t>(std::max(columns, 1)) - 1) /
                                     static_cast<std::size_t>(std::max(columns, 1)));
    std::vector<Column> out;
    out.reserve(n / per_run + 1);
    std::size_t in_run = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        const double err = i < e.size() && std::isfinite(e[i]) ? std::abs(e[i]) : 0.0;
        if (in_run == 0) out.emplace_back();
        take(out.back(), in_run == 0, x[i], y[i], y[i] - err, y[i] + err);
        if (++in_run == per_run) in_run = 0;
    }
    return out;
}

std::vector<Column> merge_columns(std::span<const Column> runs, double x_low, double x_high,
                                  std::int32_t width) {
    std::vector<Column> out;
    const double span = x_high - x_low;
    auto slot = [&](double x) {
        if (!(span > 0.0)) return 0.0;
        return std::floor((x - x_low) / span * width);
    };
    double current = 0.0;
    for (const Column& c : runs) {
        const double s = slot(c.x_first);
        if (!out.empty() && s == current) {
            join(out.back(), c);
        } else {
            out.push_back(c);
            current = s;
        }
    }
    return out;
}

}  // namespace orvalt::plot

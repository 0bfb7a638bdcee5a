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

struct Extent {
    double lo = 0.0, hi = 0.0;
    bool finite = true;  // no value is infinite or not a number
};

Extent extent(std::span<const double> v) {
    double lo[4] = {v[0], v[0], v[0], v[0]}, hi[4] = {v[0], v[0], v[0], v[0]};
    bool nan[4] = {false, false, false, false};
    std::size_t i = 0;
    for (; i + 4 <= v.size(); i += 4) {
        for (std::size_t k = 0; k < 4; ++k) {
            const double a = v[i + k];
            lo[k] = a < lo[k] ? a : lo[k];
            hi[k] = a > hi[k] ? a : hi[k];
            nan[k] = nan[k] || a != a;
        }
    }
    for (; i < v.size(); ++i) {
        lo[0] = v[i] < lo[0] ? v[i] : lo[0];
        hi[0] = v[i] > hi[0] ? v[i] : hi[0];
        nan[0] = nan[0] || v[i] != v[i];
    }
    Extent out{std::min({lo[0], lo[1], lo[2], lo[3]}), std::max({hi[0], hi[1], hi[2], hi[3]})};
    out.finite = !(nan[0] || nan[1] || nan[2] || nan[3]) && std::isfinite(out.lo) &&
                 std::isfinite(out.hi);
    return out;
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
    const auto wanted = static_cast<std::size_t>(std::max(columns, 1));
    const std::size_t per_run = std::max<std::size_t>(1, (n + wanted - 1) / wanted);
    const bool band = !e.empty();
    std::vector<Column> out;
    out.reserve(n / per_run + 1);
    for (std::size_t start = 0; start < n; start += per_run) {
        const std::size_t end = std::min(n, start + per_run);
        // The usual run, every value finite, in plain loops of independent
        // lanes. Only its first and last x are kept; a NaN passes through
        // the comparisons, so it is looked for on its own.
        const Extent ys = extent(y.subspan(start, end - start));
        double band_low = ys.lo, band_high = ys.hi;
        bool finite = ys.finite && std::isfinite(x[start]) && std::isfinite(x[end - 1]);
        if (band && end <= e.size()) {
            band_low = y[start] - std::abs(e[start]);
            band_high = y[start] + std::abs(e[start]);
            for (std::size_t i = start; i < end; ++i) {
                const double err = std::abs(e[i]);
                band_low = std::min(band_low, y[i] - err);
                band_high = std::max(band_high, y[i] + err);
            }
            finite = finite && std::isfinite(band_low) && std::isfinite(band_high);
        }
        if (finite) {
            out.push_back(
                {x[start], x[end - 1], y[start], y[end - 1], ys.lo, ys.hi, band_low, band_high});
            continue;
        }
        // A run with values that are not finite: those points are left out.
        bool fresh = true;
        Column c;
        for (std::size_t i = start; i < end; ++i) {
            if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
            const double err = i < e.size() && std::isfinite(e[i]) ? std::abs(e[i]) : 0.0;
            take(c, fresh, x[i], y[i], y[i] - err, y[i] + err);
            fresh = false;
        }
        if (!fresh) out.push_back(c);
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

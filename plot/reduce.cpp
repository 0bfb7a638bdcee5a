// Minimum and maximum per run of points: the reduction that keeps peaks.
#include "plot/reduce.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "g_f/vector_extent.h"

namespace orvalt::plot {

namespace {

// A run of full-precision values: its bounds taken, then kept as a column.
struct Run {
    double x_first, x_last, y_first, y_last, y_min, y_max, band_low, band_high;
};

void take(Run& r, bool fresh, double x, double y, double low, double high) {
    if (fresh) {
        r = {x, x, y, y, y, y, low, high};
        return;
    }
    r.x_last = x;
    r.y_last = y;
    r.y_min = std::min(r.y_min, y);
    r.y_max = std::max(r.y_max, y);
    r.band_low = std::min(r.band_low, low);
    r.band_high = std::max(r.band_high, high);
}

// The bounds are the caller's own local copy: they are updated for every
// run, next to stores the compiler could not otherwise tell them apart from.
inline void keep(Reduced& out, Bounds& b, const Run& r, bool with_band) {
    const bool forward = r.x_first <= r.x_last;
    const double x_low = forward ? r.x_first : r.x_last, x_high = forward ? r.x_last : r.x_first;
    b.x_low = x_low < b.x_low ? x_low : b.x_low;
    b.x_high = x_high > b.x_high ? x_high : b.x_high;
    b.y_low = r.band_low < b.y_low ? r.band_low : b.y_low;
    b.y_high = r.band_high > b.y_high ? r.band_high : b.y_high;
    if (r.y_min > 0.0 && r.y_min < b.y_positive) b.y_positive = r.y_min;
    if (r.band_low > 0.0 && r.band_low < b.y_positive) b.y_positive = r.band_low;
    const auto f = [](double v) { return static_cast<float>(v); };
    const bool rising = r.y_first <= r.y_last;
    out.columns.push_back({f(r.x_first), f(r.x_last), f(rising ? r.y_min : r.y_max),
                           f(rising ? r.y_max : r.y_min)});
    if (with_band) out.band.push_back({f(r.band_low), f(r.band_high)});
}

}  // namespace

Reduced reduce(std::span<const double> x, std::span<const double> y, std::span<const double> e,
               std::int32_t columns) {
    const std::size_t n = std::min(x.size(), y.size());
    const auto wanted = static_cast<std::size_t>(std::max(columns, 1));
    const std::size_t per_run = std::max<std::size_t>(1, (n + wanted - 1) / wanted);
    const bool band = !e.empty();
    Reduced out;
    const std::size_t runs = (n + per_run - 1) / per_run;
    out.columns.reserve(runs);
    if (band) out.band.reserve(runs);
    // The runs' extremes found first, in one call: in vector lanes.
    const auto extents = std::make_unique_for_overwrite<ValueExtent[]>(runs);
    extents_of_runs(y.data(), n, per_run, extents.get());
    Bounds bounds;
    for (std::size_t start = 0; start < n; start += per_run) {
        const std::size_t end = std::min(n, start + per_run);
        // The usual run, every value finite. Only its first and last x are kept.
        const ValueExtent ys = extents[start / per_run];
        double band_low = ys.low, band_high = ys.high;
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
            keep(out, bounds,
                 {x[start], x[end - 1], y[start], y[end - 1], ys.low, ys.high, band_low, band_high},
                 band);
            continue;
        }
        // A run with values that are not finite: those points are left out.
        bool fresh = true;
        Run r{};
        for (std::size_t i = start; i < end; ++i) {
            if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
            const double err = i < e.size() && std::isfinite(e[i]) ? std::abs(e[i]) : 0.0;
            take(r, fresh, x[i], y[i], y[i] - err, y[i] + err);
            fresh = false;
        }
        if (!fresh) keep(out, bounds, r, band);
    }
    out.bounds = bounds;
    return out;
}

}  // namespace orvalt::plot

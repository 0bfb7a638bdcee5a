// A spectrum cut down to what a picture can show: the points taken in runs
// of consecutive points, each run kept as its x extent and the lowest and
// highest value (and error band) in it. A run spans at most one pixel
// column once drawn, so every peak and dip stays visible however many points
// the spectrum holds, while the picture grows with its width only.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace orvalt::plot {

// Kept in single precision: a picture holds hundreds of thousands of them,
// and each is only ever turned into a pixel position.
// The run's lowest and highest value come in the order a line through it
// meets them: the lowest first where the run ends higher than it began.
struct Column {
    float x_first = 0.0f, x_last = 0.0f;
    float y_from = 0.0f, y_to = 0.0f;
    float low() const { return std::min(y_from, y_to); }
    float high() const { return std::max(y_from, y_to); }
};
// The error band over a run: least y - e, greatest y + e.
struct BandColumn {
    float low = 0.0f, high = 0.0f;
};

// What a reduced spectrum covers, in full precision, for the axes: x, the
// band (or y), and the least y or band value above 0 (infinite when none).
struct Bounds {
    double x_low = HUGE_VAL, x_high = -HUGE_VAL, y_low = HUGE_VAL, y_high = -HUGE_VAL;
    double y_positive = HUGE_VAL;
    double y_least = HUGE_VAL;  // the least y itself, the band aside: zeros show here
};

// A run's lowest and highest value alone, in the order of a Column.
struct Extremes {
    float y_from = 0.0f, y_to = 0.0f;
};

// Runs over evenly spaced points, point i at x0 + i * dx, run k over the
// points from k * per_run on: their x extent is worked out, not stored.
struct EvenRuns {
    double x0 = 0.0, dx = 0.0;
    std::size_t per_run = 1, points = 0;
    double x_of(std::size_t point) const { return x0 + dx * static_cast<double>(point); }
    float x_first(std::size_t run) const { return static_cast<float>(x_of(run * per_run)); }
    float x_last(std::size_t run) const {
        return static_cast<float>(x_of(std::min(points, (run + 1) * per_run) - 1));
    }
};

// The runs kept whole in `columns`, or, where the points lie evenly and
// every run holds a finite point, as their extremes with x in `even`: half
// the memory, which a picture of many long scans would otherwise spend
// mostly in the system's page faults.
struct Reduced {
    std::vector<Column> columns;
    std::vector<Extremes> extremes;  // when `columns` is empty
    EvenRuns even;
    std::vector<BandColumn> band;  // one per run, or none
    Bounds bounds;
    std::size_t runs() const { return columns.empty() ? extremes.size() : columns.size(); }
    Column column(std::size_t k) const {
        if (!columns.empty()) return columns[k];
        return {even.x_first(k), even.x_last(k), extremes[k].y_from, extremes[k].y_to};
    }
};

// Runs of ceil(n / columns) points (columns >= 1), with their error band
// when e is not empty; where the points do not lie evenly (x made into Q or
// d), runs of as many points as lie within a `columns`th of x's range, so
// that no run is wider than one column however the points crowd. Points
// whose x or y is not finite are left out. x and y must be of one length.
Reduced reduce(std::span<const double> x, std::span<const double> y, std::span<const double> e,
               std::int32_t columns);

// Points that the caller spaced evenly, point i at first + i * step (i as a
// double), as a scan's angles are: the same, with no x to read or check.
struct EvenX {
    double first = 0.0, step = 0.0;
};
Reduced reduce(EvenX x, std::span<const double> y, std::span<const double> e,
               std::int32_t columns);

namespace detail {
// at_run(i) gives run i but for its x_last, which last_x(i) gives only for
// the runs that end a column.
template <class At, class LastX, class Emit>
void merge_columns(const Reduced& runs, std::size_t count, At at_run, LastX last_x, double x_low,
                   double x_high, std::int32_t width, Emit& emit) {
    if (count == 0) return;
    const bool band = runs.band.size() == count;
    // Without a band of its own a column's band is its extent, worked out
    // when it is handed over.
    const auto band_of = [&](std::size_t i) { return band ? runs.band[i] : BandColumn{}; };
    const double span = x_high - x_low;
    // All in one slot when the range is empty.
    const double scale = span > 0.0 ? width / span : 0.0;
    // Whole slots counted from x_low (x below it, as an axis's lowest tick
    // allows by rounding only, shares slot 0); far outside, or not a number
    // in an overflowing range, one slot before or after the grid.
    const auto slot = [&](double x) {
        const double v = (x - x_low) * scale;
        if (v > -1.0 && v < 1e9) return static_cast<std::int32_t>(v);
        return v >= 1e9 ? std::int32_t{1000000000} : std::int32_t{-1};
    };
    // The column being merged: its extent, and the ends its order is read from.
    Column first = at_run(0), last = first;
    std::size_t last_run = 0;
    float low = first.low(), high = first.high();
    BandColumn current_band = band_of(0);
    const auto merged = [&] {
        const bool rising = first.y_from <= last.y_to;
        return Column{first.x_first, last_x(last_run), rising ? low : high, rising ? high : low};
    };
    const auto band_or_extent = [&] { return band ? current_band : BandColumn{low, high}; };
    std::int32_t at = slot(first.x_first);
    for (std::size_t i = 1; i < count; ++i) {
        const Column c = at_run(i);
        const std::int32_t s = slot(c.x_first);
        if (s != at) {
            emit(merged(), band_or_extent());
            first = last = c;
            last_run = i;
            low = c.low();
            high = c.high();
            current_band = band_of(i);
            at = s;
            continue;
        }
        last = c;
        last_run = i;
        low = std::min(low, c.low());
        high = std::max(high, c.high());
        if (band) {
            current_band.low = std::min(current_band.low, runs.band[i].low);
            current_band.high = std::max(current_band.high, runs.band[i].high);
        }
    }
    emit(merged(), band_or_extent());
}
}  // namespace detail

// The runs merged further for drawing on an axis wider than each of them:
// consecutive runs whose x_first falls into the same slot of a grid of
// `width` slots over [x_low, x_high] become one column, handed to
// emit(const Column&, const BandColumn&) in turn (the band is the column's
// y extent when the spectrum has none). Nothing is stored.
template <class Emit>
void for_each_merged(const Reduced& runs, double x_low, double x_high, std::int32_t width,
                     Emit emit) {
    if (!runs.columns.empty()) {
        const Column* cols = runs.columns.data();
        detail::merge_columns(
            runs, runs.columns.size(), [cols](std::size_t i) { return cols[i]; },
            [cols](std::size_t i) { return cols[i].x_last; }, x_low, x_high, width, emit);
        return;
    }
    const Extremes* values = runs.extremes.data();
    const EvenRuns even = runs.even;
    detail::merge_columns(
        runs, runs.extremes.size(),
        [values, even](std::size_t i) {
            return Column{even.x_first(i), 0.0f, values[i].y_from, values[i].y_to};
        },
        [even](std::size_t i) { return even.x_last(i); }, x_low, x_high, width, emit);
}

}  // namespace orvalt::plot

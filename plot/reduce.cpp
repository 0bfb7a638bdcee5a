// Minimum and maximum per run of points: the reduction that keeps peaks.
#include "plot/reduce.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace orvalt::plot {

namespace {

// A run of full-precision values: its bounds taken, then kept as a column.
struct Run {
    double x_first, x_last, y_first, y_last, y_min, y_max, band_low, band_high;
};

// The lowest and highest of a run of values, and whether every one of them
// is finite: v - v is 0 for a finite value and not a number for the others.
// A run with a value that is not finite has extremes of no use; its caller
// takes it value by value.
struct ValueExtent {
    double low, high;
    bool finite;
};

ValueExtent extent_of(const double* v, std::size_t n) {
    double low = v[0], high = v[0], zero = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        low = v[i] < low ? v[i] : low;
        high = v[i] > high ? v[i] : high;
        zero += v[i] - v[i];
    }
    return {low, high, zero == 0.0};
}

// A spectrum's runs: where each starts, and the extents of their values.
// Runs of per_run points each, or, where `starts` is given, run k from
// starts[k] to starts[k + 1].
struct Runs {
    std::span<const double> x, y, e;
    std::size_t n, per_run, count;
    const ValueExtent* extents;
    const std::size_t* starts = nullptr;
    std::size_t begin(std::size_t run) const {
        return starts != nullptr ? starts[run] : run * per_run;
    }
    std::size_t end(std::size_t run) const {
        return starts != nullptr ? starts[run + 1] : std::min(n, run * per_run + per_run);
    }
};

// The usual run, every value finite, taken from its extents, and its errors
// when the band is asked for; its x is not read. False for a run with a
// value that is not finite.
template <bool Band>
inline bool finite_values(const Runs& in, std::size_t run, Run& r) {
    const std::size_t start = in.begin(run), end = in.end(run);
    const ValueExtent ys = in.extents[run];
    r = {0.0, 0.0, in.y[start], in.y[end - 1], ys.low, ys.high, ys.low, ys.high};
    bool finite = ys.finite;
    if constexpr (Band) {
        if (end <= in.e.size()) {
            for (std::size_t i = start; i < end; ++i) {
                const double err = std::abs(in.e[i]);
                r.band_low = std::min(r.band_low, in.y[i] - err);
                r.band_high = std::max(r.band_high, in.y[i] + err);
            }
            finite = finite && std::isfinite(r.band_low) && std::isfinite(r.band_high);
        }
    }
    return finite;
}

// The same with the run's first and last x, which must be finite too.
template <bool Band>
inline bool finite_run(const Runs& in, std::size_t run, Run& r) {
    const bool finite = finite_values<Band>(in, run, r);
    const std::size_t start = in.begin(run), end = in.end(run);
    r.x_first = in.x[start];
    r.x_last = in.x[end - 1];
    return finite && std::isfinite(r.x_first) && std::isfinite(r.x_last);
}

// A run with values that are not finite: those points are left out. False
// when none is left. Out of line, so that the usual runs' loop makes no call.
[[gnu::noinline]] bool run_point_by_point(const Runs& in, std::size_t run, Run& r) {
    const std::size_t start = in.begin(run), end = in.end(run);
    bool fresh = true;
    for (std::size_t i = start; i < end; ++i) {
        const double x = in.x[i], y = in.y[i];
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        const double err = i < in.e.size() && std::isfinite(in.e[i]) ? std::abs(in.e[i]) : 0.0;
        const double low = y - err, high = y + err;
        if (fresh) {
            r = {x, x, y, y, y, y, low, high};
            fresh = false;
            continue;
        }
        r.x_last = x;
        r.y_last = y;
        r.y_min = std::min(r.y_min, y);
        r.y_max = std::max(r.y_max, y);
        r.band_low = std::min(r.band_low, low);
        r.band_high = std::max(r.band_high, high);
    }
    return !fresh;
}

// The bounds are the caller's own local copy, and the columns go to places
// made beforehand: with no call in the loop, the bounds stay in registers
// rather than going through memory for every run.
inline Extremes keep_values(BandColumn* band, Bounds& b, const Run& r) {
    b.y_low = r.band_low < b.y_low ? r.band_low : b.y_low;
    b.y_high = r.band_high > b.y_high ? r.band_high : b.y_high;
    if (r.y_min > 0.0 && r.y_min < b.y_positive) b.y_positive = r.y_min;
    b.y_least = r.y_min < b.y_least ? r.y_min : b.y_least;
    if (r.band_low > 0.0 && r.band_low < b.y_positive) b.y_positive = r.band_low;
    const auto f = [](double v) { return static_cast<float>(v); };
    if (band != nullptr) *band = {f(r.band_low), f(r.band_high)};
    const bool rising = r.y_first <= r.y_last;
    return {f(rising ? r.y_min : r.y_max), f(rising ? r.y_max : r.y_min)};
}

inline Extremes keep(BandColumn* band, Bounds& b, const Run& r) {
    const bool forward = r.x_first <= r.x_last;
    const double x_low = forward ? r.x_first : r.x_last, x_high = forward ? r.x_last : r.x_first;
    b.x_low = x_low < b.x_low ? x_low : b.x_low;
    b.x_high = x_high > b.x_high ? x_high : b.x_high;
    return keep_values(band, b, r);
}

// The spacing of the points, if it is even, as read off the ends.
EvenRuns spacing(const Runs& in) {
    EvenRuns even;
    even.x0 = in.x[0];
    even.dx = in.n > 1 ? (in.x[in.n - 1] - in.x[0]) / static_cast<double>(in.n - 1) : 0.0;
    even.per_run = in.per_run;
    even.points = in.n;
    return even;
}

// True when the run's x extent is the one the spacing gives, as stored.
inline bool on_spacing(const EvenRuns& even, std::size_t run, const Run& r) {
    return even.x_first(run) == static_cast<float>(r.x_first) &&
           even.x_last(run) == static_cast<float>(r.x_last);
}

template <bool Band>
void keep_runs(const Runs& in, Reduced& out) {
    if (in.count == 0) return;
    if (Band) out.band.resize(in.count);
    BandColumn* const band = Band ? out.band.data() : nullptr;
    Bounds bounds;
    // The usual runs first, in a loop that makes no call, so that the bounds
    // stay in registers: while every value is finite and the points lie
    // evenly, only the extremes are kept.
    const EvenRuns even = spacing(in);
    out.extremes.resize(in.count);
    Extremes* const extremes = out.extremes.data();
    std::size_t run = 0;
    if (in.starts == nullptr) {
        Bounds b = bounds;
        for (Run r; run < in.count && finite_run<Band>(in, run, r) && on_spacing(even, run, r); ++run)
            extremes[run] = keep(Band ? band + run : nullptr, b, r);
        bounds = b;
    }
    if (run == in.count) {
        out.even = even;
        out.bounds = bounds;
        return;
    }
    // Otherwise every run is kept whole, those so far with the x they began at.
    out.columns.resize(in.count);
    Column* const columns = out.columns.data();
    for (std::size_t k = 0; k < run; ++k) {
        const std::size_t start = in.begin(k), end = in.end(k);
        columns[k] = {static_cast<float>(in.x[start]), static_cast<float>(in.x[end - 1]),
                      extremes[k].y_from, extremes[k].y_to};
    }
    out.extremes = {};
    std::size_t kept = run;
    for (; run < in.count; ++run) {
        Run r;
        if (!finite_run<Band>(in, run, r) && !run_point_by_point(in, run, r)) continue;
        const Extremes e = keep(Band ? band + kept : nullptr, bounds, r);
        columns[kept] = {static_cast<float>(r.x_first), static_cast<float>(r.x_last), e.y_from,
                         e.y_to};
        ++kept;
    }
    // Runs with no finite point leave their places unused.
    out.columns.resize(kept);
    if (Band) out.band.resize(kept);
    out.bounds = bounds;
}

// Runs over points spaced as `even` says, all of whose values are finite:
// only their values are read, the x bounds are the ends'. False, with
// nothing kept, when a value or an end is not finite.
template <bool Band>
bool keep_even_runs(const Runs& in, const EvenRuns& even, Reduced& out) {
    const double first = even.x_of(0), last = even.x_of(in.n - 1);
    if (!std::isfinite(first) || !std::isfinite(last)) return false;
    if (Band) out.band.resize(in.count);
    BandColumn* const band = Band ? out.band.data() : nullptr;
    out.extremes.resize(in.count);
    Extremes* const extremes = out.extremes.data();
    Bounds b;
    b.x_low = std::min(first, last);
    b.x_high = std::max(first, last);
    for (std::size_t run = 0; run < in.count; ++run) {
        Run r;
        if (!finite_values<Band>(in, run, r)) {
            out = {};
            return false;
        }
        extremes[run] = keep_values(Band ? band + run : nullptr, b, r);
    }
    out.even = even;
    out.bounds = b;
    return true;
}

// How a spectrum of n points is cut into runs, and their extremes.
struct Cut {
    std::size_t per_run, count;
    std::unique_ptr<ValueExtent[]> extents;
    std::vector<std::size_t> starts;  // for runs of their own lengths, with n at the end
};

Cut cut(std::span<const double> y, std::size_t n, std::int32_t columns) {
    const auto wanted = static_cast<std::size_t>(std::max(columns, 1));
    const std::size_t per_run = std::max<std::size_t>(1, (n + wanted - 1) / wanted);
    const std::size_t count = (n + per_run - 1) / per_run;
    // The runs' extremes found first, all in one loop.
    auto extents = std::make_unique_for_overwrite<ValueExtent[]>(count);
    for (std::size_t run = 0, start = 0; run < count; ++run, start += per_run)
        extents[run] = extent_of(y.data() + start, std::min(per_run, n - start));
    return {per_run, count, std::move(extents), {}};
}

// Where runs of per_run points would be wider than a `columns`th of x's
// range (points crowded at one end, as Q and d crowd them), runs of the
// points within that width instead. Points that are not finite join the run
// they fall in.
void cut_by_width(std::span<const double> x, std::span<const double> y, std::size_t n,
                  std::int32_t columns, Cut& c) {
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (std::size_t i = 0; i < n; ++i)
        if (std::isfinite(x[i])) lo = std::min(lo, x[i]), hi = std::max(hi, x[i]);
    if (!(hi > lo)) return;
    const double width = (hi - lo) / std::max(columns, 1) * (1.0 + 1e-9);
    const auto wider = [&](std::size_t start, std::size_t end) {
        double a = HUGE_VAL, b = -HUGE_VAL;
        for (std::size_t i = start; i < end; ++i)
            if (std::isfinite(x[i])) a = std::min(a, x[i]), b = std::max(b, x[i]);
        return b - a > width;
    };
    bool even = true;
    for (std::size_t start = 0; start < n && even; start += c.per_run)
        even = !wider(start, std::min(n, start + c.per_run));
    if (even) return;
    std::vector<std::size_t> starts{0};
    double a = HUGE_VAL, b = -HUGE_VAL;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(x[i])) continue;
        const double na = std::min(a, x[i]), nb = std::max(b, x[i]);
        if (nb - na > width && i > starts.back()) {
            starts.push_back(i);
            a = b = x[i];
        } else {
            a = na;
            b = nb;
        }
    }
    starts.push_back(n);
    c.count = starts.size() - 1;
    c.extents = std::make_unique_for_overwrite<ValueExtent[]>(c.count);
    for (std::size_t run = 0; run < c.count; ++run)
        c.extents[run] = extent_of(y.data() + starts[run], starts[run + 1] - starts[run]);
    c.starts = std::move(starts);
}

}  // namespace

Reduced reduce(std::span<const double> x, std::span<const double> y, std::span<const double> e,
               std::int32_t columns) {
    const std::size_t n = std::min(x.size(), y.size());
    Cut c = cut(y, n, columns);
    cut_by_width(x, y, n, columns, c);
    const Runs in{x, y, e, n, c.per_run, c.count, c.extents.get(),
                  c.starts.empty() ? nullptr : c.starts.data()};
    Reduced out;
    if (e.empty()) keep_runs<false>(in, out);
    else keep_runs<true>(in, out);
    return out;
}

Reduced reduce(EvenX x, std::span<const double> y, std::span<const double> e,
               std::int32_t columns) {
    const std::size_t n = y.size();
    Reduced out;
    if (n == 0) return out;
    const Cut c = cut(y, n, columns);
    const Runs in{{}, y, e, n, c.per_run, c.count, c.extents.get()};
    const EvenRuns even{x.first, x.step, c.per_run, n};
    if (e.empty() ? keep_even_runs<false>(in, even, out) : keep_even_runs<true>(in, even, out))
        return out;
    // A value that is not finite: the points' x written out, and the runs
    // taken as any spectrum's.
    std::vector<double> xs(n);
    for (std::size_t i = 0; i < n; ++i) xs[i] = even.x_of(i);
    return reduce(xs, y, e, columns);
}

}  // namespace orvalt::plot

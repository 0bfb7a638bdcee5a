// A spectrum cut down to what a picture can show: the points taken in runs
// of consecutive points, each run kept as its x extent and the lowest and
// highest value (and error band) in it. A run spans at most one pixel
// column once drawn, so every peak and dip stays visible however many points
// the spectrum holds, while the picture grows with its width only.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orvalt::plot {

struct Column {
    double x_first = 0.0, x_last = 0.0;
    double y_first = 0.0, y_last = 0.0;  // the run's first and last value
    double y_min = 0.0, y_max = 0.0;
    double band_low = 0.0, band_high = 0.0;  // least y - e, greatest y + e
};

// Runs of ceil(n / columns) points (columns >= 1); e may be empty (no band,
// band_low and band_high then equal to y_min and y_max). Points whose x or y
// is not finite are left out. x and y must be of one length.
std::vector<Column> reduce(std::span<const double> x, std::span<const double> y,
                           std::span<const double> e, std::int32_t columns);

// Runs of the same kind merged further: consecutive runs whose x_first falls
// into the same slot of a grid of `width` slots over [x_low, x_high] become
// one. For drawing reduced spectra on an axis wider than each of them.
std::vector<Column> merge_columns(std::span<const Column> runs, double x_low, double x_high,
                                  std::int32_t width);

}  // namespace orvalt::plot

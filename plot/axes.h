// Axis ranges and ticks at round numbers, linear or logarithmic.
#pragma once

#include <string>
#include <vector>

namespace orvalt::plot {

struct Tick {
    double value = 0.0;
    std::string label;
};

struct Axis {
    double low = 0.0, high = 1.0;  // the values at the two ends
    bool log = false;              // then low and high are powers of ten
    std::vector<Tick> ticks;
    // Where v lies from low (0) to high (1); on a log axis a value at or
    // below low (zero and negative counts among them) lies at 0.
    double fraction(double v) const;
};

// A linear axis over [lo, hi] widened to the nearest ticks, at steps of 1, 2
// or 5 times a power of ten chosen for about `wanted` ticks. lo == hi gets a
// unit range around it.
Axis linear_axis(double lo, double hi, int wanted);

// A logarithmic axis from the power of ten at or below the least positive
// value `lo_positive` to the one at or above `hi`, with a tick at each power
// (every second or fifth one when there are many). Without positive values
// (lo_positive not above 0) it runs from 1 to 10.
Axis log_axis(double lo_positive, double hi);

}  // namespace orvalt::plot

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
    bool log = false;              // then low and high are above 0
    std::vector<Tick> ticks;
    // Where v lies from low (0) to high (1); on a log axis a value at or
    // below low (zero and negative counts among them) lies at 0.
    double fraction(double v) const;
};

// A linear axis over [lo, hi], the data's own range, with ticks inside it at
// steps of 1, 2 or 5 times a power of ten chosen for about `wanted` ticks,
// labelled in plain decimals ("0.5", "120", "235000"). lo == hi gets a unit
// range around it.
Axis linear_axis(double lo, double hi, int wanted);

// A logarithmic axis over [lo_positive, hi], ticks at the powers of ten
// inside it (every second or fifth one when there are many) labelled as
// powers ("10³", "10⁻²"); a range that holds fewer than two powers gets ticks
// at 1, 2 and 5 times them instead, in plain decimals. Without positive values
// (lo_positive not above 0) it runs from 1 to 10.
Axis log_axis(double lo_positive, double hi);

}  // namespace orvalt::plot

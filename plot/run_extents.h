// The lowest and highest of a run of values, two at a time with the vector
// instructions every x86 build of the program has.
#pragma once

#include <cstddef>

namespace orvalt::plot {

struct ValueExtent {
    double low, high;
    bool finite;  // true only when no value is infinite or not a number
};

// The extent of each run of `per_run` values of v[0..n) (per_run >= 1; the
// last run may be shorter), into out[0..ceil(n / per_run)): one call for a
// whole spectrum. A run with a value that is not finite, or (at times) with
// finite values too large to be summed, has `finite` false and extremes of
// no use: its caller takes it value by value.
void extents_of_runs(const double* v, std::size_t n, std::size_t per_run, ValueExtent* out);

}  // namespace orvalt::plot

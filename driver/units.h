// The x axis of a run: what x holds (2-theta, Q, d-spacing or another axis's
// angle), decided once from the answers and the scans taken, and the
// conversion of a spectrum's 2-theta into Q or d-spacing.
#pragma once

#include <cstdint>
#include <string>

#include "driver/request.h"
#include "driver/run.h"
#include "formats/pattern.h"

namespace orvalt {

struct Console;

// x as the units make it of 2-theta: Q, d-spacing, or 2-theta itself.
XAxis units_axis(Units units);

// What x holds for these answers: Q or d-spacing as asked; with units 1 the
// angle the scans taken move, when they all move the same one and it is not
// 2-theta, else 2-theta.
XAxis x_axis(const Answers& answers, const ScanTables& scans);
// The same for scan s (0-based) alone, with units 1.
XAxis scan_x_axis(const ScanTables& scans, std::int32_t s);

// The Genie file's x label: the angle's name, or Q and d with their units
// in Genie's markup.
std::string genie_x_label(const XAxis& x);

// Stops the run when the units are Q or d-spacing and a scan the run takes
// moves another axis than 2-theta.
void check_units_fit_axes(Console& con, const Answers& answers, const ScanTables& scans);

// The output stage's report of the spectrum (still in 2-theta), then x
// converted to the units asked (d-spacing reverses the spectrum, so that x
// rises); a point that is not a finite number stops the run.
void report_and_convert(Console& con, Units units, double wavelength, Spectrum& spectrum);

}  // namespace orvalt

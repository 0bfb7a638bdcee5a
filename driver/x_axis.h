// What the x values of a spectrum are called: in the Genie file's x label
// (Genie markup) and in the command line's summary line (plain text).
#pragma once

#include <cstdint>
#include <string>

#include "driver/run.h"

namespace orvalt {

// The angle x holds with units option 1: "2-theta", or the axis the scans
// of the spectrum move, as the file spells it ("Phi", "Omega"), when they
// all move the same one and it is not 2Theta. iscan as the scan menu's
// answer: one scan, or (0 and below) all of them.
std::string angle_name(const ScanTables& scans, std::int32_t iscan);
// The same for scan `scan` (counted from 1) alone.
std::string scan_angle_name(const ScanTables& scans, std::int32_t scan);

// The Genie file's x label: the angle, Q in 1/angstrom, or d in angstrom.
std::string genie_x_label(const Answers& answers, const ScanTables& scans);
// The summary line's name for x: the angle, "Q" or "d-spacing".
std::string summary_x_name(const Answers& answers, const ScanTables& scans);

}  // namespace orvalt

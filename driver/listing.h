// `orvalt --list`: each file's wavelengths and a table of its scans on
// standard output, and with --plot every scan drawn; nothing else is written.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "driver/batch.h"
#include "driver/options.h"
#include "xrdml/reader.h"
#include "xrdml/scan_table.h"

namespace orvalt {

// Lines ending in "\n": the file's name and number of scans, its wavelengths
// (with the mean a conversion uses when census_ok), its intended line and
// crystal monochromator, then one line per scan under a heading, columns
// aligned: the positions, points, counting time, totals, conditions, start
// time and other axes of each, and what a conversion would refuse of it.
std::string format_scan_list(std::string_view name, const xrdml::ScanTable& table,
                             const xrdml::ScanCensus& census, const xrdml::ScanParameters& par,
                             bool census_ok);

// The listing of one file named by `argument` (and its picture). False when
// the file could not be read or the picture not drawn (said on `err`).
bool list_file(const Choices& c, const std::string& argument, Batch& batch, std::ostream& out,
               std::ostream& err);

}  // namespace orvalt

// The text of `orvalt --list`: a file's wavelengths and a table of its scans.
#pragma once

#include <string>
#include <string_view>

#include "xrdml/scan_table.h"

namespace orvalt {

// Lines ending in "\n": the file's name and number of scans, its wavelengths
// (`mean` the one a conversion uses; 0 when the census could not give it),
// then one line per scan under a heading, columns aligned.
std::string format_scan_list(std::string_view name, const xrdml::ScanTable& table, double mean);

}  // namespace orvalt

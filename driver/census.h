// What the input file holds, told once at the start of a conversion: the
// records, the scans and their wavelengths, the scans' positions and times.
#pragma once

#include <functional>
#include <string_view>

#include "driver/request.h"
#include "driver/run.h"

namespace orvalt {

struct Console;

// The census of files.input_name, reported as the dialogue shows it; a file
// that cannot be read, holds what the reader refuses, or more scans than
// scan_limit, stops the run. A compressed input's text is kept in
// files.plain_copy for the later passes. `each_line`, when given, is handed
// every line the census reads outside comments, with its first element.
// `facts` tells how much of each scan's facts scans.par.facts keeps.
ScanTables take_census(
    Console& con, RunFiles& files, std::int32_t scan_limit,
    std::function<void(std::string_view, const xrdml::FirstElement&)> each_line = {},
    xrdml::FactsKept facts = xrdml::FactsKept::all);

// The wavelength the request makes x with: the census's mean, its K-alpha1,
// or the number given; with the file's own values, for the files to record.
Wavelengths wavelengths_used(const Request& request, const xrdml::ScanCensus& census);

// Stops the run when the wavelengths cannot be used (xrdml::wavelength_usable;
// of K-alpha1 alone, that it is a positive number): for Q, d-spacing, every
// Genie file (whose header holds the wavelength) and every pattern file. A
// number given has been checked already.
void check_wavelength(Console& con, const Request& request, const xrdml::ScanCensus& census);

// What the command line says of the file beyond the dialogue: that it is
// cut short, and that its wavelength is the mean of two lines where a
// crystal monochromator lets one through (when `uses_wavelength`, the run
// makes Q or d or writes a .fxye or CIF).
void warn_of_the_file(Console& con, const Request& request, const xrdml::ScanCensus& census,
                      bool uses_wavelength);

// Stops as the census does when the survey of `name` could not read the file
// whole or found no measurement in it: a file that cannot be opened, a line
// longer than the reader takes (ierr 18), a damaged archive or a read error
// (19), a file that changed while it was read (21), a text that is no XRDML
// file. What the file holds (wavelengths, positions, times) is not judged:
// --list shows it as it stands.
void check_file_read(Console& con, const std::string& name, const xrdml::FileSurvey& survey);

}  // namespace orvalt

// What the input file holds, told once at the start of a conversion: the
// records, the scans and their wavelengths, the scans' positions and times.
#pragma once

#include "driver/run.h"

namespace orvalt {

struct Console;

// The census of files.input_name, reported as the dialogue shows it; a file
// that cannot be read, or holds what the reader refuses, stops the run. A
// compressed input's text is kept in files.plain_copy for the later passes.
ScanTables take_census(Console& con, RunFiles& files);

// Stops as the census does when the survey of `name` could not read the file
// whole or found no measurement in it: a file that cannot be opened, a line
// longer than the reader takes (ierr 18), a damaged archive or a read error
// (19), a file that changed while it was read (21), a text that is no XRDML
// file. What the file holds (wavelengths, positions, times) is not judged:
// --list shows it as it stands.
void check_file_read(Console& con, const std::string& name, const xrdml::FileSurvey& survey);

// Stops the run when the wavelengths cannot be used (xrdml::wavelength_usable):
// for Q, d-spacing, every Genie file (whose header holds the wavelength) and
// every pattern file.
void check_wavelength(Console& con, const xrdml::ScanCensus& census);

}  // namespace orvalt

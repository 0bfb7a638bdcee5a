// The output stage: a finished spectrum (one scan, the sum, the gudrunX
// data) or every scan in turn written as the request's format asks, into a
// temporary put in place whole.
#pragma once

#include <cstdint>
#include <string_view>

#include "driver/request.h"
#include "driver/run.h"
#include "formats/pattern.h"

namespace orvalt::plot {
class Figure;
}

namespace orvalt {

struct Console;

// What a pattern file says of the run: its input, the scans it takes, the
// wavelengths, x and the intensity unit. nincl is the number of scans a sum
// takes.
PatternDescription describe_run(const RunFiles& files, const Request& request,
                                const ScanTables& scans, std::int32_t nincl);

// What the file says of the conditions of scan s (0-based), and of the
// included scans together (a sum).
Conditions scan_conditions(const ScanTables& scans, std::int32_t s);
Conditions sum_conditions(const ScanTables& scans, const Weights& weights);

// Why the scans the run takes cannot go into the format: they move
// different axes, or one the format has no place for; empty when they can.
std::string axes_refusal(OutputFormat format, const Answers& answers, const ScanTables& scans);

// The spectrum as files.output_name in the format (a pending `weights` file
// put in place with it, first); files.output_written tells whether it was.
// `weights` tells the scans summed. False when it could not be written (said
// why).
bool write_spectrum(Console& con, RunFiles& files, OutputFormat format, const Request& request,
                    const ScanTables& scans, const Weights& weights, const Spectrum& spectrum,
                    OutputFile* weights_file);

// Every scan as one entry of the Genie file, one block of the pattern file
// files.output_name, or, for a format of a file a scan (.xye), a file of its
// own (scan_file_name; files.scan_files_written names them once in place);
// spectrum is the working space of each scan in turn. Each scan is also
// drawn into `figure` when there is one. A scan that cannot be read ends the
// run: the Genie file keeps the scans before it (said so), a pattern file is
// not written and an older one stays. Of the command line, each Genie entry
// holds the scan's times and conditions.
bool write_separate_scans(Console& con, RunFiles& files, OutputFormat format,
                          const Request& request, const ScanTables& scans, Spectrum& spectrum,
                          plot::Figure* figure);

}  // namespace orvalt

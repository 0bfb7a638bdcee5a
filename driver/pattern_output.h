// A run's spectrum (or every scan of it) as a pattern file: the description
// the run gives the file, and the rules that keep a run from writing a file
// its format cannot hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/pattern_files.h"
#include "driver/run.h"

namespace orvalt {

// The format named on the command line ("xye", "fxye", "cif"); false for
// any other name.
bool pattern_format_named(std::string_view name, PatternFormat& format);

// Why a format cannot hold x in these units (the GSAS file holds 2-theta
// only), or empty.
std::string units_refusal(PatternFormat format, const Answers& answers);

// Why the scans the run takes cannot go into the format: they move
// different axes, or an axis the format has no place for. Empty when they can.
std::string axes_refusal(PatternFormat format, const Answers& answers, const ScanTables& scans);

// What the run writes: its input, the scans it takes, the wavelengths, x
// and the intensity unit. nincl is the number of scans a sum takes.
PatternDescription describe_run(const RunFiles& files, const Answers& answers,
                                const ScanTables& scans, std::int32_t nincl);

// The spectrum of one scan (1-based) or of a sum (scan 0) as the whole file.
bool write_pattern_spectrum(Console& con, std::string_view name, PatternFormat format,
                            const PatternDescription& d, const Spectrum& spectrum,
                            std::int32_t scan);

}  // namespace orvalt

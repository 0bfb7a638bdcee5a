// The spectra a run builds from the file: one scan, the included scans
// summed, or every scan in turn (the separate scans, and the scans a picture
// draws), each on its 2-theta grid, in counts or counts per second.
#pragma once

#include <cstdint>
#include <functional>

#include "driver/request.h"
#include "driver/run.h"

namespace orvalt {

struct Console;

// Scan `answers.iscan`, its x filled in, in counts per second when asked.
void load_single_scan(Console& con, const RunFiles& files, const Answers& answers,
                      const ScanTables& scans, Spectrum& spectrum);

// The included scans summed on the first included scan's grid (verbose 0
// keeps the reader's detail lines back); scans of other start points or
// spacings stop the run.
void sum_scans(Console& con, const RunFiles& files, const Answers& answers, const ScanTables& scans,
               const Weights& weights, std::int32_t verbose, Spectrum& spectrum);

// Reads scan after scan of the file into `spectrum` (y the counts, e their
// errors, ny the points; x is not filled), from the run's own reading of the
// input and checked against what the census found, and hands each to `take`
// with its number counted from 0; `take` returns false to end the loop. False
// when a scan could not be read (its status in `status`) or `take` ended it.
bool read_each_scan(Console& con, const RunFiles& files, const ScanTables& scans,
                    Spectrum& spectrum, xrdml::ReaderStatus& status,
                    const std::function<bool(std::int32_t)>& take);

// The separate scans: each read, checked and made ready to write (counts per
// second when asked, x filled, every point finite, its line said), then
// handed to `take`. A scan that cannot be read ends the run once `keep` has
// kept the scans before it (true when it could), which the run then says;
// of an input that changed while it was read nothing is kept. False when
// `take` ended the loop (having said why).
bool each_separate_scan(Console& con, RunFiles& files, const Answers& answers,
                        const ScanTables& scans, Spectrum& spectrum,
                        const std::function<bool(std::int32_t)>& take,
                        const std::function<bool()>& keep);

// Nothing of the separate scans is written unless every scan can be scaled.
void check_every_counting_time(Console& con, const Answers& answers, const ScanTables& scans);

// Counts per second: every point of the spectrum divided by the counting time t.
void to_counts_per_second(Spectrum& spectrum, double t);

// The spacing of a scan of n points from start to end; 0 for fewer than 2.
double spacing(double start, double end, std::int32_t n);

// Stops the run at the first point that is not a finite number.
void check_finite(Console& con, const Spectrum& spectrum);

}  // namespace orvalt

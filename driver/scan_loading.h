// The spectra a run builds from the file: one scan, the included scans
// summed, or every scan in turn (the separate scans, and the scans a picture
// draws), each on its own x (listed, or spread evenly from its start to its
// end), in counts or counts per second.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "driver/request.h"
#include "driver/run.h"
#include "xrdml/passes.h"

namespace orvalt {

struct Console;

// How the request's lists are read: the dialogue's limit of points, or none
// and a partial scan taken as far as it goes when the command line asks.
xrdml::ReadLimits reading_limits(const Request& request);

// Scan `answers.iscan`, its x filled in, in counts per second when asked.
void load_single_scan(Console& con, const RunFiles& files, const Request& request,
                      const ScanTables& scans, Spectrum& spectrum);

// The sum a command line asks for, made in the census's own reading of the
// file (take_census's each_line): the scans it takes are known before the
// file is read, so the file is read once. It stands for a reading of its own
// only where it is what that reading gives: the census counts as many scans
// as it met lists, the weights are those it assumed, and every list it met
// closed on its line and read cleanly. Anything else leaves the sum to a
// reading of its own, which says what it finds.
class SumInCensus {
public:
    // The scans of the request's sum: all but those it excludes.
    explicit SumInCensus(const Request& request);
    SumInCensus(const SumInCensus&) = delete;
    SumInCensus& operator=(const SumInCensus&) = delete;
    void take(std::string_view line, const xrdml::FirstElement& first);
    // True, with the sum in spectrum (y, e, ny) and npts (one entry per
    // scan), when it stands for the reading of its own for these weights.
    bool give(const Weights& weights, std::int32_t nscans, Spectrum& spectrum,
              std::vector<std::int32_t>& npts);

private:
    std::vector<std::int32_t> excluded_;
    std::vector<double> y_, e_;
    xrdml::SumPass pass_;
    xrdml::ReaderStatus status_;
    bool going_ = true;
};

// The included scans summed on one grid (verbose 0 keeps the reader's detail
// lines back): scans of even positions on the first included scan's start
// and spacing, and scans of listed positions point by point where they share
// them; any other start point, spacing or positions stops the run, naming
// the scan. The sum is read from the file unless `early` gives it.
void sum_scans(Console& con, const RunFiles& files, const Request& request,
               const ScanTables& scans, const Weights& weights, std::int32_t verbose,
               Spectrum& spectrum, SumInCensus* early = nullptr);

// Reads scan after scan of the file into `spectrum` (y the counts, e their
// errors, x the positions, ny the points), from the run's own reading of the
// input and checked against what the census found, and hands each to `take`
// with its number counted from 0; `take` returns false to end the loop. False
// when a scan could not be read (its status in `status`) or `take` ended it.
bool read_each_scan(Console& con, const RunFiles& files, const ScanTables& scans,
                    const xrdml::ReadLimits& limits, Spectrum& spectrum,
                    xrdml::ReaderStatus& status, const std::function<bool(std::int32_t)>& take);

// The separate scans: each read, checked and made ready to write (counts per
// second when asked, every point finite, its line said), then handed to
// `take`. A scan that cannot be read ends the run once `keep` has kept the
// scans before it (true when it could), which the run then says; of an input
// that changed while it was read nothing is kept. False when `take` ended the
// loop (having said why).
bool each_separate_scan(Console& con, RunFiles& files, const Request& request,
                        const ScanTables& scans, Spectrum& spectrum,
                        const std::function<bool(std::int32_t)>& take,
                        const std::function<bool()>& keep);

// Nothing of the separate scans is written unless every scan can be scaled.
void check_every_counting_time(Console& con, const Answers& answers, const ScanTables& scans);

// Counts per second: every point of the spectrum divided by the counting time t.
void to_counts_per_second(Spectrum& spectrum, double t);

// Stops the run at the first point that is not a finite number.
void check_finite(Console& con, const Spectrum& spectrum);

// ERRCHECK of a reader status; of a partial scan the command line adds
// that --partial takes it.
void check_read(Console& con, const Request& request, const xrdml::ReaderStatus& status);

}  // namespace orvalt

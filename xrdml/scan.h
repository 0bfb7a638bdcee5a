// A measurement read as a program that works on measurements wants it: the
// file's facts, then scan after scan whole (x, counts, errors, counting time,
// where the other axes stood, its conditions and times). Plain routines over
// a file name: no console, no run, nothing printed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "xrdml/reader.h"

namespace orvalt::xrdml {

// What a survey found: the census (scans, wavelengths, the beam) and the
// per-scan tables, or why the file cannot be read (status).
struct Measurement {
    ScanCensus census;
    ScanParameters par;
    ReaderStatus status;
    bool stamped = false;
    FileStamp stamp;  // the file as the survey found it
};

// One scan whole.
struct Scan {
    std::int32_t number = 0;     // 1-based
    std::string axis;            // the axis x holds, as the file names it ("2Theta" when none)
    std::vector<double> x;       // as listed, or spread evenly from the scan's start to its end
                                 // (empty where limits.even_x is false and x is not listed)
    std::vector<double> counts;  // counts times attenuation factors; intensities as they stand
    std::vector<double> errors;  // square roots of the counts, times the factors (empty where
                                 // limits.errors is false and the scan has no factors)
    bool attenuated = false;     // counts times factors (else errors are their square roots)
    double counting_time = 0.0;  // seconds
    bool partial = false;        // fewer counts than positions, or cut short (taken as asked)
    ScanFacts facts;             // the other axes, conditions, times
};

// The survey of the file `name`: status ierr 0 when its scans can be read.
Measurement survey_measurement(std::string_view name);

// Scan after scan of a surveyed file handed to `each` (false from it ends
// the reading), which may take its arrays; with `only` > 0 that scan alone. limits.partial takes a
// partial scan as far as it goes. The status of the first scan that cannot
// be read, or ierr 0.
ReaderStatus read_scans(std::string_view name, const Measurement& m, const ReadLimits& limits,
                        const std::function<bool(Scan&)>& each, std::int32_t only = 0);

// One scan (1-based) of the file: the survey, then the scan.
ReaderStatus read_scan(std::string_view name, std::int32_t scan, Scan& out,
                       const ReadLimits& limits = ReadLimits(unlimited));

}  // namespace orvalt::xrdml

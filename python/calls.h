// What the Python module does, in plain C++ over plain data: a measurement
// read scan by scan, the spectra the command line makes, and the command
// line itself. Nothing here knows of Python; a refusal is thrown as a
// Failure carrying the text the command line shows for it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace orvalt::python {

// A refusal: the reader's status code (ierr; 0 for a refusal of the
// program's own, 2 for options refused) and the command line's message.
struct Failure : std::runtime_error {
    Failure(int code_, const std::string& message)
        : std::runtime_error(message), code(code_) {}
    int code;
};

// An axis other than the scan's own: where it stood, or from where to where
// it moved with the scan.
struct OtherAxis {
    std::string name, unit;
    double start = 0.0, end = 0.0;
    bool moves = false;
};

// One scan. Of what can be made from the rest, only what cannot is kept:
// x as listed (else its start and step), the errors where attenuation
// factors made them (else they are the square roots of the counts).
struct ScanData {
    std::int32_t number = 0;  // 1-based
    std::string axis;         // the axis x holds, as the file names it
    std::span<const double> counts;  // the reading's own, until `take` returns
    bool listed = false;
    std::vector<double> x;  // listed positions
    double start = 0.0, step = 0.0;
    bool attenuated = false;
    std::vector<double> errors;  // of attenuated counts
    double counting_time = 0.0;  // seconds
    std::vector<OtherAxis> others;
    std::optional<double> temperature;  // kelvin
    std::string start_time, end_time;   // as the file writes them; "" when it does not
    bool partial = false;
};

struct MeasurementData {
    double kalpha1 = 0.0, kalpha2 = 0.0, ratio = 0.0, wavelength = 0.0;
    std::string intended, monochromator;
    std::int32_t nscans = 0;
};

// Reads the census of `path` into `m`, then every scan in turn, each handed
// to `take` (false from it stops the reading, as an interruption does: then
// this returns false). `warn` gets each warning the command line would give.
bool read_measurement(const std::string& path, bool partial, MeasurementData& m,
                      const std::function<bool(ScanData&&)>& take,
                      const std::function<void(const std::string&)>& warn);

// A spectrum as the command line's options (without a file name and without
// an output option) ask for it: its x, y and e, and for gudrunX data the
// weight of every scan.
struct SpectrumData {
    std::vector<double> x, y, e;
    std::vector<std::int32_t> weights;
    std::string x_label, y_label, description;
};
SpectrumData compute(const std::string& path, const std::vector<std::string>& options,
                     const std::function<void(const std::string&)>& warn);

// The command line with these arguments (a program name first, then options
// and files): what it prints on standard output; a run that converts not
// every file throws the failure it reported first.
std::string command_line(const std::vector<std::string>& arguments,
                         const std::function<void(const std::string&)>& warn);

}  // namespace orvalt::python

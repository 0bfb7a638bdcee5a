// A pattern as the pattern files take it: x, y and the standard uncertainty
// of y, with what every block of a file shares (the measurement, the scans
// taken, the wavelengths, what x and y are). Nothing here knows where the
// numbers came from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt {

// Where the wavelength that x is made with comes from: the mean of the
// file's K-alpha1 and K-alpha2 weighted by their ratio, K-alpha1 alone (a
// crystal monochromator passes no other), or a number given.
enum class WavelengthSource { mean, kalpha1, given };

struct Wavelengths {
    double kalpha1 = 0.0;  // angstrom, as the file gives them
    double kalpha2 = 0.0;
    double ratio = 0.0;  // K-alpha2 to K-alpha1
    double mean = 0.0;   // weighted by the ratio
    WavelengthSource used = WavelengthSource::mean;
    double value = 0.0;  // the one used: Q and d are made with it
};

// What x holds: 2-theta, Q or d-spacing made from it, or the angles of
// another axis that a scan moved.
enum class XQuantity { two_theta, q, d_spacing, angle };

struct XAxis {
    XQuantity quantity = XQuantity::two_theta;
    std::string axis;  // for XQuantity::angle: the axis as the file names it ("Phi")
};

// The names every output shares: "2-theta", "Q", "d-spacing" or the axis;
// "degrees", "1/angstrom" or "angstrom".
std::string x_label(const XAxis& x);
std::string_view x_unit(const XAxis& x);

// What every block of a file shares.
struct PatternDescription {
    std::string input_name;   // the measurement file, as the headers name it
    std::string scan_choice;  // what the run took: "scan 2 of 5", "sum of 5 scans",
                              // "91 scans separately", ...
    Wavelengths wavelengths;
    XAxis x;
    bool counts = false;  // intensity in counts, else in counts per second
};

// "counts" or "counts per second".
std::string_view intensity_unit(const PatternDescription& d);

// What the sample stood in while a pattern was measured, where the file
// says: its temperature and other non-ambient conditions (in words: "294 K",
// "Pressure 2 bar"), the temperature in kelvin for the items that take it,
// and when the scans began and ended, as the file writes the times.
struct Conditions {
    std::vector<std::string> said;
    std::optional<double> kelvin;
    std::string started, ended;
};

// One pattern: the scan it is (1-based), or 0 for scans summed; x, y and
// e (the standard uncertainty of y) of equal length; its conditions.
struct Pattern {
    std::int32_t scan = 0;
    std::span<const double> x, y, e;
    Conditions conditions{};
};

// "scan 3" for a block of a file of several, else the run's choice.
std::string block_scan_text(const PatternDescription& d, const Pattern& p, bool several);

// The first point (1-based) of which x, y or e is not a finite number; 0
// when every one is. Only finite numbers are written anywhere.
std::size_t first_not_finite(std::span<const double> x, std::span<const double> y,
                             std::span<const double> e);
// What is said of such a point.
std::string not_finite_text(std::size_t point);

// Non-ASCII and control bytes of a name as "?" (the GSAS file and the CIF are
// ASCII text).
std::string ascii_text(std::string_view text);

// The text of block `index` (0-based) of a file, the file's own head
// included in block 0; `several` when the file holds more than one block.
// A pattern the format cannot hold gives no text but the reason.
struct BlockText {
    std::string text;
    std::string refusal;
};

}  // namespace orvalt

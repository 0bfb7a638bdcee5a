// The pattern files that Rietveld and pair-distribution programs read: an
// x-y-error file with a commented header (.xye), the GSAS standard powder data
// file in its FXYE form (.fxye) and a powder CIF (.cif). Each format's text
// is made by a plain function over the description of the run and one
// pattern (a "block"); a file of several scans holds one block per scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "g_f/new_files.h"

namespace orvalt {

struct Console;

enum class PatternFormat { xye, fxye, cif };

// The output name's extension of each format (".xye", ".fxye", ".cif").
std::string_view pattern_extension(PatternFormat format);

struct Wavelengths {
    double kalpha1 = 0.0;  // angstrom
    double kalpha2 = 0.0;
    double ratio = 0.0;  // K-alpha2 to K-alpha1
    double mean = 0.0;   // the weighted mean that Q and d are made with
};

// What x holds: 2-theta, Q or d-spacing made from it, or the angles of
// another axis that a scan moved (named in PatternDescription::axis).
enum class XQuantity { two_theta, q, d_spacing, angle };

// What every block of a file shares.
struct PatternDescription {
    std::string input_name;   // the measurement file, as the headers name it
    std::string scan_choice;  // what the run took: "scan 2 of 5", "sum of 5 scans",
                              // "91 scans separately", ...
    Wavelengths wavelengths;
    XQuantity x = XQuantity::two_theta;
    std::string axis;     // for XQuantity::angle: the axis as the file names it ("Phi")
    bool counts = false;  // intensity in counts, else in counts per second
};

// The labels every format shares: "2-theta", "Q", "d-spacing" or the axis;
// "degrees", "1/angstrom" or "angstrom"; "counts" or "counts per second".
std::string x_label(const PatternDescription& d);
std::string_view x_unit(const PatternDescription& d);
std::string_view intensity_unit(const PatternDescription& d);

// One pattern: the scan it is (1-based), or 0 for scans summed; x, y and
// e (the standard uncertainty of y) of equal length.
struct Pattern {
    std::int32_t scan = 0;
    std::span<const double> x, y, e;
};

// "scan 3" for a block of a file of several, else the run's choice.
std::string block_scan_text(const PatternDescription& d, const Pattern& p, bool several);

// The text of block `index` (0-based) of a file, the file's own head
// included in block 0; `several` when the file holds more than one block.
// A pattern the format cannot hold gives no text but the reason.
struct BlockText {
    std::string text;
    std::string refusal;
};
BlockText xye_block(const PatternDescription& d, const Pattern& p, std::size_t index, bool several);
BlockText fxye_block(const PatternDescription& d, const Pattern& p, std::size_t index,
                     bool several);
BlockText cif_block(const PatternDescription& d, const Pattern& p, std::size_t index, bool several);

// Non-ASCII and control bytes of a name as "?" (the GSAS file and the CIF are
// ASCII text).
std::string ascii_text(std::string_view text);

// A pattern file written block by block through open_new_file (its
// messages as for the ASCII data file, when the first block comes): nothing
// is put in place unless every block was taken and written. A refused block
// is reported as "**ERROR in orvalt: <reason>"; a file that got no block is
// not made.
class PatternFile {
public:
    PatternFile(Console& con, std::string_view name, PatternFormat format,
                const PatternDescription& d, bool several);
    // False when the block was refused, the file could not be created or a
    // write failed; the file is then dropped and every later call is false.
    bool add(const Pattern& p);
    // Puts the file in place; false (reported) when anything went wrong.
    bool commit();

private:
    bool fail(std::string_view why);  // reported; the file dropped; false
    Console& con_;
    std::string name_;
    PatternFormat format_;
    const PatternDescription& d_;
    bool several_;
    std::size_t blocks_ = 0;
    bool failed_ = false;
    OutputFile file_;
};

// The whole file of one or more patterns.
bool write_pattern_file(Console& con, std::string_view name, PatternFormat format,
                        const PatternDescription& d, std::span<const Pattern> patterns);

}  // namespace orvalt

// One conversion, whoever asks for it. The dialogue and the command line
// both fill a Request and hand it to `convert`; the dialogue's answers come
// question by question as the run reaches them (Questions), the command
// line's all at once from its options. The rules both need live here once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/pattern_files.h"
#include "driver/run.h"

namespace orvalt {

struct Console;

// The scan menu's answers other than a scan number (1, 2, ...).
inline constexpr std::int32_t separate_answer = -3;  // every scan, unsummed, in one Genie file
inline constexpr std::int32_t gudrun_answer = -2;    // gudrunX data and their weights
inline constexpr std::int32_t exit_answer = -1;
inline constexpr std::int32_t sum_answer = 0;  // all scans summed

// The output options.
inline constexpr std::int32_t no_output = 0, ascii_output = 1, genie_output = 2;

// What a branch fixes whatever was asked: gudrunX data are counts per second
// against 2-theta; separate scans are against 2-theta in one Genie file.
bool branch_fixes_intensity(std::int32_t iscan);
bool branch_fixes_units(std::int32_t iscan);
bool branch_fixes_output(std::int32_t iscan);
// A branch that sums scans: it needs at least one.
bool branch_sums(std::int32_t iscan);

// The input extension rule: a name of more than six characters that does not
// end in ".xrdml", ".xrdml.gz" or ".xrdml.bz2" (in any case) has ".xrdml"
// added. True when it was added.
bool add_input_extension(Console& con, std::string& name);

struct Request {
    std::string input;                   // the input file, as named
    Answers answers;                     // scan choice, intensity, units, output kind
    bool output_kind_given = false;      // else gudrunX data default to an ASCII file
    std::vector<std::int32_t> excluded;  // gudrunX: scans left out, counted from 1
    std::string output;                  // the data or Genie file; empty: the question's
    std::string weights;                 // the gudrunX weights file; empty: the default
    std::optional<PatternFormat> pattern;  // an xye, GSAS or CIF file instead of the output kind
    std::string picture;                   // an SVG picture of what is converted; empty: none
    bool picture_log = false;              // the picture's y axis logarithmic
};

// The output kind of a request that names none: gudrunX data go to an
// ASCII file.
void default_output_kind(Request& request);

// The answers a request does not hold yet. The dialogue asks each one at the
// point a run needs it; the command line has given them all, and these ask
// nothing.
class Questions {
public:
    virtual ~Questions() = default;
    virtual void scan_choice(Console&, Answers&, std::int32_t /*nscans*/) {}
    virtual void intensity(Console&, Answers&) {}
    virtual void exclusions(Console&, Weights&, std::int32_t /*nscans*/) {}
    virtual void units(Console&, Answers&) {}
    virtual void output_kind(Console&, Answers&) {}
    // The output file's name; `extension` forms the default, and with
    // `shorten` a Genie name is first cut to 80 characters.
    virtual std::string output_name(Console&, const Request& request, const RunFiles&,
                                    std::string_view /*extension*/, bool /*shorten*/) {
        return request.output;
    }
};

// The conversion of run.files' input as `request` asks: the census of the
// file, the answers, the branch, the output. run.files names the input and
// orvalt.tmp; its output names are filled on the way. False when an output
// could not be written (said why); a conversion that cannot go on throws Stop.
bool convert(Console& con, Request& request, Questions& ask, RunState& run);

}  // namespace orvalt

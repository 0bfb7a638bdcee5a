// What one conversion is asked to do, whoever asks: the dialogue fills a
// Request question by question as the run reaches them, the command line all
// at once from its options. The rules both need live here once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/format_table.h"

namespace orvalt {

struct Console;

// The menu answers, as the dialogue asks them and "orvalt.tmp" remembers
// them: numbers at this edge, whatever they are (a remembered answer the
// questions refuse is still offered as the default).
struct Answers {
    std::int32_t iscan = 0;
    std::int32_t icps = 1;  // 0 counts, 1 counts per second
    std::int32_t iunits = 1;
    std::int32_t ioutput = 2;
};

// The scan menu's answers other than a scan number (1, 2, ...).
inline constexpr std::int32_t separate_answer = -3;  // every scan, unsummed, in one Genie file
inline constexpr std::int32_t gudrun_answer = -2;    // gudrunX data and their weights
inline constexpr std::int32_t exit_answer = -1;
inline constexpr std::int32_t sum_answer = 0;  // all scans summed

// The output options.
inline constexpr std::int32_t no_output = 0, ascii_output = 1, genie_output = 2;

// The x-axis units; the numbers are the units question's answers.
enum class Units : std::int32_t { two_theta = 1, q = 2, d_spacing = 3 };
inline Units units_of(const Answers& a) { return static_cast<Units>(a.iunits); }
inline std::int32_t units_answer(Units u) { return static_cast<std::int32_t>(u); }

// What a branch fixes whatever was asked: gudrunX data are counts per second
// against 2-theta; separate scans are against 2-theta in one Genie file.
bool branch_fixes_intensity(std::int32_t iscan);
bool branch_fixes_units(std::int32_t iscan);
bool branch_fixes_output(std::int32_t iscan);
// A branch that sums scans: it needs at least one.
bool branch_sums(std::int32_t iscan);

// The scans a run takes, 0-based from first to before end: the one chosen,
// or all of them.
struct ScanRange {
    std::int32_t first = 0, end = 0;
};
ScanRange scans_taken(const Answers& a, std::int32_t nscans);

// What a run takes of the file, as each place says it: the command line's
// summary ("sum of 4 scans", "gudrunX data, sum of 3 of 4 scans", "4 scans
// separately", "scan 2"), a pattern file's header ("scan 2 of 5", "sum of 3 of
// 4 scans", "91 scans separately") and a picture's title ("scan 3 of 4",
// "gudrunX: 74 of 76 scans summed", "every scan (4)", "the one scan").
enum class ChoiceText { summary, file_header, picture_title };
std::string scan_choice_text(ChoiceText where, std::int32_t iscan, std::int32_t nincl,
                             std::int32_t nscans);

// The input extension rule: a name of more than six characters that does not
// end in ".xrdml", ".xrdml.gz" or ".xrdml.bz2" (in any case) has ".xrdml"
// added. True when it was added.
bool add_input_extension(Console& con, std::string& name);

// Who asks: the dialogue keeps its limits of scans and points and its
// files as they always were; the command line has no limit and may ask more.
enum class FrontEnd { dialogue, command_line };

struct Request {
    std::string input;                   // the input file, as named
    Answers answers;                     // scan choice, intensity, units, output kind
    std::optional<OutputFormat> format;  // what to write, when named; else the output question's
    std::vector<std::int32_t> excluded;  // gudrunX: scans left out, counted from 1
    std::string output;                  // the data or Genie file; empty: the question's
    std::string weights;                 // the gudrunX weights file; empty: the default
    std::string picture;                 // an SVG picture of what is converted; empty: none
    bool picture_log = false;            // the picture's y axis logarithmic
    FrontEnd front_end = FrontEnd::dialogue;
    // The wavelength x is made with and the files record: the file's mean
    // (the dialogue's), its K-alpha1 alone, or a number given (angstrom).
    WavelengthSource wavelength = WavelengthSource::mean;
    double given_wavelength = 0.0;
    bool partial = false;  // a partial scan taken as far as it goes
};

// The output answer before the output question: a named format's, else an
// ASCII file for gudrunX data (offered as the dialogue's default).
void settle_output_answer(Request& request);
// What the request writes once its answers are in.
OutputFormat output_format(const Request& request);

}  // namespace orvalt

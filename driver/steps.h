// The steps of a run, in the order run_orvalt calls them. Each takes the
// parts of the run state it reads (const) and fills; a step that ends the
// program throws Stop. A step that writes output returns false when a file
// could not be written (it has said why); the run then ends with status 1.
#pragma once

#include <cstdint>
#include <string_view>

#include "driver/pattern_files.h"
#include "driver/request.h"
#include "driver/run.h"

namespace orvalt::plot {
class Figure;
}

namespace orvalt {

struct Console;

// Start-up: the remembered answers (and the input name) from "orvalt.tmp",
// the input file question, and the passes that tell what the file holds.
Answers load_remembered_answers(Console& con, RunFiles& files);
void choose_input_file(Console& con, RunFiles& files);
// A compressed input's text is kept in files.plain_copy for the later passes.
ScanTables take_census(Console& con, RunFiles& files);
// The name the reading passes open: the input, or the copy of its text.
std::string_view read_name(const RunFiles& files);

// The dialogue's questions, asked when a conversion reaches them: the scan
// menu, intensity, the exclusion dialogue of the gudrunX branch, units, the
// output kind and the output name.
class DialogueQuestions final : public Questions {
public:
    void scan_choice(Console& con, Answers& answers, std::int32_t nscans) override;
    void intensity(Console& con, Answers& answers) override;
    void exclusions(Console& con, Weights& weights, std::int32_t nscans) override;
    void units(Console& con, Answers& answers) override;
    void output_kind(Console& con, Answers& answers) override;
    std::string output_name(Console& con, const Request& request, const RunFiles& files,
                            std::string_view extension, bool shorten) override;
};

// The gudrunX weights file, under `name` or, when empty, the default formed
// from the input name; a name that is a file the run reads ends the run.
bool save_weights(Console& con, RunFiles& files, std::string_view name, const Weights& weights,
                  std::int32_t nscans);
// Stops the run when the units are Q or d-spacing and a scan of the run
// moves another axis than 2-theta.
void check_units_fit_axes(Console& con, const Answers& answers, const ScanTables& scans);

// The branches that build a spectrum: one scan, or the included scans summed
// (verbose 0 keeps the reader's detail lines back).
void load_single_scan(Console& con, const RunFiles& files, const Answers& answers,
                      const ScanTables& scans, Spectrum& spectrum);
void sum_scans(Console& con, const RunFiles& files, const Answers& answers, const ScanTables& scans,
               const Weights& weights, std::int32_t verbose, Spectrum& spectrum);

// The output stage of those branches: the report and x conversion, then
// the writing of files.output_name.
void report_and_convert(Console& con, const Answers& answers, double wavelength,
                        Spectrum& spectrum);
// The Genie file's x label names the axis the scans move (driver/x_axis.h).
bool write_spectrum(Console& con, const RunFiles& files, const Answers& answers,
                    const ScanTables& scans, const Spectrum& spectrum);

// Every scan as one entry of the Genie file files.output_name; spectrum is
// the working space of each scan in turn. Each scan is also drawn into
// `figure` when there is one (and so in the pattern file's case below).
bool write_scans_to_output(Console& con, const RunFiles& files, const Answers& answers,
                           const ScanTables& scans, Spectrum& spectrum,
                           plot::Figure* figure = nullptr);

// Every scan as one block of the pattern file files.output_name.
bool write_scans_to_pattern_file(Console& con, const RunFiles& files, PatternFormat format,
                                 const PatternDescription& d, const Answers& answers,
                                 const ScanTables& scans, Spectrum& spectrum,
                                 plot::Figure* figure = nullptr);

// End of a run that produced output: the remembered answers are rewritten.
bool save_remembered_answers(Console& con, const RunFiles& files, const Answers& answers);

// Stops with "**ERROR in orvalt: <text>" (the driver's own error stops).
[[noreturn]] void stop_with_error(Console& con, std::string_view text);

// An empty console line.
void empty_line(Console& con);

}  // namespace orvalt

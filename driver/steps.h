// The steps of a run, in the order run_orvalt calls them. Each works on the
// run state; a step that ends the program throws Stop.
#pragma once

#include <string_view>

#include "driver/run.h"

namespace orvalt {

struct Console;

// Start-up: remembered answers, input file, record census, census and
// parameter passes.
void load_remembered_answers(Console& con, RunState& run);
void choose_input_file(Console& con, RunState& run);
void take_census(Console& con, RunState& run);

// The scan menu and the questions on intensity, units and output file.
void ask_scan_menu(Console& con, RunState& run);
void ask_intensity(Console& con, RunState& run);
void exclude_scans(Console& con, RunState& run);
void ask_units(Console& con, RunState& run);
// Stops the run when the units are Q or d-spacing and a scan of the run
// moves another axis than 2-theta.
void check_units_fit_axes(Console& con, const RunState& run);
void ask_output(Console& con, RunState& run);

// The branches.
void load_single_scan(Console& con, RunState& run);
void sum_scans(Console& con, RunState& run);
void write_separate_scans(Console& con, RunState& run);
void output_stage(Console& con, RunState& run);

// The two branches above without their name question, for runs that name the
// output themselves (run.output_name already set): every scan into one Genie
// file; and the output stage's two halves, the report and x conversion, then
// the writing of the spectrum.
void write_scans_to_output(Console& con, RunState& run);
void report_and_convert(Console& con, RunState& run);
void write_spectrum(Console& con, RunState& run);

// End of a run that produced output: the remembered answers are rewritten.
void save_remembered_answers(Console& con, RunState& run);

// Stops with "**ERROR in orvalt: <text>" (the driver's own error stops).
[[noreturn]] void stop_with_error(Console& con, std::string_view text);

// An empty console line.
void empty_line(Console& con);

}  // namespace orvalt

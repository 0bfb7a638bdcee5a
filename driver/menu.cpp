// The scan menu and the questions that follow it. The answers -2 and -3 force
// some of the later answers; the forced values are the ones remembered.
#include "driver/output_files.h"
#include "driver/steps.h"
#include "g_f/console.h"
#include "g_f/files.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

void empty_line(Console& con) { con.out << '\n'; }

void ask_scan_menu(Console& con, RunState& run) {
    empty_line(con);
    say_line(con, "Options...");
    say_line(con, "-3) Load all scans separately");
    say_line(con, "-2) Prepare data file for gudrunX");
    say_line(con, "-1) Exit");
    say_line(con, " 0) Load all scans (and convert to Q or d if required)");
    const std::int32_t nscans = run.census.nscans;
    for (;;) {
        ask_integer(con, run.iscan, "scan number to load, or negative option from list", 1);
        if (run.iscan == -1) throw Stop{0};
        if (run.iscan > nscans) {
            say_line(con, "This exceeds the number of scans in the file");
            run.iscan = 0;
        } else if (run.iscan < -3) {
            run.iscan = 0;
        } else {
            break;
        }
    }
    // Nothing to sum in a file without scans.
    if (nscans == 0 && (run.iscan == 0 || run.iscan == -2))
        stop_with_error(con, "The file holds no scans");
}

void ask_intensity(Console& con, RunState& run) {
    if (run.iscan == -2) {
        run.icps = 1;
        return;
    }
    empty_line(con);
    do {
        ask_integer(con, run.icps, "0 for counts, or 1 for counts per second", 1);
    } while (run.icps != 0 && run.icps != 1);
}

void exclude_scans(Console& con, RunState& run) {
    const std::int32_t nscans = run.census.nscans;
    empty_line(con);
    for (;;) {
        std::int32_t answer = 0;
        ask_integer(con, answer, "scan number to exclude, or 0 to continue", 1);
        if (answer < 0 || answer > nscans) continue;
        if (answer > 0 && run.weight[answer - 1] == 1) {
            run.weight[answer - 1] = 0;
            if (--run.nincl == 0) fail(con, "Error: All scans have been excluded");
        }
        say_line(con, "Weights...");
        for (std::int32_t i = 1; i <= nscans; ++i) {
            con.out << " Scan " << format_integer_width(i, 3) << " has weight "
                    << format_integer_width(run.weight[i - 1], 1) << '\n';
        }
        if (answer == 0) break;
    }
    // The weights file is not asked for: one that would be a file the run
    // reads (through a link) ends the run instead.
    const std::string weights = default_output_name(trimmed(run.input_name), ".weights");
    const std::string refusal = output_name_refusal(weights, {trimmed(run.input_name), run.tmp_name});
    if (!refusal.empty()) fail(con, refusal);
    if (!write_weights_file(con, run.output_name, trimmed(run.input_name), nscans, run.weight))
        run.exit_status = 1;
    run.weights_name = weights;
    run.verbose = 0;
}

void ask_units(Console& con, RunState& run) {
    empty_line(con);
    if (run.iscan == -2 || run.iscan == -3) {
        run.iunits = 1;
        say_line(con, "orvalt: x-axis units are 2-theta");
        return;
    }
    say_line(con, "Output x-axis units options...");
    say_line(con, "1) 2-theta");
    say_line(con, "2) Momentum transfer, Q");
    say_line(con, "3) d-spacing");
    do {
        ask_integer(con, run.iunits, "units option", 1);
    } while (run.iunits < 1 || run.iunits > 3);
    check_units_fit_axes(con, run);
}

void check_units_fit_axes(Console& con, const RunState& run) {
    if (run.iunits == 1) return;
    // Q and d-spacing are made from 2-theta: the angles of another axis
    // would turn into meaningless numbers.
    const std::int32_t first = run.iscan > 0 ? run.iscan : 1;
    const std::int32_t last = run.iscan > 0 ? run.iscan : run.census.nscans;
    for (std::int32_t s = first; s <= last; ++s) {
        const std::string& axis = run.par.axis[static_cast<std::size_t>(s - 1)];
        if (!axis.empty() && axis != xrdml::two_theta_axis)
            stop_with_error(con, "Scan " + format_integer(s) + " moves the " + axis +
                                     " axis, not 2-theta: no Q or d-spacing");
    }
}

void ask_output(Console& con, RunState& run) {
    if (run.iscan == -3) {
        run.ioutput = 2;
        say_line(con, "orvalt: Output file is a Genie binary file");
        return;
    }
    if (run.iscan == -2) run.ioutput = 1;
    empty_line(con);
    say_line(con, "Output file options...");
    say_line(con, "0) no output file");
    say_line(con, "1) ascii file");
    say_line(con, "2) Genie binary file");
    for (;;) {
        ask_integer(con, run.ioutput, "output file option", 1);
        if (run.ioutput == 0) throw Stop{0};
        if (run.ioutput == 1 || run.ioutput == 2) return;
    }
}

}  // namespace orvalt

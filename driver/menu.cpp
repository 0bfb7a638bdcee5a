// The scan menu and the questions that follow it. The answers -2 and -3 force
// some of the later answers; the forced values are the ones remembered.
#include "driver/output_files.h"
#include "driver/steps.h"
#include "g_f/console.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

void empty_line(Console& con) { con.out << '\n'; }

Weights all_included(std::int32_t nscans) {
    Weights w;
    w.weight.fill(1);
    w.nincl = nscans;
    return w;
}

void exclude(Weights& weights, std::int32_t scan) {
    std::int32_t& w = weights.weight[static_cast<std::size_t>(scan - 1)];
    if (w == 1) {
        w = 0;
        --weights.nincl;
    }
}

void ask_scan_menu(Console& con, Answers& answers, std::int32_t nscans) {
    empty_line(con);
    say_line(con, "Options...");
    say_line(con, "-3) Load all scans separately");
    say_line(con, "-2) Prepare data file for gudrunX");
    say_line(con, "-1) Exit");
    say_line(con, " 0) Load all scans (and convert to Q or d if required)");
    std::int32_t& iscan = answers.iscan;
    for (;;) {
        ask_integer(con, iscan, "scan number to load, or negative option from list", 1);
        if (iscan == -1) throw Stop{0};
        if (iscan > nscans) {
            say_line(con, "This exceeds the number of scans in the file");
            iscan = 0;
        } else if (iscan < -3) {
            iscan = 0;
        } else {
            break;
        }
    }
    // Nothing to sum in a file without scans.
    if (nscans == 0 && (iscan == 0 || iscan == -2)) stop_with_error(con, "The file holds no scans");
}

void ask_intensity(Console& con, Answers& answers) {
    if (answers.iscan == -2) {
        answers.icps = 1;
        return;
    }
    empty_line(con);
    do {
        ask_integer(con, answers.icps, "0 for counts, or 1 for counts per second", 1);
    } while (answers.icps != 0 && answers.icps != 1);
}

void exclude_scans(Console& con, Weights& weights, std::int32_t nscans) {
    empty_line(con);
    for (;;) {
        std::int32_t answer = 0;
        ask_integer(con, answer, "scan number to exclude, or 0 to continue", 1);
        if (answer < 0 || answer > nscans) continue;
        if (answer > 0) {
            exclude(weights, answer);
            if (weights.nincl == 0) fail(con, "Error: All scans have been excluded");
        }
        say_line(con, "Weights...");
        for (std::int32_t i = 0; i < nscans; ++i) {
            con.out << " Scan " << format_integer_width(i + 1, 3) << " has weight "
                    << format_integer_width(weights.weight[i], 1) << '\n';
        }
        if (answer == 0) break;
    }
}

bool save_weights(Console& con, RunFiles& files, const Weights& weights, std::int32_t nscans) {
    // The weights file is not asked for: one that would be a file the run
    // reads (through a link) ends the run instead.
    const std::string_view input = trimmed(files.input_name);
    const std::string name = default_output_name(input, ".weights");
    const std::string refusal = output_name_refusal(name, {input, files.tmp_name});
    if (!refusal.empty()) fail(con, refusal);
    files.weights_name = name;
    return write_weights_file(con, name, nscans, weights.weight);
}

void ask_units(Console& con, Answers& answers, const ScanTables& scans) {
    empty_line(con);
    if (answers.iscan == -2 || answers.iscan == -3) {
        answers.iunits = 1;
        say_line(con, "orvalt: x-axis units are 2-theta");
        return;
    }
    say_line(con, "Output x-axis units options...");
    say_line(con, "1) 2-theta");
    say_line(con, "2) Momentum transfer, Q");
    say_line(con, "3) d-spacing");
    do {
        ask_integer(con, answers.iunits, "units option", 1);
    } while (answers.iunits < 1 || answers.iunits > 3);
    check_units_fit_axes(con, answers, scans);
}

void check_units_fit_axes(Console& con, const Answers& answers, const ScanTables& scans) {
    if (answers.iunits == 1) return;
    // Q and d-spacing are made from 2-theta: the angles of another axis
    // would turn into meaningless numbers.
    const std::int32_t first = answers.iscan > 0 ? answers.iscan - 1 : 0;
    const std::int32_t end = answers.iscan > 0 ? answers.iscan : scans.census.nscans;
    for (std::int32_t s = first; s < end; ++s) {
        const std::string& axis = scans.par.axis[static_cast<std::size_t>(s)];
        if (!axis.empty() && axis != xrdml::two_theta_axis)
            stop_with_error(con, "Scan " + format_integer(s + 1) + " moves the " + axis +
                                     " axis, not 2-theta: no Q or d-spacing");
    }
}

void ask_output(Console& con, Answers& answers) {
    std::int32_t& ioutput = answers.ioutput;
    if (answers.iscan == -3) {
        ioutput = 2;
        say_line(con, "orvalt: Output file is a Genie binary file");
        return;
    }
    if (answers.iscan == -2) ioutput = 1;
    empty_line(con);
    say_line(con, "Output file options...");
    say_line(con, "0) no output file");
    say_line(con, "1) ascii file");
    say_line(con, "2) Genie binary file");
    for (;;) {
        ask_integer(con, ioutput, "output file option", 1);
        if (ioutput == 0) throw Stop{0};
        if (ioutput == 1 || ioutput == 2) return;
    }
}

}  // namespace orvalt

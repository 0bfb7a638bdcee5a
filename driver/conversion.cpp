// The one conversion routine and the rules that the dialogue and the command
// line share.
#include <algorithm>
#include <string>

#include "driver/output_files.h"
#include "driver/pattern_output.h"
#include "driver/request.h"
#include "driver/steps.h"
#include "g_f/console.h"
#include "g_f/text.h"

namespace orvalt {

bool branch_fixes_intensity(std::int32_t iscan) { return iscan == gudrun_answer; }

bool branch_fixes_units(std::int32_t iscan) {
    return iscan == gudrun_answer || iscan == separate_answer;
}

bool branch_fixes_output(std::int32_t iscan) { return iscan == separate_answer; }

bool branch_sums(std::int32_t iscan) { return iscan == sum_answer || iscan == gudrun_answer; }

void default_output_kind(Request& request) {
    if (request.answers.iscan == gudrun_answer && !request.output_kind_given)
        request.answers.ioutput = ascii_output;
}

bool add_input_extension(Console& con, std::string& name) {
    constexpr std::string_view extension = ".xrdml";
    if (name.size() <= extension.size()) return false;
    const std::string_view last6 = std::string_view(name).substr(name.size() - extension.size());
    if (ovt_case_blind_compare(con, last6, extension) == 0) return false;
    name += extension;
    return true;
}

namespace {

// A scan choice the file can serve; the dialogue's menu never lets another
// through, the command line's options may name any scan.
void check_scan_choice(Console& con, std::int32_t iscan, std::int32_t nscans) {
    if (iscan > nscans)
        stop_with_error(con, "there is no scan " + std::to_string(iscan) + ": the file holds " +
                                 std::to_string(nscans) + " scans");
    if (nscans == 0 && branch_sums(iscan)) stop_with_error(con, "The file holds no scans");
}

void exclude_requested(Console& con, const Request& request, Weights& weights,
                       std::int32_t nscans) {
    for (const std::int32_t s : request.excluded) {
        if (s < 1 || s > nscans)
            stop_with_error(con, "there is no scan " + std::to_string(s) +
                                     " to exclude: the file holds " + std::to_string(nscans) +
                                     " scans");
        exclude(con, weights, s);
    }
}

// A pattern file holds only what its format has a place for.
void check_pattern_fits(Console& con, PatternFormat format, const Answers& a,
                        const ScanTables& scans) {
    std::string why = units_refusal(format, a);
    if (why.empty()) why = axes_refusal(format, a, scans);
    if (!why.empty()) stop_with_error(con, why);
}

}  // namespace

bool convert(Console& con, Request& request, Questions& ask, RunState& run) {
    run.scans = take_census(con, run.files);
    const std::int32_t nscans = run.scans.census.nscans;
    Answers& a = request.answers;

    ask.scan_choice(con, a, nscans);
    check_scan_choice(con, a.iscan, nscans);
    if (branch_fixes_intensity(a.iscan))
        a.icps = 1;
    else
        ask.intensity(con, a);

    run.weights = all_included(nscans);
    bool written = true;
    if (a.iscan == gudrun_answer) {
        exclude_requested(con, request, run.weights, nscans);
        ask.exclusions(con, run.weights, nscans);
        written = save_weights(con, run.files, request.weights, run.weights, nscans);
    }

    empty_line(con);
    if (branch_fixes_units(a.iscan)) {
        a.iunits = 1;
        say_line(con, "orvalt: x-axis units are 2-theta");
    } else {
        ask.units(con, a);
    }
    check_units_fit_axes(con, a, run.scans);
    if (request.pattern) check_pattern_fits(con, *request.pattern, a, run.scans);

    if (request.pattern) {
        // The format names the file: there is no output kind to ask.
    } else if (branch_fixes_output(a.iscan)) {
        a.ioutput = genie_output;
        say_line(con, "orvalt: Output file is a Genie binary file");
    } else {
        default_output_kind(request);
        ask.output_kind(con, a);
    }

    empty_line(con);
    RunFiles& files = run.files;
    const auto pattern_file_name = [&] {
        files.output_name =
            ask.output_name(con, request, files, pattern_extension(*request.pattern), false);
        return describe_run(files, a, run.scans, run.weights.nincl);
    };
    if (a.iscan == separate_answer && request.pattern) {
        const PatternDescription d = pattern_file_name();
        return write_scans_to_pattern_file(con, files, *request.pattern, d, a, run.scans,
                                           run.spectrum) &&
               written;
    }
    if (a.iscan == separate_answer) {
        files.output_name = ask.output_name(con, request, files, ".write", false);
        return write_scans_to_output(con, files, a, run.scans, run.spectrum) && written;
    }
    if (branch_sums(a.iscan)) {
        // The gudrunX data are summed without the reader's detail lines.
        sum_scans(con, files, a, run.scans, run.weights, a.iscan == gudrun_answer ? 0 : 1,
                  run.spectrum);
    } else {
        load_single_scan(con, files, a, run.scans, run.spectrum);
    }
    const double wavelength = run.scans.census.wavelength;
    report_and_convert(con, a, wavelength, run.spectrum);
    if (request.pattern) {
        const PatternDescription d = pattern_file_name();
        return write_pattern_spectrum(con, files.output_name, *request.pattern, d, run.spectrum,
                                      std::max(a.iscan, 0)) &&
               written;
    }
    const bool genie = a.ioutput == genie_output;
    files.output_name = ask.output_name(con, request, files, genie ? ".write" : ".dat", genie);
    return write_spectrum(con, files, a, wavelength, run.spectrum) && written;
}

}  // namespace orvalt

// The one conversion routine and the rules that the dialogue and the command
// line share.
#include <algorithm>
#include <memory>
#include <span>
#include <string>

#include "driver/output_files.h"
#include "driver/pattern_output.h"
#include "driver/pictures.h"
#include "driver/request.h"
#include "driver/steps.h"
#include "g_f/case_blind_compare.h"
#include "g_f/console.h"
#include "g_f/file_identity.h"
#include "g_f/input_stream.h"
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
    const auto ends_in_extension = [&](std::string_view n) {
        return n.size() >= extension.size() &&
               ovt_case_blind_compare(con, n.substr(n.size() - extension.size()), extension) == 0;
    };
    if (ends_in_extension(name)) return false;
    // A compressed measurement is named whole (run7.xrdml.gz).
    const std::string_view stem = without_compression_suffix(name);
    if (stem.size() < name.size() && ends_in_extension(stem)) return false;
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

// The converted spectrum into its picture; for gudrunX data every scan
// under the sum, the excluded ones marked.
void draw_spectrum(Console& con, const Request& request, const RunState& run,
                   plot::Figure& figure) {
    const Answers& a = request.answers;
    if (a.iscan == gudrun_answer) {
        xrdml::ReaderStatus status;
        if (!add_file_scans(trimmed(run.files.input_name), run.scans, &run.weights, 1, figure,
                            status))
            xrdml::ERRCHECK(con, status);
    }
    const auto n = static_cast<std::size_t>(run.spectrum.ny);
    figure.add(a.iscan > 0 ? a.iscan : 0,
               a.iscan == gudrun_answer ? plot::Style::sum : plot::Style::single,
               std::span<const double>(run.spectrum.x).first(n),
               std::span<const double>(run.spectrum.y).first(n),
               std::span<const double>(run.spectrum.e).first(n));
}

// A pattern file holds only what its format has a place for.
void check_pattern_fits(Console& con, PatternFormat format, const Answers& a,
                        const ScanTables& scans) {
    std::string why = units_refusal(format, a);
    if (why.empty()) why = axes_refusal(format, a, scans);
    if (!why.empty()) stop_with_error(con, why);
}

// The weights file goes in place with the data file; when the run ends
// without one (a stop, 0 at the output menu, a failed write), it goes alone,
// as it would have had it been put in place at once.
class WeightsKept {
public:
    WeightsKept(Console& con, RunState& run) : con_(con), run_(run) {}
    ~WeightsKept() {
        try {
            finish();
        } catch (...) {  // a report that could not be made: the file is in place or not
        }
    }
    WeightsKept(const WeightsKept&) = delete;
    WeightsKept& operator=(const WeightsKept&) = delete;
    // False when the weights file could not be put in place.
    bool finish() {
        OutputFile& f = run_.weights_file;
        // Of an input that changed while it was read, nothing is written.
        const ScanTables& scans = run_.scans;
        if (f.pending() && scans.stamped &&
            !still_the_same(std::string(trimmed(run_.files.input_name)), scans.stamp)) {
            f.abandon();
            return false;
        }
        const bool ok = put_weights_in_place(con_, f, run_.files.weights_name);
        if (f.in_place()) run_.files.weights_written = true;
        return ok && !f.failed();
    }

private:
    Console& con_;
    RunState& run_;
};

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
    WeightsKept weights_kept(con, run);
    if (a.iscan == gudrun_answer) {
        exclude_requested(con, request, run.weights, nscans);
        ask.exclusions(con, run.weights, nscans);
        written = save_weights(con, run.files, request.weights, run.weights, nscans,
                               run.weights_file);
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

    // The wavelengths go into Q, d-spacing, every Genie file's header and
    // every pattern file.
    if (a.iunits != 1 || a.ioutput == genie_output || request.pattern)
        check_wavelength(con, run.scans.census);

    empty_line(con);
    RunFiles& files = run.files;
    const double wavelength = run.scans.census.wavelength;
    std::unique_ptr<plot::Figure> figure;
    if (!request.picture.empty()) {
        figure = std::make_unique<plot::Figure>(new_picture(
            request.input, picture_choice(a, run.weights, nscans), a, wavelength,
            request.picture_log));
        figure->x_label = picture_x_label(a.iunits, nscans > 0 ? run.scans.par.axis[0] : "");
    }
    // The picture is drawn once the data file is in place.
    const auto with_picture = [&](bool ok) {
        if (!ok || figure == nullptr) return ok;
        return write_picture(con, request.picture, *figure);
    };
    const auto pattern_file_name = [&] {
        files.output_name =
            ask.output_name(con, request, files, pattern_extension(*request.pattern), false);
        return describe_run(files, a, run.scans, run.weights.nincl);
    };
    if (a.iscan == separate_answer && request.pattern) {
        const PatternDescription d = pattern_file_name();
        return with_picture(write_scans_to_pattern_file(con, files, *request.pattern, d, a,
                                                        run.scans, run.spectrum, figure.get()) &&
                            written);
    }
    if (a.iscan == separate_answer) {
        files.output_name = ask.output_name(con, request, files, ".write", false);
        return with_picture(
            write_scans_to_output(con, files, a, run.scans, run.spectrum, figure.get()) &&
            written);
    }
    if (branch_sums(a.iscan)) {
        // The gudrunX data are summed without the reader's detail lines.
        sum_scans(con, files, a, run.scans, run.weights, a.iscan == gudrun_answer ? 0 : 1,
                  run.spectrum);
    } else {
        load_single_scan(con, files, a, run.scans, run.spectrum);
    }
    report_and_convert(con, a, wavelength, run.spectrum);
    if (figure != nullptr) draw_spectrum(con, request, run, *figure);
    if (request.pattern) {
        const PatternDescription d = pattern_file_name();
        files.output_written = write_pattern_spectrum(con, files.output_name, *request.pattern, d,
                                                      run.spectrum, std::max(a.iscan, 0),
                                                      &run.weights_file);
        return with_picture(weights_kept.finish() && files.output_written && written);
    }
    const bool genie = a.ioutput == genie_output;
    files.output_name = ask.output_name(con, request, files, genie ? ".write" : ".dat", genie);
    const bool output =
        write_spectrum(con, files, a, run.scans, run.spectrum, &run.weights_file);
    return with_picture(weights_kept.finish() && output && written);
}

}  // namespace orvalt

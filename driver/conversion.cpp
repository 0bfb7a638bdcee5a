// The one conversion routine: the steps of a run from the census to the
// last file put in place.
#include "driver/conversion.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "driver/ascii_files.h"
#include "driver/census.h"
#include "driver/gudrun.h"
#include "driver/messages.h"
#include "driver/output_stage.h"
#include "driver/pictures.h"
#include "driver/scan_loading.h"
#include "driver/units.h"
#include "g_f/console.h"
#include "g_f/file_identity.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

// A scan choice the file can serve; the dialogue's menu never lets another
// through, the command line's options may name any scan.
void check_scan_choice(Console& con, std::int32_t iscan, std::int32_t nscans) {
    if (iscan > nscans)
        stop_with_error(con, "there is no scan " + std::to_string(iscan) + ": the file holds " +
                                 std::to_string(nscans) + " scans");
    if (nscans == 0 && branch_sums(iscan)) stop_with_error(con, "The file holds no scans");
}

// A pattern file holds only what its format has a place for.
void check_pattern_fits(Console& con, OutputFormat format, const Answers& a,
                        const ScanTables& scans) {
    std::string why = units_refusal(format, x_axis(a, scans));
    if (why.empty()) why = axes_refusal(format, a, scans);
    if (!why.empty()) stop_with_error(con, why);
}

// The converted spectrum into its picture; for gudrunX data every scan
// under the sum, the excluded ones marked.
void draw_spectrum(Console& con, const Request& request, const RunState& run,
                   plot::Figure& figure) {
    const Answers& a = request.answers;
    if (a.iscan == gudrun_answer) {
        xrdml::ReaderStatus status;
        if (!draw_file_scans(run.files, run.scans, &run.weights, 1, reading_limits(request),
                             figure, status))
            xrdml::ERRCHECK(con, status);
    }
    const auto n = static_cast<std::size_t>(run.spectrum.ny);
    figure.add(a.iscan > 0 ? a.iscan : 0,
               a.iscan == gudrun_answer ? plot::Style::sum : plot::Style::single,
               std::span<const double>(run.spectrum.x).first(n),
               std::span<const double>(run.spectrum.y).first(n),
               std::span<const double>(run.spectrum.e).first(n));
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

namespace {

// The census, the scan choice, the intensity and the scans a sum takes.
void settle_scans(Console& con, Request& request, Questions& ask, RunState& run) {
    const bool dialogue = request.front_end == FrontEnd::dialogue;
    Answers& a = request.answers;
    // The command line's answers are in before the file is read: a sum is
    // made in the census's own reading.
    std::function<void(std::string_view, const xrdml::FirstElement&)> each_line;
    if (!dialogue && branch_sums(a.iscan)) {
        run.sum_in_census = std::make_shared<SumInCensus>(request);
        each_line = [sum = run.sum_in_census.get()](std::string_view line,
                                                    const xrdml::FirstElement& first) {
            sum->take(line, first);
        };
    }
    // A scan's own conditions and times go into the pattern formats and the
    // command line's separate Genie entries, its axes into no file; the
    // dialogue keeps them all as it always has.
    const xrdml::FactsKept facts =
        dialogue ? xrdml::FactsKept::all
        : a.iscan == separate_answer || (request.format && is_pattern_format(*request.format))
            ? xrdml::FactsKept::conditions
            : xrdml::FactsKept::beam;
    run.scans = take_census(con, run.files, dialogue ? xrdml::max_scans : xrdml::unlimited,
                            std::move(each_line), facts);
    const std::int32_t nscans = run.scans.census.nscans;

    ask.scan_choice(con, a, nscans);
    check_scan_choice(con, a.iscan, nscans);
    if (branch_fixes_intensity(a.iscan))
        a.icps = 1;
    else
        ask.intensity(con, a);

    run.weights = all_included(nscans);
    if (a.iscan == gudrun_answer) {
        exclude_named(con, request.excluded, run.weights, nscans);
        ask.exclusions(con, run.weights, nscans);
    }
}

// The units and what to write, with what each needs of the file checked.
OutputFormat settle_output(Console& con, Request& request, Questions& ask, RunState& run) {
    Answers& a = request.answers;
    empty_line(con);
    if (branch_fixes_units(a.iscan)) {
        a.iunits = units_answer(Units::two_theta);
        say_line(con, "orvalt: x-axis units are 2-theta");
    } else {
        ask.units(con, a);
    }
    check_units_fit_axes(con, a, run.scans);
    const bool pattern = request.format && is_pattern_format(*request.format);
    if (pattern) {
        // The format names the file: there is no output kind to ask.
        check_pattern_fits(con, *request.format, a, run.scans);
    } else if (branch_fixes_output(a.iscan)) {
        a.ioutput = genie_output;
        say_line(con, "orvalt: Output file is a Genie binary file");
    } else {
        settle_output_answer(request);
        ask.output_kind(con, a);
    }
    const OutputFormat format = output_format(request);

    // The wavelengths go into Q, d-spacing, every Genie file's header and
    // every pattern file.
    if (units_of(a) != Units::two_theta || format != OutputFormat::ascii)
        check_wavelength(con, request, run.scans.census);
    warn_of_the_file(con, request, run.scans.census,
                     units_of(a) != Units::two_theta || format == OutputFormat::fxye ||
                         format == OutputFormat::cif);
    return format;
}

// One scan or the sum of scans, x made into the units asked.
void build_spectrum(Console& con, const Request& request, RunState& run) {
    const Answers& a = request.answers;
    if (branch_sums(a.iscan)) {
        // The gudrunX data are summed without the reader's detail lines.
        sum_scans(con, run.files, request, run.scans, run.weights,
                  a.iscan == gudrun_answer ? 0 : 1, run.spectrum, run.sum_in_census.get());
        run.sum_in_census.reset();  // its list of numbers goes before the files are written
    } else {
        load_single_scan(con, run.files, request, run.scans, run.spectrum);
    }
    report_and_convert(con, units_of(a), wavelengths_used(request, run.scans.census).value,
                       run.spectrum);
}

}  // namespace

void compute_spectrum(Console& con, Request& request, RunState& run) {
    Questions given;
    settle_scans(con, request, given, run);
    if (request.answers.iscan == separate_answer)
        stop_with_error(con, "every scan separately makes no one spectrum");
    request.format = OutputFormat::ascii;
    settle_output(con, request, given, run);
    build_spectrum(con, request, run);
}

bool convert(Console& con, Request& request, Questions& ask, RunState& run) {
    settle_scans(con, request, ask, run);
    Answers& a = request.answers;
    const std::int32_t nscans = run.scans.census.nscans;
    bool written = true;
    WeightsKept weights_kept(con, run);
    if (a.iscan == gudrun_answer)
        written = save_weights(con, run.files, request.weights, run.weights, nscans,
                               run.weights_file);
    const OutputFormat format = settle_output(con, request, ask, run);
    const FormatRow& row = format_row(format);

    empty_line(con);
    RunFiles& files = run.files;
    const Wavelengths waves = wavelengths_used(request, run.scans.census);
    const double wavelength = waves.value;
    std::unique_ptr<plot::Figure> figure;
    if (!request.picture.empty())
        figure = std::make_unique<plot::Figure>(new_picture(
            request.input,
            scan_choice_text(ChoiceText::picture_title, a.iscan, run.weights.nincl, nscans),
            a.icps, wavelength, x_axis(a, run.scans), request.picture_log));
    // The picture is drawn once the data file is in place.
    const auto with_picture = [&](bool ok) {
        if (!ok || figure == nullptr) return ok;
        files.picture_failed = !write_picture(con, request.picture, *figure);
        return !files.picture_failed;
    };
    if (a.iscan == separate_answer) {
        files.output_name = ask.output_name(con, request, files, row.extension, false);
        return with_picture(
            write_separate_scans(con, files, format, request, run.scans, run.spectrum,
                                 figure.get()) &&
            written);
    }
    build_spectrum(con, request, run);
    if (figure != nullptr) draw_spectrum(con, request, run, *figure);
    files.output_name =
        ask.output_name(con, request, files, row.extension, format == OutputFormat::genie);
    const bool output = write_spectrum(con, files, format, request, run.scans, run.weights,
                                       run.spectrum, &run.weights_file);
    return with_picture(weights_kept.finish() && output && written);
}

}  // namespace orvalt

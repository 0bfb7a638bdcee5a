// One reading of a file for the three passes that tell what it holds. Each
// keeps its own logic; the reading, the line splitting and the comment
// tracking are shared.
#include "xrdml/reader.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "g_f/chars.h"
#include "g_f/console.h"
#include "g_f/input_stream.h"
#include "g_f/line_reader.h"
#include "g_f/scratch_file.h"
#include "g_f/text.h"
#include "xrdml/pass_lines.h"
#include "xrdml/passes.h"

namespace orvalt::xrdml {

namespace {

// The parameters pass on its own stops after the first line where every kind
// has been met nscans times, a number known only at the end of the census.
// So at each line where that least count first reaches new values, what the
// tables would be if the pass stopped there is kept, for the numbers of scans
// lo..hi still possible then (never fewer than the scans counted so far).
struct StopPoint {
    std::int32_t lo = 0;
    std::int32_t hi = 0;
    ParameterPass::Stop stop;
};

// Whether a line that opens an intensity list ends before its list closes:
// a line the file ends in, cut short. Its last character that is no blank
// is no ">".
bool ends_open(std::string_view line) {
    std::size_t end = line.size();
    while (end > 0 && is_blank_or_tab(line[end - 1])) --end;
    return end == 0 || line[end - 1] != '>';
}

}  // namespace

FileSurvey survey_file(std::string_view name, const ReaderStatus& status, ScanCensus& census,
                       ScanParameters& par, const SurveyOptions& options) {
    const std::int32_t verbose = options.verbose;
    ScratchFile* const plain_copy = options.plain_copy;
    FileSurvey out;
    LineReader in;
    const std::string path(trimmed(name));
    if (plain_copy != nullptr) plain_copy->abandon();
    if (!in.open(path)) return out;
    out.opened = true;
    out.stamped = in.stamp(out.stamp);
    // Without room for the copy, the later passes decompress the file again.
    if (plain_copy != nullptr && compression_of(path) != Compression::none) {
        int error = 0;
        if (plain_copy->create(error)) in.copy_to(plain_copy->stream());
    }
    out.census_status = status;

    std::istringstream no_input;
    std::ostringstream report;
    Console con{no_input, report, [&out](MessageKind, std::string_view line) {
                    out.census_warnings.emplace_back(line);
                }};
    CensusPass census_pass(census, options.scan_limit);
    bool census_going = true;
    census.beam = BeamFacts();
    census.root_closed = false;
    census.cut_scan = 0;
    FactsPass facts(options.facts);
    bool last_open_list = false;  // the last line that is not blank opens a list it does not close

    ParameterPass parameter_pass(par);
    ReaderStatus parameter_error;
    bool parameters_going = true;
    bool parameters_failed = false;
    std::int32_t least_reached = -1;
    std::vector<StopPoint> stops;

    CommentTracker comments;
    std::string_view line;
    // A read error ends every pass, as the end of the file does; it is
    // reported once the passes are done.
    while (in.next(line)) {
        // A copy that could not be written whole (a full disk) leaves the
        // temporary folder at once.
        if (plain_copy != nullptr && plain_copy->active() && in.copy_failed()) {
            in.copy_to(nullptr);
            plain_copy->abandon();
        }
        out.records.add(line);
        if (!out.xrdml_root && line.find("<xrdMeasurement") != std::string_view::npos)
            out.xrdml_root = true;
        if (comments.inside(line)) continue;
        const FirstElement first = first_element(line);
        if (options.each_line) options.each_line(line, first);
        facts.take(line, first);
        // A line with an element is no blank line.
        if (first.found || !std::all_of(line.begin(), line.end(), is_blank_or_tab)) {
            last_open_list =
                (first.matches("intensities") || first.matches("counts")) && ends_open(line);
            // The root's end tag stands on a line of its own.
            if (first.matches("/xrdMeasurement") &&
                line.find("</xrdMeasurements>") != std::string_view::npos)
                census.root_closed = true;
        }
        if (census_going)
            census_going = census_pass.take(con, line, first, out.census_status, verbose);
        // A failed census ends the run before its parameters are looked at.
        if (!census_going) parameters_going = false;
        if (!parameters_going) continue;
        if (!parameter_pass.take(line, first, in.line_offset(), parameter_error)) {
            parameters_going = false;
            parameters_failed = true;
            continue;
        }
        const std::int32_t scans = census_pass.scans();
        const std::int32_t least = parameter_pass.least_count();
        if (least > least_reached) {
            const std::int32_t lo = std::max(least_reached + 1, scans);
            const std::int32_t hi = least;
            if (lo <= hi) stops.push_back({lo, hi, parameter_pass.stop_here()});
            least_reached = least;
        }
        std::erase_if(stops, [scans](const StopPoint& s) { return s.hi < scans; });
    }
    out.too_long = in.too_long();
    const InputStream::Fault fault = in.fault();
    const bool copied = in.copy_complete();
    // A file written to while it was read: what was read may be of either
    // version, and every later reading compares with this stamp.
    FileStamp after;
    const bool changed = out.stamped && (!in.stamp(after) || !(after == out.stamp));
    in.close();
    if (plain_copy != nullptr && plain_copy->active() && !(copied && plain_copy->close_stream()))
        plain_copy->abandon();
    if (census_going) census_pass.finish(con, out.census_status, verbose);
    census.beam = std::move(facts.beam);
    // Counted as every list is, also where the census stopped early.
    if (last_open_list) census.cut_scan = facts.lists();
    par.facts = std::move(facts.scans);
    // A file that could not be read to its end (a damaged archive) is not
    // converted from the part that could; whatever else the part showed
    // wrong follows from the damage.
    if (fault != InputStream::Fault::none)
        out.census_status.set(19, fault_text(fault, compression_of(trimmed(name))));
    out.census_report = std::move(report).str();
    if (changed && out.census_status.ierr == 0) out.census_status.set(file_changed, changed_message);

    out.parameter_status = out.census_status;
    out.parameter_status.ierr = 0;
    const std::int32_t nscans = census.nscans;
    const auto stop = std::find_if(stops.begin(), stops.end(), [nscans](const StopPoint& s) {
        return s.lo <= nscans && nscans <= s.hi;
    });
    if (stop != stops.end()) {
        parameter_pass.stop_at(stop->stop, nscans, out.parameter_status);
    } else if (parameters_failed) {
        out.parameter_status = parameter_error;
    } else {
        parameter_pass.report_missing(nscans, out.parameter_status);
    }
    return out;
}

}  // namespace orvalt::xrdml

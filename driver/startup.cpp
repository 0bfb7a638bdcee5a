// Start and end of a run: the remembered answers, the input file and the two
// passes that tell what the file holds.
#include <cstring>
#include <new>
#include <string>

#include "driver/steps.h"
#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/header.h"
#include "g_f/input_files.h"
#include "g_f/interruptions.h"
#include "g_f/name_safety.h"
#include "g_f/new_files.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "g_f/text.h"
#include "xrdml/reader.h"

namespace orvalt {

namespace {

constexpr std::string_view tmp_file = "orvalt.tmp";
constexpr std::string_view default_input = "Na_Mg_mirror.xrdml";
// Long enough for the full name of orvalt.tmp in any working directory.
constexpr std::size_t tmp_field_length = 4096;

}  // namespace

Answers load_remembered_answers(Console& con, RunFiles& files) {
    std::string name = field(tmp_file, tmp_field_length);
    std::string full = std::string(tmp_field_length, ' ');
    std::int32_t status = 0;
    check_file(con, name, full, 2, 0, status);
    files.tmp_name = std::string(trimmed(full));

    set_field(files.input_name, default_input);
    if (status != 1) return {};

    // Read only as far as the five lines can reach: a name line that fills
    // its field, and four integer lines of the same bound.
    constexpr std::size_t line_limit = name_field_length + 2;
    std::string bytes;
    if (!read_file_start(files.tmp_name, 5 * line_limit, bytes)) return {};
    std::string_view rest = bytes;
    // A byte order mark (an editor's) is not part of the name.
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    std::string_view lines[5];
    for (auto& line : lines) {
        if (rest.empty()) return {};
        const std::size_t lf = rest.find('\n');
        // A last line needs no line end, unless the read stopped at the limit.
        if (lf == std::string_view::npos && bytes.size() == 5 * line_limit) return {};
        line = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    // A name that could not be typed cannot be remembered either.
    if (!file_name_refusal(lines[0], name_field_length).empty()) return {};
    std::int32_t values[4] = {};
    for (int i = 0; i < 4; ++i)
        if (!read_first_integer(lines[i + 1], values[i])) return {};
    set_field(files.input_name, lines[0]);
    return {values[0], values[1], values[2], values[3]};
}

void choose_input_file(Console& con, RunFiles& files) {
    std::string& name = files.input_name;
    int n = 0;
    // Room is kept for the extension that may be added.
    ask_file_name(con, name, "full name of input file", n, input_name_limit);
    std::string typed = name.substr(0, static_cast<std::size_t>(n));
    if (add_input_extension(con, typed)) {
        say_line(con, "orvalt: Assumed input filetype is .xrdml");
        set_field(name, typed);
    }

    std::string full(name_field_length, ' ');
    std::int32_t status = 0;
    check_file(con, name, full, 1, 1, status);
    files.full_name = std::string(trimmed(full));
}

ScanTables take_census(Console& con, RunFiles& files) {
    const std::string name(trimmed(files.input_name));
    ScanTables scans;
    xrdml::ReaderStatus status;
    // inqfilerec, COUNTSCANS and ORVALTPAR from one reading of the file,
    // reported in that order.
    xrdml::FileSurvey survey =
        xrdml::survey_file(name, status, scans.census, scans.par, 1, &files.plain_copy);
    if (!survey.opened) stop_census_unopened(con, name);
    std::int32_t nrec = 0;
    std::int32_t maxlen = 0;
    if (survey.too_long) {
        // No pass holds a line longer than the reader's limit: the census of
        // the records, which only measures lines, tells how long it is.
        inqfilerec(con, name, 99, 1, nrec, maxlen);
        status.set(18, "Line too long in XRDML file");
        xrdml::ERRCHECK(con, status);
    }
    report_record_census(con, survey.records, 1, nrec, maxlen);
    con.out << survey.census_report;
    if (con.report)
        for (const std::string& line : survey.census_warnings)
            con.report(MessageKind::warning, line);
    // A file that is not a measurement at all fails on its wavelength first;
    // a report can say what it is (a damaged archive says so itself).
    const bool not_xrdml = survey.census_status.ierr == 5 && !survey.xrdml_root;
    xrdml::ERRCHECK(con, survey.census_status,
                    not_xrdml ? "not an XRDML file (it holds no xrdMeasurement element)"
                              : std::string_view());
    xrdml::ERRCHECK(con, survey.parameter_status);
    // A compressed input is read on from this run's own copy, which nothing changes.
    scans.stamped = survey.stamped && !files.plain_copy.active();
    scans.stamp = survey.stamp;
    return scans;
}

std::string_view read_name(const RunFiles& files) {
    if (files.plain_copy.active()) return files.plain_copy.temporary_name();
    return trimmed(files.input_name);
}

bool save_remembered_answers(Console& con, const RunFiles& files, const Answers& answers) {
    // "orvalt.tmp" may be a link to a file this run read or wrote.
    if (reaches_any(files.tmp_name,
                    {trimmed(files.input_name), files.output_name, files.weights_name})) {
        say_line(con, "**ERROR in orvalt: orvalt.tmp reaches a file of this run; not written");
        return false;
    }
    std::int32_t error = 0;
    OutputFile file = open_new_file(con, files.tmp_name, 94, 0, error, 0, 0, 0);
    if (!file.is_open()) return false;  // reported by open_new_file
    file.write_line(trimmed(files.input_name));
    for (std::int32_t value : {answers.iscan, answers.icps, answers.iunits, answers.ioutput})
        file.write_line(format_integer_width(value, 12));
    if (!file.close()) {
        say_line(con, "**ERROR in orvalt: Could not write " + files.tmp_name);
        return false;
    }
    return true;
}

void stop_with_error(Console& con, std::string_view text) {
    fail(con, std::string("**ERROR in orvalt: ").append(text));
}

namespace {

int run_steps(Console& con) {
    std::int32_t unit = 0;
    prog_header(con, "ORVALT", "Read data from a .XRDML file", "The ORVALT developers", "23-1-14",
                1, unit);
    RunState run;
    Request request;
    request.answers = load_remembered_answers(con, run.files);
    choose_input_file(con, run.files);
    request.input = trimmed(run.files.input_name);
    DialogueQuestions questions;
    bool written = convert(con, request, questions, run);
    // A run whose output failed keeps the answers of the last good one.
    if (written) written = save_remembered_answers(con, run.files, request.answers);
    return written ? 0 : 1;
}

}  // namespace

int run_orvalt(Console& con) {
    handle_interruptions();
    try {
        return run_steps(con);
    } catch (const std::bad_alloc&) {
        // Every file being written has been abandoned on the way out.
        // A literal line: nothing more is allocated on this way out.
        fail(con, "**ERROR in orvalt: Out of memory");
    }
}

}  // namespace orvalt

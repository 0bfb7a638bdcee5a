// Start and end of a run: the remembered answers, the input file and the two
// passes that tell what the file holds.
#include <new>
#include <string>

#include "driver/steps.h"
#include "g_f/console.h"
#include "g_f/files.h"
#include "g_f/header.h"
#include "g_f/numbers.h"
#include "g_f/platform.h"
#include "g_f/text.h"
#include "xrdml/reader.h"

namespace orvalt {

namespace {

constexpr std::string_view tmp_file = "orvalt.tmp";
constexpr std::string_view default_input = "Na_Mg_mirror.xrdml";
// Long enough for the full name of orvalt.tmp in any working directory.
constexpr std::size_t tmp_field_length = 4096;

void set_defaults(RunState& run) {
    set_field(run.input_name, default_input);
    run.iscan = 0;
    run.icps = 1;
    run.iunits = 1;
    run.ioutput = 2;
}

}  // namespace

void load_remembered_answers(Console& con, RunState& run) {
    std::string name = field(tmp_file, tmp_field_length);
    std::string full = std::string(tmp_field_length, ' ');
    std::int32_t status = 0;
    check_file(con, name, full, 2, 0, status);
    run.tmp_name = std::string(trimmed(full));

    set_defaults(run);
    if (status != 1) return;

    // Read only as far as the five lines can reach: a name line that fills
    // its field, and four integer lines of the same bound.
    constexpr std::size_t line_limit = name_field_length + 2;
    std::string bytes;
    if (!read_file_start(run.tmp_name, 5 * line_limit, bytes)) return;
    std::string_view rest = bytes;
    std::string_view lines[5];
    for (auto& line : lines) {
        if (rest.empty()) return;
        const std::size_t lf = rest.find('\n');
        // A last line needs no line end, unless the read stopped at the limit.
        if (lf == std::string_view::npos && bytes.size() == 5 * line_limit) return;
        line = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    // A name that could not be typed cannot be remembered either.
    if (!file_name_refusal(lines[0], name_field_length).empty()) return;
    std::int32_t values[4] = {};
    for (int i = 0; i < 4; ++i)
        if (!read_first_integer(lines[i + 1], values[i])) return;
    set_field(run.input_name, lines[0]);
    run.iscan = values[0];
    run.icps = values[1];
    run.iunits = values[2];
    run.ioutput = values[3];
}

void choose_input_file(Console& con, RunState& run) {
    constexpr std::string_view extension = ".xrdml";
    int n = 0;
    // Room is kept for the extension that may be added.
    ask_file_name(con, run.input_name, "full name of input file", n,
                  name_field_length - extension.size());
    run.name_length = n;

    if (run.name_length > 6) {
        std::string_view last6 = std::string_view(run.input_name).substr(run.name_length - 6, 6);
        if (ovt_case_blind_compare(con, last6, extension) != 0) {
            say_line(con, "orvalt: Assumed input filetype is .xrdml");
            run.input_name.replace(static_cast<std::size_t>(run.name_length), extension.size(),
                                   extension);
            run.name_length += static_cast<std::int32_t>(extension.size());
        }
    }

    std::int32_t status = 0;
    check_file(con, run.input_name, run.full_name, 1, 1, status);
    run.name_length = trimmed_length(run.input_name);
}

void take_census(Console& con, RunState& run) {
    const std::string name(trimmed(run.input_name));
    // inqfilerec, COUNTSCANS and ORVALTPAR from one reading of the file,
    // reported in that order.
    xrdml::FileSurvey survey =
        xrdml::survey_file(name, run.status, run.census, run.par, run.verbose);
    if (!survey.opened) stop_census_unopened(con, name);
    if (survey.too_long) {
        // No pass holds a line longer than the reader's limit: the census of
        // the records, which only measures lines, tells how long it is.
        inqfilerec(con, name, 99, 1, run.nrec, run.maxlen);
        run.status.set(18, "Line too long in XRDML file");
        xrdml::ERRCHECK(con, run.status);
    }
    report_record_census(con, survey.records, 1, run.nrec, run.maxlen);
    con.out << survey.census_report;
    run.status = survey.census_status;
    xrdml::ERRCHECK(con, run.status);
    run.status = survey.parameter_status;
    xrdml::ERRCHECK(con, run.status);
}

void save_remembered_answers(Console& con, RunState& run) {
    // "orvalt.tmp" may be a link to a file this run read or wrote.
    if (reaches_any(run.tmp_name,
                    {trimmed(run.input_name), trimmed(run.output_name), run.weights_name})) {
        say_line(con, "**ERROR in orvalt: orvalt.tmp reaches a file of this run; not written");
        run.exit_status = 1;
        return;
    }
    std::int32_t error = 0;
    OutputFile file = open_new_file(con, run.tmp_name, 94, 0, error, 0, 0, 0);
    if (!file.is_open()) {
        run.exit_status = 1;  // reported by open_new_file
        return;
    }
    file.write_line(trimmed(run.input_name));
    for (std::int32_t value : {run.iscan, run.icps, run.iunits, run.ioutput})
        file.write_line(format_integer_width(value, 12));
    if (!file.close()) {
        say_line(con, "**ERROR in orvalt: Could not write " + run.tmp_name);
        run.exit_status = 1;
    }
}

void stop_with_error(Console& con, std::string_view text) {
    fail(con, std::string("**ERROR in orvalt: ").append(text));
}

namespace {

int run_steps(Console& con) {
    RunState run;
    std::int32_t unit = 0;
    prog_header(con, "ORVALT", "Read data from a .XRDML file", "The ORVALT developers",
                "23-1-14", 1, unit);
    load_remembered_answers(con, run);
    choose_input_file(con, run);
    take_census(con, run);

    ask_scan_menu(con, run);
    ask_intensity(con, run);
    run.weight.fill(1);
    run.nincl = run.census.nscans;
    if (run.iscan == -2) exclude_scans(con, run);
    ask_units(con, run);
    ask_output(con, run);

    empty_line(con);
    if (run.iscan == 0 || run.iscan == -2) {
        sum_scans(con, run);
        output_stage(con, run);
    } else if (run.iscan == -3) {
        write_separate_scans(con, run);
    } else {
        load_single_scan(con, run);
        output_stage(con, run);
    }
    // A run whose output failed keeps the answers of the last good one.
    if (run.exit_status == 0) save_remembered_answers(con, run);
    return run.exit_status;
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

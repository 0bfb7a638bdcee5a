// ORVALT with arguments. The options stand for the dialogue's answers, and a
// file is converted by the dialogue's own steps, run on a console that has no
// input and whose transcript is kept: its progress lines are dropped, and
// whatever else it says (warnings, errors) goes to standard error under the
// input's name.
#include "driver/cli.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <new>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "driver/errors_to.h"
#include "driver/output_files.h"
#include "driver/steps.h"
#include "g_f/console.h"
#include "g_f/file_system.h"
#include "g_f/input_files.h"
#include "g_f/interruptions.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"
#include "orvalt_version.h"
#include "programs/help_format.h"

namespace orvalt {

namespace {

namespace fs = std::filesystem;

// Scan-menu answers of the branches.
constexpr std::int32_t sum_answer = 0, gudrun_answer = -2, separate_answer = -3;

constexpr std::string_view usage_line = "Usage: orvalt [OPTIONS] FILE.xrdml...";

constexpr std::string_view examples =
    "Examples:\n"
    "  orvalt run7.xrdml\n"
    "      all scans summed, counts per second against 2-theta: Genie file run7.write\n"
    "  orvalt --scan 2 --counts --units q --format ascii run7.xrdml\n"
    "      scan 2 as counts against Q: ASCII data file run7.dat\n"
    "  orvalt --gudrun --exclude 2,5 run7.xrdml\n"
    "      gudrunX data without scans 2 and 5: run7.dat and the weights run7.weights\n"
    "  orvalt --separate run7.xrdml\n"
    "      every scan as one entry of the Genie file run7.write\n"
    "  orvalt -d converted data/*.xrdml\n"
    "      every file of a folder, the outputs in the folder converted\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when any was not (each is named on\n"
    "standard error), 2 when the arguments were refused (then no file is read).";

struct Choices {
    Answers answers{sum_answer, 1, 1, 2};
    std::vector<std::int32_t> exclude;
    std::string output;
    std::string output_dir;
    bool quiet = false;
};

// A scan number as the options take it: 1 or more.
const CLI::Validator scan_number(
    [](std::string& item) {
        std::int32_t n = 0;
        return parse_integer(item, n) && n >= 1 ? std::string()
                                                : "'" + item + "' is not a scan number (1, 2, ...)";
    },
    "");

// Arguments that cannot be used: the message, then the usage line.
int refuse(std::ostream& err, std::string_view why) {
    err << "orvalt: " << why << '\n'
        << usage_line << "\nRun 'orvalt --help' for the options.\n";
    return 2;
}

// Reads the arguments into `c` and `files`. Returns -1 to go on, otherwise
// the exit status (0 after --help or --version, 2 for refused arguments).
int parse_arguments(int argc, const char* const* argv, Choices& c, std::vector<std::string>& files,
                    std::ostream& out, std::ostream& err) {
    CLI::App app{"", "orvalt"};
    app.formatter(std::make_shared<HelpFormat>(
        std::string(usage_line),
        "Converts each XRDML powder-diffraction measurement named into an ASCII data file\n"
        "or a Genie binary file, without a question. Run without arguments, ORVALT asks\n"
        "its questions one by one instead."));
    app.footer(std::string(examples));
    app.set_version_flag("-V,--version", "orvalt " ORVALT_VERSION "\nbuilt for " ORVALT_BUILD,
                         "Print the version and the build (platform, compiler) and exit");
    std::int32_t scan = 0;
    bool sum = false, gudrun = false, separate = false, counts = false, cps = false;
    std::string units = "2theta", format;
    auto* o_scan = app.add_option("--scan", scan, "Load scan N")
                       ->type_name("N")
                       ->check(scan_number);
    auto* f_sum = app.add_flag("--sum", sum, "Load all scans summed (the default)");
    auto* f_gudrun = app.add_flag("--gudrun", gudrun,
                                  "Prepare gudrunX data: sum in counts per second against "
                                  "2-theta, ASCII by default, and weights");
    auto* f_separate = app.add_flag("--separate", separate,
                                    "Every scan, against 2-theta, as one entry of a Genie file");
    auto* o_exclude = app.add_option("--exclude", c.exclude,
                                     "With --gudrun: scans to exclude, e.g. 2,5")
                          ->type_name("LIST")
                          ->delimiter(',')
                          ->allow_extra_args(false)
                          ->check(scan_number);
    auto* f_counts = app.add_flag("--counts", counts, "Intensity in counts");
    auto* f_cps = app.add_flag("--cps", cps, "Intensity in counts per second (the default)");
    auto* o_units = app.add_option("--units", units, "x axis: 2theta (the default), q or d")
                        ->type_name("2theta|q|d")
                        ->check(one_of({"2theta", "q", "d"}));
    auto* o_format = app.add_option("--format", format,
                                    "Output file: genie (the default) or ascii")
                         ->type_name("ascii|genie")
                         ->check(one_of({"ascii", "genie"}));
    app.add_option("-o,--output", c.output, "Output file name (one input file only)")
        ->type_name("NAME");
    app.add_option("-d,--output-dir", c.output_dir,
                   "Folder for the outputs (default: beside each input)")
        ->type_name("DIR");
    app.add_flag("-q,--quiet", c.quiet, "Print only errors");
    app.add_option("FILE.xrdml", files, "XRDML files to convert")->required();

    CLI::Option* branches[] = {o_scan, f_sum, f_gudrun, f_separate};
    for (auto* a : branches)
        for (auto* b : branches)
            if (a != b) a->excludes(b);
    f_counts->excludes(f_cps);
    f_cps->excludes(f_counts);
    o_exclude->needs(f_gudrun);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        return refuse(err, e.what());
    }

    Answers& a = c.answers;
    if (o_scan->count() > 0) a.iscan = scan;
    if (gudrun) a.iscan = gudrun_answer;
    if (separate) a.iscan = separate_answer;
    a.icps = counts ? 0 : 1;
    a.iunits = units == "q" ? 2 : units == "d" ? 3 : 1;
    a.ioutput = gudrun ? 1 : 2;
    if (o_format->count() > 0) a.ioutput = format == "ascii" ? 1 : 2;

    const std::string_view branch = gudrun ? "--gudrun" : "--separate";
    if ((gudrun || separate) && a.iunits != 1 && o_units->count() > 0)
        return refuse(err, "--units " + units + " cannot go with " + std::string(branch) +
                               ", whose x axis is 2-theta");
    if (gudrun && a.icps == 0)
        return refuse(err, "--counts cannot go with --gudrun, whose data are counts per second");
    if (separate && a.ioutput == 1)
        return refuse(err, "--format ascii cannot go with --separate, which writes one Genie file");
    if (!c.output.empty() && files.size() > 1)
        return refuse(err, "-o names one output file, but " + std::to_string(files.size()) +
                               " input files were given");
    std::error_code ec;
    if (!c.output_dir.empty() && !fs::is_directory(c.output_dir, ec))
        return refuse(err, "-d: there is no folder " + c.output_dir);
    return -1;
}

// Lines of the dialogue's transcript that only tell how a conversion goes.
bool progress_line(std::string_view line) {
    if (line.starts_with(' ')) line.remove_prefix(1);
    static constexpr std::string_view progress[] = {
        "orvalt: ", "count_scans: ", "orvaltdata1: ", "inqfilerec: ", "File found : ",
        "No pre-existing version of file exists", "New file: ", "Saving weights to "};
    if (trimmed_length(line) == 0) return true;
    for (const auto p : progress)
        if (line.starts_with(p)) return true;
    return false;
}

// The names one input gives, as the dialogue's defaults or as -o and -d say.
struct Names {
    std::string input;    // the name read: the argument, ".xrdml" added as the dialogue adds it
    std::string data;     // the data file (or the Genie file of the separate scans)
    std::string weights;  // the gudrunX weights file, or empty
    std::string base;     // the input name moved to the output folder: the stem of the defaults
};

Names names_of(Console& con, const Choices& c, const std::string& argument) {
    Names n;
    // Trailing blanks are not part of a name, as in the dialogue's name field.
    n.input = trimmed(argument);
    constexpr std::string_view extension = ".xrdml";
    if (n.input.size() > extension.size() &&
        ovt_case_blind_compare(con, std::string_view(n.input).substr(n.input.size() - 6),
                               extension) != 0)
        n.input += extension;
    n.base = c.output_dir.empty()
                 ? n.input
                 : (fs::path(c.output_dir) / fs::path(n.input).filename()).string();
    if (c.output.empty())
        n.data = default_output_name(n.base, c.answers.ioutput == 2 ? ".write" : ".dat");
    else if (c.output_dir.empty() || fs::path(c.output).is_absolute())
        n.data = c.output;
    else
        n.data = (fs::path(c.output_dir) / c.output).string();
    if (c.answers.iscan == gudrun_answer) n.weights = default_output_name(n.base, ".weights");
    return n;
}

// Why the names cannot be used, or empty. `written` holds the full names of
// the files this run has written so far.
std::string names_problem(const Choices& c, const Names& n, const std::set<std::string>& written) {
    if (n.input.size() > name_field_length)
        return "the name is longer than " + std::to_string(name_field_length) + " characters";
    if (!file_exists(n.input)) return "no such file: " + n.input;
    const bool genie_stage = c.answers.ioutput == 2 && c.answers.iscan != separate_answer;
    if (genie_stage && n.data.size() > genie_name_limit)
        return "the output name " + n.data + " is longer than 80 characters, the limit of "
               "Genie file names; give a shorter one with -o or -d";
    for (const std::string& target : {n.data, n.weights}) {
        if (target.empty()) continue;
        if (target.size() > name_field_length)
            return "the output name " + target + " is longer than " +
                   std::to_string(name_field_length) + " characters";
        // The same rules as for a typed name: never the input, only a regular file.
        if (const std::string refusal = output_name_refusal(target, {n.input}); !refusal.empty())
            return "will not write " + target + ":" + refusal;
        if (written.contains(full_file_name(target)))
            return "will not write " + target + " again: this run has written it already";
    }
    if (!n.weights.empty() && full_file_name(n.data) == full_file_name(n.weights))
        return "the data file and the weights file would both be " + n.data;
    return {};
}

// The dialogue's steps with the answers given. False when the conversion
// failed (the transcript says why).
bool convert(Console& con, RunState& run, const Choices& c, const Names& n) {
    try {
        const Answers& a = c.answers;
        RunFiles& files = run.files;
        set_field(files.input_name, n.input);
        std::string full(name_field_length, ' ');
        std::int32_t status = 0;
        check_file(con, files.input_name, full, 2, 0, status);
        files.full_name = std::string(trimmed(full));
        run.scans = take_census(con, files);

        const std::int32_t nscans = run.scans.census.nscans;
        const std::string holds = ": the file holds " + std::to_string(nscans) + " scans";
        if (a.iscan > nscans)
            stop_with_error(con, "there is no scan " + std::to_string(a.iscan) + holds);
        if (nscans == 0 && (a.iscan == sum_answer || a.iscan == gudrun_answer))
            stop_with_error(con, "The file holds no scans");
        for (const std::int32_t s : c.exclude)
            if (s > nscans)
                stop_with_error(con,
                                "there is no scan " + std::to_string(s) + " to exclude" + holds);

        check_units_fit_axes(con, a, run.scans);
        run.weights = all_included(nscans);
        bool written = true;
        if (a.iscan == gudrun_answer) {
            for (const std::int32_t s : c.exclude) exclude(run.weights, s);
            if (run.weights.nincl == 0) fail(con, "Error: All scans have been excluded");
            // The name checked before the run and reported after it.
            written = write_weights_file(con, n.weights, nscans, run.weights.weight);
        }

        files.output_name = n.data;
        if (a.iscan == separate_answer)
            return write_scans_to_output(con, files, a, run.scans, run.spectrum) && written;
        // The gudrunX data are summed without the reader's detail lines.
        if (a.iscan == sum_answer || a.iscan == gudrun_answer)
            sum_scans(con, files, a, run.scans, run.weights, a.iscan == gudrun_answer ? 0 : 1,
                      run.spectrum);
        else
            load_single_scan(con, files, a, run.scans, run.spectrum);
        report_and_convert(con, a, run.scans.census.wavelength, run.spectrum);
        return write_spectrum(con, files, a, run.scans.census.wavelength, run.spectrum) && written;
    } catch (const Stop&) {
        return false;
    } catch (const std::bad_alloc&) {
        say_line(con, "**ERROR in orvalt: Out of memory");
        return false;
    }
}

// What was written, for the line on standard output.
std::string description(const Choices& c, const RunState& run) {
    const std::int32_t nscans = run.scans.census.nscans;
    const std::int32_t iscan = c.answers.iscan;
    const auto scans = [](std::int32_t k) {
        return std::to_string(k) + (k == 1 ? " scan" : " scans");
    };
    std::string d = iscan == sum_answer      ? "sum of " + scans(nscans)
                    : iscan == gudrun_answer ? "gudrunX data, sum of " +
                                                   std::to_string(run.weights.nincl) + " of " +
                                                   scans(nscans)
                    : iscan == separate_answer ? scans(nscans) + " separately"
                                               : "scan " + std::to_string(iscan);
    d += c.answers.icps == 0 ? ", counts" : ", counts per second";
    d += c.answers.iunits == 2 ? ", Q" : c.answers.iunits == 3 ? ", d-spacing" : ", 2-theta";
    return d;
}

bool convert_file(const Choices& c, const std::string& argument, std::set<std::string>& written,
                  std::ostream& out, std::ostream& err) {
    std::istringstream no_answers;
    std::ostringstream transcript;
    Console con{no_answers, transcript};
    const Names n = names_of(con, c, argument);
    if (const std::string problem = names_problem(c, n, written); !problem.empty()) {
        err << argument << ": " << problem << '\n';
        return false;
    }

    auto run = std::make_unique<RunState>();
    bool ok = false;
    {
        const ErrorsTo errors(transcript);
        ok = convert(con, *run, c, n);
    }
    for (const std::string& target : {n.data, n.weights})
        if (!target.empty()) written.insert(full_file_name(target));

    std::istringstream lines(transcript.str());
    for (std::string line; std::getline(lines, line);) {
        if (progress_line(line)) continue;
        err << argument << ": " << trimmed(line.starts_with(' ') ? line.substr(1) : line) << '\n';
    }
    if (!ok) {
        err << argument << ": not converted\n";
        return false;
    }
    if (!c.quiet) {
        out << argument << ": " << description(c, *run) << " -> " << n.data;
        if (!n.weights.empty()) out << " and " << n.weights;
        out << '\n';
    }
    return true;
}

}  // namespace

int run_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    Choices c;
    std::vector<std::string> files;
    if (const int status = parse_arguments(argc, argv, c, files, out, err); status >= 0)
        return status;

    handle_interruptions();
    std::set<std::string> written;
    int status = 0;
    for (const std::string& file : files) {
        if (!convert_file(c, file, written, out, err)) status = 1;
        out.flush();
        err.flush();
    }
    return status;
}

}  // namespace orvalt

// ORVALT with arguments. The options fill one request per file, which goes
// to the conversion routine that the dialogue uses. Its console has no input
// and no transcript: the warnings and errors it reports go to standard error
// under the input's name.
#include "driver/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "driver/errors_to.h"
#include "driver/output_files.h"
#include "driver/pattern_output.h"
#include "driver/pictures.h"
#include "driver/scan_list.h"
#include "driver/request.h"
#include "driver/steps.h"
#include "driver/x_axis.h"
#include "g_f/console.h"
#include "g_f/file_identity.h"
#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/input_files.h"
#include "g_f/input_stream.h"
#include "g_f/interruptions.h"
#include "g_f/name_safety.h"
#include "g_f/number_parsing.h"
#include "g_f/stop.h"
#include "g_f/text.h"
#include "orvalt_version.h"
#include "g_f/help_format.h"
#include "xrdml/reader.h"
#include "xrdml/scan_table.h"

namespace orvalt {

namespace {

namespace fs = std::filesystem;

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
    "  orvalt --separate --counts --format cif run7.xrdml\n"
    "      every scan in counts as one data block of the powder CIF run7.cif\n"
    "  orvalt -d converted data/*.xrdml\n"
    "      every file of a folder, the outputs in the folder converted\n"
    "  orvalt --plot run7.xrdml\n"
    "      the sum run7.write and its picture run7.svg\n"
    "  orvalt --list --plot run7.xrdml\n"
    "      the table of run7's scans, and every scan drawn in run7.svg\n"
    "\n"
    "A file whose name begins with '-' is named after '--': orvalt -- -run7.xrdml\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when any was not (each is named on\n"
    "standard error), 2 when the arguments were refused (then no file is read), 128 + n\n"
    "when signal n ended the run (130 Ctrl-C, 129 hang-up, 131 quit, 141 closed pipe,\n"
    "143 SIGTERM; the file being written is dropped, the old file of its name stays).";

// What the options ask of every file: `request` holds the answers, the
// exclusions and the -o name; each file's request is made from it.
struct Choices {
    Request request{{}, {sum_answer, 1, 1, genie_output}, false, {}, {}, {}, {}, {}, false};
    std::string output_dir;
    bool quiet = false;
    bool list = false;  // the scan tables only, nothing converted
    bool plot = false;  // a picture, named request.picture or by default
};

// A picture's name: ".svg" at its end, in any case.
bool svg_name(std::string_view name) {
    if (name.size() <= 4) return false;
    std::string end(name.substr(name.size() - 4));
    for (char& ch : end)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return end == ".svg";
}

// --plot, taken out of the arguments before they are parsed: it takes a
// name only when one is joined to it ("--plot=NAME") or the argument after
// it is a picture's (".svg", any case), so that the argument after a bare
// --plot is an input. `given` tells whether it was there at all.
std::vector<std::string> take_plot_option(int argc, const char* const* argv, bool& given,
                                          std::string& picture) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i == 0 || (arg != "--plot" && !arg.starts_with("--plot="))) {
            args.emplace_back(arg);
            continue;
        }
        given = true;
        if (arg.starts_with("--plot=")) {
            picture = arg.substr(7);
        } else if (i + 1 < argc && argv[i + 1][0] != '-' && svg_name(argv[i + 1])) {
            picture = argv[++i];
        }
    }
    return args;
}

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
    err << "orvalt: " << why << '\n' << usage_line << "\nRun 'orvalt --help' for the options.\n";
    return 2;
}

// A name as a message shows it: control characters as escapes, so that a
// name can neither split a line nor hide its end.
std::string shown(std::string_view name) {
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 32 || c == 127) {
            constexpr char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// The options, as the arguments may spell them: those that take a value
// and those that do not.
constexpr std::string_view valued_options[] = {"--scan", "--exclude", "--units", "--format",
                                               "-o", "--output", "-d", "--output-dir"};
constexpr std::string_view flag_options[] = {"--sum",  "--gudrun", "--separate", "--counts",
                                             "--cps",  "-q",       "--quiet",    "-V",
                                             "--version", "-h",    "--help",     "--list",
                                             "--plot", "--plot-log"};

// The first argument that looks like an option but is none (before "--",
// values of options passed over); empty when there is none. A file named
// "-x.xrdml" would otherwise be taken for options and lost.
std::string unknown_option(int argc, const char* const* argv) {
    const auto is_one_of = [](std::string_view name, const auto& names) {
        for (const std::string_view n : names)
            if (n == name) return true;
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg.size() < 2 || arg[0] != '-') continue;
        if (arg.starts_with("--")) {
            const std::string_view name = arg.substr(0, arg.find('='));
            if (is_one_of(name, valued_options)) {
                if (name.size() == arg.size()) ++i;  // the value follows
                continue;
            }
            if (!is_one_of(name, flag_options)) return std::string(arg);
            continue;
        }
        // Short options: -o NAME, -oNAME, -q, -qV ...
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const std::string option = std::string("-") + arg[k];
            if (is_one_of(option, valued_options)) {
                if (k + 1 == arg.size()) ++i;
                break;
            }
            if (!is_one_of(option, flag_options)) return std::string(arg);
        }
    }
    return {};
}

// Reads the arguments into `c` and `files`. Returns -1 to go on, otherwise
// the exit status (0 after --help or --version, 2 for refused arguments).
int parse_arguments(int argc, const char* const* argv, Choices& c, std::vector<std::string>& files,
                    std::ostream& out, std::ostream& err) {
    CLI::App app{"", "orvalt"};
    app.formatter(std::make_shared<HelpFormat>(
        std::string(usage_line),
        "Converts each XRDML powder-diffraction measurement named into an ASCII data file,\n"
        "a Genie binary file, or an .xye, GSAS .fxye or powder CIF file, without a\n"
        "question. Run without arguments, ORVALT asks its questions one by one instead.\n"
        "A measurement compressed with gzip (.xrdml.gz) " +
            std::string(compression_supported(Compression::bzip2)
                            ? "or bzip2 (.xrdml.bz2) is read\nas it is."
                            : "is read as it is; this Windows\nbuild reads no .bz2 file "
                              "(decompress it first).")));
    app.footer(std::string(examples));
    app.set_version_flag("-V,--version", "orvalt " ORVALT_VERSION "\nbuilt for " ORVALT_BUILD,
                         "Print the version and the build (platform, compiler) and exit");
    std::int32_t scan = 0;
    bool sum = false, gudrun = false, separate = false, counts = false, cps = false;
    std::string units = "2theta", format;
    auto* o_scan =
        app.add_option("--scan", scan, "Load scan N")->type_name("N")->check(scan_number);
    auto* f_sum = app.add_flag("--sum", sum, "Load all scans summed (the default)");
    auto* f_gudrun = app.add_flag("--gudrun", gudrun,
                                  "Prepare gudrunX data: sum in counts per second against "
                                  "2-theta, ASCII by default, and weights");
    auto* f_separate = app.add_flag("--separate", separate,
                                    "Every scan, against 2-theta, as one entry of a Genie file "
                                    "(or one block of an xye, fxye or cif file)");
    auto* o_exclude =
        app.add_option("--exclude", c.request.excluded, "With --gudrun: scans to exclude, e.g. 2,5")
            ->type_name("LIST")
            ->delimiter(',')
            ->allow_extra_args(false)
            ->check(scan_number);
    auto* f_counts = app.add_flag("--counts", counts, "Intensity in counts");
    auto* f_cps = app.add_flag("--cps", cps, "Intensity in counts per second (the default)");
    app.add_option("--units", units, "x axis: 2theta (the default), q or d")
        ->type_name("2theta|q|d")
        ->check(one_of({"2theta", "q", "d"}));
    auto* o_format = app.add_option("--format", format,
                                    "Output file: genie (the default), ascii, xye, fxye (GSAS, "
                                    "2-theta only) or cif (powder CIF)")
                         ->type_name("ascii|genie|xye|fxye|cif")
                         ->check(one_of({"ascii", "genie", "xye", "fxye", "cif"}));
    app.add_option("-o,--output", c.request.output, "Output file name (one input file only)")
        ->type_name("NAME");
    app.add_option("-d,--output-dir", c.output_dir,
                   "Folder for the outputs (default: beside each input)")
        ->type_name("DIR");
    app.add_flag("-q,--quiet", c.quiet, "Print only errors");
    app.add_flag("--list", c.list,
                 "Print each file's wavelengths and a table of its scans; convert nothing "
                 "(with --plot: draw every scan)");
    // Parsed by take_plot_option; named here for the help.
    bool plot_help = false;
    app.add_flag("--plot", plot_help,
                 "[NAME.svg] Also draw what is converted as an SVG picture, NAME.svg or by "
                 "default the output's name with .svg");
    app.add_flag("--plot-log", c.request.picture_log,
                 "Draw the picture with a logarithmic y axis (zero counts at its foot)");
    app.add_option("FILE.xrdml", files, "XRDML files to convert")->required();

    if (const std::string unknown = unknown_option(argc, argv); !unknown.empty())
        return refuse(err, "unknown option " + shown(unknown) +
                               "; a file whose name begins with '-' is named after '--', as in: "
                               "orvalt -- " +
                               shown(unknown));

    CLI::Option* branches[] = {o_scan, f_sum, f_gudrun, f_separate};
    for (auto* a : branches)
        for (auto* b : branches)
            if (a != b) a->excludes(b);
    f_counts->excludes(f_cps);
    f_cps->excludes(f_counts);
    o_exclude->needs(f_gudrun);

    try {
        std::vector<std::string> args = take_plot_option(argc, argv, c.plot, c.request.picture);
        std::reverse(args.begin() + 1, args.end());
        args.erase(args.begin());
        app.parse(args);
    } catch (const CLI::Success& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        return refuse(err, e.what());
    }

    Answers& a = c.request.answers;
    if (o_scan->count() > 0) a.iscan = scan;
    if (gudrun) a.iscan = gudrun_answer;
    if (separate) a.iscan = separate_answer;
    a.icps = counts ? 0 : 1;
    a.iunits = units == "q" ? 2 : units == "d" ? 3 : 1;
    c.request.output_kind_given = o_format->count() > 0;
    if (c.request.output_kind_given) a.ioutput = format == "ascii" ? ascii_output : genie_output;
    if (PatternFormat f{}; pattern_format_named(format, f)) c.request.pattern = f;

    // What the branch fixes cannot be asked otherwise.
    const std::string_view branch = gudrun ? "--gudrun" : "--separate";
    if (branch_fixes_units(a.iscan) && a.iunits != 1)
        return refuse(err, "--units " + units + " cannot go with " + std::string(branch) +
                               ", whose x axis is 2-theta");
    if (branch_fixes_intensity(a.iscan) && a.icps == 0)
        return refuse(err, "--counts cannot go with --gudrun, whose data are counts per second");
    if (c.request.pattern) {
        if (const std::string why = units_refusal(*c.request.pattern, a); !why.empty())
            return refuse(err, "--units " + units + " cannot go with --format " + format + ": " +
                                   why);
    } else if (branch_fixes_output(a.iscan) && a.ioutput == ascii_output)
        return refuse(err, "--format ascii cannot go with --separate, which writes one Genie file");
    if (!c.request.output.empty() && files.size() > 1)
        return refuse(err, "-o names one output file, but " + std::to_string(files.size()) +
                               " input files were given");
    c.output_dir = name_meant(c.output_dir);
    c.plot = c.plot || c.request.picture_log;
    const std::string& picture = c.request.picture;
    if (const std::string why = file_name_refusal(picture, output_name_limit); !why.empty())
        return refuse(err, "--plot " + shown(picture) + ": " + why);
    if (!picture.empty() && !svg_name(picture))
        return refuse(err, "--plot " + picture + ": a picture's name ends in .svg");
    if (c.plot && !c.request.picture.empty() && files.size() > 1)
        return refuse(err, "--plot " + c.request.picture + " names one picture, but " +
                               std::to_string(files.size()) + " input files were given");
    if (c.list) {
        for (const CLI::Option* o : {o_scan, f_sum, f_gudrun, f_separate, o_exclude, o_format,
                                     app.get_option("--units"), app.get_option("--output")})
            if (o->count() > 0)
                return refuse(err, o->get_name() + " cannot go with --list, which converts nothing");
    }
    // The names given follow the rules of every name.
    c.request.output = std::string(without_trailing_blanks(c.request.output));
    if (const std::string why = file_name_refusal(c.request.output, output_name_limit); !why.empty())
        return refuse(err, "-o " + shown(c.request.output) + ": " + why);
    c.output_dir = std::string(without_trailing_blanks(c.output_dir));
    if (const std::string why = file_name_refusal(c.output_dir, output_name_limit); !why.empty())
        return refuse(err, "-d " + shown(c.output_dir) + ": " + why);
    if (!c.output_dir.empty()) {
        std::error_code ec;
        const fs::file_status st = fs::status(path_of(c.output_dir), ec);
        if (ec && st.type() != fs::file_type::not_found)
            return refuse(err, "-d " + shown(c.output_dir) + ": " + ec.message());
        if (!fs::exists(st)) return refuse(err, "-d: there is no folder " + shown(c.output_dir));
        if (!fs::is_directory(st))
            return refuse(err, "-d " + shown(c.output_dir) + " is not a folder");
    }
    return -1;
}

// The request for one input: the input's name as the extension rule makes
// it, and the output names, as -o and -d say or the defaults. Default names
// are formed from the file name alone, then placed in the -d folder.
Request request_for(Console& con, const Choices& c, const std::string& argument) {
    Request r = c.request;
    // Trailing blanks are not part of a name, as in the dialogue's name field.
    r.input = name_meant(without_trailing_blanks(argument));
    // A name given whole is not extended: only one that names no file.
    if (file_kind(r.input) == FileKind::missing) add_input_extension(con, r.input);
    const auto placed = [&c](const std::string& given) {
        const std::string name = name_meant(given);
        return c.output_dir.empty() || path_of(name).is_absolute()
                   ? name
                   : (path_of(c.output_dir) / path_of(name)).string();
    };
    const auto default_name = [&](std::string_view extension) {
        // A file name of exactly six characters would leave the extension
        // alone, a hidden file without a name: here it keeps its name.
        const std::string leaf = path_of(r.input).filename().string();
        if (leaf.size() == 6 && default_output_name(leaf, extension) == extension)
            return c.output_dir.empty() ? r.input + std::string(extension)
                                        : placed(leaf + std::string(extension));
        if (c.output_dir.empty()) return default_output_name(r.input, extension);
        return placed(default_output_name(path_of(r.input).filename().string(), extension));
    };
    default_output_kind(r);
    const Answers& a = r.answers;
    const bool genie = a.ioutput == genie_output || branch_fixes_output(a.iscan);
    const std::string_view extension = r.pattern ? pattern_extension(*r.pattern)
                                       : genie   ? ".write"
                                                 : ".dat";
    r.output = r.output.empty() ? default_name(extension) : placed(r.output);
    if (a.iscan == gudrun_answer) r.weights = default_name(".weights");
    if (c.plot)
        r.picture = r.picture.empty() ? default_picture_name(c.list ? default_name(".svg") : r.output)
                                      : placed(r.picture);
    return r;
}

// The files of the batch, by identity: an output is never one of its
// inputs or a file it has written, whatever its name (another spelling, a
// case the file system ignores, a hard or symbolic link).
struct Batch {
    std::set<FileId> inputs;
    std::set<FileId> written;
    void add(std::set<FileId>& to, std::string_view name) {
        FileId id;
        if (file_id(name, id)) to.insert(id);
    }
};

bool one_of_files(std::string_view name, const std::set<FileId>& files) {
    FileId id;
    return !files.empty() && file_id(name, id) && files.contains(id);
}

// Why the request's picture cannot be written, or empty (no picture asked).
std::string picture_problem(const Request& r, const Batch& batch) {
    if (r.picture.empty()) return {};
    if (one_of_files(r.picture, batch.inputs))
        return "will not write the picture " + r.picture + ": it is an input of this run";
    if (one_of_files(r.picture, batch.written))
        return "will not write the picture " + r.picture + ": this run has written it already";
    return picture_name_problem(r.picture, r.input, {r.output, r.weights});
}

// Why the request's names cannot be used, or empty. `given` is the input's
// name as given, without trailing blanks.
std::string names_problem(std::string_view given, const Request& r, const Batch& batch) {
    if (const std::string why = file_name_refusal(given, input_name_limit); !why.empty())
        return why;
    switch (file_kind(r.input)) {
        case FileKind::missing: return "no such file: " + r.input;
        case FileKind::other:
            return "not a regular file (a folder, FIFO or device): nothing is read";
        case FileKind::regular: break;
    }
    const bool genie_stage = !r.pattern && r.answers.ioutput == genie_output &&
                             !branch_fixes_output(r.answers.iscan);
    if (genie_stage && r.output.size() > genie_name_limit)
        return "the output name " + r.output +
               " is longer than 80 characters, the limit of "
               "Genie file names; give a shorter one with -o or -d";
    for (const std::string& target : {r.output, r.weights}) {
        if (target.empty()) continue;
        if (target.size() > name_field_length)
            return "the output name " + target + " is longer than " +
                   std::to_string(name_field_length) + " characters";
        // The same rules as for a typed name: never the input, only a regular file.
        switch (output_problem(target, {r.input})) {
            case OutputProblem::not_regular:
                return "will not write " + target + ": it is not a regular file";
            case OutputProblem::read_file:
                return "will not write " + target + ": it is the input file";
            case OutputProblem::none: break;
        }
        if (one_of_files(target, batch.inputs))
            return "will not write " + target + ": it is an input of this run";
        if (one_of_files(target, batch.written))
            return "will not write " + target + " again: this run has written it already";
    }
    // By what the names reach (RUN.WEIGHTS, the 8.3 name RUN~1.WEI), not by spelling.
    if (!r.weights.empty() && reaches_any(r.output, {r.weights}))
        return "the data file and the weights file would both be " + r.output;
    return picture_problem(r, batch);
}

// The conversion of one file. False when it failed (the report has said why).
bool convert_request(Console& con, Request& request, RunState& run) {
    try {
        set_field(run.files.input_name, request.input);
        run.files.full_name = full_file_name(request.input);
        Questions answered;
        return convert(con, request, answered, run);
    } catch (const Stop&) {
        return false;
    } catch (const std::bad_alloc&) {
        say_error(con, "**ERROR in orvalt: Out of memory");
        return false;
    }
}

// What was written, for the line on standard output.
std::string description(const Request& r, const RunState& run) {
    const std::int32_t nscans = run.scans.census.nscans;
    const std::int32_t iscan = r.answers.iscan;
    const auto scans = [](std::int32_t k) {
        return std::to_string(k) + (k == 1 ? " scan" : " scans");
    };
    std::string d =
        iscan == sum_answer ? "sum of " + scans(nscans)
        : iscan == gudrun_answer
            ? "gudrunX data, sum of " + std::to_string(run.weights.nincl) + " of " + scans(nscans)
        : iscan == separate_answer ? scans(nscans) + " separately"
                                   : "scan " + std::to_string(iscan);
    d += r.answers.icps == 0 ? ", counts" : ", counts per second";
    d += ", " + summary_x_name(r.answers, run.scans);
    return d;
}

bool convert_file(const Choices& c, const std::string& argument, Batch& batch, std::ostream& out,
                  std::ostream& err) {
    std::istringstream no_answers;
    std::ostream no_transcript(nullptr);
    // `err` may be standard error itself, which the Genie library's reports
    // are taken from below: the run's own go to where it leads now.
    std::ostream to_err(err.rdbuf());
    const std::string name = shown(argument);
    const auto report = [&](MessageKind kind, std::string_view text) {
        if (kind == MessageKind::warning && c.quiet) return;
        if (text.starts_with(' ')) text.remove_prefix(1);
        to_err << name << ": " << shown(trimmed(text)) << '\n';
    };
    Console con{no_answers, no_transcript, report};
    Request request = request_for(con, c, argument);
    if (const std::string problem = names_problem(without_trailing_blanks(argument), request, batch);
        !problem.empty()) {
        err << name << ": " << shown(problem) << '\n';
        return false;
    }

    auto run = std::make_unique<RunState>();
    bool ok = false;
    std::ostringstream library_reports;
    {
        const ErrorsTo errors(library_reports);
        ok = convert_request(con, request, *run);
    }
    // A dialogue run of every scan of a file without any ends normally,
    // having written nothing; here a file was promised by name.
    if (ok && request.answers.iscan == separate_answer && run->scans.census.nscans == 0) {
        report(MessageKind::error, "**ERROR in orvalt: The file holds no scans");
        ok = false;
    }
    // The Genie library says only what went wrong; a file it could not write
    // the run has named already, with the reason, under its own name.
    std::istringstream lines(library_reports.str());
    for (std::string line; std::getline(lines, line);)
        if (trimmed_length(line) > 0 && line.find("genie: cannot write ") != 0)
            report(MessageKind::error, line);
    // What was put in place is this batch's, whether the conversion went
    // through or not; a failed write left nothing of its own.
    if (run->files.output_written) batch.add(batch.written, request.output);
    if (run->files.weights_written) batch.add(batch.written, run->files.weights_name);
    if (ok && !request.picture.empty()) batch.add(batch.written, request.picture);
    if (!ok) {
        err << name << ": not converted\n";
        return false;
    }
    if (!c.quiet) {
        out << name << ": " << description(request, *run) << " -> " << request.output;
        if (!request.weights.empty()) out << " and " << request.weights;
        if (!request.picture.empty()) out << " and " << request.picture;
        out << '\n';
    }
    return true;
}

// --list: the file's scan table on standard output, and with --plot every
// scan drawn; nothing else is written.
bool list_file(const Choices& c, const std::string& argument, Batch& batch, std::ostream& out,
               std::ostream& err) {
    std::istringstream no_answers;
    std::ostream no_transcript(nullptr);
    Console con{no_answers, no_transcript};
    Request request = request_for(con, c, argument);
    request.output.clear();
    const auto fail = [&](std::string_view why) {
        err << argument << ": " << why << '\n';
        return false;
    };
    if (request.input.size() > name_field_length || !file_exists(request.input))
        return fail("no such file: " + request.input);
    if (const std::string problem = picture_problem(request, batch); !problem.empty())
        return fail(problem);

    // The table is read along with the survey: one reading of the file.
    ScanTables scans;
    xrdml::ScanTableReader lister;
    const xrdml::FileSurvey survey =
        xrdml::survey_file(request.input, xrdml::ReaderStatus(), scans.census, scans.par, 0,
                           nullptr, [&lister](std::string_view line) { lister.take(line); });
    if (!survey.opened) return fail("cannot read " + request.input);
    const xrdml::ScanTable table = lister.finish();
    const bool census_ok = survey.census_status.ierr == 0 && !survey.too_long;
    out << format_scan_list(argument, table, census_ok ? scans.census.wavelength : 0.0);
    out.flush();
    if (request.picture.empty()) return true;

    // The picture needs what a conversion needs of the file.
    const xrdml::ReaderStatus& status =
        survey.census_status.ierr != 0 ? survey.census_status : survey.parameter_status;
    if (status.ierr != 0)
        return fail("no picture: ierr = " + std::to_string(status.ierr) + ", " +
                    std::string(trimmed(status.message)));
    const Answers& a = request.answers;
    plot::Figure figure = new_picture(request.input, "every scan (" + std::to_string(
                                          scans.census.nscans) + ")", a,
                                      scans.census.wavelength, request.picture_log);
    figure.x_label = picture_x_label(1, scans.census.nscans > 0 ? scans.par.axis[0] : "");
    xrdml::ReaderStatus read;
    if (!add_file_scans(request.input, scans, nullptr, a.icps, figure, read))
        return fail("no picture: ierr = " + std::to_string(read.ierr) + ", " +
                    std::string(trimmed(read.message)));
    int error = 0;
    if (!plot::write_svg(request.picture, figure, error))
        return fail("could not write " + request.picture + ": " + error_text(error));
    batch.add(batch.written, request.picture);
    if (!c.quiet) out << argument << ": every scan drawn -> " << request.picture << '\n';
    return true;
}

}  // namespace

int run_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    Choices c;
    std::vector<std::string> files;
    if (const int status = parse_arguments(argc, argv, c, files, out, err); status >= 0)
        return status;

    handle_interruptions(true);
    Batch batch;
    {
        std::istringstream no_answers;
        std::ostream no_transcript(nullptr);
        Console con{no_answers, no_transcript};
        for (const std::string& file : files)
            batch.add(batch.inputs, request_for(con, c, file).input);
    }
    int status = 0;
    for (const std::string& file : files) {
        const bool ok = c.list ? list_file(c, file, batch, out, err)
                               : convert_file(c, file, batch, out, err);
        if (!ok) status = 1;
        out.flush();
        err.flush();
    }
    return status;
}

}  // namespace orvalt

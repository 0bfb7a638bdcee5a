// The command line's options: their definitions, the help built from them,
// and the checks of what they may go with.
#include "driver/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "driver/units.h"
#include "formats/format_table.h"
#include "g_f/file_system.h"
#include "g_f/input_stream.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "orvalt_version.h"
#include "g_f/help_format.h"
#include "g_f/number_parsing.h"
#include "g_f/text.h"

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
    "  orvalt --units d --wavelength kalpha1 --format cif run7.xrdml\n"
    "      d-spacings from K-alpha1 alone (a Ge or Si monochromator): run7.cif\n"
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

// --wavelength: mean, kalpha1, or a number of angstrom.
const CLI::Validator wavelength_choice(
    [](std::string& item) {
        double v = 0.0;
        if (item == "mean" || item == "kalpha1") return std::string();
        return parse_real(item, v) && v > 0.0
                   ? std::string()
                   : "'" + shown(item) + "' is no wavelength: mean, kalpha1 or a number of angstrom";
    },
    "");

// The scan numbers of an --exclude list ("2,5"), or why it is none: every
// place between commas holds one (an empty place is no scan number left out).
std::string read_scan_list(std::string_view list, std::vector<std::int32_t>& scans) {
    for (std::size_t from = 0;;) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        const std::string item(list.substr(from, comma - from));
        std::int32_t n = 0;
        if (item.empty() && list.size() > 0)
            return "'" + std::string(list) +
                   "' has an empty place: scan numbers are separated by single commas, as in 2,5";
        if (!parse_integer(item, n) || n < 1) return "'" + item + "' is not a scan number (1, 2, ...)";
        scans.push_back(n);
        if (comma == list.size()) return {};
        from = comma + 1;
    }
}

const CLI::Validator scan_list(
    [](std::string& item) {
        std::vector<std::int32_t> unused;
        return read_scan_list(item, unused);
    },
    "");

// Arguments that cannot be used: the message, then the usage line.
int refuse(std::ostream& err, std::string_view why) {
    err << "orvalt: " << why << '\n' << usage_line << "\nRun 'orvalt --help' for the options.\n";
    return 2;
}

// The names of the table's formats, as --format takes them.
std::vector<std::string> format_names() {
    std::vector<std::string> names;
    for (const FormatRow& row : output_formats()) names.emplace_back(row.name);
    return names;
}

// The pattern formats whose separate scans go into blocks of one file, or
// (file_a_scan) into a file each.
std::vector<std::string> pattern_format_names(bool file_a_scan) {
    std::vector<std::string> names;
    for (const FormatRow& row : output_formats())
        if (row.block != nullptr && row.file_a_scan == file_a_scan) names.emplace_back(row.name);
    return names;
}

// "a, b or c".
std::string listed(const std::vector<std::string>& words) {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return out;
}

// "ascii|genie|...".
std::string format_type_name() {
    std::string out;
    for (const std::string& name : format_names()) out += (out.empty() ? "" : "|") + name;
    return out;
}

// The default first, then the others, each with its note.
std::string format_help() {
    const auto named = [](const FormatRow& row, std::string_view extra) {
        std::string text(row.name);
        if (!extra.empty()) text += " (" + std::string(extra) + ")";
        return text;
    };
    std::vector<std::string> items{named(format_row(OutputFormat::genie), "the default")};
    for (const FormatRow& row : output_formats())
        if (row.format != OutputFormat::genie) items.push_back(named(row, row.note));
    return "Output file: " + listed(items);
}

// The first argument that looks like an option but is none of the app's
// (before "--", values of options passed over); empty when there is none. A
// file named "-x.xrdml" would otherwise be taken for options and lost.
std::string unknown_option(const CLI::App& app, int argc, const char* const* argv) {
    // What each name is: an option that takes a value, or a flag.
    const auto find = [&app](std::string_view name) -> const CLI::Option* {
        for (const CLI::Option* o : app.get_options()) {
            for (const std::string& l : o->get_lnames())
                if (name == "--" + l) return o;
            for (const std::string& s : o->get_snames())
                if (name == "-" + s) return o;
        }
        return nullptr;
    };
    const auto takes_value = [](const CLI::Option* o) { return o->get_type_size() != 0; };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg.size() < 2 || arg[0] != '-') continue;
        if (arg.starts_with("--")) {
            const std::string_view name = arg.substr(0, arg.find('='));
            const CLI::Option* o = find(name);
            if (o == nullptr) return std::string(arg);
            if (takes_value(o) && name.size() == arg.size()) ++i;  // the value follows
            continue;
        }
        // Short options: -o NAME, -oNAME, -q, -qV ...
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const CLI::Option* o = find(std::string("-") + arg[k]);
            if (o == nullptr) return std::string(arg);
            if (takes_value(o)) {
                if (k + 1 == arg.size()) ++i;
                break;
            }
        }
    }
    return {};
}

}  // namespace

namespace {

// The length of the UTF-8 sequence at the start of `s` when it is a whole
// one of a character that is no control character (C1 controls such as
// U+009B, which terminals take for an escape, are refused); else 0.
std::size_t printable_sequence(std::string_view s) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    const std::size_t n = lead >= 0xF0 && lead <= 0xF4   ? 4
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                                                         : 0;
    if (n == 0 || s.size() < n) return 0;
    char32_t cp = lead & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0xA0, 0x800, 0x10000};  // shorter forms are overlong
    if (cp < least[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    return n;
}

}  // namespace

// A name as a message shows it: control characters and bytes that are no
// whole UTF-8 character as escapes, so that a name can neither split a line,
// hide its end, nor reach the terminal as a control sequence.
std::string shown(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c >= 32 && c < 127) {
            out += name[i];
        } else if (const std::size_t n = c >= 128 ? printable_sequence(name.substr(i)) : 0; n > 0) {
            out += name.substr(i, n);
            i += n;
            continue;
        } else {
            constexpr char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        ++i;
    }
    return out;
}

std::function<void(MessageKind, std::string_view)> file_reports(const std::string& name,
                                                                bool quiet, std::ostream& err) {
    return [name, quiet, &err](MessageKind kind, std::string_view text) {
        if (kind == MessageKind::warning && quiet) return;
        if (text.starts_with(' ')) text.remove_prefix(1);
        err << name << ": " << shown(trimmed(text)) << '\n';
    };
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
    std::string units = "2theta", format, wavelength = "mean";
    auto* o_scan =
        app.add_option("--scan", scan, "Load scan N")->type_name("N")->check(scan_number);
    auto* f_sum = app.add_flag("--sum", sum, "Load all scans summed (the default)");
    auto* f_gudrun = app.add_flag("--gudrun", gudrun,
                                  "Prepare gudrunX data: sum in counts per second against "
                                  "2-theta, ASCII by default, and weights");
    auto* f_separate = app.add_flag("--separate", separate,
                                    "Every scan, against 2-theta, as one entry of a Genie file "
                                    "(or one block of an " +
                                        listed(pattern_format_names(false)) +
                                        " file, a file NAME_N of its own as " +
                                        listed(pattern_format_names(true)) + ")");
    // Split here rather than by the parser, which drops empty places and
    // would take the next argument for a list of none.
    std::vector<std::string> exclude_lists;
    auto* o_exclude =
        app.add_option("--exclude", exclude_lists, "With --gudrun: scans to exclude, e.g. 2,5")
            ->type_name("LIST")
            ->allow_extra_args(false)
            ->check(scan_list);
    auto* f_counts = app.add_flag("--counts", counts, "Intensity in counts");
    auto* f_cps = app.add_flag("--cps", cps, "Intensity in counts per second (the default)");
    app.add_option("--units", units, "x axis: 2theta (the default), q or d")
        ->type_name("2theta|q|d")
        ->check(one_of({"2theta", "q", "d"}));
    auto* o_format = app.add_option("--format", format, format_help())
                         ->type_name(format_type_name())
                         ->check(one_of(format_names()));
    auto* o_wavelength =
        app.add_option("--wavelength", wavelength,
                       "The wavelength Q, d and the files take: mean (of K-alpha1 and K-alpha2, "
                       "the default), kalpha1 (where a crystal monochromator passes it alone) "
                       "or a number of angstrom")
            ->type_name("mean|kalpha1|NUMBER")
            ->check(wavelength_choice);
    auto* f_partial = app.add_flag("--partial", c.request.partial,
                                   "Take a partial scan (an aborted measurement's last) as far "
                                   "as it goes");
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

    if (const std::string unknown = unknown_option(app, argc, argv); !unknown.empty())
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

    for (const std::string& list : exclude_lists) read_scan_list(list, c.request.excluded);
    Answers& a = c.request.answers;
    if (o_scan->count() > 0) a.iscan = scan;
    if (gudrun) a.iscan = gudrun_answer;
    if (separate) a.iscan = separate_answer;
    a.icps = counts ? 0 : 1;
    a.iunits = units_answer(units == "q"   ? Units::q
                            : units == "d" ? Units::d_spacing
                                           : Units::two_theta);
    if (o_format->count() > 0) c.request.format = format_named(format);
    if (wavelength == "kalpha1") {
        c.request.wavelength = WavelengthSource::kalpha1;
    } else if (wavelength != "mean") {
        c.request.wavelength = WavelengthSource::given;
        parse_real(wavelength, c.request.given_wavelength);
    }

    // What the branch fixes cannot be asked otherwise.
    const std::string_view branch = gudrun ? "--gudrun" : "--separate";
    if (branch_fixes_units(a.iscan) && units_of(a) != Units::two_theta)
        return refuse(err, "--units " + units + " cannot go with " + std::string(branch) +
                               ", whose x axis is 2-theta");
    if (branch_fixes_intensity(a.iscan) && a.icps == 0)
        return refuse(err, "--counts cannot go with --gudrun, whose data are counts per second");
    const std::optional<OutputFormat> named = c.request.format;
    if (named && is_pattern_format(*named)) {
        if (const std::string why = units_refusal(*named, units_axis(units_of(a))); !why.empty())
            return refuse(err, "--units " + units + " cannot go with --format " + format + ": " +
                                   why);
    } else if (branch_fixes_output(a.iscan) && named == OutputFormat::ascii)
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
                                     app.get_option("--units"), app.get_option("--output"),
                                     o_wavelength, f_partial})
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

}  // namespace orvalt

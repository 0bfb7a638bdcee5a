// g2dump FILE: prints every entry and field of a Genie file as text.
// Texts are shown in double quotes with C escapes (\\, \", \0, \xNN), so
// trailing blanks and NUL bytes can be seen; reals with the fewest digits that
// read back to the same value.
// g2dump --columns [N] FILE: entry N (or every entry, in blocks separated by
// an empty line) as the x, y, e lines of an ASCII data file, after "#" lines
// with the entry's title and axis labels as plain text.
// The layout and the exit statuses are those of docs/genie-file-format.md.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "g_f/console_session.h"
#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/help_format.h"
#include "g_f/name_safety.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "genie/g2file.h"
#include "plot/svg.h"
#include "orvalt_version.h"

namespace {

std::string escaped(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += ch;
        } else if (c == 0) {
            out += "\\0";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

template <class T>
std::string number(T v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

template <class T>
void print_values(const std::vector<T>& values, std::int32_t rank) {
    if (rank == 0 && values.size() == 1) {
        std::cout << ") = " << number(values[0]) << '\n';
        return;
    }
    std::cout << ", " << values.size() << (values.size() == 1 ? " value):\n" : " values):\n");
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::cout << (i % 5 == 0 ? "    " : " ") << number(values[i]);
        if (i % 5 == 4 || i + 1 == values.size()) std::cout << '\n';
    }
}

void print_field(const orvalt::genie::Field& f) {
    std::cout << "  " << f.name << " (" << f.type;
    if (f.type == "string") {
        std::cout << ", " << f.bytes.size() << " characters) = " << escaped(f.text()) << '\n';
        return;
    }
    if (f.type.starts_with("int32")) print_values(f.int32s(), f.rank);
    else if (f.type.starts_with("float32")) print_values(f.float32s(), f.rank);
    else print_values(f.float64s(), f.rank);
}

// Reals of an array field in either precision; empty for any other field.
std::vector<double> reals(const orvalt::genie::Field* f) {
    if (f == nullptr) return {};
    if (f->type == "float64[]") return f->float64s();
    if (f->type == "float32[]") {
        const auto v = f->float32s();
        return {v.begin(), v.end()};
    }
    return {};
}

// A label or title without its markup, on one line whatever it holds.
std::string text_of(const orvalt::genie::Entry& e, const std::string& name) {
    const auto* f = e.find(e.workspace + "." + name);
    return f == nullptr ? std::string() : orvalt::genie::plain_text(f->text());
}

// An axis label of a picture: the labels ORVALT writes as a diffractionist
// writes them, with their units ("2-theta" is in degrees, Q and d carry
// theirs); "y", the intensity of a file of separate scans, as what it is;
// any other label as the file has it.
std::string picture_label(const std::string& label) {
    static const std::pair<std::string_view, std::string_view> known[] = {
        {"2-theta", "2θ (°)"},
        {"Momentum Transfer Q (1/angstrom)", "Q (Å⁻¹)"},
        {"d-Spacing (angstrom)", "d (Å)"},
        {"Counts", "counts"},
        {"Counts per second", "counts per second"},
        {"y", "intensity"},
    };
    for (const auto& [from, to] : known)
        if (label == from) return std::string(to);
    return label;
}

struct Spectrum {
    std::vector<double> x, y, e;
};

// An entry's spectrum; false (with the reason on standard error) when it is
// not one. A histogram's x (one boundary more than values) becomes the
// centres of its bins.
bool spectrum_of(const std::string& path, const orvalt::genie::Entry& entry, std::size_t k,
                 Spectrum& s) {
    const std::string ws = entry.workspace;
    s.x = reals(entry.find(ws + ".x"));
    s.y = reals(entry.find(ws + ".y"));
    s.e = reals(entry.find(ws + ".e"));
    const bool has_all = entry.find(ws + ".ntc") && entry.find(ws + ".x") &&
                         entry.find(ws + ".y") && entry.find(ws + ".e");
    const std::size_t n = s.y.size();
    if (!has_all || s.e.size() != n || (s.x.size() != n && s.x.size() != n + 1) ||
        (n > 0 && s.x.empty())) {
        std::cerr << "g2dump: " << path << ": entry " << k
                  << " is not a spectrum (it needs ntc and the real arrays x, y, e)\n";
        return false;
    }
    if (s.x.size() == n + 1) {
        for (std::size_t i = 0; i < n; ++i) s.x[i] = (s.x[i] + s.x[i + 1]) / 2;
        s.x.pop_back();
    }
    return true;
}

// One entry as columns; false (said why) when it is not a spectrum.
bool print_columns(const std::string& path, const orvalt::genie::Entry& e, std::size_t k) {
    Spectrum s;
    if (!spectrum_of(path, e, k, s)) return false;
    std::cout << "# title: " << text_of(e, "title") << '\n'
              << "# x: " << text_of(e, "xlabel") << '\n'
              << "# y: " << text_of(e, "ylabel") << '\n';
    for (std::size_t i = 0; i < s.y.size(); ++i)
        std::cout << orvalt::format_data_line(s.x[i], s.y[i], s.e[i]) << '\n';
    return true;
}

// The file opened for reading entry by entry, its entries counted and
// checked once before anything is printed: a damaged file prints only why.
// Only a regular file is read (nothing waits on a FIFO or reads a device).
bool open_checked(const std::string& path, orvalt::genie::FileReader& reader, std::size_t& count) {
    const auto fail = [&](const std::string& why) {
        std::cerr << "g2dump: " << path << ": " << why << '\n';
        return false;
    };
    errno = 0;
    std::FILE* f = orvalt::open_regular_for_reading(path);
    if (f == nullptr) {
        switch (orvalt::file_kind(path)) {
            case orvalt::FileKind::missing: return fail(orvalt::error_text(ENOENT));
            case orvalt::FileKind::other:
                return fail("not a regular file");
            case orvalt::FileKind::regular:
                return fail(errno != 0 ? orvalt::error_text(errno) : "cannot be opened");
        }
    }
    std::string error;
    if (!reader.open(f, error)) return fail(error);
    orvalt::genie::Entry e;
    for (count = 0; reader.next(e, error);) ++count;
    if (!error.empty() || !reader.rewind(error)) return fail(error);
    return true;
}

// Entry `entry` (0: every entry, each in the colour of its number) drawn in
// the picture named as the file with ".svg" in place of its extension.
int plot_entries(const std::string& path, std::size_t entry, bool log_y) {
    orvalt::genie::FileReader reader;
    std::size_t count = 0;
    if (!open_checked(path, reader, count)) return 1;
    if (entry > count || count == 0) {
        std::cerr << "g2dump: " << path << ": there is no entry " << std::max<std::size_t>(entry, 1)
                  << ", the file holds " << count << '\n';
        return 1;
    }
    // The picture's name through the program's own names: on Windows a
    // UTF-8 name is not the library's narrow text.
    std::filesystem::path picture_path = orvalt::path_of(path);
    picture_path.replace_extension(".svg");
    const std::string picture = orvalt::name_of(picture_path);
    if (orvalt::reaches_any(picture, {path})) {
        std::cerr << "g2dump: " << path << ": will not draw over the Genie file itself\n";
        return 1;
    }
    orvalt::plot::Figure figure;
    std::string drawn = "every entry";
    if (entry != 0) drawn.assign("entry ").append(std::to_string(entry));
    figure.title_name = orvalt::name_of(orvalt::path_of(path).filename());
    figure.title = drawn;
    if (entry == 0) figure.title.append(" (").append(std::to_string(count)).append(")");
    figure.log_y = log_y;
    orvalt::genie::Entry e;
    std::string error;
    bool labelled = false;
    for (std::size_t k = 1; k <= count && reader.next(e, error); ++k) {
        if (entry != 0 && k != entry) continue;
        // The first entry drawn gives the picture its labels.
        if (!labelled) {
            figure.subtitle = text_of(e, "title");
            figure.x_label = picture_label(text_of(e, "xlabel"));
            figure.y_label = picture_label(text_of(e, "ylabel"));
            labelled = true;
        }
        Spectrum s;
        if (!spectrum_of(path, e, k, s)) return 1;
        figure.add(static_cast<std::int32_t>(k),
                   entry != 0 || count == 1 ? orvalt::plot::Style::single
                                            : orvalt::plot::Style::scan,
                   s.x, s.y, s.e);
    }
    if (!error.empty()) {
        std::cerr << "g2dump: " << path << ": " << error << '\n';
        return 1;
    }
    int status = 0;
    if (!orvalt::plot::write_svg(picture, figure, status)) {
        std::cerr << "g2dump: could not write " << picture << ": "
                  << orvalt::error_text(status) << '\n';
        return 1;
    }
    std::cout << path << ": " << drawn << " drawn -> " << picture << '\n';
    return 0;
}

// entry 0: every entry.
// The end of a printing: a reading error, or output that did not go out,
// fails it.
int finished(const std::string& path, const std::string& error, std::string_view what) {
    if (!error.empty()) {
        std::cerr << "g2dump: " << path << ": " << error << '\n';
        return 1;
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "g2dump: could not write " << what << '\n';
        return 1;
    }
    return 0;
}

int columns(const std::string& path, std::size_t entry) {
    orvalt::genie::FileReader reader;
    std::size_t count = 0;
    if (!open_checked(path, reader, count)) return 1;
    if (entry > count) {
        std::cerr << "g2dump: " << path << ": there is no entry " << entry << ", the file holds "
                  << count << '\n';
        return 1;
    }
    orvalt::genie::Entry e;
    std::string error;
    for (std::size_t k = 1; k <= count && reader.next(e, error); ++k) {
        if (entry != 0 && k != entry) continue;
        if (entry == 0 && k > 1) std::cout << '\n';
        if (!print_columns(path, e, k)) return 1;
    }
    return finished(path, error, "the columns");
}

int dump(const std::string& path) {
    orvalt::genie::FileReader reader;
    std::size_t count = 0;
    if (!open_checked(path, reader, count)) return 1;
    std::cout << "Genie file " << path << ": version " << reader.version() << ", " << count
              << (count == 1 ? " entry" : " entries") << '\n';
    orvalt::genie::Entry e;
    std::string error;
    for (std::size_t k = 0; k < count && reader.next(e, error); ++k) {
        std::cout << "entry " << k + 1 << ": workspace " << escaped(e.workspace) << ", kind "
                  << escaped(e.kind) << ", index " << e.index << ", " << escaped(e.description)
                  << ", " << e.fields.size() << (e.fields.size() == 1 ? " field" : " fields")
                  << '\n';
        for (const auto& f : e.fields) print_field(f);
    }
    return finished(path, error, "the listing");
}

// "or:" marks the second form, as help2man expects of a usage line.
constexpr const char* usage_line =
    "Usage: g2dump [OPTIONS] FILE\n   or: g2dump --columns [N] FILE\n   or: g2dump --plot [N] FILE";

int refuse(const std::string& why) {
    std::cerr << "g2dump: " << why << '\n'
              << usage_line << "\nRun 'g2dump --help' for the options.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const orvalt::ConsoleSession console(std::cin);
    CLI::App app{"", "g2dump"};
    app.formatter(std::make_shared<orvalt::HelpFormat>(
        usage_line,
        "Prints a Genie file written by ORVALT: every entry and field as text, or with\n"
        "--columns the spectra as x, y, e columns that any plotting program reads, or\n"
        "with --plot draws them as an SVG picture."));
    app.footer(
        "Examples:\n"
        "  g2dump run7.write\n"
        "      every entry and field, texts quoted, reals in full\n"
        "  g2dump --columns run7.write > run7.txt\n"
        "      every entry as columns x, y, e, one block each, separated by an empty line\n"
        "  g2dump --columns 2 run7.write\n"
        "      entry 2 only\n"
        "  g2dump --plot run7.write\n"
        "      every entry drawn, each in its colour, in run7.svg\n"
        "\n"
        "Labels and titles are printed as plain text (Q in 1/angstrom), one line each.\n"
        "Exit status: 0 when all was printed, 1 when the file could not be read or is\n"
        "not a Genie file, the entry is missing or not a spectrum, or the output could\n"
        "not be written (the reason on standard error), 2 when the arguments were\n"
        "refused (then nothing is read).");
    app.set_version_flag("-V,--version", "g2dump " ORVALT_VERSION "\nbuilt for " ORVALT_BUILD,
                         "Print the version and the build (platform, compiler) and exit");
    bool as_columns = false;
    std::vector<std::string> args;
    app.add_flag("--columns", as_columns,
                 "Columns x, y, e of entry N (default: every entry) in the ASCII data "
                 "file's layout");
    bool as_plot = false, log_y = false;
    app.add_flag("--plot", as_plot,
                 "Draw entry N (default: every entry) in an SVG picture named as the file with "
                 ".svg");
    app.add_flag("--plot-log", log_y, "With --plot: a logarithmic y axis");
    app.add_option("FILE", args)->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return refuse(e.what());
    }

    if (as_columns && as_plot) return refuse("--columns and --plot cannot go together");
    if (log_y && !as_plot) return refuse("--plot-log goes with --plot");
    std::size_t entry = 0;
    if ((as_columns || as_plot) && args.size() == 2) {
        std::int32_t n = 0;
        if (!orvalt::parse_integer(args[0], n) || n < 1)
            return refuse(std::string(as_plot ? "--plot" : "--columns") + ": '" + args[0] +
                          "' is not an entry number (1, 2, ...)");
        entry = static_cast<std::size_t>(n);
    } else if (args.size() != 1) {
        return refuse("give one file");
    }
    const std::string& path = args.back();
    // A device (COM1, CON) or FIFO would be read as if it were a file, or
    // wait for input that never comes.
    if (orvalt::file_kind(path) == orvalt::FileKind::other) {
        std::cerr << "g2dump: " << path << ": not a regular file\n";
        return 1;
    }
    try {
        if (as_plot) return plot_entries(path, entry, log_y);
        return as_columns ? columns(path, entry) : dump(path);
    } catch (const std::exception& ex) {
        std::cerr << "g2dump: " << path << ": " << ex.what() << '\n';
        return 1;
    }
}

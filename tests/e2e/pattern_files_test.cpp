// The pattern files from the command line, for every real measurement: the
// .xye lines are the ASCII data file's (with --separate, one file a scan),
// the GSAS file passes the format's checker and holds the ASCII file's
// numbers, and the CIF read back through gemmi (its C++ reader, and
// python3-gemmi where installed) and through xyconv, the reader behind
// fityk, holds them within their su.
#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

#include "e2e_support.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"

namespace e2e {
namespace {

using Point = std::array<double, 3>;  // x, y, e
namespace cif = gemmi::cif;

// The points of an ASCII data file or of the first block of an .xye file.
std::vector<Point> ascii_points(const std::string& text) {
    std::vector<Point> points;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) {
        if (line.empty() && !points.empty()) break;  // the end of an .xye block
        Point p{};
        if (line.size() != orvalt::data_line_length) continue;  // headers and comments
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_TRUE(orvalt::read_first_real(line.substr(25 * i, 24), p[i])) << line;
        points.push_back(p);
    }
    return points;
}

// The points of the first bank, read by the columns the format defines.
std::vector<Point> fxye_points(const std::string& text) {
    std::vector<Point> points;
    std::istringstream s(text);
    bool in_bank = false;
    for (std::string line; std::getline(s, line);) {
        if (line.starts_with("BANK ")) {
            if (in_bank) break;
            in_bank = true;
            continue;
        }
        if (!in_bank || line.starts_with('#')) continue;
        Point p{};
        EXPECT_TRUE(orvalt::read_first_real(line.substr(0, 15), p[0]) &&
                    orvalt::read_first_real(line.substr(15, 22), p[1]) &&
                    orvalt::read_first_real(line.substr(37, 22), p[2]))
            << line;
        p[0] /= 100.0;
        points.push_back(p);
    }
    return points;
}

// x and y of the first block's point loop, as gemmi's C++ reader reads them,
// with the su written beside y (nan where y has none).
std::vector<Point> cif_points(const std::string& path) {
    std::vector<Point> points;
    cif::Document doc = cif::read_file(path);
    cif::Block& block = doc.blocks.at(0);
    for (cif::Item& item : block.items) {
        if (item.type != cif::ItemType::Loop || !item.loop.tags[0].starts_with("_pd_")) continue;
        for (std::size_t k = 0; k < item.loop.length(); ++k) {
            const std::string& y = item.loop.val(k, 1);
            double su = std::nan("");
            if (const std::size_t open = y.find('('); open != std::string::npos) {
                const std::size_t point = y.find('.');
                const int decimals =
                    point == std::string::npos ? 0 : static_cast<int>(open - point - 1);
                su = std::stod(y.substr(open + 1)) * std::pow(10.0, -decimals);
            }
            points.push_back({cif::as_number(item.loop.val(k, 0)), cif::as_number(y), su});
        }
    }
    return points;
}

// The first block's points as xyconv (libxy, the reader behind fityk) gives
// them: x, y and, where the file has one, the su; empty when it fails.
std::vector<Point> xyconv_points(const fs::path& cif, const fs::path& scratch) {
    const std::string out = (scratch / "xyconv.txt").string();
    const std::string cmd = "xyconv -t pdcif \"" + cif.string() + "\" \"" + out + "\" 2>\"" +
                            out + ".err\"";
    if (std::system(cmd.c_str()) != 0) return {};
    std::vector<Point> points;
    std::ifstream in(out);
    bool in_first = false;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("### block")) {
            if (in_first) break;
            in_first = true;
            continue;
        }
        if (line.empty() || line.starts_with('#')) continue;
        std::istringstream fields(line);
        Point p{0, 0, std::nan("")};
        fields >> p[0] >> p[1];
        if (!(fields >> p[2])) p[2] = std::nan("");
        points.push_back(p);
    }
    return points;
}

bool xyconv_available() {
    static const bool found = std::system("xyconv -v >/dev/null 2>&1") == 0;
    return found;
}

// The CIF's points against the ASCII data file's: x to `x_slack`, y within
// half its su (the value is rounded to the su's last digit), the su within a
// quarter of e (one or two significant digits); without an su, y exactly.
// `printed` is the reader's own rounding of what it prints.
void expect_within_su(const std::vector<Point>& got, std::vector<Point> want, double x_slack,
                      double printed, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    // A file may hold the points in the other order (d falls as 2-theta rises).
    if (!got.empty() && std::abs(got.front()[0] - want.back()[0]) <
                            std::abs(got.front()[0] - want.front()[0]))
        std::reverse(want.begin(), want.end());
    int failures = 0;
    for (std::size_t k = 0; k < got.size() && failures < 5; ++k) {
        const auto& [x, y, su] = got[k];
        const auto& [wx, wy, we] = want[k];
        bool ok = std::abs(x - wx) <= x_slack + printed * (1 + std::abs(wx));
        if (std::isnan(su)) {
            ok = ok && std::abs(y - wy) <= printed * (1 + std::abs(wy));
        } else {
            ok = ok && std::abs(y - wy) <= su / 2 + printed * (1 + std::abs(wy)) &&
                 std::abs(su - we) <= we / 4 + printed * (1 + we);
        }
        if (!ok) {
            ++failures;
            ADD_FAILURE() << what << " point " << k << ": " << x << " " << y << "(" << su
                          << ") for " << wx << " " << wy << " " << we;
        }
    }
}

// A Python that has gemmi, or empty.
std::string python_with_gemmi() {
    for (const char* python : {"python3", "/usr/bin/python3"})
        if (std::system(
                (std::string(python) + " -I -c 'import gemmi; gemmi.cif' 2>/dev/null").c_str()) ==
            0)
            return python;
    return {};
}

const fs::path formats = fs::path(ORVALT_TEST_DATA) / "formats";

void expect_points(const std::vector<Point>& got, std::vector<Point> want, double x_slack,
                   const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    if (!got.empty() && got.front()[0] != want.front()[0]) std::reverse(want.begin(), want.end());
    for (std::size_t k = 0; k < got.size(); ++k) {
        EXPECT_NEAR(got[k][0], want[k][0], x_slack) << what << " point " << k;
        const double slack = 1e-12 * (want[k][1] + want[k][2]);
        EXPECT_NEAR(got[k][1], want[k][1], slack) << what << " point " << k;
        if (!std::isnan(got[k][2])) {
            EXPECT_NEAR(got[k][2], want[k][2], slack) << what << " point " << k;
        }
    }
}

// The options of a run, and those of the ASCII data file its first block
// equals (the separate scans' first block is scan 1 alone).
struct Case {
    const char* args;
    const char* ascii_args;
};
const Case cases[] = {
    {"--sum", "--sum"},
    {"--sum --counts --units q", "--sum --counts --units q"},
    {"--scan 1 --counts --units d", "--scan 1 --counts --units d"},
    {"--scan 1", "--scan 1"},
    {"--separate --counts", "--scan 1 --counts"},
};

// The files of --separate --format xye, in scan order.
std::vector<fs::path> scan_files(const fs::path& dir, const std::string& stem) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().starts_with(stem + "_") &&
            entry.path().extension() == ".xye")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(Orvalt, EveryRealFileInEveryPatternFormat) {
    const std::string python = python_with_gemmi();
    std::vector<fs::path> inputs{fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml"};
    for (const auto& entry : fs::directory_iterator(fs::path(ORVALT_TEST_DATA) / "xrdml"))
        if (entry.path().extension() == ".xrdml" && entry.path().stem() != "rsm_401_scans")
            inputs.push_back(entry.path());
    std::size_t written = 0, through_xyconv = 0;
    for (const fs::path& input : inputs) {
        const std::string name = input.filename().string();
        fs::copy_file(input, dir / name, fs::copy_options::overwrite_existing);
        const bool phi = name.starts_with("polefig");  // every scan moves Phi
        const bool listed = name.starts_with("insitu");  // x as listed, not evenly spaced
        for (const Case& c : cases) {
            SCOPED_TRACE(name + " [" + c.args + "]");
            const std::string args = c.args;
            const bool q_or_d = args.find("--units") != std::string::npos;
            const bool separate = args.find("--separate") != std::string::npos;
            const Result ascii =
                run("", "", std::string(c.ascii_args) + " --format ascii -o ref.dat " + name);
            if (phi && q_or_d) {  // no Q or d from Phi: refused in every format
                EXPECT_EQ(ascii.status, 1);
                for (const char* f : {" --format xye ", " --format fxye ", " --format cif "})
                    EXPECT_NE(run("", "", args + f + name).status, 0) << f;
                continue;
            }
            ASSERT_EQ(ascii.status, 0) << ascii.err;
            const std::vector<Point> ref = ascii_points(read("ref.dat"));

            const Result xye = run("", "", args + " --format xye -o out.xye " + name);
            ASSERT_EQ(xye.status, 0) << xye.err;
            if (separate) {
                // One file a scan: the first is scan 1's.
                const std::vector<fs::path> each = scan_files(dir, "out");
                ASSERT_FALSE(each.empty());
                EXPECT_FALSE(exists("out.xye"));
                EXPECT_EQ(ascii_points(read(each.front().filename().string())), ref);
                for (const fs::path& f : each) fs::remove(f);
            } else {
                EXPECT_EQ(ascii_points(read("out.xye")), ref);
                fs::remove(dir / "out.xye");
            }

            const Result fxye = run("", "", args + " --format fxye -o out.fxye " + name);
            if (q_or_d || phi) {
                EXPECT_EQ(fxye.status, q_or_d ? 2 : 1);
                EXPECT_NE(fxye.err.find("holds 2-theta only"), std::string::npos) << fxye.err;
                EXPECT_FALSE(exists("out.fxye"));
            } else {
                ASSERT_EQ(fxye.status, 0) << fxye.err;
                expect_points(fxye_points(read("out.fxye")), ref, 5e-9, "fxye");
                const std::string check = "python3 \"" + (formats / "check_fxye.py").string() +
                                          "\" --pad80 " + (listed ? "--listed " : "") + "\"" +
                                          (dir / "out.fxye").string() + "\"";
                const std::string to = " > \"" + (dir / "check.txt").string() + "\"";
                EXPECT_EQ(std::system((check + to).c_str()), 0) << read("check.txt");
                fs::remove(dir / "out.fxye");
            }

            const Result cif = run("", "", args + " --format cif -o out.cif " + name);
            if (phi) {  // the powder CIF has no looped Phi
                EXPECT_EQ(cif.status, 1);
                EXPECT_NE(cif.err.find("the powder CIF holds 2-theta, Q or d-spacing only"),
                          std::string::npos)
                    << cif.err;
                EXPECT_FALSE(exists("out.cif"));
                written += 1;
                continue;
            }
            ASSERT_EQ(cif.status, 0) << cif.err;
            expect_within_su(cif_points((dir / "out.cif").string()), ref, 0.0, 1e-15, "cif");
            if (xyconv_available()) {
                // It prints six decimals.
                expect_within_su(xyconv_points(dir / "out.cif", dir), ref, 0.0, 6e-7, "xyconv");
                ++through_xyconv;
            }
            if (!python.empty()) {
                const std::string points =
                    python + " -I \"" + (formats / "cif_points.py").string() + "\" \"" +
                    (dir / "out.cif").string() + "\" > \"" + (dir / "points.txt").string() + "\"";
                ASSERT_EQ(std::system(points.c_str()), 0);
                std::istringstream lines(read("points.txt"));
                std::string block;
                std::vector<Point> by_python;
                std::string x, y, su;  // su "nan" where y has none: then it is not compared
                while (by_python.size() < ref.size() && lines >> block >> x >> y >> su)
                    by_python.push_back({std::stod(x), std::stod(y), std::stod(su)});
                expect_within_su(by_python, ref, 0.0, 1e-15, "cif through python3-gemmi");
            }
            fs::remove(dir / "out.cif");
            written += q_or_d ? 2 : 3;
        }
        fs::remove(dir / name);
    }
    // 3 formats x 5 cases, less fxye in Q and d; of the Phi scans the .xye
    // of the three 2-theta cases
    EXPECT_EQ(written, (inputs.size() - 1) * (3 * 5 - 2) + 3);
    if (!xyconv_available()) GTEST_SKIP() << "CIF not read back through xyconv: not installed";
    EXPECT_GT(through_xyconv, 0u);
    if (python.empty()) GTEST_SKIP() << "read back without python3-gemmi: not installed";
}


// --separate --format xye: one file a scan, named NAME_N with N zero-padded to
// the count's width, each one pattern that fityk loads by itself, the
// summary line naming them.
TEST_F(Orvalt, SeparateXyeIsOneFileAScanThatFitykLoads) {
    std::vector<Scan> scans;
    for (int k = 0; k < 12; ++k) scans.push_back({10.0, 12.0, 2.0, "1 2 3 4 " + std::to_string(k)});
    write("run7.xrdml", xrdml_text(scans));
    const Result r = run("", "", "--separate --format xye run7.xrdml");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "run7.xrdml: 12 scans separately, counts per second, 2-theta -> run7_01.xye "
                     "... run7_12.xye (12 files)\n");
    const std::vector<fs::path> each = scan_files(dir, "run7");
    ASSERT_EQ(each.size(), 12u);
    EXPECT_EQ(each.front().filename(), "run7_01.xye");
    EXPECT_FALSE(exists("run7.xye"));
    EXPECT_NE(read("run7_03.xye").find("# Scans: scan 3 of 12\n"), std::string::npos);
    EXPECT_EQ(read("run7_03.xye").find("\n\n"), std::string::npos);  // one block
    // Names beyond ASCII, in a folder of such a name: the scans' names alike.
    fs::create_directory(dir / "Ausgabe_ä");
    const Result named = run("", "", "--separate --format xye -o 'Ausgabe_ä/Größe α.xye' run7.xrdml");
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(exists("Ausgabe_ä/Größe α_01.xye") && exists("Ausgabe_ä/Größe α_12.xye"));
    if (std::system("cfityk -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "fityk's command line (cfityk) is not installed: not loaded there";
    std::string script;
    for (const fs::path& f : each) script += "@+ < " + f.filename().string() + ":1:2:3:\n";
    script += "@11: print M, y[4], s[4]\n";
    write("load.fit", script);
    const std::string cmd = "cd \"" + dir.string() + "\" && cfityk -I -n -q load.fit > fit.txt 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << read("fit.txt");
    // 12 data sets of 5 points; scan 12's last point: 11 counts in 2 s.
    const std::string out = read("fit.txt");
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
    EXPECT_NE(out.find("\n5 5.5 1.65831\n"), std::string::npos) << out;
}

// A scan that cannot be read, or a file that cannot be written, leaves
// nothing new: an older file of each name stays as it was, and the reason
// is said (the system's, for a failed write, as the Genie and ASCII files
// say it).
TEST_F(Orvalt, SeparatePatternsAllOrNothing) {
    std::string cut = xrdml_text({{10.0, 12.0, 2.0, "1 2 3"}, {10.0, 12.0, 2.0, "4 5 6"}});
    write("cut.xrdml", cut.substr(0, cut.find("4 5 6") + 3));
    const std::string ten = "1 2 3 4 5 6 7 8 9 10";
    write("two.xrdml", xrdml_text({{10.0, 12.0, 2.0, ten}, {10.0, 12.0, 2.0, ten}}));
    const struct {
        const char* format;
        std::vector<std::string> names;  // the files the run would write
    } runs[] = {{"xye", {"old_1.xye", "old_2.xye"}}, {"fxye", {"old.fxye"}}, {"cif", {"old.cif"}}};
    for (const auto& f : runs) {
        SCOPED_TRACE(f.format);
        for (const std::string& n : f.names) write(n, "older\n");
        const std::string args = std::string("--separate --format ") + f.format + " -o old." + f.format;
        const Result r = run("", "", args + " cut.xrdml");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.ends_with("cut.xrdml: Scan 2 is cut short: the file ends inside its list; "
                                    "--partial takes it as far as it goes\ncut.xrdml: not converted\n"))
            << r.err;
        for (const std::string& n : f.names) EXPECT_EQ(read(n), "older\n") << n;
        // A file that cannot be written: the reason, and no file changed.
        const Result full = run("", file_limit(1), args + " two.xrdml");
        EXPECT_EQ(full.status, 1);
        // (Under Wine the limit is a POSIX one the Windows C library has no
        // name for: some reason is given, not that one.)
        const std::string reason = windows_program() ? ": " : ": File too large\n";
        EXPECT_NE(full.err.find("." + std::string(f.format) + reason), std::string::npos)
            << full.err;
        for (const std::string& n : f.names) EXPECT_EQ(read(n), "older\n") << n;
    }
    // Scan 2's name taken by a folder: no scan's file is written.
    fs::create_directory(dir / "new_2.xye");
    const Result r = run("", "", "--separate --format xye -o new.xye two.xrdml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("will not write new_2.xye: The output file must be a regular file"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(exists("new_1.xye"));
}

// Text from the input never forms a line of its own: a folder name with a
// line end, an axis name with a carriage return.
TEST_F(Orvalt, InputTextStaysOnItsLine) {
    if (windows_program()) GTEST_SKIP() << "no line end in a Windows file name";
    const std::string folder = "a\nX 1 2 3";
    fs::create_directory(dir / folder);
    write(folder + "/m.xrdml", xrdml_text({{10.0, 12.0, 2.0, "1 2 3"}}));
    std::string phi = xrdml_text({{10.0, 12.0, 2.0, "1 2 3"}});
    phi.replace(phi.find("axis=\"2Theta\""), 13, "axis=\"Phi\r9 9 9\"");
    write(folder + "/phi.xrdml", phi);
    const auto lines_of = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream s(text);
        for (std::string line; std::getline(s, line);) lines.push_back(line);
        return lines;
    };
    // The run's own folder holds the line end: its full name is in the files.
    const std::string in_folder = "cd '" + folder + "' && ";
    write(folder + "/stdin.txt", "");
    for (const char* input : {"m.xrdml", "phi.xrdml"}) {
        SCOPED_TRACE(input);
        const Result r = run("", in_folder, std::string("--format xye -o out.xye ") + input);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string xye = read(folder + "/out.xye");
        EXPECT_EQ(xye.find('\r'), std::string::npos);
        for (const std::string& line : lines_of(xye))
            EXPECT_TRUE(line.starts_with("# ") || line.size() == orvalt::data_line_length) << line;
        EXPECT_EQ(ascii_points(xye).size(), 3u);
    }
    ASSERT_EQ(run("", in_folder, "--sum --format ascii -o sum.dat m.xrdml").status, 0);
    const std::vector<std::string> ascii = lines_of(read(folder + "/sum.dat"));
    ASSERT_EQ(ascii.size(), 6u);
    EXPECT_TRUE(ascii[0].starts_with("Data from: ") && ascii[0].ends_with("/a?X 1 2 3/m.xrdml"))
        << ascii[0];
    EXPECT_EQ(ascii[1], "Scan = 0");
}


// Interrupted while the scans' files are being written (their temporaries
// open): none is put in place, an older one stays, no temporary is left.
TEST_F(Orvalt, SeparateXyeInterruptedLeavesNothing) {
    if (windows_program()) GTEST_SKIP() << "the temporaries are watched through /proc";
    std::string counts;
    for (int k = 0; k < 5000; ++k) counts += std::to_string(100 + k % 17) + " ";
    write("s.xrdml", xrdml_text(std::vector<Scan>(150, Scan{10.0, 40.0, 1.0, counts})));
    write("s_001.xye", "precious\n");
    const std::string cmd =
        "cd \"" + dir.string() + "\" && rm -f pid; (for i in $(seq 1 3000); do ls -l "
        "/proc/$(cat pid 2>/dev/null)/fd 2>/dev/null | grep -q '(deleted)' && break; sleep 0.01; "
        "done; kill -TERM $(cat pid)) & sh -c 'echo $$ > pid; exec " + program_command() +
        " --separate --format xye s.xrdml > out.txt 2> err.txt'; echo $? > status.txt; wait";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(read("status.txt"), "143\n");
    EXPECT_EQ(read("err.txt"), "\n **ERROR in orvalt: Run interrupted\n");
    EXPECT_EQ(read("s_001.xye"), "precious\n");
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_FALSE(name.starts_with(".orvalt-")) << name;
        EXPECT_TRUE(name == "s_001.xye" || !name.ends_with(".xye")) << name;
    }
}

}  // namespace
}  // namespace e2e

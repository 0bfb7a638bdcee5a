// The scan table and the pictures from the command line, looked at as a
// person would: each picture rendered by rsvg-convert and checked on its
// pixels against the axis the plot library gives for the data written.
#include "e2e_support.h"

#include <cmath>
#include <sstream>

#include "plot/svg.h"
#include "tests/plot/picture.h"

namespace e2e {
namespace {

using orvalt::plot::Figure;
using orvalt::plot::Frame;
using orvalt::plot::Style;
namespace pic = orvalt::test;

std::string counts(std::size_t n, double background, std::size_t peak_at, double peak) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = static_cast<double>(i) - static_cast<double>(peak_at);
        s += std::to_string(std::lround(background + peak * std::exp(-d * d / 8.0))) + " ";
    }
    return s;
}

class Pictures : public Orvalt {
protected:
    void SetUp() override {
        Orvalt::SetUp();
        if (!pic::renderer_available()) GTEST_SKIP() << "rsvg-convert is not installed here";
    }
    pic::Picture look(const std::string& svg) {
        EXPECT_EQ(pic::xml_error(read_bytes(svg)), "") << svg;
        pic::Picture p;
        std::string message;
        EXPECT_TRUE(pic::render((dir / svg).string(), p, message)) << message;
        return p;
    }
    // A frame whose x axis runs as the picture's does for data from lo to hi.
    static Frame x_axis(double lo, double hi) {
        Figure axes;
        const std::vector<double> x{lo, hi}, y{1, 1};
        axes.add(0, Style::single, x, y, {});
        return axes.frame();
    }
    // The highest drawn pixel of the columns within `reach` of x: column, row.
    static std::pair<int, int> highest_near(const pic::Picture& p, double x, int reach) {
        std::pair<int, int> best{-1, Frame::bottom};
        const int c = static_cast<int>(std::lround(x));
        for (int col = c - reach; col <= c + reach; ++col) {
            const int top = top_of(p, col);
            if (top >= 0 && top < best.second) best = {col, top};
        }
        return best;
    }
    // How near the pixels around (x, y) come to colour `hex`.
    static int colour_near(const pic::Picture& p, int x, int y, const std::string& hex) {
        int best = 256;
        for (int r = y - 1; r <= y + 2; ++r)
            best = std::min(best, pic::colour_distance(p.at(x, r), pic::colour(hex)));
        return best;
    }
    // The topmost pixel of column x drawn darker than the error bands.
    static int top_of(const pic::Picture& p, double x) {
        const int col = static_cast<int>(std::lround(x));
        for (int y = Frame::top + 1; y < Frame::bottom; ++y)
            if (pic::colour_distance(p.at(col, y), {255, 255, 255}) > 90) return y;
        return -1;
    }
};

// x, y of the data lines of an ASCII data file.
std::pair<std::vector<double>, std::vector<double>> columns_of(const std::string& text) {
    std::vector<double> x, y;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        double a = 0, b = 0, e = 0;
        if (fields >> a >> b >> e && line.find("Number") == std::string::npos) {
            x.push_back(a);
            y.push_back(b);
        }
    }
    return {x, y};
}

TEST_F(Orvalt, ListPrintsTheScanTableAndWritesNothing) {
    std::vector<fs::path> inputs{fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml"};
    for (const auto& entry : fs::directory_iterator(fs::path(ORVALT_TEST_DATA) / "xrdml"))
        if (entry.path().extension() == ".xrdml") inputs.push_back(entry.path());
    for (const fs::path& input : inputs) {
        const std::string name = input.filename().string();
        fs::copy_file(input, dir / name);
        const Result r = run("", "", "--list " + name);
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.err, "") << name;
        EXPECT_NE(r.out.find("  scan  axis"), std::string::npos) << name;
        fs::remove(dir / name);
        EXPECT_TRUE(fs::is_empty(dir)) << name;
    }
    fs::copy_file(inputs.front(), dir / "s.xrdml");
    const Result r = run("", "", "--list s.xrdml missing.xrdml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("s.xrdml: 4 scans\n  wavelength K-alpha1 1.540598, K-alpha2 1.544426, "
                         "ratio K-alpha2/K-alpha1 0.5, mean 1.541874 angstrom\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("     4  2Theta deg      5  120    2301  0.05         4      27108222"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "missing.xrdml: no such file: missing.xrdml\n");
}

// The strongest peak of the data file written is the highest point drawn,
// at the x the picture's axis gives it, whatever the x axis.
TEST_F(Pictures, StrongestPeakIsDrawnWhereItsAxisPutsIt) {
    fs::copy_file(fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml", dir / "s.xrdml");
    for (const std::string units : {"2theta", "q", "d"}) {
        SCOPED_TRACE(units);
        const Result r = run("", "", "--scan 3 --format ascii --units " + units + " --plot s.xrdml");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("-> s.dat and s.svg"), std::string::npos) << r.out;
        const auto [x, y] = columns_of(read("s.dat"));
        ASSERT_EQ(x.size(), 2301u);
        Figure axes;
        axes.add(3, Style::single, x, y, {});
        const Frame f = axes.frame();
        const auto peak = std::max_element(y.begin(), y.end()) - y.begin();
        const pic::Picture p = look("s.svg");
        int best_x = -1, best_y = Frame::bottom;
        for (int col = Frame::left + 2; col < Frame::right - 1; ++col) {
            const int top = top_of(p, col);
            if (top >= 0 && top < best_y) best_x = col, best_y = top;
        }
        EXPECT_NEAR(best_x, f.x_pixel(x[peak]), 2.0);
        EXPECT_NEAR(best_y, f.y_pixel(y[peak]), 2.0);
    }
}

// g2dump draws an entry of a Genie file as orvalt draws a conversion.
TEST_F(Pictures, GenieEntryIsDrawnWhereItsColumnsPutIt) {
    fs::copy_file(fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml", dir / "s.xrdml");
    ASSERT_EQ(run("", "", "--separate --units 2theta s.xrdml").status, 0);
    const std::string cmd = "cd \"" + dir.string() + "\" && \"" G2DUMP_EXE "\" --columns 2 s.write"
                            " > c.txt && \"" G2DUMP_EXE "\" --plot 2 s.write > out.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(read("out.txt"), "s.write: entry 2 drawn -> s.svg\n");
    const auto [x, y] = columns_of(read("c.txt"));
    const auto peak = std::max_element(y.begin(), y.end()) - y.begin();
    const pic::Picture p = look("s.svg");
    const Frame f = x_axis(x.front(), x.back());
    const auto [col, top] = highest_near(p, (Frame::left + Frame::right) / 2.0, 415);
    EXPECT_NEAR(col, f.x_pixel(x[peak]), 2.0);
    EXPECT_GT(top, Frame::top);
}

// The y axis is the sum's and the included scans': an excluded scan far
// stronger is drawn grey, clipped at the frame's top and marked there.
TEST_F(Pictures, GudrunPictureScalesToTheSumAndClipsExcludedScans) {
    write("g.xrdml", xrdml_text({{10.0, 20.0, 1.0, counts(101, 100, 20, 500)},
                                 {10.0, 20.0, 1.0, counts(101, 100, 70, 200000)},
                                 {10.0, 20.0, 1.0, counts(101, 100, 20, 500)}}));
    for (const char* log : {"", " --plot-log"}) {
        SCOPED_TRACE(log);
        const Result r = run("", "", std::string("--gudrun --exclude 2 --plot") + log + " g.xrdml");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(exists("g.dat") && exists("g.weights") && exists("g.svg"));
        const Frame f = x_axis(10, 20);
        const pic::Picture p = look("g.svg");
        // The excluded scan's peak at 17 leaves the frame at its top, grey;
        // the sum's at 12, black, reaches the top of the axis.
        const auto [grey_x, grey_top] = highest_near(p, f.x_pixel(17), 5);
        EXPECT_NEAR(grey_x, f.x_pixel(17), 5.0);
        EXPECT_LE(grey_top, Frame::top + 2);
        const auto [black_x, black_top] = highest_near(p, f.x_pixel(12), 2);
        EXPECT_NEAR(black_x, f.x_pixel(12), 2.0);
        EXPECT_LT(colour_near(p, black_x, black_top, "#000000"), 40);
        EXPECT_LE(black_top, Frame::top + 30);  // below the top by its error band
        const std::string svg = read("g.svg");
        EXPECT_NE(svg.find("<title>excluded scan 2 rises to "), std::string::npos);
        EXPECT_NE(svg.find("excluded: 2, off the scale</text>"), std::string::npos);
    }
}

// On the real files, in 2-theta, Q and d, every point of the data file lies
// within one pixel of a column drawn in the picture (read from the SVG: its
// path and its axes' ticks).
TEST_F(Orvalt, EveryRealPointWithinAPixelOfItsColumn) {
    std::vector<fs::path> inputs{fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml"};
    for (const auto& entry : fs::directory_iterator(fs::path(ORVALT_TEST_DATA) / "xrdml"))
        if (entry.path().extension() == ".xrdml" && entry.path().stem() != "rsm_401_scans")
            inputs.push_back(entry.path());
    int pictures = 0;
    for (const fs::path& input : inputs) {
        const std::string name = input.filename().string();
        fs::copy_file(input, dir / name, fs::copy_options::overwrite_existing);
        for (const std::string units : {"2theta", "q", "d"}) {
            SCOPED_TRACE(name + " " + units);
            const Result r =
                run("", "", "--format ascii -o p.dat --plot --units " + units + " " + name);
            if (r.status != 0) {  // Q and d of Phi scans are refused
                EXPECT_NE(r.err.find("Phi"), std::string::npos) << r.err;
                continue;
            }
            const auto [x, y] = columns_of(read("p.dat"));
            const std::string svg = read("p.svg");
            pic::AxisMap mx, my;
            ASSERT_TRUE(pic::axis_maps(svg, mx, my));
            const auto columns = pic::drawn_columns(svg, 0);
            ASSERT_FALSE(columns.empty());
            EXPECT_LE(pic::farthest_from_columns(columns, mx, my, x, y), 1.1);
            ++pictures;
        }
        fs::remove(dir / name);
    }
    EXPECT_GE(pictures, 20);
}

// Every scan's line carries its <title>, which a browser shows under the
// pointer; the labels are written as a diffractionist writes them.
TEST_F(Orvalt, EveryLineIsNamedAndTheAxesCarryUnits) {
    std::vector<Scan> scans;
    for (int k = 0; k < 76; ++k) scans.push_back({10.0, 12.0, 2.0, "1 2 3 4 " + std::to_string(k)});
    write("m.xrdml", xrdml_text(scans));
    ASSERT_EQ(run("", "", "--list --plot m.xrdml").status, 0);
    const std::string svg = read("m.svg");
    EXPECT_NE(svg.find("data-scan=\"76\" d=\""), std::string::npos);
    EXPECT_NE(svg.find("<title>scan 76</title></path>"), std::string::npos);
    std::size_t titles = 0;
    for (std::size_t at = svg.find("<title>scan "); at != std::string::npos;
         at = svg.find("<title>scan ", at + 1))
        ++titles;
    EXPECT_EQ(titles, 76u);
    EXPECT_NE(svg.find(">2θ (°)</text>"), std::string::npos);
    EXPECT_NE(svg.find(">λ = 1.541867 Å</text>"), std::string::npos);
    ASSERT_EQ(run("", "", "--sum --units q --format ascii --plot m.xrdml").status, 0);
    EXPECT_NE(read("m.svg").find(">Q (Å⁻¹)</text>"), std::string::npos);
    ASSERT_EQ(run("", "", "--sum --units d --format ascii --plot m.xrdml").status, 0);
    EXPECT_NE(read("m.svg").find(">d (Å)</text>"), std::string::npos);
    // g2dump shows the units the Genie labels carry.
    ASSERT_EQ(run("", "", "--sum --units q m.xrdml").status, 0);
    const std::string cmd = "cd \"" + dir.string() + "\" && \"" G2DUMP_EXE "\" --plot m.write > out.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_NE(read("m.svg").find(">Q (Å⁻¹)</text>"), std::string::npos);
    EXPECT_NE(read("m.svg").find(">counts per second</text>"), std::string::npos);
}

// A 120-character name and 40 excluded scans: the title keeps what was drawn
// and the name's ends, the legend lists the scans as ranges, and neither
// leaves the picture or its box, whichever renderer draws it (rsvg-convert,
// and a real browser); the peak stands where the data have it.
class LongTexts : public Pictures {
protected:
    std::string name = std::string(57, 'L') + "_measurement_" + std::string(44, 'R') + "_final";
    void make() {
        ASSERT_EQ(name.size(), 120u);
        std::vector<Scan> scans;
        for (int k = 0; k < 80; ++k) scans.push_back({10.0, 20.0, 1.0, counts(101, 100, 20, 500)});
        write(name + ".xrdml", xrdml_text(scans));
        std::string every_other;
        for (int k = 1; k <= 80; k += 2) every_other += (k > 1 ? "," : "") + std::to_string(k);
        const Result r = run("", "", "--gudrun --exclude " + every_other + " --plot -o g.dat " +
                                         name + ".xrdml");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // What a person sees: the title whole inside the picture, the legend's
    // text inside its box, the peak at 12.
    void expect_fits(const pic::Picture& p, const std::string& renderer) {
        SCOPED_TRACE(renderer);
        ASSERT_EQ(p.width, Frame::width);
        const auto dark = [&](int x, int y) {
            return pic::colour_distance(p.at(x, y), {255, 255, 255}) > 120;
        };
        // The title's rows: text from the plot area's left edge on, ending
        // before the picture's.
        int title_right = -1;
        for (int y = 8; y < 32; ++y)
            for (int x = 0; x < Frame::width; ++x)
                if (dark(x, y)) title_right = std::max(title_right, x);
        EXPECT_GT(title_right, Frame::right - 300);
        EXPECT_LT(title_right, Frame::width - 4);
        // The legend's box from the SVG; nothing dark right of it in its rows.
        const std::string svg = read("g.svg");
        const std::size_t at = svg.find("fill-opacity=\"0.85\"");
        ASSERT_NE(at, std::string::npos);
        const std::size_t rect = svg.rfind("<rect", at);
        const double x0 = std::stod(svg.substr(svg.find("x=\"", rect) + 3));
        const double w = std::stod(svg.substr(svg.find("width=\"", rect) + 7));
        const double y0 = std::stod(svg.substr(svg.find("y=\"", rect) + 3));
        const double h = std::stod(svg.substr(svg.find("height=\"", rect) + 8));
        EXPECT_GE(x0, Frame::left);
        EXPECT_LE(x0 + w, Frame::right);
        EXPECT_LE(y0 + h, Frame::bottom);
        for (int y = static_cast<int>(y0) + 2; y < static_cast<int>(y0 + h) - 2; ++y)
            for (int x = static_cast<int>(x0 + w) + 2; x < Frame::right - 1; ++x)
                EXPECT_FALSE(dark(x, y)) << "text right of the legend at " << x << "," << y;
        // The sum's peak at 12.
        const auto [col, top] = highest_near(p, x_axis(10, 20).x_pixel(12), 6);
        EXPECT_NEAR(col, x_axis(10, 20).x_pixel(12), 2.0);
        EXPECT_GT(top, Frame::top);
    }
};

TEST_F(LongTexts, FitTheFrameInRsvg) {
    make();
    const std::string svg = read("g.svg");
    // The name's beginning and end, what was drawn whole.
    EXPECT_NE(svg.find("font-weight=\"bold\">LLLL"), std::string::npos);
    EXPECT_NE(svg.find("…"), std::string::npos);
    EXPECT_NE(svg.find("al.xrdml: gudrunX: 40 of 80 scans summed, counts per second</text>"),
              std::string::npos);
    EXPECT_NE(svg.find("excluded (40): 1, 3, 5, "), std::string::npos);
    expect_fits(look("g.svg"), "rsvg-convert");
}

TEST_F(LongTexts, FitTheFrameInABrowser) {
    if (!pic::browser_available()) {
        std::cout << "\n[ WARNING  ] *** headless Chromium is not installed: the pictures are "
                     "NOT checked in a browser (scripts/build-deps.sh test installs it) ***\n\n";
        GTEST_SKIP() << "no chromium";
    }
    make();
    pic::Picture p;
    std::string message;
    ASSERT_TRUE(pic::render_in_browser((dir / "g.svg").string(), Frame::width, Frame::height, p,
                                       message))
        << message;
    expect_fits(p, "chromium");
}

TEST_F(Pictures, ListPlotDrawsEveryScanInItsColourAndZerosOnALogAxis) {
    write("l.xrdml", xrdml_text({{10.0, 20.0, 1.0, counts(101, 0, 20, 400)},
                                 {10.0, 20.0, 1.0, counts(101, 0, 50, 400)},
                                 {10.0, 20.0, 1.0, counts(101, 0, 80, 400)}}));
    const Result r = run("", "", "--list --plot --plot-log l.xrdml");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("l.xrdml: every scan drawn -> l.svg"), std::string::npos) << r.out;
    EXPECT_FALSE(exists("l.write"));
    const Frame f = x_axis(10, 20);
    const pic::Picture p = look("l.svg");
    const double peaks[] = {12, 15, 18};
    std::vector<int> tops;
    for (int k = 0; k < 3; ++k) {
        const auto [x, top] = highest_near(p, f.x_pixel(peaks[k]), 2);
        EXPECT_NEAR(x, f.x_pixel(peaks[k]), 2.0) << k;
        EXPECT_LT(colour_near(p, x, top, orvalt::plot::scan_colour(k + 1, 1, 3)), 40) << k;
        tops.push_back(top);
    }
    EXPECT_NEAR(tops[0], tops[1], 1.0);  // peaks of one height
    EXPECT_NEAR(tops[0], tops[2], 1.0);
    // Far from every peak the counts are 0: drawn at the foot of the axis,
    // below its lowest power of ten.
    const int zero = top_of(p, f.x_pixel(19.9));
    EXPECT_GT(zero, Frame::bottom - Frame::margin - 3);
    EXPECT_LT(zero, Frame::bottom);
}

// A picture that may not be written stops its file before anything is
// written; arguments that cannot be met are refused before any file is read.
TEST_F(Orvalt, BadPictureNamesWriteNothing) {
    write("a.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}}));
    write("b.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}}));
    struct Case {
        std::string args;
        int status;
        std::string err;
    };
    std::vector<Case> cases = {
        {"--plot=a.xrdml a.xrdml", 2, "--plot a.xrdml: a picture's name ends in .svg"},
        {"--list --plot=b.xrdml a.xrdml", 2, "--plot b.xrdml: a picture's name ends in .svg"},
        {"--plot=b.svg a.xrdml b.svg.xrdml", 2, "--plot b.svg names one picture, but 2 input"},
        {"-o a.svg --plot=a.svg a.xrdml", 1, "a.xrdml: will not write the picture a.svg: it is an output"},
        {"--plot no_such_folder/p.svg a.xrdml", 1, "cannot write the picture no_such_folder/p.svg"},
        {"--list --scan 1 a.xrdml", 2, "--scan cannot go with --list"},
    };
    // The input or orvalt.tmp reached through a link of a picture's name.
    if (!windows_program()) {
        fs::create_symlink("a.xrdml", dir / "in.svg");
        fs::create_symlink("orvalt.tmp", dir / "tmp.svg");
        cases.push_back({"--plot in.svg a.xrdml", 1, "the picture in.svg: it is an input"});
        cases.push_back({"--list --plot in.svg a.xrdml", 1, "the picture in.svg: it is an input"});
        cases.push_back({"--plot tmp.svg a.xrdml", 1, "tmp.svg: orvalt.tmp holds the dialogue's"});
    }
    for (const Case& c : cases) {
        const Result r = run("", "", c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
        std::vector<std::string> present;
        for (const auto& entry : fs::directory_iterator(dir))
            present.push_back(entry.path().filename().string());
        std::sort(present.begin(), present.end());
        std::vector<std::string> expected{"a.xrdml", "b.xrdml"};
        if (!windows_program()) expected = {"a.xrdml", "b.xrdml", "in.svg", "tmp.svg"};
        EXPECT_EQ(present, expected) << c.args;
    }
    // Two inputs whose default pictures fall together: the second is refused.
    fs::create_directories(dir / "one");
    fs::create_directories(dir / "two");
    fs::copy_file(dir / "a.xrdml", dir / "one/x.xrdml");
    fs::copy_file(dir / "a.xrdml", dir / "two/x.xrdml");
    const Result r = run("", "", "--list --plot -d . one/x.xrdml two/x.xrdml");
    EXPECT_EQ(r.status, 1);
    // (./x.svg, or .\x.svg as the Windows build writes the folder's name)
    EXPECT_NE(r.err.find("two/x.xrdml: will not write the picture ."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("x.svg: this run has written it already"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace e2e

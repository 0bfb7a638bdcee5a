// The real measurements of tests/data/xrdml, one row each: what every branch
// must give on it. Scan 1 in counts against its axis is checked against the
// file as read here on its own terms: the whole text searched for the scan's
// positions, its list and its attenuation factors.
#include <algorithm>
#include <cmath>

#include "e2e_support.h"
#include "tests/compress_support.h"

namespace e2e {
namespace {

struct Measurement {
    const char* file;
    int nscans;
    const char* axis;  // whose start and end positions x runs over
    double wavelength;  // angstrom, the mean the census reports
};

// Every file gives copper's K-alpha1 1.540598 and K-alpha2 1.544426 angstrom;
// with a ratio of 0.5 the mean is (K-alpha1 + 0.5 K-alpha2) / 1.5, with 0
// K-alpha1 alone.
constexpr double cu_mean = 1.541874, cu_alpha1 = 1.540598;
const Measurement measurements[] = {
    {"empyrean.xrdml", 1, "2Theta", cu_mean},     // schema 1.5, intensities, LF
    {"polefig_Ge113.xrdml", 91, "Phi", cu_mean},  // schema 1.3, a pole figure: Q and d refused
    // schema 2.2, counts and factors, byte order mark
    {"simpack_xrd_AlGaAs.xrdml", 1, "2Theta", cu_alpha1},
    {"gonio_counts_TiO2_ZnO.xrdml", 1, "2Theta", cu_mean},  // schema 2.3, Gonio scan, counts
    {"gonio_v1_HA_DG2.xrdml", 1, "2Theta", cu_mean},  // schema 1.0, intensities with factors
    {"omega2theta_H1202.xrdml", 1, "2Theta", cu_alpha1},  // schema 1.6, intensities with factors
    // schema 2.1, one point attenuated by 188
    {"om2th_counts_attenuated.xrdml", 1, "2Theta", cu_mean},
    {"area_76_scans.xrdml", 76, "2Theta", cu_mean},  // schema 1.0, 76 Omega-2Theta scans
};

std::string read_all_of(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// The numbers of the first `tag` element after `from` in text.
std::vector<double> numbers_of(const std::string& text, const std::string& tag, std::size_t from) {
    const std::size_t p = text.find("<" + tag, from);
    if (p == std::string::npos) return {};
    const std::size_t open = text.find('>', p) + 1;
    std::istringstream in(text.substr(open, text.find('<', open) - open));
    std::vector<double> v;
    for (double d; in >> d;) v.push_back(d);
    return v;
}

struct Point {
    double x, y, e;
};

std::vector<Point> first_scan(const std::string& path, const std::string& axis) {
    std::ifstream f(path, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::size_t at = all.find("<scan ");
    const std::string scan = all.substr(at, all.find("</scan>", at) - at);
    const std::size_t block = scan.find("axis=\"" + axis + "\"");
    const double start = numbers_of(scan, "startPosition", block).at(0);
    const double end = numbers_of(scan, "endPosition", block).at(0);
    std::vector<double> c = numbers_of(scan, "counts", 0), f_ = numbers_of(scan, "beamAttenuationFactors", 0);
    const bool counts = !c.empty();
    if (!counts) c = numbers_of(scan, "intensities", 0);
    if (!counts) f_.assign(c.size(), 1.0);  // intensities are corrected already
    std::vector<Point> points;
    for (std::size_t k = 0; k < c.size(); ++k) {
        const double factor = f_.empty() ? 1.0 : f_.at(k);
        points.push_back({start + static_cast<double>(k) * ((end - start) / static_cast<double>(c.size() - 1)),
                          c[k] * factor, std::sqrt(c[k]) * factor});
    }
    return points;
}

bool close_to(double got, double want) {
    return got == want || std::fabs(got - want) <= 1e-12 * std::fabs(want);
}

// What a branch wrote, as data lines ("x y e" in the ASCII data file's
// layout; a Genie file through g2dump --columns): how many, the first and the
// last as they stand, and the sums of y and of e over all of them.
struct Figures {
    std::size_t lines;
    const char* first;
    const char* last;
    double sum_y, sum_e;
};

// Fixed figures of the real files, for the branches that read every scan:
// all scans summed in counts (ASCII, after its three header lines), the
// gudrunX data (ASCII), and every scan separately in counts per second
// (Genie, all entries' lines one after the other). They were taken from this
// program and checked where a single-scan file allows: its gudrunX data are
// its separate scan, and its sum is that times the counting time.
struct Expected {
    const char* file;
    Figures sum, gudrun, separate;
    std::size_t entries;
};
const Expected expected_figures[] = {
    {"empyrean.xrdml",
     {196, "   30.0500000000000         8.00000000000000         2.82842712474619     ",
      "   41.7500000000000         6.00000000000000         2.44948974278318     ", 1814, 581.946884511},
     {196, "   30.0500000000000         18.1818181818182         6.42824346533225     ",
      "   41.7500000000000         13.6363636363636         5.56702214268904     ", 4122.72727273, 1322.60655571},
     {196, "   30.0500000000000         18.1818181818182         6.42824346533225     ",
      "   41.7500000000000         13.6363636363636         5.56702214268904     ", 4122.72727273, 1322.60655571}, 1},
    {"polefig_Ge113.xrdml",
     {1199, "  -179.700000000000         13.3296703296703        0.382726917961934     ",
      "   179.700000000000         13.2307692307692        0.381304430173571     ", 90644.8241758, 551.422709147},
     {1199, "  -179.700000000000         6.66483516483517        0.191363458980967     ",
      "   179.700000000000         6.61538461538461        0.190652215086785     ", 45322.4120879, 275.711354573},
     {109109, "  -179.700000000000         7.50000000000000         1.93649167310371     ",
      "   179.700000000000         6.00000000000000         1.73205080756888     ", 4124339.5, 204749.130997}, 91},
    {"simpack_xrd_AlGaAs.xrdml",
     {2999, "   65.4600000000000         1.00000000000000         1.00000000000000     ",
      "   66.6592000000000         2.00000000000000         1.41421356237310     ", 3838675, 37298.8350351},
     {2999, "   65.4600000000000         2.00000000000000         2.00000000000000     ",
      "   66.6592000000000         4.00000000000000         2.82842712474619     ", 7677350, 74597.6700701},
     {2999, "   65.4600000000000         2.00000000000000         2.00000000000000     ",
      "   66.6592000000000         4.00000000000000         2.82842712474619     ", 7677350, 74597.6700701}, 1},
    {"gonio_counts_TiO2_ZnO.xrdml",
     {2071, "   10.0217328800000         1946.00000000000         44.1134900002256     ",
      "   99.9958560800000         236.000000000000         15.3622914957372     ", 1410422, 48975.9793966},
     {2071, "   10.0217328800000         177.473780209758         4.02311810307575     ",
      "   99.9958560800000         21.5230278157775         1.40102977617302     ", 128629.457364, 4466.57358839},
     {2071, "   10.0217328800000         177.473780209758         4.02311810307575     ",
      "   99.9958560800000         21.5230278157775         1.40102977617302     ", 128629.457364, 4466.57358839}, 1},
    {"gonio_v1_HA_DG2.xrdml",
     {395, "  0.110000000000000         54538740.0000000         7385.03486789331     ",
      "   7.99000000000000         1.00000000000000         1.00000000000000     ", 1002768789, 165773.832927},
     {395, "  0.110000000000000         109077480.000000         14770.0697357866     ",
      "   7.99000000000000         2.00000000000000         2.00000000000000     ", 2005537578, 331547.665854},
     {395, "  0.110000000000000         109077480.000000         14770.0697357866     ",
      "   7.99000000000000         2.00000000000000         2.00000000000000     ", 2005537578, 331547.665854}, 1},
    {"omega2theta_H1202.xrdml",
     {299, "   26.1052000000000         1.00000000000000         1.00000000000000     ",
      "   32.0652000000000         0.00000000000000         0.00000000000000     ", 2345010, 7009.5780169},
     {299, "   26.1052000000000        0.833333333333333E-001   0.833333333333333E-001",
      "   32.0652000000000         0.00000000000000         0.00000000000000     ", 195417.5, 584.131501408},
     {299, "   26.1052000000000        0.833333333333333E-001   0.833333333333333E-001",
      "   32.0652000000000         0.00000000000000         0.00000000000000     ", 195417.5, 584.131501408}, 1},
    {"om2th_counts_attenuated.xrdml",
     {1800, "   26.0250000000000         0.00000000000000         0.00000000000000     ",
      "   79.9950000000000         0.00000000000000         0.00000000000000     ", 416528, 12796.9329181},
     {1800, "   26.0250000000000         0.00000000000000         0.00000000000000     ",
      "   79.9950000000000         0.00000000000000         0.00000000000000     ", 833056, 25593.8658363},
     {1800, "   26.0250000000000         0.00000000000000         0.00000000000000     ",
      "   79.9950000000000         0.00000000000000         0.00000000000000     ", 833056, 25593.8658363}, 1},
    {"area_76_scans.xrdml",
     {75, "   73.0400000000000         20.4473684210526        0.518694824853343     ",
      "   78.9600000000000         5.51315789473684        0.269335388032352     ", 24564.6710526, 68.6775448688},
     {75, "   73.0400000000000         6.81578947368421        0.172898274951114     ",
      "   78.9600000000000         1.83771929824561        0.897784626774505E-001", 8188.22368421, 22.8925149563},
     {5700, "   73.0400000000000         4.33333333333333         1.20185042515466     ",
      "   78.9600000000000         1.33333333333333        0.666666666666667     ", 622305, 8844.28127152}, 76},
};

struct Found {
    std::size_t lines = 0;
    std::string first, last;
    double sum_y = 0.0, sum_e = 0.0;
};

Found figures_of(const std::string& text) {
    Found f;
    std::istringstream lines(text);
    bool any = false;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream items(line);
        double x = 0, y = 0, e = 0;
        if (line.empty() || line[0] == '#' || !(items >> x >> y >> e) || line.starts_with("Data")) continue;
        if (!any) f.first = line;
        any = true;
        f.last = line;
        ++f.lines;
        f.sum_y += y;
        f.sum_e += e;
    }
    return f;
}

void expect_figures(const Found& got, const Figures& want, const char* branch) {
    SCOPED_TRACE(branch);
    EXPECT_EQ(got.lines, want.lines);
    EXPECT_EQ(got.first, want.first);
    EXPECT_EQ(got.last, want.last);
    EXPECT_NEAR(got.sum_y, want.sum_y, 1e-9 * std::fabs(want.sum_y));
    EXPECT_NEAR(got.sum_e, want.sum_e, 1e-9 * std::fabs(want.sum_e));
}

class Measurements : public Orvalt {};

TEST_F(Measurements, EveryBranchOnEveryFile) {
    for (const Measurement& m : measurements) {
        SCOPED_TRACE(m.file);
        const fs::path source = fs::path(ORVALT_TEST_DATA) / "xrdml" / m.file;
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(source, dir / m.file);
        const std::string name = m.file, stem = name.substr(0, name.size() - 6);

        // Scan 1, counts, against its own axis, as an ASCII file.
        Result r = run(name + "\n1\n0\n1\n1\n\n");
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(" count_scans: Number of scans in file = " + std::to_string(m.nscans) + "\n"),
                  std::string::npos);
        const std::size_t w = r.out.find(" count_scans: Wavelength = ");
        ASSERT_NE(w, std::string::npos);
        EXPECT_NEAR(std::stod(r.out.substr(w + 27, 20)), m.wavelength, 1e-12);
        const std::vector<Point> want = first_scan(source.string(), m.axis);
        std::istringstream dat(read(stem + ".dat"));
        std::size_t k = 0;
        for (Point p; dat >> p.x >> p.y >> p.e; ++k) {
            ASSERT_LT(k, want.size());
            EXPECT_TRUE(close_to(p.x, want[k].x) && close_to(p.y, want[k].y) && close_to(p.e, want[k].e))
                << "point " << k + 1 << ": " << p.x << " " << p.y << " " << p.e;
        }
        EXPECT_EQ(k, want.size());

        // All scans summed, gudrunX data, separate scans: their values.
        const Expected* fixed = nullptr;
        for (const Expected& x : expected_figures)
            if (name == x.file) fixed = &x;
        ASSERT_NE(fixed, nullptr);
        r = run(name + "\n0\n0\n1\n1\n\n");
        EXPECT_EQ(r.status, 0) << r.out;
        expect_figures(figures_of(read(stem + ".dat")), fixed->sum, "sum");
        r = run(name + "\n-2\n0\n1\n\n");
        EXPECT_EQ(r.status, 0) << r.out;
        expect_figures(figures_of(read(stem + ".dat")), fixed->gudrun, "gudrunX");
        r = run(name + "\n-3\n1\n\n");
        EXPECT_EQ(r.status, 0) << r.out;
        const std::string cmd = "cd \"" + dir.string() + "\" && \"" G2DUMP_EXE "\" --columns \"" +
                                stem + ".write\" > columns.txt";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const std::string columns = read("columns.txt");
        expect_figures(figures_of(columns), fixed->separate, "separate");
        EXPECT_EQ(static_cast<std::size_t>(std::count(columns.begin(), columns.end(), '#')),
                  3 * fixed->entries);
        EXPECT_TRUE(exists(stem + ".weights") && exists(stem + ".write"));
        // Each entry's x label names the axis the scan moves.
        const std::string label = std::string(m.axis) == "2Theta" ? "2-theta" : m.axis;
        std::size_t labels = 0;
        for (std::size_t at = 0; (at = columns.find("\n# x: ", at)) != std::string::npos; ++at, ++labels)
            EXPECT_EQ(columns.substr(at + 6, label.size() + 1), label + "\n");
        EXPECT_EQ(labels, static_cast<std::size_t>(m.nscans));

        // Q (and d-spacing) only from 2-theta.
        const std::string remembered = read("orvalt.tmp");
        fs::remove(dir / (stem + ".dat"));
        r = run(name + "\n0\n1\n2\n1\n\n");
        if (std::string(m.axis) == "2Theta") {
            EXPECT_EQ(r.status, 0) << r.out;
            continue;
        }
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find(" Give units option (1) >  **ERROR in orvalt: Scan 1 moves the " +
                             std::string(m.axis) + " axis, not 2-theta: no Q or d-spacing\n"),
                  std::string::npos)
            << r.out;
        EXPECT_FALSE(exists(stem + ".dat"));
        EXPECT_EQ(read("orvalt.tmp"), remembered);
    }
}

// The .gz and .bz2 copies of every file, named on the command line as they
// are, give the files the plain one gives, byte for byte (the Genie title
// names the input as given); the summary line names the scan's axis. A
// truncated copy is refused and nothing is written. The Windows build reads
// no .bz2 file and says so.
TEST_F(Measurements, CompressedCopiesGiveTheSameFiles) {
    for (const Measurement& m : measurements) {
        SCOPED_TRACE(m.file);
        const std::string name = m.file;
        const std::string text = read_all_of(fs::path(ORVALT_TEST_DATA) / "xrdml" / name);
        write(name, text);
        write(name + ".gz", orvalt::test::gzip(text));
        write(name + ".bz2", orvalt::test::bzip2(text));
        const std::string whole = orvalt::test::gzip(text);
        write("cut.xrdml.gz", whole.substr(0, whole.size() / 2));
        const std::string axis = std::string(m.axis) == "2Theta" ? "2-theta" : m.axis;
        const std::string sum = ": sum of " + std::to_string(m.nscans) +
                                (m.nscans == 1 ? " scan" : " scans") + ", counts per second, " + axis;
        for (const std::string& input : {name, name + ".gz", name + ".bz2"}) {
            const Result g = run("", "", "-o \"" + input + ".write\" \"" + input + "\"");
            const Result a = run("", "", "--scan 1 --format ascii -o \"" + input + ".dat\" \"" + input + "\"");
            if (windows_program() && input.ends_with(".bz2")) {
                EXPECT_EQ(g.status, 1);
                EXPECT_NE(g.err.find("This build does not read .bz2 files"), std::string::npos) << g.err;
                EXPECT_FALSE(exists(input + ".write"));
                continue;
            }
            ASSERT_EQ(g.status, 0) << g.err;
            ASSERT_EQ(a.status, 0) << a.err;
            EXPECT_EQ(g.out, input + sum + " -> " + input + ".write\n");
            std::string genie = read_bytes(input + ".write");
            const std::size_t title = genie.find(input + std::string(80 - input.size(), ' '));
            ASSERT_NE(title, std::string::npos);
            genie.replace(title, input.size(), name + std::string(input.size() - name.size(), ' '));
            EXPECT_TRUE(genie == read_bytes(name + ".write")) << input;
            EXPECT_TRUE(read_bytes(input + ".dat") == read_bytes(name + ".dat")) << input;
        }
        const Result cut = run("", "", "cut.xrdml.gz");
        EXPECT_EQ(cut.status, 1);
        EXPECT_NE(cut.err.find("cut.xrdml.gz: The gzip file is truncated (it ends too early)\n"),
                  std::string::npos)
            << cut.err;
        EXPECT_FALSE(exists("cut.write"));
    }
}

}  // namespace
}  // namespace e2e

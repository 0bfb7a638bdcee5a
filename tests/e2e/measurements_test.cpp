// The real measurements of tests/data/xrdml, one row each: what every branch
// must give on it. Scan 1 in counts against its axis is checked against the
// file as read here on its own terms: the whole text searched for the scan's
// positions, its list and its attenuation factors.
#include <cmath>

#include "e2e_support.h"
#include "tests/compress_support.h"

namespace e2e {
namespace {

struct Measurement {
    const char* file;
    int nscans;
    const char* axis;  // whose start and end positions x runs over
};

const Measurement measurements[] = {
    {"empyrean.xrdml", 1, "2Theta"},            // schema 1.5, intensities, LF
    {"polefig_Ge113.xrdml", 91, "Phi"},         // schema 1.3, a pole figure: Q and d refused
    {"simpack_xrd_AlGaAs.xrdml", 1, "2Theta"},  // schema 2.2, counts and factors, byte order mark
    {"gonio_counts_TiO2_ZnO.xrdml", 1, "2Theta"},    // schema 2.3, Gonio scan, counts
    {"gonio_v1_HA_DG2.xrdml", 1, "2Theta"},          // schema 1.0, intensities with factors
    {"omega2theta_H1202.xrdml", 1, "2Theta"},        // schema 1.6, intensities with factors
    {"om2th_counts_attenuated.xrdml", 1, "2Theta"},  // schema 2.1, one point attenuated by 188
    {"area_76_scans.xrdml", 76, "2Theta"},           // schema 1.0, 76 Omega-2Theta scans
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
        const std::vector<Point> want = first_scan(source.string(), m.axis);
        std::istringstream dat(read(stem + ".dat"));
        std::size_t k = 0;
        for (Point p; dat >> p.x >> p.y >> p.e; ++k) {
            ASSERT_LT(k, want.size());
            EXPECT_TRUE(close_to(p.x, want[k].x) && close_to(p.y, want[k].y) && close_to(p.e, want[k].e))
                << "point " << k + 1 << ": " << p.x << " " << p.y << " " << p.e;
        }
        EXPECT_EQ(k, want.size());

        // All scans summed, gudrunX data, separate scans.
        for (const std::string answers : {"0\n0\n1\n1\n\n", "-2\n0\n1\n\n", "-3\n1\n\n"}) {
            r = run(name + "\n" + answers);
            EXPECT_EQ(r.status, 0) << answers << r.out;
        }
        EXPECT_TRUE(exists(stem + ".weights") && exists(stem + ".write"));
        // Each entry's x label names the axis the scan moves.
        const std::string cmd = "cd \"" + dir.string() + "\" && \"" G2DUMP_EXE "\" --columns \"" +
                                stem + ".write\" > columns.txt";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        const std::string label = std::string(m.axis) == "2Theta" ? "2-theta" : m.axis;
        const std::string columns = read("columns.txt");
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

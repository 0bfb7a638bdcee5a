// The pattern files from the command line, for every real measurement: the
// .xye lines are the ASCII data file's, the GSAS file passes the format's
// checker and holds the ASCII file's numbers, and the CIF read back through
// gemmi (its C++ reader, and python3-gemmi where installed) holds them too.
#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>

#include <array>
#include <cmath>

#include "e2e_support.h"
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

// x and y of the first block's point loop, as gemmi's C++ reader reads them.
std::vector<Point> cif_points(const std::string& path) {
    std::vector<Point> points;
    cif::Document doc = cif::read_file(path);
    cif::Block& block = doc.blocks.at(0);
    for (cif::Item& item : block.items) {
        if (item.type != cif::ItemType::Loop || !item.loop.tags[0].starts_with("_pd_")) continue;
        for (std::size_t k = 0; k < item.loop.length(); ++k)
            points.push_back({cif::as_number(item.loop.val(k, 0)),
                              cif::as_number(item.loop.val(k, 1)), std::nan("")});
    }
    return points;
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
    {"--separate --counts", "--scan 1 --counts"},
};

TEST_F(Orvalt, EveryRealFileInEveryPatternFormat) {
    const std::string python = python_with_gemmi();
    std::vector<fs::path> inputs{fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml"};
    for (const auto& entry : fs::directory_iterator(fs::path(ORVALT_TEST_DATA) / "xrdml"))
        if (entry.path().extension() == ".xrdml" && entry.path().stem() != "rsm_401_scans")
            inputs.push_back(entry.path());
    std::size_t written = 0;
    for (const fs::path& input : inputs) {
        const std::string name = input.filename().string();
        fs::copy_file(input, dir / name, fs::copy_options::overwrite_existing);
        const bool phi = name.starts_with("polefig");  // every scan moves Phi
        const bool listed = name.starts_with("insitu");  // x as listed, not evenly spaced
        for (const Case& c : cases) {
            SCOPED_TRACE(name + " [" + c.args + "]");
            const bool q = std::string(c.args).find("--units q") != std::string::npos;
            const Result ascii =
                run("", "", std::string(c.ascii_args) + " --format ascii -o ref.dat " + name);
            if (phi && q) {  // no Q from Phi: refused in every format
                EXPECT_EQ(ascii.status, 1);
                for (const char* f : {" --format xye ", " --format fxye ", " --format cif "})
                    EXPECT_NE(run("", "", std::string(c.args) + f + name).status, 0) << f;
                continue;
            }
            ASSERT_EQ(ascii.status, 0) << ascii.err;
            const std::vector<Point> ref = ascii_points(read("ref.dat"));

            const Result xye =
                run("", "", std::string(c.args) + " --format xye -o out.xye " + name);
            ASSERT_EQ(xye.status, 0) << xye.err;
            EXPECT_EQ(ascii_points(read("out.xye")), ref);

            const Result fxye =
                run("", "", std::string(c.args) + " --format fxye -o out.fxye " + name);
            if (q || phi) {
                EXPECT_EQ(fxye.status, q ? 2 : 1);
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

            const Result cif =
                run("", "", std::string(c.args) + " --format cif -o out.cif " + name);
            ASSERT_EQ(cif.status, 0) << cif.err;
            const std::vector<Point> read_back = cif_points((dir / "out.cif").string());
            expect_points(read_back, ref, 0.0, "cif");
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
                expect_points(by_python, ref, 0.0, "cif through python3-gemmi");
            }
            written += q || phi ? 2 : 3;
        }
        fs::remove(dir / name);
    }
    // 3 formats x 3 cases, less fxye in Q, fxye of Phi scans, and Q of Phi scans
    EXPECT_EQ(written, inputs.size() * (3 * 3 - 1) - 2 - 2);
    if (python.empty()) GTEST_SKIP() << "read back without python3-gemmi: not installed";
}

}  // namespace
}  // namespace e2e

// The .xye, .fxye and CIF pattern files: their text, what each refuses, and
// each read back (the GSAS file by its columns, the CIF through gemmi).
#include <gtest/gtest.h>

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "formats/cif.h"
#include "formats/fxye.h"
#include "formats/pattern_file.h"
#include "formats/xye.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "tests/support.h"

namespace orvalt {
namespace {

namespace cif = gemmi::cif;
using test::Dialogue;
using test::read_all;
using test::TempDir;

PatternDescription description(XQuantity x = XQuantity::two_theta, bool counts = true,
                               std::string choice = "scan 2 of 5") {
    return {.input_name = "/data/run7.xrdml",
            .scan_choice = std::move(choice),
            .wavelengths = {1.540598, 1.544426, 0.5, (1.540598 + 0.5 * 1.544426) / 1.5},
            .x = {x, x == XQuantity::angle ? "Phi" : ""},
            .counts = counts};
}

struct Points {
    std::vector<double> x, y, e;
    Pattern pattern(std::int32_t scan) const { return {scan, x, y, e}; }
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream s(text);
    for (std::string l; std::getline(s, l);) out.push_back(l);
    return out;
}

TEST(XyeFile, HeadThenTheAsciiDataFilesLinesPerScan) {
    const PatternDescription d = description(XQuantity::two_theta, false, "2 scans separately");
    const Points a{{10.0, 10.5}, {1234.5, 0.05}, {35.1354521815, 0.0}}, b{{11.0}, {2.0}, {1.5}};
    const std::vector<Pattern> scans{a.pattern(1), b.pattern(2)};
    TempDir dir;
    Dialogue con;
    ASSERT_TRUE(write_pattern_file(con.con, dir.file("run7.xye"), OutputFormat::xye, d, scans));
    EXPECT_EQ(read_all(dir.file("run7.xye")),
              "# ORVALT xye file: x, y, e (the standard uncertainty of y)\n"
              "# Input file: /data/run7.xrdml\n"
              "# Scans: 2 scans separately\n"
              "# Wavelength (angstrom): K-alpha1 1.540598, K-alpha2 1.544426, ratio "
              "K-alpha2/K-alpha1 0.5, mean 1.541874\n"
              "# x: 2-theta (degrees)\n"
              "# y: counts per second\n"
              "# scan 1\n" +
                  format_data_line(10.0, 1234.5, 35.1354521815) + "\n" +
                  format_data_line(10.5, 0.05, 0.0) + "\n\n# scan 2\n" +
                  format_data_line(11.0, 2.0, 1.5) + "\n");
    const std::string q = xye_block(description(XQuantity::q), a.pattern(2), 0, false).text;
    EXPECT_NE(q.find("# Scans: scan 2 of 5\n"), std::string::npos);
    EXPECT_NE(q.find("# x: Q (1/angstrom)\n# y: counts\n   10.0"), std::string::npos);
}

// Every refusal of the GSAS file, and the staged file that it leaves alone.
TEST(FxyeFile, RefusesWhatABankCannotHold) {
    struct Case {
        XQuantity x;
        Points p;
        const char* reason;
    };
    const Case cases[] = {
        {XQuantity::q, {{1.0, 2.0}, {1, 1}, {1, 1}}, "the GSAS file holds 2-theta only, not Q"},
        {XQuantity::angle, {{10, 20}, {1, 1}, {1, 1}}, "the GSAS file holds 2-theta only, not Phi"},
        {XQuantity::two_theta, {{}, {}, {}}, "a GSAS bank needs at least one point"},
        {XQuantity::two_theta, {{0.0, 10.0}, {1, 1}, {1, 1}}, "between 0 and 180 degrees"},
        {XQuantity::two_theta, {{170.0, 180.0}, {1, 1}, {1, 1}}, "between 0 and 180 degrees"},
        {XQuantity::two_theta, {{0.5, 1.8}, {1, 1}, {1, 1}}, "never exceeds 1.8 degrees"},
        {XQuantity::two_theta, {{10, 10, 11}, {1, 1, 1}, {1, 1, 1}}, "does not rise"},
        {XQuantity::two_theta, {{10, 11}, {1, -1}, {1, 1}}, "point 2 has a negative intensity"},
        {XQuantity::two_theta, {{10, 11}, {1, 4}, {1, 0}}, "point 2 has an intensity without"},
    };
    TempDir dir;
    const std::string path = dir.write("kept.fxye", "older\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Dialogue con;
        const Pattern p = c.p.pattern(2);
        EXPECT_FALSE(write_pattern_file(con.con, path, OutputFormat::fxye, description(c.x),
                                        std::span(&p, 1)));
        EXPECT_NE(con.text().find("**ERROR in orvalt: "), std::string::npos);
        EXPECT_NE(con.text().find(c.reason), std::string::npos) << con.text();
    }
    // A point that is not finite is refused in every format.
    Dialogue con;
    const Points nan{{10, 11}, {1, std::nan("")}, {1, 1}};
    const Pattern p = nan.pattern(1);
    EXPECT_FALSE(
        write_pattern_file(con.con, path, OutputFormat::cif, description(), std::span(&p, 1)));
    EXPECT_EQ(con.text(), " **ERROR in orvalt: Point 2 of the spectrum is not a finite number\n");
    EXPECT_EQ(read_all(path), "older\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Read back by its columns as the format defines them, not by the writer's code.
TEST(FxyeFile, ReadBackByColumnsAndByTheChecker) {
    const PatternDescription d = description(XQuantity::two_theta, false, "2 scans separately");
    Points up{{20.0, 20.02, 20.04}, {1520.0, 0.001234, 0.0}, {38.98, 0.0001, 0.0}};
    const Points down{{40.0, 39.5, 39.0}, {7.0, 8.0, 9.0}, {2.6, 2.8, 3.0}};  // written upwards
    const std::vector<Pattern> scans{up.pattern(1), down.pattern(2)};
    TempDir dir;
    const std::string path = dir.file("run7.fxye");
    Dialogue con;
    ASSERT_TRUE(write_pattern_file(con.con, path, OutputFormat::fxye, d, scans));

    const std::vector<std::string> ls = lines_of(read_all(path));
    for (const std::string& l : ls) EXPECT_EQ(l.size(), 80u) << l;
    EXPECT_EQ(ls[0],
              "ORVALT: run7.xrdml, 2 scans separately, counts per second, x = 2-theta in centid");
    struct Bank {
        std::size_t line;
        const char* head;
        const Points* p;
        bool reversed;
    };
    const Bank banks[] = {{7, "BANK 1 3 3 CONS 2000.000000 2.000000 0 0 FXYE", &up, false},
                          {12, "BANK 2 3 3 CONS 3900.000000 50.000000 0 0 FXYE", &down, true}};
    EXPECT_EQ(ls[6], std::string("# scan 1").append(72, ' '));
    for (const Bank& b : banks) {
        EXPECT_EQ(ls[b.line].substr(0, std::string(b.head).size()), b.head);
        for (std::size_t k = 0; k < 3; ++k) {
            const std::string& l = ls[b.line + 1 + k];
            const std::size_t i = b.reversed ? 2 - k : k;
            // X in columns 1-15, Y in 16-37, E in 38-59, each right-aligned
            const auto column = [&l](std::size_t from, std::size_t width) {
                double v = -1;
                const std::string f = l.substr(from, width);
                EXPECT_TRUE(f.front() == ' ' && f.back() != ' ' && read_first_real(f, v)) << l;
                return v;
            };
            const double x = column(0, 15), y = column(15, 22), e = column(37, 22);
            EXPECT_EQ(l.substr(59), std::string(21, ' '));
            EXPECT_NEAR(x, b.p->x[i] * 100, 5e-7) << l;
            EXPECT_NEAR(y, b.p->y[i], 1e-12 * b.p->y[i]) << l;
            EXPECT_NEAR(e, b.p->e[i], 1e-12 * b.p->e[i]) << l;
        }
    }
    EXPECT_EQ(ls.size(), 16u);
    if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
    const std::string check = "python3 " ORVALT_TEST_DATA "/formats/check_fxye.py --pad80 " + path;
    EXPECT_EQ(std::system((check + " >/dev/null").c_str()), 0) << check;
}

struct CifCase {
    XQuantity x;
    bool counts;
    std::int32_t scan;
    Points p;
    const char* x_tag;
    const char* y_tag;
    const char* units;    // _pd_meas_units_of_intensity, or null when absent
    bool reduction;       // whether _pd_proc_info_data_reduction is there
    const char* first_y;  // the first y as written
};

// The items chosen for each kind of pattern, read back through gemmi, and
// the su in one or two digits, in units of the value's last digit.
TEST(CifFile, ItemsForEachKindOfPattern) {
    const Points counts{{20.0, 20.02}, {1520.0, 0.0}, {std::sqrt(1520.0), 0.0}};
    const Points scaled{{20.0, 20.02}, {1520.5, 3.0}, {39.0, 1.7}};
    const Points small{{20.0, 20.02}, {0.001234567890123, 0.0}, {0.0351364, 0.0}};
    const Points large{{20.0, 20.02}, {1.0e20, 5.0}, {1.0e10, 2.2}};
    const CifCase cases[] = {
        {XQuantity::two_theta, true, 2, counts, "_pd_meas_2theta_scan", "_pd_meas_counts_total",
         nullptr, false, "1520"},
        {XQuantity::two_theta, true, 2, scaled, "_pd_meas_2theta_scan", "_pd_meas_intensity_total",
         "counts", false, "1520(40)"},
        {XQuantity::two_theta, false, 2, small, "_pd_meas_2theta_scan", "_pd_meas_intensity_total",
         "counts per second", true, "0.00(4)"},
        {XQuantity::two_theta, true, 0, counts, "_pd_proc_2theta_corrected",
         "_pd_proc_intensity_total", nullptr, true, "1520(40)"},
        {XQuantity::q, true, 2, counts, "_pd_proc_recip_len_Q", "_pd_meas_counts_total", nullptr,
         true, "1520"},
        {XQuantity::d_spacing, false, 0, large, "_pd_proc_d_spacing", "_pd_proc_intensity_total",
         nullptr, true, "100000000000000000000(10000000000)"},
    };
    for (const CifCase& c : cases) {
        SCOPED_TRACE(std::string(c.x_tag) + " " + c.y_tag);
        const BlockText b = cif_block(description(c.x, c.counts), c.p.pattern(c.scan), 0, false);
        ASSERT_EQ(b.refusal, "");
        cif::Document doc = cif::read_string(b.text);
        cif::Block& block = doc.sole_block();
        EXPECT_EQ(block.name, c.scan == 0 ? "run7_sum" : "run7_scan" + std::to_string(c.scan));
        cif::Table points = block.find({c.x_tag, c.y_tag});
        ASSERT_EQ(points.length(), 2u);
        EXPECT_EQ(points[0][1], c.first_y);
        if (c.p.y[1] == 0.0) {
            EXPECT_EQ(points[1][1], c.counts && c.scan > 0 ? "0" : "0(0)");
        }
        const std::string* units = block.find_value("_pd_meas_units_of_intensity");
        EXPECT_EQ(units ? cif::as_string(*units) : "", c.units ? c.units : "");
        EXPECT_EQ(block.find_value("_pd_proc_info_data_reduction") != nullptr, c.reduction);
        EXPECT_EQ(block.find_value("_pd_proc_wavelength") != nullptr,
                  c.x == XQuantity::q || c.x == XQuantity::d_spacing);
    }
    // The dictionary's angles are one setting per block: no looped x.
    for (const char* axis : {"Phi", "Chi", "Omega", "Psi"}) {
        PatternDescription d = description(XQuantity::angle);
        d.x.axis = axis;
        EXPECT_EQ(cif_block(d, counts.pattern(1), 0, false).refusal,
                  "the powder CIF holds 2-theta, Q or d-spacing, not the " + std::string(axis) +
                      " angle of a scan");
        EXPECT_EQ(units_refusal(OutputFormat::cif, d.x), "");
        EXPECT_EQ(format_row(OutputFormat::cif).refuses(d.x),
                  "the powder CIF holds 2-theta, Q or d-spacing only");
    }
}

}  // namespace
}  // namespace orvalt

// The intensities: one scan, the sum of the included scans, and REVERSEARRAY.
#include <gtest/gtest.h>

#include <cmath>

#include "support.h"

namespace orvalt::xrdml::test {
namespace {

std::string counting(int n, int first = 1) {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + std::to_string(first + i);
    return s;
}

struct Single {
    ReaderStatus status;
    std::vector<double> y = std::vector<double>(mn, -1.0);
    std::vector<double> e = std::vector<double>(mn, -1.0);
    std::int32_t ny = -5;
    std::string out;
};

Single load(const std::string& text, std::int32_t scan, std::int32_t verbose = 1) {
    TempDir dir;
    Dialogue d;
    Single r;
    ORVALTDATA1(d.con, dir.write("f.xrdml", text), r.status, r.y, r.e, mn, r.ny, scan, verbose);
    r.out = d.text();
    return r;
}

struct Sum {
    ReaderStatus status;
    std::vector<double> y = std::vector<double>(mn, -1.0);
    std::vector<double> e = std::vector<double>(mn, -1.0);
    std::vector<std::int32_t> npts = std::vector<std::int32_t>(max_scans, -3);
    std::int32_t ny = -5;
    std::string out;
};

Sum sum(const std::string& text, std::vector<std::int32_t> weight, std::int32_t nscans,
        std::int32_t verbose = 1) {
    TempDir dir;
    Dialogue d;
    Sum r;
    weight.resize(max_scans, 1);
    ORVALTDATATOT(d.con, dir.write("f.xrdml", text), r.status, r.y, r.e, mn, r.npts, weight, r.ny,
                  nscans, verbose);
    r.out = d.text();
    return r;
}

TEST(SingleScan, LoadsTheChosenScan) {
    const Single r = load(xrdml_file({"1 2 3", "4\t9,16  ", "7"}, "\r\n"), 2);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.ny, 3);
    EXPECT_EQ(r.out, " orvaltdata1: Scan found: 2\n orvaltdata1: ny = 3\n");
    EXPECT_EQ(std::vector<double>(r.y.begin(), r.y.begin() + 4), (std::vector<double>{4, 9, 16, -1}));
    EXPECT_EQ(std::vector<double>(r.e.begin(), r.e.begin() + 4), (std::vector<double>{2, 3, 4, -1}));
    EXPECT_EQ(load(xrdml_file({"1", ""}), 2, 0).ny, 0);  // an empty list is no failure
}

TEST(SingleScan, Failures) {
    const std::string file = xrdml_file({"1 2 3", "4", "7"});
    Single r = load(file, 4);
    EXPECT_EQ(r.status.ierr, 1);
    EXPECT_EQ(message(r.status), "Error reading XRDML file: </xrdMeasurements>");
    EXPECT_EQ(r.out, "");

    for (std::int32_t scan : {0, -1}) {
        r = load("no such file", scan);
        EXPECT_EQ(r.status.ierr, 14);
        EXPECT_EQ(message(r.status), "Unexpected scan number received by orvaltdata1");
        EXPECT_EQ(r.ny, -5);
    }
}

TEST(SingleScan, PointLimit) {
    Single r = load(xrdml_file({counting(mn)}), 1);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.ny, mn);
    EXPECT_EQ(r.y[mn - 1], mn);

    r = load(xrdml_file({counting(mn + 1)}), 1);
    EXPECT_EQ(r.status.ierr, 9);
    EXPECT_EQ(message(r.status), "Too many data points");
    EXPECT_EQ(r.out,
              " orvaltdata1: Scan found: 1\n orvaltdata1: ny = 25001\n"
              " Number of data points ny = 25001\n Maximum allowed number of points mn = 25000\n");
    EXPECT_EQ(r.y[0], -1.0);  // nothing written
    EXPECT_EQ(load(xrdml_file({counting(mn + 1)}), 1, 0).out,
              " orvaltdata1: Scan found: 1\n orvaltdata1: ny = 25001\n");

}

TEST(SingleScan, BadIntensities) {
    for (std::string list : {"1 x 3", "1 , 3", "1 nan", "Inf", "1 2 ,"}) {
        const Single r = load(xrdml_file({list}), 1);
        EXPECT_EQ(r.status.ierr, 10) << list;
        EXPECT_EQ(message(r.status), "Problem reading intensities");
    }
    // A list wrapped over several lines, or a start tag cut off.
    std::vector<std::string> ls = wavelength_lines;
    ls.push_back("<intensities unit=\"counts\">1 2 3");
    ls.push_back("4 5 6</intensities>");
    EXPECT_EQ(load(lines(ls), 1).status.ierr, 10);
    ls.back() = "<intensities";
    EXPECT_EQ(load(lines(ls), 2).status.ierr, 10);
    // An empty element tag is an empty list.
    ls.back() = "\t<intensities unit=\"counts\"/>";
    const Single r = load(lines(ls), 2);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.ny, 0);
}

TEST(SummedScans, AddsIncludedScansFromTheirFirstPoint) {
    const Sum r = sum(xrdml_file({"10 20 30", "1 2", "1000", "5 5 5 5"}), {1, 1, 0, 2}, 4);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.ny, 3);
    EXPECT_EQ(std::vector<double>(r.y.begin(), r.y.begin() + 4), (std::vector<double>{11, 22, 30, 0}));
    EXPECT_EQ(r.e[0], std::sqrt(11.0));
    EXPECT_EQ(r.e[2], std::sqrt(30.0));
    EXPECT_EQ(r.e[3], -1.0);
    // Excluded scans are counted but leave npts alone.
    EXPECT_EQ(std::vector<std::int32_t>(r.npts.begin(), r.npts.begin() + 5),
              (std::vector<std::int32_t>{3, 2, -3, -3, -3}));
}

TEST(SummedScans, StopsAfterScanNscans) {
    std::vector<std::string> ls = wavelength_lines;
    auto scan = scan_lines("1", "2", "1", "4 4", "counts");
    ls.insert(ls.end(), scan.begin(), scan.end());
    ls.push_back("<intensities>x</intensities>");  // past nscans: never read
    Sum r = sum(lines(ls), {}, 1);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.ny, 2);
    EXPECT_EQ(r.y[1], 4);

    r = sum(xrdml_file({"1", ""}), {}, 3);
    EXPECT_EQ(r.status.ierr, 1);
    EXPECT_EQ(message(r.status), "Error reading XRDML file: </xrdMeasurements>");
}

TEST(SummedScans, Failures) {
    Sum r = sum(xrdml_file({"1 2", counting(mn + 1), "3"}), {}, 3);
    EXPECT_EQ(r.status.ierr, 9);
    EXPECT_EQ(r.ny, mn + 1);
    EXPECT_EQ(r.npts[1], mn + 1);
    EXPECT_EQ(r.y[0], 1);  // the scans before it are summed, this one is not
    EXPECT_EQ(r.y[2], 0);
    EXPECT_NE(r.out.find(" Number of data points ny = 25001\n"), std::string::npos);

    r = sum(xrdml_file({"1 2", "3 - 4", "5"}), {}, 3);
    EXPECT_EQ(r.status.ierr, 10);
    EXPECT_EQ(message(r.status), "Problem reading intensities");
    EXPECT_EQ(sum(xrdml_file({"1 2", "3 - 4"}), {1, 0}, 2).status.ierr, 0);  // excluded: not read

    // A full-size scan sums without complaint.
    r = sum(xrdml_file({counting(mn), counting(mn)}), {}, 2);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.y[mn - 1], 2.0 * mn);
}

// Scans past the per-scan tables are counted, never included.
TEST(SummedScans, MoreScansThanTheTablesHold) {
    const Sum r = sum(xrdml_file(std::vector<std::string>(203, "1 1")), {}, 203);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.y[0], max_scans);
}

TEST(Reverse, ReversesTheFirstN) {
    std::vector<double> a = {1, 2, 3, 4};
    REVERSEARRAY(a, 0);
    EXPECT_EQ(a, (std::vector<double>{1, 2, 3, 4}));
    REVERSEARRAY(a, 3);
    EXPECT_EQ(a, (std::vector<double>{3, 2, 1, 4}));
}

}  // namespace
}  // namespace orvalt::xrdml::test

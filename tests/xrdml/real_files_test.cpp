// Every pass on the real measurement files of tests/data/xrdml.
#include <gtest/gtest.h>

#include <cmath>

#include "g_f/files.h"
#include "support.h"

namespace orvalt::xrdml::test {
namespace {

struct Pass {
    Dialogue d;
    ReaderStatus status;
    ScanCensus census;
    ScanParameters par;
    std::vector<double> y = std::vector<double>(mn), e = std::vector<double>(mn);
    std::vector<std::int32_t> npts = std::vector<std::int32_t>(max_scans),
                              weight = std::vector<std::int32_t>(max_scans, 1);
    std::int32_t ny = 0;
};

// The intensity list of scan `scan` as plain numbers, read independently of the reader.
std::vector<double> list_of(const std::string& path, int scan) {
    LineReader r(path);
    std::string_view line;
    int k = 0;
    while (r.next(line)) {
        const auto a = line.find("<intensities");
        const auto b = line.find("<counts");
        const auto at = std::min(a, b);
        if (at == std::string_view::npos || ++k < scan) continue;
        std::istringstream s{std::string(line.substr(line.find('>', at) + 1))};
        std::vector<double> v;
        double x;
        while (s >> x) v.push_back(x);
        return v;
    }
    return {};
}

TEST(RealFiles, OneScanLfFile) {
    const std::string path = real_file("empyrean.xrdml");
    Pass p;
    COUNTSCANS(p.d.con, path, p.status, p.census, 1);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(p.census.nscans, 1);
    EXPECT_DOUBLE_EQ(p.census.wavelength, (1.5405980 + 0.5 * 1.5444260) / 1.5);
    ORVALTPAR(path, p.status, p.par, 1);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(p.par.start_position[0], 30.05);
    EXPECT_EQ(p.par.end_position[0], 41.75);
    EXPECT_EQ(p.par.counting_time[0], 0.44);

    const std::vector<double> expected = list_of(path, 1);
    ASSERT_FALSE(expected.empty());
    ORVALTDATA1(p.d.con, path, p.status, p.y, p.e, mn, p.ny, 1, 1);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(std::vector<double>(p.y.begin(), p.y.begin() + p.ny), expected);
    ORVALTDATATOT(p.d.con, path, p.status, p.y, p.e, mn, p.npts, p.weight, p.ny, 1, 1);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(std::vector<double>(p.y.begin(), p.y.begin() + p.ny), expected);
    EXPECT_EQ(p.e[5], std::sqrt(expected[5]));
}

TEST(RealFiles, NinetyOneScansCrlf) {
    const std::string path = real_file("polefig_Ge113.xrdml");
    Pass p;
    COUNTSCANS(p.d.con, path, p.status, p.census, 0);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(p.census.nscans, 91);
    ORVALTPAR(path, p.status, p.par, 91);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(p.par.start_position[90], -179.7);
    EXPECT_EQ(p.par.end_position[90], 179.7);
    EXPECT_EQ(p.par.counting_time[90], 2.0);

    ORVALTDATA1(p.d.con, path, p.status, p.y, p.e, mn, p.ny, 91, 1);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(std::vector<double>(p.y.begin(), p.y.begin() + p.ny), list_of(path, 91));

    std::vector<double> expected(p.ny, 0.0);
    for (int s = 1; s <= 91; s += 2) {
        const auto v = list_of(path, s);
        for (std::size_t i = 0; i < v.size(); ++i) expected[i] += v[i];
    }
    for (int s = 2; s <= 91; s += 2) p.weight[static_cast<std::size_t>(s - 1)] = 0;
    ORVALTDATATOT(p.d.con, path, p.status, p.y, p.e, mn, p.npts, p.weight, p.ny, 91, 1);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(std::vector<double>(p.y.begin(), p.y.begin() + p.ny), expected);
}

TEST(RealFiles, TwoAxesFailWithStatus15) {
    const std::string path = real_file("simpack_xrd_AlGaAs.xrdml");
    Pass p;
    COUNTSCANS(p.d.con, path, p.status, p.census, 0);
    ASSERT_EQ(p.status.ierr, 0);
    EXPECT_EQ(p.census.nscans, 1);  // the list element is named counts
    ORVALTPAR(path, p.status, p.par, p.census.nscans);
    EXPECT_EQ(p.status.ierr, 15);
}

TEST(RealFiles, TooManyScansRefused) {
    const std::string path = real_file("rsm_401_scans.xrdml");
    Pass p;
    COUNTSCANS(p.d.con, path, p.status, p.census, 1);
    EXPECT_EQ(p.census.nscans, 401);
    EXPECT_EQ(p.status.ierr, 16);
    EXPECT_THROW(ERRCHECK(p.d.con, p.status), Stop);
    EXPECT_TRUE(p.d.text().ends_with(" ierr = 16\n Too many scans in file (maximum 200)\n"));
}

}  // namespace
}  // namespace orvalt::xrdml::test

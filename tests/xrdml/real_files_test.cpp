// Every pass on the real measurement files of tests/data/xrdml.
#include <gtest/gtest.h>

#include "g_f/staged_file.h"
#include "tests/compress_support.h"
#include "tests/support.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {
namespace {

using namespace orvalt::test;

struct Pass {
    std::string path;
    Dialogue d;
    ReaderStatus status;
    ScanCensus census;
    ScanParameters par;
    std::vector<double> y = std::vector<double>(mn), e = std::vector<double>(mn);
    std::vector<std::int32_t> npts = std::vector<std::int32_t>(max_scans),
                              weight = std::vector<std::int32_t>(max_scans, 1);
    std::int32_t ny = 0;

    explicit Pass(const std::string& name) : path(real_file(name)) {}
    std::vector<double> load(std::int32_t scan) {
        ORVALTDATA1(d.con, path, status, y, e, mn, ny, scan, 1);
        return {y.begin(), y.begin() + ny};
    }
    std::vector<double> sum(std::int32_t nscans) {
        ORVALTDATATOT(d.con, path, status, y, e, mn, npts, weight, ny, nscans, 1);
        return {y.begin(), y.begin() + ny};
    }
};

TEST(RealFiles, OneScanLfFile) {
    Pass p("empyrean.xrdml");
    COUNTSCANS(p.d.con, p.path, p.status, p.census, 1);
    EXPECT_EQ(p.census.nscans, 1);
    EXPECT_DOUBLE_EQ(p.census.wavelength, (1.5405980 + 0.5 * 1.5444260) / 1.5);
    ORVALTPAR(p.path, p.status, p.par, 1);
    EXPECT_EQ(p.par.start_position[0], 30.05);
    EXPECT_EQ(p.par.end_position[0], 41.75);
    EXPECT_EQ(p.par.counting_time[0], 0.44);
    const std::vector<double> y = p.load(1);
    ASSERT_EQ(y.size(), 196u);
    EXPECT_EQ(std::vector<double>(y.begin(), y.begin() + 5), (std::vector<double>{8, 11, 6, 10, 10}));
    EXPECT_EQ(y.back(), 6);
    EXPECT_EQ(p.sum(1), y);
    EXPECT_EQ(p.status.ierr, 0);
}

TEST(RealFiles, NinetyOneScansCrlf) {
    Pass p("polefig_Ge113.xrdml");
    COUNTSCANS(p.d.con, p.path, p.status, p.census, 0);
    EXPECT_EQ(p.census.nscans, 91);
    ORVALTPAR(p.path, p.status, p.par, 91);
    EXPECT_EQ(p.par.start_position[90], -179.7);
    EXPECT_EQ(p.par.end_position[90], 179.7);
    EXPECT_EQ(p.par.counting_time[90], 2.0);
    const std::vector<double> last = p.load(91);
    ASSERT_EQ(last.size(), 1199u);
    EXPECT_EQ((std::vector<double>{last[0], last[1], last.back()}), (std::vector<double>{17, 18, 12}));
    // The odd scans summed are the odd scans read one by one and added.
    std::vector<double> expected(1199, 0.0);
    for (int s = 1; s <= 91; s += 2) {
        const auto v = p.load(s);
        for (std::size_t i = 0; i < v.size(); ++i) expected[i] += v[i];
        if (s < 91) p.weight[static_cast<std::size_t>(s)] = 0;
    }
    EXPECT_EQ(p.sum(91), expected);
    EXPECT_EQ(p.status.ierr, 0);
}

// What the survey makes of a file, as text to compare.
std::string surveyed(const std::string& path) {
    ScanCensus census;
    ScanParameters par;
    const FileSurvey s = survey_file(path, ReaderStatus{}, census, par, 1);
    std::string out = s.census_report + message(s.census_status) + message(s.parameter_status) +
                      std::to_string(s.records.records) + " " + std::to_string(s.records.longest);
    for (std::int32_t k = 0; k < std::min(census.nscans, max_scans); ++k)
        out += " " + par.axis[k] + std::to_string(par.start_position[k]) +
               std::to_string(par.end_position[k]) + std::to_string(par.counting_time[k]);
    return out;
}

// The survey reads a .gz or .bz2 copy of every real file as the file itself
// and keeps its text for the later passes; a copy cut short fails the census
// with the reason, whatever the part read held.
TEST(RealFiles, CompressedCopiesReadAsThePlainFiles) {
    TempDir dir;
    for (const char* name :
         {"empyrean.xrdml", "polefig_Ge113.xrdml", "simpack_xrd_AlGaAs.xrdml", "rsm_401_scans.xrdml",
          "gonio_counts_TiO2_ZnO.xrdml", "gonio_v1_HA_DG2.xrdml", "omega2theta_H1202.xrdml",
          "om2th_counts_attenuated.xrdml", "area_76_scans.xrdml"}) {
        const std::string text = read_all(real_file(name));
        const std::string plain = surveyed(real_file(name));
        const std::string gz = dir.write(std::string(name) + ".gz", gzip(text));
        const std::string bz = dir.write(std::string(name) + ".bz2", bzip2(text));
        EXPECT_EQ(surveyed(gz), plain) << name;
        EXPECT_EQ(surveyed(bz), plain) << name;
        // The survey's copy of the text, which the later passes read.
        ScanCensus census;
        ScanParameters par;
        StagedFile copy;
        survey_file(bz, ReaderStatus{}, census, par, 0, &copy);
        ASSERT_TRUE(copy.active()) << name;
        EXPECT_TRUE(read_all(copy.temporary_name()) == text) << name;
        const std::string copy_name = copy.temporary_name();
        survey_file(real_file(name), ReaderStatus{}, census, par, 0, &copy);
        EXPECT_FALSE(copy.active() || std::filesystem::exists(copy_name)) << name;

        const std::string whole = gzip(text);
        const std::string cut =
            dir.write(std::string(name) + ".cut.gz", whole.substr(0, whole.size() / 2));
        const FileSurvey s = survey_file(cut, ReaderStatus{}, census, par, 1, &copy);
        EXPECT_EQ(s.census_status.ierr, 19) << name;
        EXPECT_FALSE(copy.active()) << name;
        EXPECT_EQ(message(s.census_status), "The gzip file is truncated (it ends too early)");
    }
}

}  // namespace
}  // namespace orvalt::xrdml

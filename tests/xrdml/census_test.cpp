// The scan census: scan count, wavelength, warnings and failures.
#include <gtest/gtest.h>

#include "support.h"

namespace orvalt::xrdml::test {
namespace {

struct CensusRun {
    ReaderStatus status;
    ScanCensus census;
    std::string out;
};

CensusRun census_of(const std::string& text, std::int32_t verbose = 1) {
    TempDir dir;
    Dialogue d;
    CensusRun r;
    COUNTSCANS(d.con, dir.write("f.xrdml", text), r.status, r.census, verbose);
    r.out = d.text();
    return r;
}

TEST(Census, ScansAndWavelength) {
    const CensusRun r = census_of(xrdml_file({"1 2", "", "3"}));
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.census.nscans, 3);
    EXPECT_DOUBLE_EQ(r.census.wavelength, (1.5406 + 0.5 * 1.5444) / 1.5);
    EXPECT_EQ(r.out,
              " count_scans: kAlpha1 =   1.540600000000    \n"
              " count_scans: kAlpha2 =   1.544400000000    \n"
              " count_scans: ratioKAlpha2KAlpha1 =  0.5000000000000    \n"
              " count_scans: Wavelength =   1.541866666667    \n"
              " count_scans: Number of scans in file = 3\n");
    EXPECT_EQ(census_of(xrdml_file({"1"}), 0).out, "");

    // Success leaves the status as given; no scans is no failure here.
    TempDir dir;
    Dialogue d;
    ReaderStatus status;
    status.ierr = 3;
    ScanCensus census;
    COUNTSCANS(d.con, dir.write("f.xrdml", xrdml_file({})), status, census, 0);
    EXPECT_EQ(status.ierr, 3);
    EXPECT_EQ(census.nscans, 0);
}

TEST(Census, KeywordRules) {
    std::vector<std::string> ls = wavelength_lines;
    ls.push_back("  <counts>1</counts>");
    ls.push_back("<countsExtra/>");
    ls.push_back("<Intensities>1</Intensities>");
    ls.push_back("<a><intensities>1</intensities>");
    ls.push_back("<kAlpha1 unit=\"nm\">0.15</kAlpha1>");  // other unit: not seen
    const CensusRun r = census_of(lines(ls, "\r\n"));
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.census.nscans, 2);
    EXPECT_DOUBLE_EQ(r.census.wavelength, (1.5406 + 0.5 * 1.5444) / 1.5);
}

TEST(Census, RatioZeroGivesKAlpha1) {
    std::vector<std::string> ls = wavelength_lines;
    ls[5] = "<ratioKAlpha2KAlpha1>0,7</ratioKAlpha2KAlpha1>";  // first item only
    ls.push_back("<ratioKAlpha2KAlpha1>0.0D0</ratioKAlpha2KAlpha1>");
    const CensusRun r = census_of(lines(ls));
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.census.wavelength, 1.5406);  // the last value counts
    EXPECT_NE(r.out.find(" **WARNING: Unexpected number of wavelength ratio values in file = 2\n"),
              std::string::npos);
}

TEST(Census, Failures) {
    // A blank K-alpha1 fails at once, even with a good one after it.
    std::vector<std::string> ls = wavelength_lines;
    ls.insert(ls.begin() + 3, "<kAlpha1 unit=\"Angstrom\">  </kAlpha1>");
    CensusRun r = census_of(lines(ls));
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(message(r.status), "Problem reading wavelength");
    EXPECT_EQ(r.out, "");

    ls = wavelength_lines;
    ls[4] = "<kAlpha2 unit=\"Angstrom\">1.5x</kAlpha2>";
    EXPECT_EQ(census_of(lines(ls)).status.ierr, 5);

    // Two K-alpha1 and no K-alpha2: the warning, then the failure.
    ls = wavelength_lines;
    ls[4] = ls[3];
    r = census_of(lines(ls), 0);
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(r.out, " **WARNING: Unexpected number of kAlpha1 values in file = 2\n");

    r = census_of("");
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(r.census.nscans, 0);
}

TEST(Census, MoreScansThanTheTablesHold) {
    CensusRun r = census_of(xrdml_file(std::vector<std::string>(200, "1")));
    EXPECT_EQ(r.status.ierr, 0);
    r = census_of(xrdml_file(std::vector<std::string>(201, "1")));
    EXPECT_EQ(r.status.ierr, 16);
    EXPECT_EQ(message(r.status), "Too many scans in file (maximum 200)");
    EXPECT_EQ(r.census.nscans, 201);  // the census itself is complete and reported
    EXPECT_NE(r.out.find("count_scans: Number of scans in file = 201\n"), std::string::npos);
}

}  // namespace
}  // namespace orvalt::xrdml::test

// The scan census and the scan parameters: results, warnings, failures.
#include <gtest/gtest.h>

#include <tuple>

#include "tests/support.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {
namespace {

using namespace orvalt::test;

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

// wavelength_lines with line k replaced (or, with insert, a line put before it) and more lines after.
std::string with(std::size_t k, const std::string& line, std::vector<std::string> more = {},
                 bool insert = false) {
    std::vector<std::string> ls = wavelength_lines;
    if (insert) ls.insert(ls.begin() + static_cast<std::ptrdiff_t>(k), line);
    else ls[k] = line;
    ls.insert(ls.end(), more.begin(), more.end());
    return lines(ls);
}

TEST(Census, ScansWavelengthAndKeywordRules) {
    CensusRun r = census_of(xrdml_file({"1 2", "", "3"}, "\r\n"));
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.out, " count_scans: kAlpha1 =   1.540600000000    \n"
                     " count_scans: kAlpha2 =   1.544400000000    \n"
                     " count_scans: ratioKAlpha2KAlpha1 =  0.5000000000000    \n"
                     " count_scans: Wavelength =   1.541866666667    \n"
                     " count_scans: Number of scans in file = 3\n");
    // Indented counts and countsExtra count; Intensities and a second element do not;
    // a K-alpha1 in another unit is not seen.
    r = census_of(with(6, "  <counts>1</counts>", {"<countsExtra/>", "<Intensities>1</Intensities>",
                  "<a><intensities>1</intensities>", "<kAlpha1 unit=\"nm\">0.15</kAlpha1>"}), 0);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.census.nscans, 2);
    EXPECT_DOUBLE_EQ(r.census.wavelength, (1.5406 + 0.5 * 1.5444) / 1.5);
    EXPECT_EQ(r.out, "");
}

TEST(Census, WarningsAndFailures) {
    // the first item of the first ratio; the last ratio counts, and 0 gives K-alpha1
    CensusRun r = census_of(with(5, "<ratioKAlpha2KAlpha1>0,7</ratioKAlpha2KAlpha1>",
                                 {"<ratioKAlpha2KAlpha1>0.0D0</ratioKAlpha2KAlpha1>"}));
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.census.wavelength, 1.5406);
    EXPECT_NE(r.out.find(" **WARNING: Unexpected number of wavelength ratio values in file = 2\n"),
              std::string::npos);

    r = census_of(with(3, "<kAlpha1 unit=\"Angstrom\">  </kAlpha1>", {}, true));  // fails at once
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(message(r.status), "Problem reading wavelength");
    EXPECT_EQ(r.out, "");
    r = census_of(with(4, wavelength_lines[3]), 0);  // two K-alpha1, no K-alpha2: warning, then failure
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(r.out, " **WARNING: Unexpected number of kAlpha1 values in file = 2\n");
    EXPECT_EQ(census_of("").status.ierr, 5);

    EXPECT_EQ(census_of(xrdml_file(std::vector<std::string>(200, "1"))).status.ierr, 0);
    r = census_of(xrdml_file(std::vector<std::string>(201, "1")));
    EXPECT_EQ(r.status.ierr, 16);
    EXPECT_EQ(message(r.status), "Too many scans in file (maximum 200)");
    EXPECT_NE(r.out.find("count_scans: Number of scans in file = 201\n"), std::string::npos);
}

ReaderStatus par_of(const std::string& text, ScanParameters& par, std::int32_t nscans) {
    TempDir dir;
    ReaderStatus status;
    status.ierr = 99;
    ORVALTPAR(dir.write("f.xrdml", text), status, par, nscans);
    return status;
}

TEST(Parameters, TablesInFileOrderAndTheEarlyStop) {
    ScanParameters par;
    EXPECT_EQ(par_of(xrdml_file({"1", "2", "3"}, "\r\n"), par, 3).ierr, 0);
    EXPECT_EQ(par.start_position[2], 12);
    EXPECT_EQ(par.end_position[1], 21);
    EXPECT_EQ(par.counting_time[2], 3);
    // The pass stops at the line where the last kind reaches nscans: what
    // follows is never read, however broken.
    auto ls = scan_lines("1.5", "2.5", "0.5", "1");
    ls.push_back("<startPosition>bad</startPosition>");
    EXPECT_EQ(par_of(lines(ls), par, 1).ierr, 0);
    EXPECT_EQ(par.counting_time[0], 0.5);
    EXPECT_EQ(par_of("<x/>\n<startPosition>bad</startPosition>\n", par, 0).ierr, 0);
    EXPECT_EQ(par_of("<startPosition>1</startPosition>\n", par, 0).ierr, 15);
}

TEST(Parameters, Failures) {
    const std::string start = "<startPosition>1</startPosition>", end = "<endPosition>2</endPosition>",
                      time = "<commonCountingTime unit=\"seconds\">1</commonCountingTime>";
    const std::tuple<std::string, std::int32_t, std::string> cases[] = {
        // two axes per scan: the counts differ when the counting times reach nscans
        {lines({start, end, start, end, time, start, end, start, end, time}), 15,
         "Problem with numbers of: start position, end position, counting times"},
        // counting times in another unit are not seen: the file ends first
        {lines({start, end, "<commonCountingTime unit=\"ms\">1</commonCountingTime>",
                "\t</xrdMeasurements>"}), 1,
         "Error reading XRDML file: \t</xrdMeasurements>"},
        {std::string(200, 'q'), 1, "Error reading XRDML file: " + std::string(54, 'q')},  // cut to 80
        {"<startPosition> </startPosition>\n", 4, "Problem reading x-axis"},
        {"<endPosition>1..2</endPosition>\n", 4, "Problem reading x-axis"},
        {"<commonCountingTime unit=\"seconds\">NaN</commonCountingTime>\n", 6,
         "Problem reading counting time"}};
    ScanParameters par;
    for (const auto& [text, ierr, msg] : cases) {
        const ReaderStatus s = par_of(text, par, 2);
        EXPECT_EQ(s.ierr, ierr) << text;
        EXPECT_EQ(message(s), msg) << text;
    }
    // More elements than the tables hold: counted on, never stored past 200.
    std::vector<std::string> ls;
    for (int i = 0; i < 205; ++i) ls.push_back("<startPosition>" + std::to_string(i) + "</startPosition>");
    for (int i = 0; i < 200; ++i) ls.insert(ls.end(), {end, time});
    EXPECT_EQ(par_of(lines(ls), par, 200).ierr, 15);
    EXPECT_EQ(par.start_position[199], 199);
}

// Start and end of a scan come from its 2Theta positions when the scan gives
// positions for several axes; a scan that moves one axis keeps its own.
TEST(Parameters, AxisOfThePositions) {
    auto block = [](const std::string& axis, const std::string& start, const std::string& end) {
        return std::vector<std::string>{"<positions " + axis + " unit=\"deg\">",
                                        "<startPosition>" + start + "</startPosition>",
                                        "<endPosition>" + end + "</endPosition>", "</positions>"};
    };
    const auto two_theta = block("axis=\"2Theta\"", "10", "20"), omega = block("axis=\"Omega\"", "5", "10"),
               phi = block("axis=\"Phi\"", "-180", "180"), none = block("", "3", "4");
    const std::string time = "<commonCountingTime unit=\"seconds\">1</commonCountingTime>";
    const std::string one_line_omega =
        "<positions axis=\"Omega\" unit=\"deg\"><commonPosition>1</commonPosition></positions>";
    struct Case {
        std::vector<std::vector<std::string>> blocks;  // of each of the two scans
        std::int32_t ierr;
        double start, end;
        std::string axis;
    };
    const Case cases[] = {
        {{omega, two_theta}, 0, 10, 20, "2Theta"},
        {{two_theta, omega, phi}, 0, 10, 20, "2Theta"},
        {{phi}, 0, -180, 180, "Phi"},
        {{{one_line_omega}, none}, 0, 3, 4, ""},
        {{omega, phi}, 15, 0, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> ls;
        for (int scan = 0; scan < 2; ++scan) {
            for (const auto& b : c.blocks) ls.insert(ls.end(), b.begin(), b.end());
            ls.push_back(time);
        }
        ScanParameters par;
        EXPECT_EQ(par_of(lines(ls), par, 2).ierr, c.ierr) << c.axis;
        if (c.ierr != 0) continue;
        for (std::size_t k : {0u, 1u}) {
            EXPECT_EQ(par.start_position[k], c.start);
            EXPECT_EQ(par.end_position[k], c.end);
            EXPECT_EQ(par.axis[k], c.axis);
        }
    }
}

// A scan inside a comment over several lines is neither counted nor read;
// the line that opens the comment is read, as a one-line comment is passed over.
TEST(EveryPass, LinesInsideAMultiLineCommentAreNoData) {
    std::vector<std::string> ls = wavelength_lines;
    ls.push_back("<!-- <intensities>5</intensities> --> <intensities>7 8</intensities> <!-- old:");
    const auto hidden = scan_lines("99", "98", "97", "1 1 1");
    ls.insert(ls.end(), hidden.begin(), hidden.end());
    ls.push_back("<intensities>6</intensities> -->");
    const auto shown = scan_lines("10", "20", "2", "1 2 3");
    ls.insert(ls.end(), shown.begin(), shown.end());
    ls.push_back("</xrdMeasurements>");
    const std::string text = lines(ls);

    CensusRun r = census_of(text, 0);
    EXPECT_EQ(r.census.nscans, 1);  // the opening line's first element is the comment
    ScanParameters par;
    EXPECT_EQ(par_of(text, par, 1).ierr, 0);
    EXPECT_EQ(par.start_position[0], 10);
    EXPECT_EQ(par.counting_time[0], 2);
    TempDir dir;
    Dialogue d;
    std::vector<double> y(mn), e(mn);
    std::int32_t ny = 0;
    ReaderStatus status;
    ORVALTDATA1(d.con, dir.write("f.xrdml", text), status, y, e, mn, ny, 1, 1);
    EXPECT_EQ(ny, 3);
    EXPECT_EQ(y[2], 3);
}

}  // namespace
}  // namespace orvalt::xrdml

// The scan census and the scan parameters: results, warnings, failures; the
// survey that makes both in one reading, held against separate passes.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "g_f/scratch_file.h"
#include "tests/compress_support.h"
#include "tests/support.h"
#include "tests/support/xrdml_passes.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {
namespace {

using namespace orvalt::test;

struct CensusRun {
    ReaderStatus status;
    ScanCensus census;
    std::string out;
};

// The census as the survey of a run takes it.
CensusRun census_of(const std::string& text, std::int32_t verbose = 1) {
    TempDir dir;
    CensusRun r;
    ScanParameters par;
    const FileSurvey s =
        survey(dir.write("f.xrdml", text), r.census, par, verbose);
    r.status = s.census_status;
    r.out = s.census_report;
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
    // the last ratio counts, and 0 gives K-alpha1
    CensusRun r = census_of(with(5, "<ratioKAlpha2KAlpha1>0.7</ratioKAlpha2KAlpha1>",
                                 {"<ratioKAlpha2KAlpha1>0.0D0</ratioKAlpha2KAlpha1>"}));
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.census.wavelength, 1.5406);
    EXPECT_NE(r.out.find(" **WARNING: Unexpected number of wavelength ratio values in file = 2\n"),
              std::string::npos);

    r = census_of(with(3, "<kAlpha1 unit=\"Angstrom\">  </kAlpha1>", {}, true));  // fails at once
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(message(r.status), "Problem reading wavelength: kAlpha1 is not a number");
    EXPECT_EQ(r.out, "");
    r = census_of(with(4, wavelength_lines[3]), 0);  // two K-alpha1, no K-alpha2: warning, then failure
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(message(r.status), "Problem reading wavelength: the file has no kAlpha2 in Angstrom");
    EXPECT_EQ(r.out, " **WARNING: Unexpected number of kAlpha1 values in file = 2\n");
    r = census_of("");
    EXPECT_EQ(r.status.ierr, 5);
    EXPECT_EQ(message(r.status), "Problem reading wavelength: the file has no kAlpha1 in Angstrom");
}

// An element of one value holds one number, blanks and tabs around it: a
// second number, or a decimal comma, is never cut off silently (ierr 20,
// naming the element). The lists keep their separators.
TEST(OneValueElements, HoldOneNumberOnly) {
    const std::string start = "<startPosition>10</startPosition>",
                      end = "<endPosition>12</endPosition>",
                      time = "<commonCountingTime unit=\"seconds\">1</commonCountingTime>";
    struct Case {
        std::size_t line;      // of wavelength_lines, or 99: a scan's parameters
        std::string element;   // as the message names it
        std::string open, close;
    };
    const Case elements[] = {
        {3, "kAlpha1", "<kAlpha1 unit=\"Angstrom\">", "</kAlpha1>"},
        {4, "kAlpha2", "<kAlpha2 unit=\"Angstrom\">", "</kAlpha2>"},
        {5, "ratioKAlpha2KAlpha1", "<ratioKAlpha2KAlpha1>", "</ratioKAlpha2KAlpha1>"},
        {99, "startPosition", "<startPosition>", "</startPosition>"},
        {99, "endPosition", "<endPosition>", "</endPosition>"},
        {99, "commonCountingTime", "<commonCountingTime unit=\"seconds\">", "</commonCountingTime>"},
    };
    const std::pair<std::string, std::int32_t> texts[] = {
        {"0,7093170", 20}, {"2,5", 20},  {"120,5", 20}, {"0.70 93170", 20}, {"1.5\t2", 20},
        {"1.5x", -1},      {" 0.7 ", 0}, {"\t0.7\t", 0}, {"7E-1", 0},
    };
    for (const Case& c : elements) {
        for (const auto& [text, ierr] : texts) {
            SCOPED_TRACE(c.element + " holding \"" + text + "\"");
            const std::string line = c.open + text + c.close;
            ReaderStatus status;
            if (c.line != 99) {
                const CensusRun r = census_of(with(c.line, line), 0);
                status = r.status;
            } else {
                std::vector<std::string> ls = {start, end, time};
                for (std::string& l : ls)
                    if (l.starts_with(c.open.substr(0, c.open.find(' ')))) l = line;
                ScanParameters par;
                TempDir dir;
                ORVALTPAR(dir.write("f.xrdml", lines(ls)), status, par, 1);
            }
            if (ierr == 20) {
                EXPECT_EQ(status.ierr, 20);
                EXPECT_EQ(message(status), "More than one number where one is expected: " + c.element);
            } else if (ierr == 0) {
                EXPECT_EQ(status.ierr, 0);
            } else {
                EXPECT_NE(status.ierr, 0);  // not a number: the element's own status
                EXPECT_NE(status.ierr, 20);
            }
        }
    }
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
    // Each failure names the scan and the element.
    const std::tuple<std::string, std::int32_t, std::string> cases[] = {
        // two axes per scan: the counts differ when the counting times reach nscans
        {lines({start, end, start, end, time, start, end, start, end, time}), 15,
         "Scan 1 has 2 startPosition elements"},
        {lines({start, end, time, start, start, end, time}), 15, "Scan 2 has 2 startPosition elements"},
        // counting times in another unit are not seen: the file ends first
        {lines({start, end, "<commonCountingTime unit=\"ms\">1</commonCountingTime>",
                "\t</xrdMeasurements>"}), 1,
         "Scan 1 has no commonCountingTime in seconds"},
        {std::string(200, 'q'), 1, "Scan 1 has no startPosition (or listPositions)"},
        // the scan whose list comes without its parameters
        {lines({start, end, time, "<counts>1</counts>", start, time, "<counts>1</counts>"}), 1,
         "Scan 2 has no endPosition (or listPositions)"},
        {"<startPosition> </startPosition>\n", 4,
         "Problem reading x-axis: scan 1's startPosition is not a number"},
        {lines({start, end, time, "<endPosition>1..2</endPosition>"}), 4,
         "Problem reading x-axis: scan 2's endPosition is not a number"},
        {"<commonCountingTime unit=\"seconds\">NaN</commonCountingTime>\n", 6,
         "Problem reading counting time: scan 1's commonCountingTime is not a number"},
        {"<listPositions>1 2 x</listPositions>\n", 4,
         "Problem reading x-axis: position 3 of scan 1's listPositions is not a number"},
        {"<listPositions></listPositions>\n", 4,
         "Problem reading x-axis: scan 1's listPositions holds no positions"},
        {"<listPositions>1 2\n", 4,
         "Problem reading x-axis: scan 1's listPositions does not close on its line"}};
    ScanParameters par;
    for (const auto& [text, ierr, msg] : cases) {
        const ReaderStatus s = par_of(text, par, 2);
        EXPECT_EQ(s.ierr, ierr) << text;
        EXPECT_EQ(message(s), msg) << text;
    }
    // Of a single scan too: a counting time in milliseconds is never read as
    // seconds, so the pass finds none (the file ends first).
    const ReaderStatus ms = par_of(
        lines({start, end, "<commonCountingTime unit=\"ms\">1500</commonCountingTime>",
               "\t</xrdMeasurements>"}),
        par, 1);
    EXPECT_EQ(ms.ierr, 1);
    EXPECT_EQ(message(ms), "Scan 1 has no commonCountingTime in seconds");
    // More elements of one kind than scans: the tables hold them all, the
    // check names what is wrong.
    std::vector<std::string> ls;
    for (int i = 0; i < 205; ++i) ls.push_back("<startPosition>" + std::to_string(i) + "</startPosition>");
    for (int i = 0; i < 200; ++i) ls.insert(ls.end(), {end, time});
    const ReaderStatus surplus = par_of(lines(ls), par, 200);
    EXPECT_EQ(surplus.ierr, 15);
    EXPECT_EQ(message(surplus), "Scan 1 has 205 startPosition elements");
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

namespace orvalt::xrdml {
namespace {

// One reading for the three start-up passes gives what each gives on its own,
// the parameters pass's stop for the census's number of scans included.
TEST(Survey, GivesWhatTheThreePassesGiveAlone) {
    auto scans = [](std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> ls = wavelength_lines;
        for (const auto& p : parts) ls.insert(ls.end(), p.begin(), p.end());
        return lines(ls);
    };
    const std::string start = "<startPosition>1</startPosition>", end = "<endPosition>2</endPosition>",
                      time = "<commonCountingTime unit=\"seconds\">4</commonCountingTime>",
                      counts = "<intensities>1 2</intensities>";
    const auto one = scan_lines("1", "2", "0.5", "5 6"), two = scan_lines("3", "4", "2", "7 8");
    std::vector<std::string> texts = {
        xrdml_file({"1", "2", "3"}, "\r\n"),
        scans({one, two, {"<startPosition>bad</startPosition>"}}),  // after the stop: never read
        scans({{start, end, time, start, end, time, start, end, time}, {counts, counts}}),
        scans({{counts, counts}, one, two}),                         // lists before parameters
        scans({one, {"<endPosition>x</endPosition>"}, two}),        // fails before the stop
        scans({one, {counts, start, end}}),                          // ends before the stop
        scans({{start}, one}),                                       // 15: counts differ
        scans({{start, "<!-- " + counts, time, "-->"}, one, {"<!-- open"}}),
        scans({{counts, "<positions axis=\"Omega\">", start, end, "</positions>",
                "<positions axis=\"2Theta\">", start, "<endPosition>9</endPosition>", "</positions>",
                time}}),
        scans({}) + "<startPosition>1</startPosition>\n",            // no scans
        scans({std::vector<std::string>(201, counts)}),              // too many scans
        "<kAlpha1 unit=\"Angstrom\">x</kAlpha1>\n" + xrdml_file({"1"}),
        "",
    };
    for (const char* name : {"om2th_counts_attenuated.xrdml", "gonio_v1_HA_DG2.xrdml",
                             "area_76_scans.xrdml", "polefig_Ge113.xrdml"})
        texts.push_back(read_all(real_file(name)));

    for (const std::string& text : texts) {
        TempDir dir;
        const std::string name = dir.write("f.xrdml", text);
        Dialogue alone;
        std::int32_t nrec = 0, maxlen = 0;
        inqfilerec(alone.con, name, 99, 1, nrec, maxlen);
        const std::string records_report = alone.text();
        ReaderStatus census_status;
        ScanCensus census;
        COUNTSCANS(alone.con, name, census_status, census, 1);
        const std::string census_report = alone.text().substr(records_report.size());
        ReaderStatus par_status = census_status;
        ScanParameters par;
        ORVALTPAR(name, par_status, par, census.nscans);

        ScanCensus census2;
        ScanParameters par2;
        const FileSurvey s = survey(name, census2, par2, 1);
        const std::string head = text.substr(0, 60);
        ASSERT_TRUE(s.opened);
        Dialogue d;
        std::int32_t nrec2 = 0, maxlen2 = 0;
        report_record_census(d.con, s.records, 1, nrec2, maxlen2);
        EXPECT_EQ(d.text(), records_report) << head;
        EXPECT_EQ(s.census_report, census_report) << head;
        EXPECT_EQ(s.census_status.ierr, census_status.ierr) << head;
        EXPECT_EQ(s.census_status.message, census_status.message) << head;
        EXPECT_EQ(census2.nscans, census.nscans) << head;
        EXPECT_EQ(census2.wavelength, census.wavelength) << head;
        // The parameters count only once the census has passed.
        if (census_status.ierr != 0) continue;
        EXPECT_EQ(s.parameter_status.ierr, par_status.ierr) << head;
        EXPECT_EQ(s.parameter_status.message, par_status.message) << head;
        EXPECT_EQ(par2.start_position, par.start_position) << head;
        EXPECT_EQ(par2.end_position, par.end_position) << head;
        EXPECT_EQ(par2.counting_time, par.counting_time) << head;
        EXPECT_EQ(par2.axis, par.axis) << head;
    }
    ScanCensus census;
    ScanParameters par;
    EXPECT_FALSE(survey("no_such.xrdml", census, par, 1).opened);
}

// Of a .gz or .bz2 file the survey keeps the text it decompressed, whole,
// for the later passes; a plain file needs no copy (an earlier one goes),
// and a copy cut short keeps none and fails the census with the reason.
TEST(Survey, KeepsTheTextOfACompressedFileForTheLaterPasses) {
    TempDir dir;
    const std::string text = read_all(real_file("polefig_Ge113.xrdml"));
    ScanCensus census;
    ScanParameters par;
    ScratchFile copy;
    for (const std::string& name :
         {dir.write("f.xrdml.gz", gzip(text)), dir.write("f.xrdml.bz2", bzip2(text))}) {
        const FileSurvey s = survey(name, census, par, 0, &copy);
        EXPECT_EQ(s.census_status.ierr, 0) << name;
        EXPECT_EQ(census.nscans, 91) << name;
        ASSERT_TRUE(copy.active()) << name;
        EXPECT_TRUE(read_all(copy.temporary_name()) == text) << name;
    }
    const std::string copy_name = copy.temporary_name();
    survey(real_file("polefig_Ge113.xrdml"), census, par, 0, &copy);
    EXPECT_FALSE(copy.active() || std::filesystem::exists(copy_name));

    const std::string whole = gzip(text);
    const FileSurvey cut =
        survey(dir.write("cut.xrdml.gz", whole.substr(0, whole.size() / 2)), census, par, 1, &copy);
    EXPECT_EQ(cut.census_status.ierr, 19);
    EXPECT_EQ(message(cut.census_status), "The gzip file is truncated (it ends too early)");
    EXPECT_FALSE(copy.active());
}

}  // namespace
}  // namespace orvalt::xrdml

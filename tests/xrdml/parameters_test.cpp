// The scan parameters: tables in file order, the early stop, the failures.
#include <gtest/gtest.h>

#include "support.h"

namespace orvalt::xrdml::test {
namespace {

ReaderStatus par_of(const std::string& text, ScanParameters& par, std::int32_t nscans) {
    TempDir dir;
    ReaderStatus status;
    status.ierr = 99;
    ORVALTPAR(dir.write("f.xrdml", text), status, par, nscans);
    return status;
}

TEST(Parameters, TablesInFileOrder) {
    ScanParameters par;
    const ReaderStatus s = par_of(xrdml_file({"1", "2", "3"}, "\r\n"), par, 3);
    EXPECT_EQ(s.ierr, 0);
    EXPECT_EQ(par.start_position[0], 10);
    EXPECT_EQ(par.start_position[2], 12);
    EXPECT_EQ(par.end_position[1], 21);
    EXPECT_EQ(par.counting_time[2], 3);
    EXPECT_EQ(par.start_position[3], 0);
}

// The pass stops at the line where the last kind reaches nscans: what follows
// it is never read, however broken.
TEST(Parameters, StopsAtTheLastNeededLine) {
    std::vector<std::string> ls = wavelength_lines;
    auto scan = scan_lines("1.5", "2.5", "0.5", "1");
    ls.insert(ls.end(), scan.begin(), scan.end());
    ls.push_back("<startPosition>bad</startPosition>");
    ScanParameters par;
    EXPECT_EQ(par_of(lines(ls), par, 1).ierr, 0);
    EXPECT_EQ(par.counting_time[0], 0.5);

    // With nscans 0 the first line ends the pass.
    EXPECT_EQ(par_of("<x/>\n<startPosition>bad</startPosition>\n", par, 0).ierr, 0);
    EXPECT_EQ(par_of("<startPosition>1</startPosition>\n", par, 0).ierr, 15);
}

TEST(Parameters, Failures) {
    ScanParameters par;
    // Two axes per scan: the counts differ when the counting times reach nscans.
    std::vector<std::string> ls = wavelength_lines;
    for (int i = 0; i < 2; ++i) {
        ls.push_back("<startPosition>1</startPosition>");
        ls.push_back("<endPosition>2</endPosition>");
        ls.push_back("<startPosition>3</startPosition>");
        ls.push_back("<endPosition>4</endPosition>");
        ls.push_back("<commonCountingTime unit=\"seconds\">1</commonCountingTime>");
    }
    ReaderStatus s = par_of(lines(ls), par, 2);
    EXPECT_EQ(s.ierr, 15);
    EXPECT_EQ(message(s), "Problem with numbers of: start position, end position, counting times");

    // Counting times in another unit are not seen: the file ends first.
    ls = {"<startPosition>1</startPosition>", "<endPosition>2</endPosition>",
          "<commonCountingTime unit=\"ms\">1</commonCountingTime>", "\t</xrdMeasurements>"};
    s = par_of(lines(ls), par, 1);
    EXPECT_EQ(s.ierr, 1);
    EXPECT_EQ(message(s), "Error reading XRDML file: \t</xrdMeasurements>");

    s = par_of(lines({"<startPosition> </startPosition>"}), par, 1);
    EXPECT_EQ(s.ierr, 4);
    EXPECT_EQ(message(s), "Problem reading x-axis");
    EXPECT_EQ(par_of(lines({"<endPosition>1..2</endPosition>"}), par, 1).ierr, 4);
    s = par_of(lines({"<commonCountingTime unit=\"seconds\">NaN</commonCountingTime>"}), par, 1);
    EXPECT_EQ(s.ierr, 6);
    EXPECT_EQ(message(s), "Problem reading counting time");

    // The end-of-file message is cut to 80 characters; an empty file leaves it blank.
    s = par_of(std::string(200, 'q'), par, 1);
    EXPECT_EQ(s.message, "Error reading XRDML file: " + std::string(54, 'q'));
    s = par_of("", par, 1);
    EXPECT_EQ(s.ierr, 1);
    EXPECT_EQ(s.message, "Error reading XRDML file:" + std::string(55, ' '));
}

// More elements than the tables hold: counted on, never stored past 200.
TEST(Parameters, NeverWritesPastTheTables) {
    std::vector<std::string> ls;
    for (int i = 0; i < 205; ++i) ls.push_back("<startPosition>" + std::to_string(i) + "</startPosition>");
    for (int i = 0; i < 200; ++i) {
        ls.push_back("<endPosition>1</endPosition>");
        ls.push_back("<commonCountingTime unit=\"seconds\">1</commonCountingTime>");
    }
    ScanParameters par;
    EXPECT_EQ(par_of(lines(ls), par, 200).ierr, 15);
    EXPECT_EQ(par.start_position[199], 199);
}

}  // namespace
}  // namespace orvalt::xrdml::test

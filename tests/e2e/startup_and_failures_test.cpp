// Start-up, remembered answers, menu refusals and every way a run can fail.
#include "e2e_support.h"
#include "tests/compress_support.h"

#include <tuple>

#include "driver/errors_to.h"
#include "genie/genie.h"

namespace e2e {
namespace {

const std::vector<Scan> two_scans = {{10.0, 12.0, 2.0, "1 2 3"}, {10.0, 12.0, 2.0, "4 5 6"}};

bool has(const Result& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

TEST_F(Orvalt, BareReturnEverywhereSumsTheDefaultFileIntoGenie) {
    write("Na_Mg_mirror.xrdml", xrdml_text(two_scans));
    const Result r = run("\n\n\n\n\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r, " Give full name of input file (Na_Mg_mirror.xrdml) > "));
    EXPECT_TRUE(has(r, " Give scan number to load, or negative option from list (0) > "));
    EXPECT_TRUE(has(r, " Give 0 for counts, or 1 for counts per second (1) > "));
    EXPECT_TRUE(has(r, " Give units option (1) > "));
    EXPECT_TRUE(has(r, " Give output file option (2) > "));
    EXPECT_TRUE(has(r, " Give full name of output file (Na_Mg_mirror.write) > "));
    EXPECT_TRUE(exists("Na_Mg_mirror.write"));
    EXPECT_EQ(read("orvalt.tmp"),
              "Na_Mg_mirror.xrdml\n           0\n           1\n           1\n           2\n");

    // The next run offers what this one remembered.
    const Result again = run("\n-1\n");
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(has(again, " Give full name of input file (Na_Mg_mirror.xrdml) > "));
}

// The Genie library counts the calls it refused for the life of the process;
// a run that follows one in the same process is judged by its own.
TEST_F(Orvalt, AFailureBeforeTheRunDoesNotFailIt) {
    write("Na_Mg_mirror.xrdml", xrdml_text(two_scans));
    {
        std::ostringstream report;
        const orvalt::ErrorsTo errors(report);
        orvalt::GF_ASSIGN_HANDLE("", 0, "", 0);
        ASSERT_NE(report.str(), "");
    }
    EXPECT_EQ(run("\n\n\n\n\n\n").status, 0);
}

TEST_F(Orvalt, RememberedAnswersAreOfferedAsDefaults) {
    write("s.xrdml", xrdml_text(two_scans));
    // An editor's byte order mark is not part of the remembered name.
    write("orvalt.tmp", "\xEF\xBB\xBFs.xrdml\n           2\n           0\n           3\n           1\n");
    const Result r = run("\n\n\n\n\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r, " Give full name of input file (s.xrdml) > "));
    EXPECT_TRUE(has(r, " Give scan number to load, or negative option from list (2) > "));
    EXPECT_TRUE(has(r, " Give 0 for counts, or 1 for counts per second (0) > "));
    EXPECT_TRUE(has(r, " Give units option (3) > "));
    EXPECT_TRUE(has(r, " Give output file option (1) > "));
    EXPECT_TRUE(exists("s.dat"));
}

TEST_F(Orvalt, ShortOrGarbledRememberedAnswersFallBackToTheDefaults) {
    write("s.xrdml", xrdml_text(two_scans));
    for (const std::string tmp : {"s.xrdml\n2\n0\n3\n", "s.xrdml\n2\nzero\n3\n1\n", ""}) {
        write("orvalt.tmp", tmp);
        const Result r = run("\n-1\n");
        EXPECT_EQ(r.status, 1) << tmp;  // the default file is not there
        EXPECT_TRUE(has(r, " Give full name of input file (Na_Mg_mirror.xrdml) > ")) << tmp;
        EXPECT_TRUE(has(r, " Failure locating file Na_Mg_mirror.xrdml\n")) << tmp;
        EXPECT_EQ(read("orvalt.tmp"), tmp);
    }
}

// ".xrdml" is added to a name of more than six characters that does not end
// in it (in any case); a name of six or fewer is taken as it is.
TEST_F(Orvalt, ExtensionRule) {
    const std::tuple<std::string, std::string, bool> names[] = {
        // typed, found, extension added
        {"sample1", "sample1.xrdml", true},
        {"RUN7.XRDML", "RUN7.XRDML", false},
        {"abcdef", "abcdef", false},  // exactly six
        {"abc", "abc", false},
        // A compressed measurement is named whole; any other compressed name
        // keeps the rule in the dialogue.
        {"RUN8.XRDML.GZ", "RUN8.XRDML.GZ", false},
    };
    for (const auto& [typed, found, added] : names) {
        SCOPED_TRACE(typed);
        write(found, found.ends_with(".GZ") ? orvalt::test::gzip(xrdml_text(two_scans))
                                            : xrdml_text(two_scans));
        const Result r = run(typed + "\n-1\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(has(r, ">  orvalt: Assumed input filetype is .xrdml\n"), added) << r.out;
        EXPECT_TRUE(has(r, " File found : <DIR>/" + found + "\n")) << r.out;
        fs::remove(dir / found);
    }
    // The command line takes a name that exists as it is given.
    Result r;
    write("RUN8.XRDML.GZ", orvalt::test::gzip(xrdml_text(two_scans)));
    write("run9.gz", orvalt::test::gzip(xrdml_text(two_scans)));
    write("run10.data", xrdml_text(two_scans));
    r = run("RUN8.XRDML.GZ\n-1\n");
    EXPECT_TRUE(has(r, ">  File found : <DIR>/RUN8.XRDML.GZ\n")) << r.out;
    r = run("run9.gz\n");
    EXPECT_TRUE(has(r, ">  orvalt: Assumed input filetype is .xrdml\n Failure locating file run9.gz.xrdml\n"))
        << r.out;
    for (const char* given : {"RUN8.XRDML.GZ", "run9.gz", "run10.data"}) {
        r = run("", "", std::string("-q --format ascii ") + given);
        EXPECT_EQ(r.status, 0) << given << r.err;
    }
    EXPECT_TRUE(exists("RUN8.dat") && exists("run9.dat") && exists("run1.dat"));  // the last six replaced
}

TEST_F(Orvalt, MissingFileIsAskedForAgain) {
    write("there.xrdml", xrdml_text(two_scans));
    Result r = run("gone.xrdml\nalso_gone.xrdml\nthere.xrdml\n-1\n");
    EXPECT_TRUE(has(r, ">  Failure locating file gone.xrdml\n Give file name or return to stop > "
                       " Failure locating file also_gone.xrdml\n"
                       " Give file name or return to stop >  File found : <DIR>/there.xrdml\n"))
        << r.out;
    EXPECT_EQ(r.status, 0);

    r = run("gone.xrdml\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(exists("orvalt.tmp"));
}

TEST_F(Orvalt, MenuRefusals) {
    write("s.xrdml", xrdml_text(two_scans));
    const Result r = run("s.xrdml\n5\n-7\nx\n1\n2\n1\n4\n1\n3\n1\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r, " Give scan number to load, or negative option from list (0) > "
                       " This exceeds the number of scans in the file\n"
                       " Give scan number to load, or negative option from list (0) > "
                       " Give scan number to load, or negative option from list (0) > "
                       " Give scan number to load, or negative option from list (0) > \n"))
        << r.out;
    EXPECT_TRUE(has(r, " Give 0 for counts, or 1 for counts per second (1) > "
                       " Give 0 for counts, or 1 for counts per second (2) > "));
    EXPECT_TRUE(has(r, " Give units option (1) >  Give units option (4) > "));
    EXPECT_TRUE(has(r, " Give output file option (2) >  Give output file option (3) > "));
    EXPECT_EQ(read("orvalt.tmp"), "s.xrdml\n           1\n           1\n           1\n           1\n");
}

TEST_F(Orvalt, CountsPerSecondNeedsAPositiveCountingTime) {
    write("t.xrdml", xrdml_text({{10.0, 12.0, 0.0, "1 2 3"}}));
    write("orvalt.tmp", "kept\n");
    for (const std::string answers : {"t.xrdml\n1\n1\n1\n1\n\n", "t.xrdml\n0\n1\n1\n1\n\n",
                                      "t.xrdml\n-3\n1\n\n"}) {
        const Result r = run(answers);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(has(r, " **ERROR in orvalt: Counting time is not positive for scan 1\n"))
            << r.out;
        EXPECT_FALSE(exists("t.dat"));
        EXPECT_FALSE(exists("t.write"));
        EXPECT_EQ(read("orvalt.tmp"), "kept\n");
    }
    // Counts of one scan need no division.
    EXPECT_EQ(run("t.xrdml\n1\n0\n1\n1\n\n").status, 0);
}

TEST_F(Orvalt, FileWithoutScans) {
    write("none.xrdml", xrdml_text({}));
    Result r = run("none.xrdml\n0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, " **ERROR in orvalt: The file holds no scans\n"));
    r = run("none.xrdml\n-2\n");
    EXPECT_TRUE(has(r, " **ERROR in orvalt: The file holds no scans\n"));
    // Separate scans of nothing write no Genie file but end normally.
    r = run("none.xrdml\n-3\n0\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(exists("none.write"));
    EXPECT_TRUE(exists("orvalt.tmp"));
}

class RealFiles : public Orvalt {
protected:
    void copy(const std::string& name) {
        fs::copy_file(fs::path(ORVALT_TEST_DATA) / "xrdml" / name, dir / name);
    }
};

// Every branch of every real file is checked in measurements_test.cpp; here
// what those runs do not ask: the weights listed, and the last of 91 scans.
TEST_F(RealFiles, NinetyOneScansWithCrlfLineEnds) {
    copy("polefig_Ge113.xrdml");
    Result r = run("polefig_Ge113.xrdml\n-2\n5\n0\n1\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r, " Scan  91 has weight 1\n"));
    r = run("polefig_Ge113.xrdml\n91\n1\n1\n2\n\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, " orvaltdata1: Scan found: 91\n"));
}

}  // namespace
}  // namespace e2e

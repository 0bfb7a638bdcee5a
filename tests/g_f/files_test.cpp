#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "g_f/files.h"
#include "g_f/numbers.h"
#include "g_f/platform.h"
#include "g_f/text.h"
#include "support.h"

namespace orvalt {
namespace {

using test::Dialogue;
using test::stop_status;
using test::TempDir;

std::string padded(const std::string& name, std::size_t length = 200) { return field(name, length); }

class CheckFile : public ::testing::Test {
protected:
    // Runs check_file on a 200-character copy of name; returns the console text.
    std::string run(const std::string& name, std::int32_t iopt, std::int32_t print,
                    const std::string& input = "") {
        Dialogue d(input);
        field_ = padded(name);
        check_file(d.con, field_, full, iopt, print, status);
        return d.text();
    }
    TempDir dir;
    std::string present = dir.write("present.xrdml", "<xml/>\n");
    std::string absent = dir.file("absent.xrdml");
    std::string field_;
    std::string full = std::string(200, ' ');
    std::int32_t status = -1;
};

TEST_F(CheckFile, EachOption) {
    for (const std::int32_t iopt : {0, 1, 2, 3}) {
        EXPECT_EQ(run(present, iopt, 1), " File found : " + full_file_name(present) + "\n");
        EXPECT_EQ(status, 1);
        EXPECT_EQ(std::string(trimmed(full)), full_file_name(present));
    }
    EXPECT_EQ(run(absent, 2, 0), "");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(run(absent, 1, 0), "");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(run(absent, 2, 1), " Failure locating file " + absent + "\n");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(run(absent, 3, 1), " No pre-existing version of file exists\n");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(run(absent, 7, 1),
              " Unexpected option in check_file: iopt = 7\n Failure locating file " + absent + "\n");
    EXPECT_EQ(status, 12);
    EXPECT_EQ(run(present, -1, 0), "");
    EXPECT_EQ(status, 11);
    // trailing blanks and tabs are not part of the name; a folder is not a file
    EXPECT_EQ(run(present + " \t ", 2, 1), " File found : " + full_file_name(present) + "\n");
    EXPECT_EQ(run(dir.path().string() + "\t", 2, 1), " Failure locating file " + dir.path().string() + "\n");
    EXPECT_EQ(status, 2);
}

TEST_F(CheckFile, OptionOneAsksUntilAFileExists) {
    const std::string other = dir.file("other.xrdml");
    ASSERT_LT(present.size(), 80u);
    const std::string question = " Give file name or return to stop > ";
    EXPECT_EQ(run(absent, 1, 1, other + "\r\n" + present + "\n"),
              " Failure locating file " + absent + "\n" + question +
              " Failure locating file " + other + "\n" + question +
              " File found : " + full_file_name(present) + "\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(field_, padded(present));
}

TEST_F(CheckFile, Stops) {
    const std::string question = " Give file name or return to stop > ";
    Dialogue d;
    std::string name = padded(absent);
    EXPECT_EQ(stop_status([&] { check_file(d.con, name, full, 0, 1, status); }), 1);
    EXPECT_EQ(d.text(), " Failure locating file " + absent + "\n");

    Dialogue empty("\n");
    EXPECT_EQ(stop_status([&] { check_file(empty.con, name, full, 1, 1, status); }), 1);
    EXPECT_EQ(empty.text(), " Failure locating file " + absent + "\n" + question);

    Dialogue eof;
    EXPECT_EQ(stop_status([&] { check_file(eof.con, name, full, 1, 1, status); }), 1);
    EXPECT_EQ(eof.text(), " Failure locating file " + absent + "\n" + question +
                              "\n **ERROR: End of input on the console\n");

    // a typed name fills the field with its first 80 characters
    const std::string typed = absent + std::string(100, 'x');
    Dialogue longer(typed + "\n\n");
    EXPECT_EQ(stop_status([&] { check_file(longer.con, name, full, 1, 1, status); }), 1);
    EXPECT_EQ(name, padded(typed.substr(0, 80)));
}

// Runs in another folder and goes back afterwards.
struct InFolder {
    explicit InFolder(const std::filesystem::path& p) : old(std::filesystem::current_path()) {
        std::filesystem::current_path(p);
    }
    ~InFolder() { std::filesystem::current_path(old); }
    std::filesystem::path old;
};

TEST_F(CheckFile, FullNameIsAbsoluteAndNormalised) {
    std::filesystem::create_directory(dir.path() / "sub");
    run(dir.path().string() + "/./sub/../present.xrdml", 2, 0);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(std::string(trimmed(full)), full_file_name(present));
    EXPECT_EQ(std::filesystem::path(full_file_name(present)), std::filesystem::path(present));

    InFolder here(dir.path());
    EXPECT_EQ(full_file_name("sub/../present.xrdml"), full_file_name(present));
    Dialogue d;
    std::string short_full(5, '?');
    std::string name = padded("present.xrdml");
    check_file(d.con, name, short_full, 2, 0, status);
    EXPECT_EQ(short_full, full_file_name(present).substr(0, 5));
    // One field passed as both: a full name too long for it would no longer
    // name the file, so the field keeps the name; a wide field takes the full name.
    std::string both = padded("present.xrdml", 20);
    check_file(d.con, both, both, 2, 0, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(both, padded("present.xrdml", 20));
    both = padded("present.xrdml", 400);
    check_file(d.con, both, both, 2, 0, status);
    EXPECT_EQ(std::string(trimmed(both)), full_file_name(present));
}

TEST(Inqfilerec, CountsLinesAndTheLongest) {
    TempDir dir;
    struct Case { std::string bytes; std::int32_t nrec, maxlen; };
    const Case cases[] = {
        {"", 0, 0},
        {"abc\r\nde\n", 2, 3},
        {"abc\nlonger", 2, 6},
        {"\n\n", 2, 0},
        {"a\rb\n", 1, 3},       // a CR inside a line is an ordinary character
        {"last line\r", 1, 9},  // the CR that ends the file ends a line too
        {std::string(70000, 'x') + "\r\n" + std::string(65536, 'y') + "\n", 2, 70000},
        {std::string(1000001, 'q'), 1, 1000001},
    };
    for (const Case& c : cases) {
        const std::string path = dir.write("census.txt", c.bytes);
        Dialogue d;
        std::int32_t nrec = -1, maxlen = -1;
        inqfilerec(d.con, path, 99, 0, nrec, maxlen);
        EXPECT_EQ(nrec, c.nrec) << c.bytes.substr(0, 20);
        EXPECT_EQ(maxlen, c.maxlen) << c.bytes.substr(0, 20);
        EXPECT_EQ(d.text(), "");
    }
}

TEST(Inqfilerec, ReportWarningAndUnreadableFile) {
    TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {"", " inqfilerec: Number of records in file = 0\n"
             " inqfilerec: Maximum record length = 0\n"},
        {"a\n" + std::string(199999, 'z') + "\r\nb\n",
         " inqfilerec: Number of records in file = 3\n"
         " inqfilerec: Maximum record length = 199999\n"},
        {std::string(200000, 'z') + "\r\n",
         " inqfilerec: Number of records in file = 1\n"
         " inqfilerec: Maximum record length = 200000\n"
         " **WARNING** Excessively long record(s) encountered\n"}};
    std::int32_t nrec = -1, maxlen = -1;
    for (const auto& [bytes, report] : cases) {
        Dialogue d;
        inqfilerec(d.con, padded(dir.write("f.txt", bytes)), 99, 1, nrec, maxlen);
        EXPECT_EQ(d.text(), report);
    }
    const std::string missing = dir.file("missing.txt");
    Dialogue d;
    EXPECT_EQ(stop_status([&] { inqfilerec(d.con, missing, 99, 1, nrec, maxlen); }), 1);
    EXPECT_EQ(d.text(), " **ERROR in inqfilerec: cannot open " + missing + "\n");
}

TEST(OpenNewFile, CreatesOrReplaces) {
    TempDir dir;
    const std::string path = dir.file("out.dat");
    const std::string full = full_file_name(path);
    struct Step { std::int32_t iout; std::string report, line; };
    const Step steps[] = {
        {1, " No pre-existing version of file exists\n New file: " + full + "\n", "first"},
        {1, " File found : " + full + "\n New file: " + full + "\n", "second"},
        {0, "", "third"}};
    for (const Step& s : steps) {
        Dialogue d;
        std::int32_t err = -1;
        OutputFile f = open_new_file(d.con, padded(path), 98, s.iout ? 0 : 132, err, s.iout ? 0 : 1, 0, s.iout);
        EXPECT_EQ(err, 0);
        ASSERT_TRUE(f.is_open());
        EXPECT_EQ(d.text(), s.report);
        f.write_line(s.line);
        f.write_line("");
        EXPECT_TRUE(f.close());
        EXPECT_EQ(test::read_all(path), s.line + "\n\n");  // older contents gone
    }
}

TEST(OpenNewFile, FailureGivesTheNineLineReport) {
    TempDir dir;
    const std::string path = dir.file("no/such/folder/out.dat");
    for (const std::int32_t iout : {0, 1}) {
        Dialogue d;
        std::int32_t err = -1;
        OutputFile f = open_new_file(d.con, padded(path), 98, 0, err, 0, 7, iout);
        EXPECT_EQ(err, 1);
        EXPECT_FALSE(f.is_open());
        EXPECT_EQ(d.text(), std::string(iout ? " No pre-existing version of file exists\n" : "") +
                                " ** Error in open_new_file **\n"
                                " iostat (see page 7-2 of Fortran Users Guide) = " +
                                format_integer(ENOENT) + "\n File = " + path +
                                "\n Unit number = 98\n Record length = 0\n Error number = 1\n"
                                " il = 0\n ia = 7\n iout = " + std::to_string(iout) + "\n");
        EXPECT_FALSE(std::filesystem::exists(path));
        f.write_line("lost");
        EXPECT_FALSE(f.close());
    }
    Dialogue d;  // a blank name
    std::int32_t err = -1;
    open_new_file(d.con, std::string(200, ' '), 94, 0, err, 0, 0, 0);
    EXPECT_EQ(err, 1);
    EXPECT_NE(d.text().find("\n File = \n"), std::string::npos);
}

TEST(OpenNewFile, CloseReportsAFailedWrite) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Dialogue d;
    std::int32_t err = -1;
    OutputFile f = open_new_file(d.con, "/dev/full", 98, 0, err, 0, 0, 0);
    ASSERT_EQ(err, 0);
    f.write_line("does not fit");
    EXPECT_FALSE(f.close());
}

TEST(DoubleBackslashes, WritesExactlyTheFirstNPositions) {
    struct Case { std::string result, source; std::int32_t n; std::string want; };
    const Case cases[] = {
        {"________", "C:\\data", 7, "C:\\\\dat_"},  // last character dropped
        {"________", "plain", 5, "plain___"},
        {"____", "\\\\\\\\", 4, "\\\\\\\\"},        // n backslashes: the first half, doubled
        {"____", "ab\\", 3, "ab\\_"},               // the second half would land beyond n
        {"____", "abcd", 0, "____"},
        {"____", "abcd", -3, "____"},
        {"___", "x\\y", 10, "x\\\\"},               // n beyond both fields
        {"______", "x\\", 10, "x\\\\___"}};
    for (Case c : cases) {
        std::string& same = double_backslashes(c.result, c.source, c.n);
        EXPECT_EQ(&same, &c.result);
        EXPECT_EQ(c.result, c.want) << c.source << " " << c.n;
    }
}

}  // namespace
}  // namespace orvalt

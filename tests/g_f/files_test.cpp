// File utilities: locating input files, the record census, new output files,
// doubled backslashes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <tuple>

#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/input_files.h"
#include "g_f/interruptions.h"
#include "g_f/new_files.h"
#include "g_f/numbers.h"
#include "g_f/staged_file.h"
#include "g_f/text.h"
#include "tests/support.h"

namespace orvalt {
namespace {

using test::Dialogue;
using test::stop_status;
using test::TempDir;

std::string padded(const std::string& name, std::size_t length = 200) { return field(name, length); }

const std::string question = " Give file name or return to stop > ";

class CheckFile : public ::testing::Test {
protected:
    // Runs check_file on a 200-character copy of name; returns the console text.
    std::string run(const std::string& name, std::int32_t iopt, std::int32_t print,
                    const std::string& input = "") {
        dialogue.emplace(input);
        field_ = padded(name);
        check_file(dialogue->con, field_, full, iopt, print, status);
        return dialogue->text();
    }
    std::optional<Dialogue> dialogue;
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
    const std::tuple<std::int32_t, std::int32_t, std::string, std::int32_t> absent_cases[] = {
        {2, 0, "", 2},
        {1, 0, "", 2},
        {2, 1, " Failure locating file " + absent + "\n", 2},
        {3, 1, " No pre-existing version of file exists\n", 2},
        {7, 1, " Unexpected option in check_file: iopt = 7\n Failure locating file " + absent + "\n", 12}};
    for (const auto& [iopt, print, text, want] : absent_cases) {
        EXPECT_EQ(run(absent, iopt, print), text) << iopt;
        EXPECT_EQ(status, want) << iopt;
    }
    EXPECT_EQ(run(present, -1, 0), "");
    EXPECT_EQ(status, 11);
    // trailing blanks and tabs are not part of the name; a folder is not a file
    EXPECT_EQ(run(present + " \t ", 2, 1), " File found : " + full_file_name(present) + "\n");
    EXPECT_EQ(run(dir.path().string() + "\t", 2, 1), " Failure locating file " + dir.path().string() + "\n");
}

TEST_F(CheckFile, OptionOneAsksUntilAFileExistsOrStops) {
    const std::string other = dir.file("other.xrdml"), failure = " Failure locating file " + absent + "\n";
    EXPECT_EQ(run(absent, 1, 1, other + "\r\n" + present + "\n"),
              failure + question + " Failure locating file " + other + "\n" + question +
              " File found : " + full_file_name(present) + "\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(field_, padded(present));
    // option 0 on a missing file, an empty answer, the end of the input
    const std::tuple<std::int32_t, std::string, std::string> stops[] = {
        {0, "", failure}, {1, "\n", failure + question},
        {1, "", failure + question + "\n **ERROR: End of input on the console\n"}};
    for (const auto& [iopt, input, text] : stops) {
        EXPECT_EQ(stop_status([&] { run(absent, iopt, 1, input); }), 1);
        EXPECT_EQ(dialogue->text(), text);
    }
    // a typed name is taken whole, never cut
    const std::string typed = absent + std::string(100, 'x');
    EXPECT_EQ(stop_status([&] { run(absent, 1, 1, typed + "\n\n"); }), 1);
    EXPECT_EQ(field_, padded(typed));
}

// Runs in another folder and goes back afterwards.
struct InFolder {
    explicit InFolder(const std::filesystem::path& p) : old(std::filesystem::current_path()) {
        current_path(p);
    }
    ~InFolder() { current_path(old); }
    std::filesystem::path old;
};

TEST_F(CheckFile, FullNameIsAbsoluteAndNormalised) {
    std::filesystem::create_directory(dir.path() / "sub");
    InFolder here(dir.path());
    Dialogue d;
    std::string both = padded("sub/../present.xrdml", 400);  // one field passed as both
    check_file(d.con, both, both, 2, 0, status);
    EXPECT_EQ(std::string(trimmed(both)), full_file_name(present));
    EXPECT_EQ(std::filesystem::path(full_file_name(present)), std::filesystem::path(present));
    // A full name too long for the field would no longer name the file: the field keeps the name.
    both = padded("present.xrdml", 20);
    check_file(d.con, both, both, 2, 0, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(both, padded("present.xrdml", 20));
}

TEST(Inqfilerec, CountsLinesAndTheLongest) {
    TempDir dir;
    struct Case { std::string bytes; std::int32_t nrec, maxlen; std::string warning; };
    const Case cases[] = {
        {"", 0, 0, ""},
        {"abc\r\nde\n", 2, 3, ""},
        {"abc\nlonger", 2, 6, ""},
        {"a\rb\n", 1, 3, ""},       // a CR inside a line is an ordinary character
        {"last line\r", 1, 9, ""},  // the CR that ends the file ends a line too
        {std::string(199999, 'x') + "\r\n" + std::string(65536, 'y') + "\n", 2, 199999, ""},
        {"a\n" + std::string(200000, 'z') + "\r\n", 2, 200000,
         " **WARNING** Excessively long record(s) encountered\n"}};
    for (const Case& c : cases) {
        Dialogue d;
        std::int32_t nrec = -1, maxlen = -1;
        inqfilerec(d.con, padded(dir.write("census.txt", c.bytes)), 99, 1, nrec, maxlen);
        EXPECT_EQ(d.text(), " inqfilerec: Number of records in file = " + std::to_string(c.nrec) + "\n" +
                                " inqfilerec: Maximum record length = " + std::to_string(c.maxlen) + "\n" +
                                c.warning);
    }
    const std::string missing = dir.file("missing.txt");
    Dialogue d;
    std::int32_t nrec = -1, maxlen = -1;
    EXPECT_EQ(stop_status([&] { inqfilerec(d.con, missing, 99, 0, nrec, maxlen); }), 1);
    EXPECT_EQ(d.text(), " **ERROR in inqfilerec: cannot open " + missing + "\n");
}

TEST(OpenNewFile, CreatesReplacesOrGivesTheNineLineReport) {
    TempDir dir;
    const std::string path = dir.file("out.dat"), full = full_file_name(path);
    const std::string none = " No pre-existing version of file exists\n";
    for (const std::string& found : {none, " File found : " + full + "\n"}) {
        Dialogue d;
        std::int32_t err = -1;
        OutputFile f = open_new_file(d.con, padded(path), 98, 0, err, 0, 0, 1);
        EXPECT_EQ(err, 0);
        EXPECT_EQ(d.text(), found + " New file: " + full + "\n");
        f.write_line(found);
        EXPECT_TRUE(f.close());
        EXPECT_EQ(test::read_all(path), found + "\n");  // older contents gone
    }
    const std::string bad = dir.file("no/such/folder/out.dat");
    Dialogue d;
    std::int32_t err = -1;
    OutputFile f = open_new_file(d.con, padded(bad), 98, 0, err, 0, 7, 0);
    EXPECT_EQ(err, 1);
    EXPECT_EQ(d.text(), " ** Error in open_new_file **\n iostat (see page 7-2 of Fortran Users Guide) = " +
                            format_integer(ENOENT) + "\n File = " + bad +
                            "\n Unit number = 98\n Record length = 0\n Error number = 1\n"
                            " il = 0\n ia = 7\n iout = 0\n");
    f.write_line("lost");
    EXPECT_FALSE(f.close());
    EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST(DoubleBackslashes, WritesExactlyTheFirstNPositions) {
    struct Case { std::string result, source; std::int32_t n; std::string want; };
    const Case cases[] = {
        {"________", "C:\\data", 7, "C:\\\\dat_"},  // last character dropped
        {"____", "\\\\\\\\", 4, "\\\\\\\\"},        // n backslashes: the first half, doubled
        {"____", "ab\\", 3, "ab\\_"},               // the second half would land beyond n
        {"____", "abcd", 0, "____"},
        {"____", "abcd", -3, "____"},
        {"___", "x\\y", 10, "x\\\\"},               // n beyond both fields
        {"______", "x\\", 10, "x\\\\___"}};
    for (Case c : cases) {
        EXPECT_EQ(&double_backslashes(c.result, c.source, c.n), &c.result);
        EXPECT_EQ(c.result, c.want) << c.source << " " << c.n;
    }
}

#ifndef _WIN32
// A staged write's temporary is made in the folder of the file it replaces
// (the one a link points to), not in the current folder: a file on another
// file system than the current folder is written, named or linked to.
TEST(StagedFile, WritesOntoAnotherFileSystem) {
    struct stat here {}, shm {};
    if (::stat(".", &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev)
        GTEST_SKIP() << "/dev/shm is no other file system here";
    const TempDir other("orvalt_test_other_file_system", "/dev/shm");
    const TempDir links;
    std::filesystem::create_symlink(other.file("linked.dat"), links.file("link.dat"));
    for (const std::string& target : {other.file("named.dat"), links.file("link.dat")}) {
        StagedFile staged;
        int error = 0;
        ASSERT_TRUE(staged.create(target, false, error)) << target << ": " << error_text(error);
        std::fputs("whole\n", staged.stream());
        EXPECT_TRUE(staged.commit(error)) << target << ": " << error_text(error);
    }
    for (const char* name : {"named.dat", "linked.dat"}) {
        std::ifstream f(other.file(name));
        std::string line;
        EXPECT_TRUE(std::getline(f, line) && line == "whole") << name;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(links.file("link.dat")));
}

// A temporary trying a name that another temporary of the process holds
// watches it, fails and unwatches it: the holder's watch stays, and an
// interruption still removes its file.
TEST(HandleInterruptions, ANameWatchedTwiceStaysWatchedOnce) {
    const TempDir dir;
    const std::string held = dir.write(".orvalt-held.part", "weights\n");
    const pid_t child = ::fork();
    if (child == 0) {
        handle_interruptions();
        watch_temporary(held);  // the holder's
        watch_temporary(held);  // another's attempt at the name...
        unwatch_temporary(held);  // ...given up
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
    EXPECT_FALSE(std::filesystem::exists(held));
}

// Every run installs the handlers: a second time changes nothing, and a
// signal the caller ignores (nohup) stays ignored.
TEST(HandleInterruptions, InstallingTwiceChangesNothing) {
    struct sigaction saved_int {}, saved_hup {}, first {}, again {}, hup {};
    ::sigaction(SIGINT, nullptr, &saved_int);
    ::sigaction(SIGHUP, nullptr, &saved_hup);
    std::signal(SIGHUP, SIG_IGN);
    handle_interruptions();
    ::sigaction(SIGINT, nullptr, &first);
    handle_interruptions();
    ::sigaction(SIGINT, nullptr, &again);
    ::sigaction(SIGHUP, nullptr, &hup);
    ::sigaction(SIGINT, &saved_int, nullptr);
    ::sigaction(SIGHUP, &saved_hup, nullptr);
    EXPECT_NE(first.sa_handler, SIG_DFL);
    EXPECT_EQ(again.sa_handler, first.sa_handler);
    EXPECT_EQ(hup.sa_handler, SIG_IGN);
}
#endif

}  // namespace
}  // namespace orvalt

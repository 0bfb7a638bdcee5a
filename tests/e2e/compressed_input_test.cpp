// Compressed and damaged input from the command line: --list reads a file as
// the conversion does and agrees with it; the decompressed text is bounded;
// the decompressed copy is the run's own, in the temporary folder, whatever
// that folder holds, and gone when the run ends.
#include "e2e_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <set>
#include <thread>

#include "tests/compress_support.h"

namespace e2e {
namespace {

using orvalt::test::bzip2;
using orvalt::test::gzip;

const std::vector<Scan> two_scans = {{10.0, 12.0, 1.0, "1 2 3"}, {10.0, 12.0, 2.0, "4 5 6"}};

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A damaged archive, a text that is no measurement, a thing that is no file:
// --list refuses each with the conversion's status and reason, and lists what
// the conversion converts.
TEST_F(Orvalt, ListAndConversionAgreeOnEveryDamagedOrForeignInput) {
    const std::string text = xrdml_text(two_scans);
    const std::string gz = gzip(text), bz = bzip2(text), zeros(1000, '\0');
    std::string flipped = gz;
    for (std::size_t i = gz.size() / 3; i < gz.size() / 3 + 16; ++i) flipped[i] ^= 0x5A;
    const std::string gz_truncated = "The gzip file is truncated (it ends too early)";
    const std::string gz_corrupt = "The gzip file is corrupt";
    const std::string no_bzip2 = "This build does not read .bz2 files: decompress it first";
    const std::string not_xrdml = "not an XRDML file (it holds no xrdMeasurement element)";
    const bool win = windows_program();
    struct Case {
        std::string name, bytes, reason;  // reason empty: both list and convert it
    };
    const Case cases[] = {
        {"cut.xrdml.gz", gz.substr(0, gz.size() / 2), gz_truncated},
        {"cut_end.xrdml.gz", gz.substr(0, gz.size() - 4), gz_truncated},
        {"flipped.xrdml.gz", flipped, gz_corrupt},
        {"empty.xrdml.gz", "", gz_truncated},
        {"plain_text.xrdml.gz", text, gz_corrupt},
        {"padded.xrdml.gz", gz + zeros, ""},
        {"padding_then_garbage.xrdml.gz", gz + zeros + "x", gz_corrupt},
        {"whole.xrdml.bz2", bz, win ? no_bzip2 : ""},
        {"cut.xrdml.bz2", bz.substr(0, bz.size() / 2),
         win ? no_bzip2 : "The bzip2 file is truncated (it ends too early)"},
        {"empty.xrdml.bz2", "", win ? no_bzip2 : "The bzip2 file is truncated (it ends too early)"},
        {"notes.xrdml", "run 7: sample changed\nnothing measured\n", not_xrdml},
        {"notes.xrdml.gz", gzip("run 7: sample changed\n"), not_xrdml},
        {"empty.xrdml", "", not_xrdml},
        {"long_line.xrdml.gz", gzip(std::string(65 << 20, 'a')), "Line too long in XRDML file"},
        {"folder.xrdml", "", "not a regular file (a folder, FIFO or device): nothing is read"},
        {"fifo.xrdml", "", "not a regular file (a folder, FIFO or device): nothing is read"},
        {"/dev/null", "", "not a regular file (a folder, FIFO or device): nothing is read"},
        {"missing.xrdml", "", "no such file: missing.xrdml"}};
    for (const Case& c : cases) {
        if (win && (c.name == "fifo.xrdml" || c.name == "/dev/null")) continue;
        if (c.name == "folder.xrdml") fs::create_directory(dir / c.name);
        else if (c.name == "fifo.xrdml") ASSERT_EQ(::mkfifo((dir / c.name).c_str(), 0644), 0);
        else if (c.name != "/dev/null" && c.name != "missing.xrdml") write(c.name, c.bytes);
        const Result list = run("", "", "--list " + c.name);
        const Result convert = run("", "", "--format ascii -o out.dat " + c.name);
        if (c.reason.empty()) {
            EXPECT_EQ(list.status, 0) << c.name << list.err;
            EXPECT_EQ(list.out.rfind(c.name + ": 2 scans\n", 0), 0u) << c.name << list.out;
            EXPECT_EQ(convert.status, 0) << c.name << convert.err;
            fs::remove(dir / "out.dat");
            continue;
        }
        EXPECT_EQ(list.status, 1) << c.name;
        EXPECT_EQ(list.out, "") << c.name;
        EXPECT_EQ(list.err, c.name + ": " + c.reason + "\n") << c.name;
        EXPECT_EQ(convert.status, 1) << c.name;
        // The conversion may warn first (of a long line, for one).
        EXPECT_NE(convert.err.find(list.err), std::string::npos) << c.name << convert.err;
        EXPECT_FALSE(exists("out.dat")) << c.name;
    }
}

// A few kilobytes that decompress to more than the 512 MiB a compressed file
// may hold (blank lines after a whole measurement): refused with a clear
// message by the conversion and by --list, the copy of the text gone from the
// temporary folder.
TEST_F(Orvalt, DecompressionStopsAtItsLimit) {
    const std::string blank_lines = gzip(std::string((1 << 20) - 1, ' ') + "\n");
    std::string bomb = gzip(xrdml_text(two_scans));
    for (int i = 0; i < 513; ++i) bomb += blank_lines;
    ASSERT_LT(bomb.size(), 1000000u);
    write("bomb.xrdml.gz", bomb);
    fs::create_directory(dir / "tmp");
    const std::string tmp = "export TMPDIR=\"" + (dir / "tmp").string() + "\" && ";
    const std::string why = "bomb.xrdml.gz: The gzip file holds more than 512 MiB of text: "
                            "decompress it first\n";
    for (const char* args : {"-q --format ascii -o out.dat bomb.xrdml.gz",
                                    "--list --plot bomb.xrdml.gz"}) {
        const Result r = run("", tmp, args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find(why), std::string::npos) << args << r.err;
        // (Wine keeps a folder of its own there; the Windows build's copy goes elsewhere.)
        EXPECT_TRUE(windows_program() || fs::is_empty(dir / "tmp")) << args;
    }
    EXPECT_FALSE(exists("out.dat"));
    EXPECT_FALSE(exists("bomb.svg"));
}

#ifndef _WIN32
// A dialogue run as a process that answers come to while it runs, so that
// what it keeps in the temporary folder can be looked at while it waits.
class LiveRun {
public:
    LiveRun(const fs::path& dir, const std::string& environment) : dir_(dir) {
        fs::remove(dir / "stdout.txt");
        const std::string cmd = "cd \"" + dir.string() + "\" && umask 022 && echo $$ > pid.txt && " +
                                environment + " exec " + program_command() +
                                " > stdout.txt 2> stderr.txt";
        pipe_ = ::popen(cmd.c_str(), "w");
    }
    ~LiveRun() {
        if (pipe_ != nullptr) finish();
    }
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    void say(const std::string& line) {
        std::fputs((line + "\n").c_str(), pipe_);
        std::fflush(pipe_);
    }
    // Whether the transcript came to `text` within a minute.
    bool reached(const std::string& text) const {
        for (int i = 0; i < 6000; ++i) {
            std::ifstream f(dir_ / "stdout.txt");
            std::ostringstream s;
            s << f.rdbuf();
            if (s.str().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void signal(int number) const {
        std::ifstream f(dir_ / "pid.txt");
        pid_t pid = 0;
        f >> pid;
        if (pid > 0) ::kill(pid, number);
    }
    // The exit status, or 128 + the signal that ended it.
    int finish() {
        const int rc = ::pclose(pipe_);
        pipe_ = nullptr;
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc);
    }

private:
    fs::path dir_;
    std::FILE* pipe_ = nullptr;
};
#endif

// The copy of a compressed input's text (a mode-600 measurement) is made in
// the temporary folder, whatever that folder holds under the name the copy
// once had (orvalt-input.xrdml): never where a link there points, readable by
// its user alone, and gone when the run ends, however it ends. With unnamed
// files (Linux) it has no name at all; without them (NFS, vfat: made so here
// by a preloaded library) it has one of this run's own.
TEST_F(Orvalt, TheDecompressedCopyIsTheRunsOwn) {
#ifdef _WIN32
    GTEST_SKIP();
#else
    if (windows_program()) GTEST_SKIP() << "permission bits and preloading are Linux matters";
    const std::string text = xrdml_text(two_scans);
    write("run.xrdml.gz", gzip(text));
    fs::permissions(dir / "run.xrdml.gz", fs::perms::owner_read | fs::perms::owner_write);
    const fs::path tmp = dir / "tmp", elsewhere = dir / "elsewhere", old_name = tmp / "orvalt-input.xrdml";
    const std::string no_unnamed = std::string("LD_PRELOAD=\"") + NO_UNNAMED_FILES_LIB +
                                   "\" ASAN_OPTIONS=verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}";
    enum class End { exit, end_of_input, sigterm, sigkill };
    struct Case {
        const char* what;
        std::function<void()> make;
        bool unnamed;
        End end;
        int status;
    };
    const Case cases[] = {
        {"nothing there", [] {}, true, End::exit, 0},
        {"nothing there, no unnamed files", [] {}, false, End::sigterm, 128 + SIGTERM},
        {"a link to another folder", [&] { fs::create_symlink(elsewhere / "x.xrdml", old_name); },
         false, End::end_of_input, 1},
        {"a folder", [&] { fs::create_directory(old_name); }, false, End::exit, 0},
        {"a run killed outright before", [] {}, false, End::sigkill, 128 + SIGKILL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(tmp);
        fs::remove_all(elsewhere);
        fs::create_directory(tmp);
        fs::create_directory(elsewhere);
        c.make();
        const std::set<std::string> before = entries(tmp);
        const std::string environment =
            "export TMPDIR=\"" + tmp.string() + "\" " + (c.unnamed ? "" : no_unnamed) + " &&";
        LiveRun live(dir, environment);
        live.say("run.xrdml.gz");
        ASSERT_TRUE(live.reached("Give scan number to load")) << read("stdout.txt");
        // Waiting at the scan question, the census done, the copy in place.
        std::set<std::string> added;
        for (const std::string& name : entries(tmp))
            if (!before.contains(name)) added.insert(name);
        EXPECT_TRUE(fs::is_empty(elsewhere));
        EXPECT_EQ(added.size(), c.unnamed ? 0u : 1u);
        if (!c.unnamed && added.size() == 1) {
            const fs::path copy = tmp / *added.begin();
            EXPECT_TRUE(copy.filename().string().starts_with(".orvalt-")) << copy;
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(copy)));
            EXPECT_EQ(fs::file_size(copy), text.size());
            struct stat st {};
            ASSERT_EQ(::lstat(copy.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0600u);
        }
        switch (c.end) {
            case End::exit: live.say("-1"); break;
            case End::end_of_input: break;
            case End::sigterm: live.signal(SIGTERM); break;
            case End::sigkill: live.signal(SIGKILL); break;
        }
        EXPECT_EQ(live.finish(), c.status);
        if (c.end == End::sigkill) {
            // Its copy stays, until the next run without unnamed files in
            // that folder removes it.
            EXPECT_EQ(entries(tmp).size(), before.size() + 1);
            const Result next = run("", environment, "--list run.xrdml.gz --plot");
            EXPECT_EQ(next.status, 0) << next.err;
        }
        EXPECT_EQ(entries(tmp), before);
        EXPECT_TRUE(fs::is_empty(elsewhere));
    }
#endif
}

}  // namespace
}  // namespace e2e

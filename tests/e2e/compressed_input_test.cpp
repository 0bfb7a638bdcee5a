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

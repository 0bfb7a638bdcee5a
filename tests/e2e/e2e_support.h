// Support for the end-to-end tests: a scratch folder per test, synthetic
// XRDML files, and runs of the built program with scripted answers.
//
// ORVALT_EXE_CMD, when set, is the shell command that starts the program
// instead of the one built here (e.g. "wine /path/orvalt.exe"); with
// ORVALT_EXE_WINDOWS=1 as well, the program is taken for the Windows build,
// and its transcripts and text files are brought to the Linux form before
// they are compared: see windows_to_linux().
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/synthetic_xrdml.h"
#include "driver/program.h"
#include "tests/scratch_folder.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <wordexp.h>

#include <csignal>
#endif

namespace e2e {

namespace fs = std::filesystem;

// The command that starts a program given from outside, or empty.
inline std::string outside_program() {
    const char* cmd = std::getenv("ORVALT_EXE_CMD");
    return cmd != nullptr ? cmd : "";
}

// The command that starts the program under test.
inline std::string program_command() {
    if (const std::string cmd = outside_program(); !cmd.empty()) return cmd;
    return "\"" ORVALT_EXE "\"";
}

// True when the program under test is the Windows build (run under Wine).
inline bool windows_program() {
    const char* flag = std::getenv("ORVALT_EXE_WINDOWS");
    return flag != nullptr && std::string(flag) == "1";
}

inline void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
}

// A file name as the Windows build shows it: Wine maps the Linux root to
// drive Z: and the separators are backslashes.
inline std::string windows_form(const fs::path& path) {
    std::string name = "Z:" + path.string();
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

// Brings a text written by the Windows build to the Linux form: CRLF line ends
// become LF, and in the lines of a box-drawing frame (the header) the six code
// page 437 frame bytes become the UTF-8 box characters.
inline std::string windows_to_linux(std::string text) {
    replace_all(text, "\r\n", "\n");
    static const std::pair<char, const char*> frame[] = {
        {'\xDA', "\u250c"}, {'\xBF', "\u2510"}, {'\xC0', "\u2514"},
        {'\xD9', "\u2518"}, {'\xC4', "\u2500"}, {'\xB3', "\u2502"}};
    std::string out;
    out.reserve(text.size());
    bool frame_line = true;  // at the start of a line: decided by its first two bytes
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 0 || text[i - 1] == '\n')
            frame_line = c == ' ' && i + 1 < text.size() &&
                         (text[i + 1] == '\xDA' || text[i + 1] == '\xB3' || text[i + 1] == '\xC0');
        const auto* hit = std::find_if(std::begin(frame), std::end(frame),
                                       [c](const auto& f) { return f.first == c; });
        if (frame_line && hit != std::end(frame))
            out += hit->second;
        else
            out += c;
    }
    return out;
}

struct Scan {
    double start;
    double end;
    double time;
    std::string counts;  // the intensity list as it stands in the file
};

struct Wavelengths {
    std::string ka1 = "1.5406";
    std::string ka2 = "1.5444";
    std::string ratio = "0.5";
};

// An XRDML text laid out like the instruments write it: tabs, one element per line.
inline std::string xrdml_text(const std::vector<Scan>& scans, const Wavelengths& w = {},
                              const std::string& eol = "\n") {
    std::ostringstream s;
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" << eol
      << "<xrdMeasurements status=\"Completed\">" << eol
      << "\t<xrdMeasurement measurementType=\"Scan\">" << eol
      << "\t\t<usedWavelength intended=\"K-Alpha 1\">" << eol
      << "\t\t\t<kAlpha1 unit=\"Angstrom\">" << w.ka1 << "</kAlpha1>" << eol
      << "\t\t\t<kAlpha2 unit=\"Angstrom\">" << w.ka2 << "</kAlpha2>" << eol
      << "\t\t\t<ratioKAlpha2KAlpha1>" << w.ratio << "</ratioKAlpha2KAlpha1>" << eol
      << "\t\t</usedWavelength>" << eol;
    const auto text = [](double v) {
        std::ostringstream t;
        t.precision(17);
        t << v;
        return t.str();
    };
    for (const Scan& scan : scans) {
        const orvalt::bench::ScanText text_of_scan{
            .attributes = "appendNumber=\"0\" status=\"Completed\"",
            .start = text(scan.start),
            .end = text(scan.end),
            .omega = "15.0",
            .time = text(scan.time),
            .counts = scan.counts,
        };
        for (const std::string& l : orvalt::bench::xrdml_scan_lines(text_of_scan, 2))
            s << l << eol;
    }
    s << "\t</xrdMeasurement>" << eol << "</xrdMeasurements>" << eol;
    return s.str();
}

struct Result {
    int status = -1;
    std::string out;  // standard output with the scratch folder's path masked as <DIR>
    std::string err;
};

class Orvalt : public ::testing::Test {
protected:
    fs::path dir;

    // A new folder per test, named after it; kept when the test fails, for a look.
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string stem = std::string("orvalt_e2e_") + info->test_suite_name() + "_" + info->name();
        std::replace(stem.begin(), stem.end(), '/', '_');  // parameterized tests' names
        dir = orvalt::test::new_scratch_folder(stem);
    }
    void TearDown() override {
        if (HasFailure())
            std::cout << "scratch folder kept: " << dir.string() << "\n";
        else
            fs::remove_all(dir);
    }

    void write(const std::string& name, const std::string& content) const {
        std::ofstream f(dir / name, std::ios::binary);
        f << content;
    }
    // A text file as the Linux build would have written it.
    std::string read(const std::string& name) const {
        std::string text = read_bytes(name);
        if (windows_program()) replace_all(text, "\r\n", "\n");
        return text;
    }
    // A file's bytes exactly as they stand, for binary files.
    std::string read_bytes(const std::string& name) const {
        std::ifstream f(dir / name, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    }
    bool exists(const std::string& name) const { return fs::exists(dir / name); }

    // The scratch folder in `text` (at `path`) masked as <DIR>. For the Windows
    // build its Windows form is masked too, with the backslashes of the rest of
    // that file name made "/".
    static std::string mask(std::string text, const std::string& path) {
        for (std::size_t p = text.find(path); p != std::string::npos; p = text.find(path, p))
            text.replace(p, path.size(), "<DIR>");
        if (!windows_program()) return text;
        const std::string win = windows_form(path);
        for (std::size_t p = text.find(win); p != std::string::npos; p = text.find(win, p)) {
            text.replace(p, win.size(), "<DIR>");
            for (std::size_t q = p + 5; q < text.size() && text[q] != '\n' && text[q] != ' '; ++q)
                if (text[q] == '\\') text[q] = '/';
        }
        return text;
    }

    // Whether a run starts the program as a process. A program given from
    // outside always does, and so does a run whose shell `setup` sets what
    // the system enforces on a process (a file size limit). Every other run
    // calls the driver in this process: quicker, and a failure inside it
    // shows where it happened.
    static bool as_process(const std::string& setup) {
#ifdef _WIN32
        return true;
#else
        return !outside_program().empty() || !setup.empty();
#endif
    }

    // Runs the program in the scratch folder with `answers` as its standard input;
    // `setup` is shell text run just before it in the same shell (e.g. a ulimit),
    // `args` the program's arguments as shell text.
    Result run(const std::string& answers, const std::string& setup = "",
               const std::string& args = "") const {
        Result r = as_process(setup) ? run_process(answers, setup, args) : run_here(answers, args);
        r.out = mask(r.out, dir.string());
        return r;
    }

private:
    Result run_process(const std::string& answers, const std::string& setup,
                       const std::string& args) const {
        write("stdin.txt", answers);
        const std::string cmd = "cd \"" + dir.string() + "\" && " + setup + program_command() +
                                (args.empty() ? "" : " " + args) +
                                " < stdin.txt > stdout.txt 2> stderr.txt";
        const int rc = std::system(cmd.c_str());
        Result r;
#ifdef _WIN32
        r.status = rc;
#else
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
        r.out = read("stdout.txt");
        r.err = read("stderr.txt");
        if (windows_program()) {
            // A Windows console shows UTF-8 as garbage: the frame must be code page 437.
            EXPECT_EQ(r.out.find("\xE2\x94"), std::string::npos)
                << "a box-drawing character in UTF-8 from the Windows build";
            r.out = windows_to_linux(r.out);
            r.err = windows_to_linux(r.err);
        }
        fs::remove(dir / "stdin.txt");
        fs::remove(dir / "stdout.txt");
        fs::remove(dir / "stderr.txt");
        return r;
    }

#ifndef _WIN32
    // The driver run here as main runs it, in the scratch folder. What it
    // changes for the process (the current folder, the interruption handlers)
    // is put back, and it must leave no file open.
    Result run_here(const std::string& answers, const std::string& args) const {
        std::istringstream in(answers);
        std::ostringstream out, err;
        Result r;
        const std::size_t open_before = open_files();
        {
            const ProcessStateKept kept;
            fs::current_path(dir);
            const std::vector<std::string> words = argument_words(args);
            std::vector<const char*> argv{ORVALT_EXE};
            for (const std::string& w : words) argv.push_back(w.c_str());
            r.status = orvalt::run_program(static_cast<int>(argv.size()), argv.data(), in, out, err);
        }
        EXPECT_EQ(open_files(), open_before) << "a file left open by the run";
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    // The arguments as the shell makes them of `args` (globs expanded in the
    // current folder).
    static std::vector<std::string> argument_words(const std::string& args) {
        std::vector<std::string> words;
        if (args.empty()) return words;
        wordexp_t w{};
        if (::wordexp(args.c_str(), &w, WRDE_NOCMD) != 0) {
            ADD_FAILURE() << "not arguments: " << args;
            return words;
        }
        words.assign(w.we_wordv, w.we_wordv + w.we_wordc);
        ::wordfree(&w);
        return words;
    }

    static std::size_t open_files() {
        const auto fds = fs::directory_iterator("/proc/self/fd");
        return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
    }

    class ProcessStateKept {
    public:
        ProcessStateKept() : folder_(fs::current_path()) {
            for (std::size_t k = 0; k < std::size(signals_); ++k)
                ::sigaction(signals_[k], nullptr, &actions_[k]);
        }
        ~ProcessStateKept() {
            fs::current_path(folder_);
            for (std::size_t k = 0; k < std::size(signals_); ++k)
                ::sigaction(signals_[k], &actions_[k], nullptr);
        }
        ProcessStateKept(const ProcessStateKept&) = delete;
        ProcessStateKept& operator=(const ProcessStateKept&) = delete;

    private:
        static constexpr int signals_[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGXFSZ};
        fs::path folder_;
        struct sigaction actions_[std::size(signals_)] {};
    };
#else
    Result run_here(const std::string&, const std::string&) const { return {}; }
#endif
};

// Shell text that limits the size of a file the program may write to
// `blocks` of 512 bytes. The program ignores SIGXFSZ itself, so that a write
// past the limit fails like one on a full disk; Wine cannot ignore a POSIX
// signal for the Windows build, so there the shell does.
inline std::string file_limit(int blocks) {
    return std::string(windows_program() ? "trap '' XFSZ && " : "") + "ulimit -f " +
           std::to_string(blocks) + " && ";
}

// The header every run opens with.
inline std::string header() {
    std::string h = " \u250c";
    for (int i = 0; i < 39; ++i) h += "\u2500";
    h += "\u2510\n";
    h += " \u2502 ORVALT : Read data from a .XRDML file \u2502\n";
    h += " \u2502 The ORVALT developers         23-1-14 \u2502\n";
    h += " \u2514";
    for (int i = 0; i < 39; ++i) h += "\u2500";
    h += "\u2518\n\n";
    return h;
}

// Lines and longest line of a text, as the record census reports them.
inline std::string census_lines(const std::string& text) {
    int n = 0;
    std::size_t longest = 0, len = 0;
    for (char c : text) {
        if (c == '\n') {
            ++n;
            longest = std::max(longest, len);
            len = 0;
        } else if (c != '\r') {
            ++len;
        }
    }
    return " inqfilerec: Number of records in file = " + std::to_string(n) +
           "\n inqfilerec: Maximum record length = " + std::to_string(longest) + "\n";
}

inline const char* menu =
    "\n Options...\n -3) Load all scans separately\n -2) Prepare data file for gudrunX\n"
    " -1) Exit\n  0) Load all scans (and convert to Q or d if required)\n";
inline const char* units_menu =
    "\n Output x-axis units options...\n 1) 2-theta\n 2) Momentum transfer, Q\n 3) d-spacing\n";
inline const char* output_menu =
    "\n Output file options...\n 0) no output file\n 1) ascii file\n 2) Genie binary file\n";

}  // namespace e2e

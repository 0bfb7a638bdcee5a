// Whole-program randomized runs: mutated measurement files, remembered
// answers of every kind, random answers and output names drawn from the
// hazards a busy lab folder holds (the input itself, links to it, orvalt.tmp,
// the weights file, folders, FIFOs, control characters, overlong names), and
// now and then an interruption or a console pipe closed under the program.
// Runs of the dialogue alternate with runs of the command line: random
// options and batches of one to five names drawn from the same hazards
// (several measurements, the same file twice, a hard link to one, names that
// begin with '-', folders of outputs that are not there, .gz and .bz2 copies
// of the measurement, whole or damaged), the scan table (--list), pictures
// (--plot) and the pattern formats (xye, fxye, CIF). Now and then every
// folder is one without unnamed files (a preloaded library refuses
// O_TMPFILE, as NFS does). A run may be ended
// by any signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT, or SIGKILL, which it
// cannot catch), its console pipe closed, or it may write under a file size
// limit (ulimit -f) that a large output passes.
// After every run:
//   - the exit status is 0 or 1 (2 for refused arguments), or 128 + n when
//     signal n was sent, or the run was killed by SIGKILL;
//   - the measurement, the links, folders and FIFOs are as they were;
//   - "orvalt.tmp" is unchanged after a failed run, and whole otherwise;
//   - every file written is whole: a Genie file lists every entry it should,
//     an ASCII file has the promised number of lines, a weights file one line
//     per scan, an .xye file lines of three finite numbers, a GSAS file passes
//     the format's checker, gemmi reads a CIF, a picture ends its SVG; a
//     replaced file keeps its permission bits;
//   - no temporary file is left, in the output folders or in the temporary
//     folder (the decompressed copy), also after SIGKILL where the system has
//     unnamed files, no sanitizer spoke, nothing hung;
//   - from the command line: every file it says it wrote is there and whole,
//     the exit status agrees with what it reported, nothing went to standard
//     output but the lines of converted files (and scan tables), the
//     measurements are unchanged and orvalt.tmp is never touched; --list
//     writes nothing but pictures, and a file --list refuses for how it reads
//     the conversion refuses with the same reason, and no other.
//
//   randomized_runs PROGRAM SCRATCH [--seed N] [--seconds S]
//
// A finding is reported with the run's seed; its scenario is kept in
// SCRATCH/findings/run-<n>/. Exit status 1 when there was a finding.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gemmi/cif.hpp>

#include "tests/compress_support.h"
#include "tests/support/genie_files.h"

namespace fs = std::filesystem;

namespace {

using Rng = std::mt19937_64;

int pick(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
bool chance(Rng& rng, double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }
template <class T>
const T& one_of(Rng& rng, const std::vector<T>& v) {
    return v[static_cast<std::size_t>(pick(rng, 0, static_cast<int>(v.size()) - 1))];
}

std::string read_bytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_bytes(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

// --- the measurement --------------------------------------------------------------------

std::string counts_text(Rng& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i > 0) s += ' ';
        if (chance(rng, 0.01))
            s += one_of(rng, std::vector<std::string>{"-5", "1e308", "0", "1e-320", "7.5"});
        else
            s += std::to_string(pick(rng, 0, 5000));
    }
    return s;
}

std::string measurement(Rng& rng) {
    const int nscans = pick(rng, 1, 4);
    const bool same_grid = chance(rng, 0.7);
    const int base_points = pick(rng, 1, chance(rng, 0.1) ? 3000 : 200);
    std::ostringstream s;
    s.precision(17);
    const std::string ka1 = chance(rng, 0.05) ? one_of(rng, std::vector<std::string>{"0", "-1", "1e308"}) : "1.5406";
    const std::string ratio = chance(rng, 0.03) ? "-1" : "0.5";
    // Now and then an axis whose name would clear a terminal and colour it.
    const std::string axis = chance(rng, 0.05) ? "Phi\x1b[2J\x1b[31m\x9b" : "2Theta";
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xrdMeasurements status=\"Completed\">\n"
      << "\t<xrdMeasurement measurementType=\"Scan\">\n"
      << "\t\t<usedWavelength intended=\"K-Alpha 1\">\n"
      << "\t\t\t<kAlpha1 unit=\"Angstrom\">" << ka1 << "</kAlpha1>\n"
      << "\t\t\t<kAlpha2 unit=\"Angstrom\">1.5444</kAlpha2>\n"
      << "\t\t\t<ratioKAlpha2KAlpha1>" << ratio << "</ratioKAlpha2KAlpha1>\n"
      << "\t\t</usedWavelength>\n";
    for (int i = 0; i < nscans; ++i) {
        const int n = same_grid ? base_points : pick(rng, 1, 200);
        const double start = same_grid ? 10.0 : pick(rng, 0, 30);
        const double end = start + (same_grid ? 20.0 : pick(rng, 0, 60));
        std::string time = chance(rng, 0.03) ? one_of(rng, std::vector<std::string>{"1e-320", "0", "-2"})
                                              : std::to_string(pick(rng, 1, 5));
        s << "\t\t<scan appendNumber=\"0\" status=\"Completed\">\n\t\t\t<dataPoints>\n"
          << "\t\t\t\t<positions axis=\"" << axis << "\" unit=\"deg\">\n"
          << "\t\t\t\t\t<startPosition>" << start << "</startPosition>\n"
          << "\t\t\t\t\t<endPosition>" << end << "</endPosition>\n"
          << "\t\t\t\t</positions>\n"
          << "\t\t\t\t<commonCountingTime unit=\"seconds\">" << time << "</commonCountingTime>\n"
          << "\t\t\t\t<intensities unit=\"counts\">" << counts_text(rng, n) << "</intensities>\n"
          << "\t\t\t</dataPoints>\n\t\t</scan>\n";
    }
    s << "\t</xrdMeasurement>\n</xrdMeasurements>\n";
    std::string text = s.str();
    // Mutations: bytes changed, lines dropped or doubled, the file cut short.
    const int mutations = chance(rng, 0.35) ? pick(rng, 1, 3) : 0;
    for (int m = 0; m < mutations && !text.empty(); ++m) {
        const auto at = static_cast<std::size_t>(pick(rng, 0, static_cast<int>(text.size()) - 1));
        switch (pick(rng, 0, 4)) {
            case 0: text[at] = static_cast<char>(pick(rng, 0, 255)); break;
            case 1: text.resize(at); break;
            case 2: {
                const auto b = text.rfind('\n', at), e = text.find('\n', at);
                if (b != std::string::npos && e != std::string::npos) text.erase(b, e - b);
                break;
            }
            case 3: {
                const auto b = text.rfind('\n', at), e = text.find('\n', at);
                if (b != std::string::npos && e != std::string::npos)
                    text.insert(e, text.substr(b, e - b));
                break;
            }
            default: text.insert(at, std::string(static_cast<std::size_t>(pick(rng, 1, 9)), '\n'));
        }
    }
    return text;
}

// --- the folder and the answers ---------------------------------------------------------

const std::string remembered_valid = "s.xrdml\n           1\n           1\n           1\n           1\n";

// A compressed copy as it may come: whole, cut short, with bytes changed,
// zero padding (gzip takes it), garbage after it, or two members in a row.
std::string damaged_now_and_then(Rng& rng, std::string bytes, const std::string& again) {
    if (bytes.empty() || chance(rng, 0.6)) return bytes;
    switch (pick(rng, 0, 4)) {
        case 0: bytes.resize(static_cast<std::size_t>(pick(rng, 0, static_cast<int>(bytes.size()) - 1))); break;
        case 1:
            for (int k = pick(rng, 1, 4); k > 0; --k)
                bytes[static_cast<std::size_t>(pick(rng, 0, static_cast<int>(bytes.size()) - 1))] ^=
                    static_cast<char>(pick(rng, 1, 255));
            break;
        case 2: bytes += std::string(static_cast<std::size_t>(pick(rng, 1, 3000)), '\0'); break;
        case 3: bytes += chance(rng, 0.5) ? "garbage" : std::string(3, '\0') + "x"; break;
        default: bytes += again;
    }
    return bytes;
}

void make_folder(Rng& rng, const fs::path& dir, const std::string& xrdml,
                 const std::string& second) {
    fs::create_directories(dir / "sub");
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "tmp");
    write_bytes(dir / "s.xrdml", xrdml);
    const std::string gz = orvalt::test::gzip(xrdml), bz = orvalt::test::bzip2(xrdml);
    write_bytes(dir / "s.xrdml.gz", damaged_now_and_then(rng, gz, orvalt::test::gzip(second)));
    write_bytes(dir / "s.xrdml.bz2", damaged_now_and_then(rng, bz, orvalt::test::bzip2(second)));
    write_bytes(dir / "t.xrdml", second);
    write_bytes(dir / "sub/s.xrdml", second);
    write_bytes(dir / "-x.xrdml", xrdml);
    fs::create_hard_link(dir / "t.xrdml", dir / "hard.dat");
    write_bytes(dir / "precious.dat", "precious\n");
    fs::permissions(dir / "precious.dat", fs::perms::owner_read | fs::perms::owner_write |
                                              fs::perms::group_read);
    fs::create_symlink("s.xrdml", dir / "link.dat");
    fs::create_symlink("orvalt.tmp", dir / "tmplink.dat");
    fs::create_symlink("sub/target.write", dir / "wlink.write");
    fs::create_directory(dir / "folder.dat");
    ::mkfifo((dir / "fifo.dat").c_str(), 0644);
    if (chance(rng, 0.3)) write_bytes(dir / "s.weights", "precious\n");
    switch (pick(rng, 0, 8)) {
        case 0: break;  // none
        case 7: fs::create_symlink("s.xrdml", dir / "orvalt.tmp"); break;
        case 1: write_bytes(dir / "orvalt.tmp", std::string("s.x\0rdml\n 1\n 1\n 1\n 1\n", 22)); break;
        case 2: ::mkfifo((dir / "orvalt.tmp").c_str(), 0644); break;
        case 3: fs::create_directory(dir / "orvalt.tmp"); break;
        case 4: write_bytes(dir / "orvalt.tmp", std::string(5000, 'n') + "\n 1\n 1\n 1\n 1\n"); break;
        case 5: write_bytes(dir / "orvalt.tmp", "garbage\n"); break;
        default: write_bytes(dir / "orvalt.tmp", remembered_valid);
    }
}

std::vector<std::string> output_names() {
    return {"s.xrdml", "./sub/../s.xrdml", "link.dat", "orvalt.tmp", "tmplink.dat", "s.weights",
            "folder.dat", "fifo.dat", "precious.dat", "new.dat", "new.write", "wlink.write",
            "sub/x.dat", "nosuch/x.dat", "a\tb.dat", "out.dat\t", std::string("o\0ut.dat", 8),
            "new.xye", "new.cif", "out/new.fxye", "new.svg",
            std::string(4097, 'l'), "sub/" + std::string(86, 'g') + ".write",
            std::string(74, 'g') + "/x.write", "", "   ", "precious.dat"};
}

std::string answers(Rng& rng) {
    std::vector<std::string> lines;
    // The input name, after hazards now and then.
    while (chance(rng, 0.2))
        lines.push_back(one_of(rng, std::vector<std::string>{
            "missing.xrdml", "s.xrdml\t", "fifo.dat", "folder.dat", std::string("s\0.xrdml", 8),
            std::string(5000, 'i'), "orvalt.tmp"}));
    lines.push_back(chance(rng, 0.1) ? "" : chance(rng, 0.1) ? "s" : "s.xrdml");
    const auto names = output_names();
    if (chance(rng, 0.85)) {
        const int menu = one_of(rng, std::vector<int>{-3, -2, 0, 1, 2, 3, 1, 0, -3, 5, -1});
        lines.push_back(std::to_string(menu));
        if (menu > 3) lines.push_back(std::to_string(pick(rng, -3, 2)));
        if (menu != -2) lines.push_back(std::to_string(pick(rng, 0, 1)));
        if (menu == -2) {
            while (chance(rng, 0.4)) lines.push_back(std::to_string(pick(rng, 1, 4)));
            lines.push_back("0");
        }
        if (menu != -2 && menu != -3) lines.push_back(std::to_string(pick(rng, 1, 3)));
        if (menu != -3) lines.push_back(std::to_string(pick(rng, 1, 2)));
        for (int k = pick(rng, 0, 3); k > 0; --k) lines.push_back(one_of(rng, names));
        lines.push_back(one_of(rng, std::vector<std::string>{"new.dat", "new.write", "precious.dat",
                                                             "wlink.write", "", "sub/y.dat"}));
    }
    for (int k = pick(rng, 0, 3); k > 0; --k)
        lines.push_back(chance(rng, 0.5) ? std::to_string(pick(rng, -4, 6)) : one_of(rng, names));
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    if (chance(rng, 0.15)) text.resize(static_cast<std::size_t>(pick(rng, 0, static_cast<int>(text.size()))));
    return text;
}

// --- the command line ------------------------------------------------------------------

std::vector<std::string> cli_arguments(Rng& rng) {
    std::vector<std::string> a;
    switch (chance(rng, 0.15) ? 5 : pick(rng, 0, 4)) {
        case 1: a.push_back("--sum"); break;
        case 2: a.insert(a.end(), {"--scan", std::to_string(pick(rng, 1, 5))}); break;
        case 3:
            a.push_back("--gudrun");
            if (chance(rng, 0.6)) {
                std::string list = std::to_string(pick(rng, 1, 4));
                while (chance(rng, 0.3)) list += "," + std::to_string(pick(rng, 1, 5));
                a.insert(a.end(), {"--exclude", list});
            }
            break;
        case 4: a.push_back("--separate"); break;
        case 5:
            // The scan table; --list goes with no option that chooses a conversion.
            if (chance(rng, 0.9)) {
                a.push_back("--list");
                if (chance(rng, 0.5)) a.push_back("--plot");
                if (chance(rng, 0.2)) a.push_back("--plot-log");
                if (chance(rng, 0.3)) a.insert(a.end(), {"-d", chance(rng, 0.8) ? "out" : "nosuch"});
                const int n = chance(rng, 0.7) ? 1 : pick(rng, 2, 3);
                for (int k = 0; k < n; ++k)
                    a.push_back(one_of(rng, std::vector<std::string>{
                                            "s.xrdml.gz", "s.xrdml.bz2", "s.xrdml", "t.xrdml",
                                            "s.xrdml.gz", "s.xrdml.bz2", "folder.dat", "fifo.dat",
                                            "missing.xrdml", "precious.dat"}));
                return a;
            }
            break;
        default: break;
    }
    // Mostly options that go together; now and then those that do not.
    const bool fixed = std::find(a.begin(), a.end(), "--gudrun") != a.end() ||
                       std::find(a.begin(), a.end(), "--separate") != a.end();
    if (chance(rng, fixed ? 0.05 : 0.3)) a.push_back("--counts");
    if (chance(rng, 0.05)) a.push_back("--cps");
    if (chance(rng, fixed ? 0.05 : 0.3))
        a.insert(a.end(), {"--units", one_of(rng, std::vector<std::string>{"q", "d", "2theta", "q", "d"})});
    if (chance(rng, 0.02)) a.insert(a.end(), {"--units", "Q"});
    if (chance(rng, 0.35))
        a.insert(a.end(), {"--format", one_of(rng, std::vector<std::string>{"ascii", "genie", "xye",
                                                                            "fxye", "cif"})});
    if (chance(rng, 0.2)) {
        a.push_back(one_of(rng, std::vector<std::string>{"--plot", "--plot", "--plot=pic.svg",
                                                         "--plot=out/p.svg", "--plot=s.xrdml",
                                                         "--plot-log"}));
    }
    if (chance(rng, 0.3)) a.push_back("-q");
    if (chance(rng, 0.35))
        a.insert(a.end(), {"-d", one_of(rng, std::vector<std::string>{
                                             "out", "out", "out", "sub", "out/", ".", "nosuch",
                                             "folder.dat", "s.xrdml", "out\t"})});
    const std::vector<std::string> inputs = {
        "s.xrdml", "t.xrdml", "s.xrdml", "t.xrdml", "sub/s.xrdml", "s", "t", "sub/s.xrdml",
        "missing.xrdml", "folder.dat", "fifo.dat", "link.dat", "hard.dat", "s.xrdml  ",
        "s.xrdml\t", "-x.xrdml", "sub/../s.xrdml", std::string("s\n.xrdml"), "precious.dat",
        "s.xrdml.gz", "s.xrdml.bz2", "s.xrdml.gz", "s.xrdml.bz2"};
    const int n = chance(rng, 0.6) ? 1 : pick(rng, 2, 5);
    std::vector<std::string> files;
    for (int k = 0; k < n; ++k) files.push_back(one_of(rng, inputs));
    if (chance(rng, 0.25) || (n == 1 && chance(rng, 0.1)))
        a.insert(a.end(), {"-o", one_of(rng, output_names())});
    if (chance(rng, 0.03)) a.push_back(one_of(rng, std::vector<std::string>{"--bogus", "-k"}));
    const bool dashed = std::any_of(files.begin(), files.end(),
                                    [](const std::string& f) { return f.starts_with("-"); });
    if (dashed && chance(rng, 0.8)) a.push_back("--");
    a.insert(a.end(), files.begin(), files.end());
    // Options after the names, now and then.
    if (chance(rng, 0.05)) a.push_back("-q");
    return a;
}

// --- one run ----------------------------------------------------------------------------

struct Outcome {
    pid_t pid = 0;
    bool exited = false;
    int status = -1;  // exit status, or the signal that ended it
    bool hung = false;
    std::string out, err;
};

enum class Disturbance { none, signal, closed_pipe };

// `args` are the program's arguments (none: the dialogue); `size_limit` the
// largest file it may write, in bytes (0: no limit). Its temporary folder is
// dir/tmp; with `no_unnamed` no folder has unnamed files.
Outcome run_program(const std::string& program, const std::vector<std::string>& args,
                    const fs::path& dir, Disturbance how, int signal_number, int delay_ms,
                    long size_limit, bool no_unnamed) {
    int pipe_fds[2] = {-1, -1};
    if (how == Disturbance::closed_pipe && ::pipe(pipe_fds) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(99);
        const int in = ::open("stdin.txt", O_RDONLY);
        const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int out = -1;
        if (how == Disturbance::closed_pipe) {
            ::close(pipe_fds[0]);
            out = pipe_fds[1];
        } else {
            out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        // As from a terminal, whatever this driver was started with (a
        // background job ignores Ctrl-C, nohup a hang-up): the program must
        // catch or ignore what it needs to itself, SIGXFSZ too.
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGXFSZ}) ::signal(s, SIG_DFL);
        ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
        if (no_unnamed) {
            ::setenv("LD_PRELOAD", NO_UNNAMED_FILES_LIB, 1);
            const char* asan = std::getenv("ASAN_OPTIONS");
            ::setenv("ASAN_OPTIONS",
                     (std::string("verify_asan_link_order=0") + (asan ? std::string(":") + asan : "")).c_str(), 1);
        }
        if (size_limit > 0) {
            struct rlimit limit {};
            limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(size_limit);
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(98);
    }
    Outcome o;
    o.pid = pid;
    const auto started = std::chrono::steady_clock::now();
    if (how == Disturbance::closed_pipe) {
        ::close(pipe_fds[1]);
        // Read some of the dialogue, then go away.
        std::string seen;
        char buf[256];
        const auto wanted = static_cast<std::size_t>(delay_ms) * 20;
        while (seen.size() < wanted) {
            const ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
            if (n <= 0) break;
            seen.append(buf, static_cast<std::size_t>(n));
        }
        ::close(pipe_fds[0]);
        o.out = seen;
    }
    bool signalled = false;
    int wstatus = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &wstatus, WNOHANG);
        if (r == pid) break;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        if (how == Disturbance::signal && !signalled && ms >= delay_ms) {
            ::kill(pid, signal_number);
            signalled = true;
        }
        if (ms > 60000) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &wstatus, 0);
            o.hung = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    o.exited = WIFEXITED(wstatus);
    o.status = o.exited ? WEXITSTATUS(wstatus) : WTERMSIG(wstatus);
    if (how != Disturbance::closed_pipe) o.out = read_bytes(dir / "stdout.txt");
    o.err = read_bytes(dir / "stderr.txt");
    return o;
}

// --- the checks -------------------------------------------------------------------------

struct Snapshot {
    std::map<std::string, std::string> files;  // regular files: bytes
    std::map<std::string, fs::perms> perms;
};

Snapshot snapshot(const fs::path& dir) {
    Snapshot s;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file() || e.is_symlink()) continue;
        const std::string rel = fs::relative(e.path(), dir).string();
        if (rel == "stdin.txt" || rel == "stdout.txt" || rel == "stderr.txt") continue;
        s.files[rel] = read_bytes(e.path());
        s.perms[rel] = fs::status(e.path()).permissions();
    }
    return s;
}

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// The number after the last `label` in the transcript, or -1.
long number_after(const std::string& text, const std::string& label) {
    const auto p = text.rfind(label);
    if (p == std::string::npos) return -1;
    return std::strtol(text.c_str() + p + label.size(), nullptr, 10);
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream s(text);
    while (std::getline(s, line)) lines.push_back(line);
    return lines;
}

bool finite_numbers(const std::string& line, int expected) {
    std::istringstream s(line);
    int n = 0;
    std::string item;
    while (s >> item) {
        char* end = nullptr;
        const double v = std::strtod(item.c_str(), &end);
        if (*end != '\0' || !std::isfinite(v)) return false;
        ++n;
    }
    return n == expected;
}

// Why a pattern file or a picture is not whole, or empty; `known` false when
// `bytes` are none of them.
std::string whole_pattern_or_picture(const fs::path& path, const std::string& bytes, bool& known) {
    known = true;
    if (bytes.starts_with("<?xml") || bytes.starts_with("<svg"))
        return bytes.ends_with("</svg>\n") ? "" : "picture not whole";
    if (bytes.starts_with("# ORVALT xye")) {
        for (const std::string& line : split_lines(bytes))
            if (!line.empty() && line[0] != '#' && !finite_numbers(line, 3))
                return ".xye line not three finite numbers: " + line;
        return {};
    }
    if (bytes.starts_with("# ORVALT powder CIF")) {
        try {
            gemmi::cif::read_memory(bytes.data(), bytes.size(), path.string().c_str());
        } catch (const std::exception& e) {
            return std::string("gemmi refuses the CIF: ") + e.what();
        }
        return {};
    }
    if (bytes.starts_with("ORVALT: ")) {
        // The format's own checker, where Python is.
        static const fs::path checker = fs::path(ORVALT_SOURCE_DIR) / "../shared/formats/check_fxye.py";
        if (!fs::exists(checker)) return {};
        const std::string cmd = "python3 '" + checker.string() + "' '" + path.string() + "' --pad80 > /dev/null 2>&1";
        return std::system(cmd.c_str()) == 0 ? "" : "the GSAS file fails check_fxye.py";
    }
    known = false;
    return {};
}

// Why the file at `rel` (new or changed by the run) is not whole; empty if it is.
std::string whole(const fs::path& dir, const std::string& rel, const std::string& bytes,
                  const Outcome& o, bool transcript_complete) {
    bool known = false;
    if (const std::string why = whole_pattern_or_picture(dir / rel, bytes, known); known) return why;
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89G2F", 4) == 0) {
        orvalt::test::GenieFile file;
        std::string error;
        if (!orvalt::test::read_genie_file((dir / rel).string(), file, error)) return "Genie file broken: " + error;
        if (!transcript_complete) return {};
        const int scans = count_of(o.out, "orvalt: First and last x-values = ");
        const std::size_t expected = scans > 0 ? static_cast<std::size_t>(scans) : 1;
        if (file.entries.size() != expected)
            return "Genie file has " + std::to_string(file.entries.size()) + " entries, not " +
                   std::to_string(expected);
        return {};
    }
    const auto lines = split_lines(bytes);
    if (!bytes.empty() && bytes.back() != '\n') return "text file does not end with a line end";
    // A weights file: one line per scan, "%3d %1d" (a data file may take its
    // name in a run that writes no weights).
    const bool weights_lines = !lines.empty() && std::all_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.size() == 5 && l[3] == ' ' && (l[4] == '0' || l[4] == '1');
    });
    if (rel.ends_with(".weights") && weights_lines) {
        if (!transcript_complete || o.out.find("Saving weights to") == std::string::npos) return {};
        const long n = number_after(o.out, "count_scans: Number of scans in file = ");
        if (static_cast<long>(lines.size()) != n) return "weights file has the wrong number of lines";
        return {};
    }
    std::size_t first = 0;
    if (!lines.empty() && lines[0].starts_with("Data from: ")) first = 3;
    if (!transcript_complete) {
        for (std::size_t i = first; i < lines.size(); ++i)
            if (!finite_numbers(lines[i], 3)) return "data line not three finite numbers: " + lines[i];
        return {};
    }
    const long n = number_after(o.out, "orvalt: Number of points = ");
    if (static_cast<long>(lines.size() - std::min(first, lines.size())) != n)
        return "ASCII file has " + std::to_string(lines.size()) + " lines for " + std::to_string(n) +
               " points";
    for (std::size_t i = first; i < lines.size(); ++i)
        if (!finite_numbers(lines[i], 3)) return "data line not three finite numbers: " + lines[i];
    return {};
}

// How a run was started and disturbed.
struct Scenario {
    std::vector<std::string> args;  // none: the dialogue
    Disturbance how = Disturbance::none;
    int signal_number = 0;
    long size_limit = 0;  // bytes, 0: none
    bool no_unnamed = false;  // no folder has unnamed files
    bool command_line() const { return !args.empty(); }
    bool listing() const {
        const auto end = std::find(args.begin(), args.end(), "--");
        return std::find(args.begin(), end, "--list") != end;
    }
};

bool named(const Scenario& sc, std::initializer_list<const char*> names) {
    for (std::size_t i = 0; i + 1 < sc.args.size(); ++i)
        if (sc.args[i] == "-o")
            for (const char* n : names)
                if (sc.args[i + 1] == n) return true;
    return false;
}

std::vector<std::string> check(const fs::path& dir, const Snapshot& before, const Outcome& o,
                               const Scenario& sc, long& kill_window_leftovers) {
    std::vector<std::string> findings;
    auto finding = [&](const std::string& what) { findings.push_back(what); };

    if (o.hung) finding("the program did not end within 60 s");
    const Disturbance how = sc.how;
    const bool disturbed = how != Disturbance::none;
    const int sig = how == Disturbance::closed_pipe ? SIGPIPE : sc.signal_number;
    if (o.exited) {
        const bool ok = o.status == 0 || o.status == 1 || (sc.command_line() && o.status == 2) ||
                        (disturbed && sig != SIGKILL && o.status == 128 + sig);
        if (!ok) finding("exit status " + std::to_string(o.status));
    } else if (!(disturbed && o.status == sig)) {
        finding("ended by signal " + std::to_string(o.status));
    }
    for (const char* word : {"AddressSanitizer", "runtime error:", "LeakSanitizer"})
        if (o.err.find(word) != std::string::npos) finding("sanitizer: " + o.err.substr(0, 2000));

    // What the run must leave alone: every measurement, links, a folder, a FIFO.
    // (A command line may name s.xrdml, or a link to it, as its output when
    // s.xrdml is none of its inputs: it is then only another file.)
    bool s_is_input = false;
    for (auto it = sc.args.begin(); it != sc.args.end(); ++it) {
        const std::string& a = *it;
        for (const char* name : {"s.xrdml", "s", "sub/../s.xrdml", "s.xrdml  ", "link.dat"})
            if (a == name && (it == sc.args.begin() || *(it - 1) != "-o")) s_is_input = true;
    }
    const bool s_named = named(sc, {"s.xrdml", "./sub/../s.xrdml", "link.dat", "orvalt.tmp",
                                    "tmplink.dat"});
    // So may sub/s.xrdml, as "-d sub -o s.xrdml".
    bool sub_named = false, sub_is_input = false;
    for (std::size_t i = 0; i < sc.args.size(); ++i) {
        const bool after_o = i > 0 && sc.args[i - 1] == "-o";
        if (sc.args[i] == "sub/s.xrdml" && !after_o) sub_is_input = true;
        if (sc.args[i] == "-d" && i + 1 < sc.args.size() &&
            (sc.args[i + 1] == "sub" || sc.args[i + 1] == "sub/"))
            sub_named = named(sc, {"s.xrdml"});
    }
    for (const char* input : {"s.xrdml", "t.xrdml", "sub/s.xrdml", "-x.xrdml", "hard.dat",
                              "s.xrdml.gz", "s.xrdml.bz2"}) {
        if (read_bytes(dir / input) == before.files.at(input)) continue;
        if (std::string(input) == "s.xrdml" && s_named && !s_is_input) continue;
        if (std::string(input) == "sub/s.xrdml" && sub_named && !sub_is_input) continue;
        finding(std::string("the measurement ") + input + " changed");
    }
    if (!fs::is_symlink(dir / "link.dat") || !fs::is_symlink(dir / "tmplink.dat") ||
        !fs::is_symlink(dir / "wlink.write"))
        finding("a link was replaced");
    if (!fs::is_directory(dir / "folder.dat")) finding("the folder was replaced");
    if (!fs::is_fifo(dir / "fifo.dat")) finding("the FIFO was replaced");

    // No temporary left, anywhere, also after SIGKILL: an unnamed temporary
    // vanishes with the process. Only between naming it and moving it over
    // its target (microseconds) does it have a name; one of the killed
    // process left there is counted, and removed by the next run that
    // writes into its folder.
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string leaf = e.path().filename().string();
        if (!leaf.starts_with(".orvalt-")) continue;
        if (sig == SIGKILL && leaf.find("-" + std::to_string(o.pid) + "-") != std::string::npos) {
            ++kill_window_leftovers;
            continue;
        }
        finding("temporary left: " + e.path().string());
    }
    // The decompressed copy leaves the temporary folder with the run.
    for (const auto& e : fs::directory_iterator(dir / "tmp")) {
        const std::string leaf = e.path().filename().string();
        if (sig == SIGKILL && leaf.starts_with(".orvalt-") &&
            leaf.find("-" + std::to_string(o.pid) + "-") != std::string::npos)
            continue;
        if (!leaf.starts_with(".orvalt-")) finding("left in the temporary folder: " + leaf);
    }

    const bool transcript_complete = !disturbed && sc.size_limit == 0 && !sc.command_line();
    const bool failed = !(o.exited && o.status == 0);
    const Snapshot after = snapshot(dir);
    for (const auto& [rel, bytes] : after.files) {
        const auto old = before.files.find(rel);
        if (old != before.files.end() && old->second == bytes) continue;
        // A killed run's temporaries are counted above, not files it wrote.
        if (fs::path(rel).filename().string().starts_with(".orvalt-")) continue;
        if (rel == "orvalt.tmp") {
            // The command line never writes it, unless told to by -o.
            if (sc.command_line() && !named(sc, {"orvalt.tmp", "tmplink.dat"}))
                finding("orvalt.tmp changed by the command line");
            if (!sc.command_line() && failed && !disturbed) finding("orvalt.tmp changed by a failed run");
            if (!sc.command_line() && split_lines(bytes).size() != 5) finding("orvalt.tmp not whole");
            continue;
        }
        const std::string why = whole(dir, rel, bytes, o, transcript_complete);
        if (!why.empty()) finding(rel + ": " + why);
        if (old != before.files.end() && after.perms.at(rel) != before.perms.at(rel))
            finding(rel + ": permission bits changed");
    }
    if (!sc.command_line() && failed && !disturbed && before.files.count("orvalt.tmp") != 0 &&
        after.files.count("orvalt.tmp") != 0 &&
        before.files.at("orvalt.tmp") != after.files.at("orvalt.tmp"))
        finding("orvalt.tmp changed by a failed run");
    if (!sc.command_line()) return findings;

    // The command line: what it says agrees with what it did.
    if (o.out.find("Run interrupted") != std::string::npos)
        finding("the interruption line went to standard output");
    // Text from the file never reaches the terminal as a control sequence.
    for (const std::string* text : {&o.out, &o.err})
        if (text->find_first_of("\x1b\x9b\x07\r") != std::string::npos)
            finding("a control sequence on the terminal: " + *text);
    if (disturbed) return findings;
    const auto options_end = std::find(sc.args.begin(), sc.args.end(), "--");
    const bool quiet = std::find(sc.args.begin(), options_end, "-q") != options_end;
    if (sc.listing())
        for (const auto& [rel, bytes] : after.files)
            if ((!before.files.count(rel) || before.files.at(rel) != bytes) && !rel.ends_with(".svg"))
                finding("--list wrote " + rel);
    const auto out_lines = split_lines(o.out);
    if (o.exited && o.status == 2) {
        if (!o.out.empty()) finding("refused arguments, yet standard output: " + o.out);
        // (Standard error is a file here, which a size limit may cut short.)
        if (o.err.find("\nUsage: orvalt") == std::string::npos && sc.size_limit == 0)
            finding("refused without the usage line");
        for (const auto& [rel, bytes] : after.files)
            if (!before.files.count(rel) || before.files.at(rel) != bytes)
                finding("refused arguments, yet " + rel + " was written");
        return findings;
    }
    if (o.exited && o.status == 0 && o.err.find(": not converted\n") != std::string::npos)
        finding("status 0 with a file not converted");
    if (o.exited && o.status == 1 && o.err.empty()) finding("status 1 without a word on standard error");
    if (quiet && !o.out.empty() && !sc.listing()) finding("-q, yet standard output: " + o.out);
    // "A and B and C" as its names; a file a scan is "FIRST ... LAST (N files)".
    const auto names_in = [](std::string outputs) {
        std::vector<std::string> names;
        const auto add = [&names](const std::string& piece) {
            const auto dots = piece.find(" ... ");
            const auto count = piece.rfind(" (");
            if (dots == std::string::npos || count == std::string::npos || count < dots ||
                !piece.ends_with(" files)")) {
                names.push_back(piece);
                return;
            }
            names.push_back(piece.substr(0, dots));
            names.push_back(piece.substr(dots + 5, count - dots - 5));
        };
        for (auto and_at = outputs.find(" and "); and_at != std::string::npos;
             and_at = outputs.find(" and ")) {
            add(outputs.substr(0, and_at));
            outputs.erase(0, and_at + 5);
        }
        add(outputs);
        return names;
    };
    // A picture that failed after the data file: the data file is in place.
    for (const std::string& line : split_lines(o.err)) {
        const auto at = line.find(" written, but not the picture ");
        const auto colon = line.find(": ");
        if (at == std::string::npos || colon == std::string::npos || colon > at) continue;
        if (o.status != 1) finding("a picture not written, yet status " + std::to_string(o.status));
        for (const std::string& name : names_in(line.substr(colon + 2, at - colon - 2)))
            if (!fs::is_regular_file(dir / name)) finding("said written, but missing: " + name);
    }
    // Every line: "NAME: what -> OUTPUT" (" and WEIGHTS", " and PICTURE"), or
    // a scan table's; those files whole.
    for (const std::string& line : out_lines) {
        const auto arrow = line.rfind(" -> ");
        if (arrow == std::string::npos) {
            if (!sc.listing()) finding("a line on standard output that names no output: " + line);
            continue;
        }
        const std::vector<std::string> names = names_in(line.substr(arrow + 4));
        for (const std::string& name : names) {
            std::error_code ec;
            if (!fs::exists(dir / name, ec)) {
                finding("reported written, but missing: " + name);
                continue;
            }
            if (fs::is_fifo(dir / name) || fs::is_directory(dir / name))
                finding("reported written to what is not a regular file: " + name);
        }
        // A Genie file of one spectrum holds one entry.
        if (line.find(" separately") == std::string::npos && names[0].ends_with(".write")) {
            orvalt::test::GenieFile file;
            std::string error;
            if (orvalt::test::read_genie_file((dir / names[0]).string(), file, error) &&
                file.entries.size() != 1)
                finding(names[0] + ": a spectrum in " + std::to_string(file.entries.size()) + " entries");
        }
    }
    return findings;
}

// What a refusal of --list says of a file's reading: the conversion of the
// file must refuse it with the same line, and where --list read the file,
// the conversion must not refuse it for its reading.
std::vector<std::string> list_and_conversion_agree(const std::string& program, const fs::path& dir,
                                                   const Scenario& sc, const Outcome& list) {
    std::vector<std::string> findings;
    const std::string& input = sc.args.back();
    const Outcome conversion = run_program(program, {"--format", "ascii", "-d", "out", input}, dir,
                                           Disturbance::none, 0, 0, 0, sc.no_unnamed);
    const std::vector<std::string> lines = split_lines(list.err);
    if (list.status == 1 && lines.size() == 1) {
        if (conversion.err.find(lines[0] + "\n") == std::string::npos)
            findings.push_back("--list refused: " + lines[0] + "; the conversion: " + conversion.err);
    } else if (list.status == 0) {
        for (const char* reading : {"The gzip file", "The bzip2 file", "not an XRDML file",
                                    "not a regular file", "no such file", "Line too long",
                                    "Error reading the file", "This build does not read",
                                    "changed while it was being read"})
            if (conversion.err.find(input + ": " + reading) != std::string::npos)
                findings.push_back("--list read it, the conversion did not: " + conversion.err);
    }
    return findings;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: randomized_runs PROGRAM SCRATCH [--seed N] [--seconds S]\n";
        return 2;
    }
    const std::string program = fs::absolute(argv[1]).string();
    const fs::path scratch = fs::absolute(argv[2]);
    unsigned long long seed = 20261207;
    double seconds = 5;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
        if (opt == "--seconds") seconds = std::strtod(argv[i + 1], nullptr);
    }
    // Sanitizer reports must not be mistaken for an exit status of 1 alone.
    ::setenv("ASAN_OPTIONS", "detect_leaks=1:exitcode=86", 0);
    ::setenv("UBSAN_OPTIONS", "halt_on_error=1:exitcode=87", 0);
    ::signal(SIGPIPE, SIG_IGN);

    const auto start = std::chrono::steady_clock::now();
    long runs = 0, finding_runs = 0, disturbed_runs = 0, cli_runs = 0, limited_runs = 0;
    long kill_window_leftovers = 0;
    long no_unnamed_runs = 0, agreement_runs = 0, tables_shown = 0, compressed_read = 0;
    std::map<std::string, long> written_kinds;  // files written, by extension
    std::map<int, long> statuses;  // exit status (a signal as its negative)
    std::map<int, long> signals_sent;
    long writing_runs = 0;
    const fs::path dir = scratch / "run";
    for (;; ++runs) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed >= seconds) break;
        Rng rng(seed * 1000003ULL + static_cast<unsigned long long>(runs));
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string first = measurement(rng);
        make_folder(rng, dir, first, measurement(rng));
        Scenario sc;
        if (chance(rng, 0.45)) {
            sc.args = cli_arguments(rng);
            ++cli_runs;
        }
        write_bytes(dir / "stdin.txt", sc.command_line() ? std::string() : answers(rng));
        const Snapshot before = snapshot(dir);

        if (chance(rng, 0.25)) {
            sc.how = chance(rng, 0.2) ? Disturbance::closed_pipe : Disturbance::signal;
            sc.signal_number = one_of(rng, std::vector<int>{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGKILL,
                                                            SIGKILL});
            if (sc.how == Disturbance::signal) ++signals_sent[sc.signal_number];
            ++disturbed_runs;
        }
        if (chance(rng, 0.1)) {
            sc.size_limit = 512L * pick(rng, 1, 64);
            ++limited_runs;
        }
        sc.no_unnamed = chance(rng, 0.15);
        no_unnamed_runs += sc.no_unnamed ? 1 : 0;
        // Early (before the handlers are in place) or late (while writing).
        const int delay = chance(rng, 0.3) ? pick(rng, 0, 40) : pick(rng, 40, 400);
        const Outcome o = run_program(program, sc.args, dir, sc.how, sc.signal_number, delay,
                                      sc.size_limit, sc.no_unnamed);
        auto findings = check(dir, before, o, sc, kill_window_leftovers);
        bool wrote = false;
        for (const auto& [rel, bytes] : snapshot(dir).files) {
            const auto old = before.files.find(rel);
            if (rel != "orvalt.tmp" && (old == before.files.end() || old->second != bytes)) {
                wrote = true;
                ++written_kinds[fs::path(rel).extension().string()];
                if (std::getenv("RANDOMIZED_TRACE") != nullptr) std::cerr << "  wrote " << rel << '\n';
            }
        }
        writing_runs += wrote ? 1 : 0;
        if (sc.listing() && o.exited && o.status == 0) ++tables_shown;
        for (const char* compressed : {"s.xrdml.gz", "s.xrdml.bz2"})
            if (o.exited && o.status == 0 && std::find(sc.args.begin(), sc.args.end(), compressed) != sc.args.end())
                ++compressed_read;
        // A table of one file, undisturbed: the conversion of that file agrees.
        if (sc.listing() && sc.how == Disturbance::none && sc.size_limit == 0 && o.exited &&
            o.status != 2 && sc.args.size() == 2 && findings.empty()) {
            ++agreement_runs;
            const auto more = list_and_conversion_agree(program, dir, sc, o);
            findings.insert(findings.end(), more.begin(), more.end());
        }
        ++statuses[o.exited ? o.status : -o.status];
        if (std::getenv("RANDOMIZED_TRACE") != nullptr) {
            const auto lines = split_lines(o.out);
            std::cerr << "run " << runs << " status " << o.status << ": "
                      << (lines.empty() ? "" : lines.back()) << '\n';
        }
        if (findings.empty()) continue;
        ++finding_runs;
        const fs::path keep = scratch / "findings" / ("run-" + std::to_string(runs));
        fs::create_directories(keep);
        write_bytes(keep / "s.xrdml", before.files.at("s.xrdml"));
        fs::copy_file(dir / "stdin.txt", keep / "stdin.txt", fs::copy_options::overwrite_existing);
        write_bytes(keep / "stdout.txt", o.out);
        write_bytes(keep / "stderr.txt", o.err);
        std::string args_text;
        for (const std::string& a : sc.args) args_text += " [" + a + "]";
        write_bytes(keep / "args.txt", args_text + "\n");
        std::cerr << "randomized_runs: FINDING in run " << runs << " (seed " << seed
                  << "): disturbance " << static_cast<int>(sc.how) << " signal " << sc.signal_number
                  << " after " << delay << " ms, size limit " << sc.size_limit << ", arguments"
                  << args_text << "\n";
        for (const auto& f : findings) std::cerr << "  " << f << '\n';
    }
    fs::remove_all(dir);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "randomized_runs: " << runs << " runs (" << cli_runs << " of the command line, "
              << disturbed_runs << " interrupted, " << limited_runs << " under a file size limit) in "
              << elapsed << " s, seed " << seed << ", " << finding_runs << " with findings\n"
              << "randomized_runs: " << writing_runs << " runs wrote a file; exit statuses:";
    for (const auto& [status, n] : statuses) std::cout << ' ' << status << ':' << n;
    std::cout << "\nrandomized_runs: " << no_unnamed_runs << " runs without unnamed files, "
              << tables_shown << " runs showed scan tables (" << agreement_runs
              << " held to their file's conversion), " << compressed_read
              << " read a compressed input through; files written by extension:";
    for (const auto& [extension, n] : written_kinds) std::cout << ' ' << extension << ':' << n;
    std::cout << "\nrandomized_runs: signals sent:";
    for (const auto& [signal_number, n] : signals_sent) std::cout << ' ' << signal_number << ':' << n;
    std::cout << "; temporaries of a killed run caught between naming and moving: "
              << kill_window_leftovers << '\n';
    return finding_runs == 0 ? 0 : 1;
}

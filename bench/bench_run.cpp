// bench_run: times whole runs of the orvalt program on a synthetic file of
// 200 scans x 25,000 points (about 25 MB), answering its questions from a
// script: once summing every scan into an ASCII file, once writing every scan
// separately into one Genie file. Reports the best and median wall time, the
// median processor time and the peak resident memory of the program.
//
// Usage: bench_run [--runs N] [--keep] ORVALT
//   ORVALT    the built orvalt executable
//   --runs N  timed runs of each kind; the best and the median are reported
//             (default 5)
//   --keep    leave the temporary folder in place and print its name
//
// The input file is written into a fresh temporary folder, where the runs
// then take place, so the program reads it from the page cache. Output files
// are removed before every run. Each run's dialogue goes to run.log there.
//
// Runs need fork, exec and wait4, so on other platforms the program only says
// that it is unsupported.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/synthetic_xrdml.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

int usage() {
    std::fprintf(stderr, "usage: bench_run [--runs N] [--keep] ORVALT\n");
    return 2;
}

#if defined(__linux__)

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Scenario {
    const char* title;
    const char* answers;  // one answer a line, as typed at the console
    const char* output;   // the file the run writes
};

const Scenario scenarios[] = {
    {"all scans summed to ASCII", "big.xrdml\n0\n1\n1\n1\n\n", "big.dat"},
    {"every scan separately to Genie", "big.xrdml\n-3\n1\n\n", "big.write"},
};

struct RunResult {
    bool ok = false;
    double wall = 0;        // seconds
    double cpu = 0;         // user plus system seconds
    double peak_mib = 0;    // peak resident memory
};

bool write_text(const fs::path& path, const std::string& text) {
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// One run of `program` in `dir` with standard input from `answers` and the
// dialogue into run.log.
RunResult run_once(const std::string& program, const fs::path& dir, const fs::path& answers) {
    RunResult r;
    const std::string in_path = answers.string();
    const std::string log_path = (dir / "run.log").string();
    const std::string dir_name = dir.string();
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        const int in = open(in_path.c_str(), O_RDONLY);
        const int out = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || chdir(dir_name.c_str()) != 0 || dup2(in, 0) < 0 ||
            dup2(out, 1) < 0 || dup2(out, 2) < 0)
            _exit(127);
        close(in);
        close(out);
        char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
        execv(program.c_str(), argv);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return r;
    r.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    r.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    r.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux counts KiB
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

#endif

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool keep = false;
    std::string program;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--keep") keep = true;
        else if (arg.starts_with("--") || !program.empty()) return usage();
        else program = arg;
    }
    if (program.empty()) return usage();

#if !defined(__linux__)
    (void)runs;
    (void)keep;
    std::fprintf(stderr, "bench_run: timing child processes is not supported on this platform\n");
    return 1;
#else
    std::error_code ec;
    program = fs::absolute(program, ec).string();
    if (ec || !fs::is_regular_file(program)) {
        std::fprintf(stderr, "bench_run: no program at %s\n", program.c_str());
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() /
                         ("orvalt_bench_run_" +
                          std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    const orvalt::bench::SyntheticXrdml shape;  // 200 x 25,000 by default
    const fs::path input = dir / "big.xrdml";
    if (!orvalt::bench::write_synthetic_xrdml(shape, input.string())) {
        std::fprintf(stderr, "bench_run: cannot write %s\n", input.string().c_str());
        return 1;
    }
    std::printf("program: %s\n", program.c_str());
    std::printf("file: %d scans x %d points, %.2f MB\n", shape.scans, shape.points,
                static_cast<double>(fs::file_size(input)) / 1e6);

    bool failed = false;
    for (const Scenario& s : scenarios) {
        const fs::path answers = dir / "answers.txt";
        const fs::path output = dir / s.output;
        if (!write_text(answers, s.answers)) {
            std::fprintf(stderr, "bench_run: cannot write %s\n", answers.string().c_str());
            return 1;
        }
        std::vector<double> wall, cpu;
        double peak = 0;
        bool ok = true;
        for (int i = 0; i < runs && ok; ++i) {
            fs::remove(output, ec);
            const RunResult r = run_once(program, dir, answers);
            ok = r.ok && fs::exists(output, ec);
            wall.push_back(r.wall);
            cpu.push_back(r.cpu);
            peak = std::max(peak, r.peak_mib);
        }
        std::printf("%s (%d runs):\n", s.title, static_cast<int>(wall.size()));
        if (!ok) {
            std::printf("  FAILED: see %s\n", (dir / "run.log").string().c_str());
            failed = keep = true;
            continue;
        }
        std::printf("  wall best %.3f s, median %.3f s; processor time median %.3f s\n",
                    *std::min_element(wall.begin(), wall.end()), median(wall), median(cpu));
        std::printf("  peak resident memory %.1f MiB; output %s, %.2f MB\n", peak, s.output,
                    static_cast<double>(fs::file_size(output, ec)) / 1e6);
    }

    if (keep) std::printf("kept: %s\n", dir.string().c_str());
    else fs::remove_all(dir, ec);
    return failed ? 1 : 0;
#endif
}

// What the benchmarks share: times of a piece of work, runs of a command in
// a child process, medians. Linux only (fork, exec, wait4).
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Processor time and wall time of one measured piece, in seconds.
struct Time {
    double cpu = 0;
    double wall = 0;
};

inline Time operator+(Time a, Time b) { return {a.cpu + b.cpu, a.wall + b.wall}; }

inline double process_cpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Times fn() in this process.
template <class Fn>
Time timed(Fn fn) {
    const double c0 = process_cpu();
    const auto w0 = Clock::now();
    fn();
    return {process_cpu() - c0, std::chrono::duration<double>(Clock::now() - w0).count()};
}

inline double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

struct RunResult {
    bool ok = false;
    Time time;
    double peak_mib = 0;  // peak resident memory
};

// One run of the command in `dir` with standard input from `answers` (or
// /dev/null) and its output into `log`.
inline RunResult run_once(const std::vector<std::string>& command, const fs::path& dir,
                   const std::string& answers, const std::string& log) {
    RunResult r;
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string dir_name = dir.string();
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        const int in = open(answers.c_str(), O_RDONLY);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || chdir(dir_name.c_str()) != 0 || dup2(in, 0) < 0 ||
            dup2(out, 1) < 0 || dup2(out, 2) < 0)
            _exit(127);
        close(in);
        close(out);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return r;
    r.time.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    r.time.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    r.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux counts KiB
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace bench

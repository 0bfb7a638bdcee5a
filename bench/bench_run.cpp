// bench_run: times whole runs of the orvalt program against the floor of the
// same work, on a synthetic file of 200 scans x 25,000 points (about 25 MB)
// whose questions it answers from a script:
//
//   summing    every scan summed into an ASCII file;
//   separate   every scan separately into one Genie file (about 120 MB);
//   separate, 100 scans: the same on a file of the first 100 scans, to show
//              that the time grows in proportion to the number of scans;
//   long scan  one scan of 1,000,000 points (more than the dialogue takes)
//              summed into an ASCII file from the command line;
//   many scans 10,000 scans of 500 points (the 5 million points of the main
//              file) summed into an ASCII file and separately into one Genie
//              file from the command line;
//              both against their own floor, and per point against the
//              main file's summing and separate runs;
//   compressed summing on .gz and .bz2 copies of the file, and separate on
//              the .gz copy: what a compressed file costs over the plain one,
//              set against the time plain code takes to decompress it
//              (zlib's gzread, libbz2's BZ2_bzRead, into a 1 MiB block).
//
// The floor is the least that any program doing the same work must spend,
// measured here by plain code on the same files and machine:
//
//   start    start an empty program built like orvalt (C++ runtime, console
//            streams) and wait for it (bench/empty_program);
//   read     read the input file in 1 MiB blocks;
//   parse    parse its 5 million integers (std::from_chars over the
//            intensity lists, already in memory);
//   format   format the 25,000 data lines of the summed spectrum (three
//            std::to_chars of 15 significant digits each) and write them;
//   write    write as many bytes as the Genie file holds, in 1 MiB blocks.
//
// Each run replaces the file the run before it wrote, and replacing a file
// costs the system more than writing a new one (the old one's pages are let
// go: about 10 ms for the 120 MB), so the floor's files replace those of the
// round before in the same way.
//
// floor(summing) = start + read + parse + format;
// floor(separate) = start + read + parse + write.
//
// The machine may be busy, so every round measures the floor parts and then
// runs each kind once, and the figures are medians over the rounds: a load
// that slows the runs slows the floor of the same round. Times are processor
// times (user + system; of the child for a run, of this process for the
// in-process floor parts); wall times are shown beside them. The ratio is the
// median of the rounds' run / floor.
//
// Usage: bench_run [--runs N] [--keep] [--windows ORVALT_EXE] ORVALT
//   ORVALT       the built orvalt executable
//   --runs N     rounds (default 11)
//   --windows E  afterwards run E (orvalt.exe) under wine the same way, show
//                its times and check that it writes the same files
//   --keep       leave the temporary folder in place and print its name
//
// The input files are written into a fresh temporary folder, where the runs
// take place, so the program reads them from the page cache; one untimed run
// of each kind comes first. Output files are removed before every run. Each
// run's dialogue goes to run.log there.
//
// Runs need fork, exec and wait4, so on other platforms the program only says
// that it is unsupported.
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/synthetic_xrdml.h"

#if defined(__linux__)
#include <bzlib.h>
#include <zlib.h>

#include "bench/bench_support.h"
#endif

namespace {

int usage() {
    std::fprintf(stderr, "usage: bench_run [--runs N] [--keep] [--windows ORVALT_EXE] ORVALT\n");
    return 2;
}

#if defined(__linux__)

using namespace bench;

// Runs are started by a small helper process forked before the benchmark
// reads its data into memory: a child's peak resident memory counts what it
// held between fork and exec, so a child of the helper shows the program's
// own peak. Requests go to the helper through a pipe, results come back
// through another.
class Launcher {
public:
    // Call before anything large is allocated.
    bool start() {
        int request[2], reply[2];
        if (pipe(request) != 0 || pipe(reply) != 0) return false;
        pid_ = fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            close(request[1]);
            close(reply[0]);
            serve(request[0], reply[1]);
            _exit(0);
        }
        close(request[0]);
        close(reply[1]);
        to_ = request[1];
        from_ = reply[0];
        return true;
    }

    ~Launcher() {
        if (pid_ <= 0) return;
        close(to_);  // the helper ends at the end of its input
        close(from_);
        int status = 0;
        waitpid(pid_, &status, 0);
    }

    // The command run in `dir`, input from `answers`, output into `log`.
    RunResult run(const std::vector<std::string>& command, const fs::path& dir,
                  const std::string& answers, const std::string& log) {
        std::vector<std::string> words = {dir.string(), answers, log};
        words.insert(words.end(), command.begin(), command.end());
        RunResult r;
        if (!put_words(to_, words) || !get(from_, &r, sizeof r)) r.ok = false;
        return r;
    }

private:
    // Moves all n bytes with read or write, which may each move fewer.
    template <class Io, class Byte>
    static bool all_bytes(Io io, int fd, Byte* p, std::size_t n) {
        while (n > 0) {
            const ssize_t moved = io(fd, p, n);
            if (moved <= 0) return false;
            p += moved;
            n -= static_cast<std::size_t>(moved);
        }
        return true;
    }
    static bool put(int fd, const void* data, std::size_t n) {
        return all_bytes(::write, fd, static_cast<const char*>(data), n);
    }
    static bool get(int fd, void* data, std::size_t n) {
        return all_bytes(::read, fd, static_cast<char*>(data), n);
    }
    static bool put_words(int fd, const std::vector<std::string>& words) {
        const std::size_t count = words.size();
        if (!put(fd, &count, sizeof count)) return false;
        for (const std::string& w : words) {
            const std::size_t n = w.size();
            if (!put(fd, &n, sizeof n) || !put(fd, w.data(), n)) return false;
        }
        return true;
    }
    static void serve(int in, int out) {
        for (std::size_t count = 0; get(in, &count, sizeof count);) {
            std::vector<std::string> words(count);
            for (std::string& w : words) {
                std::size_t n = 0;
                if (!get(in, &n, sizeof n)) return;
                w.resize(n);
                if (!get(in, w.data(), n)) return;
            }
            if (words.size() < 4) return;
            const RunResult r = run_once({words.begin() + 3, words.end()}, words[0], words[1],
                                         words[2]);
            if (!put(out, &r, sizeof r)) return;
        }
    }

    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
};

bool write_text(const fs::path& path, const std::string& text) {
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}


// --- the floor parts -----------------------------------------------------------

constexpr std::size_t block = std::size_t{1} << 20;

// Keeps the compiler from dropping work whose result nobody looks at.
volatile double sink = 0;

// The whole file read in 1 MiB blocks.
void read_file(const std::string& path, char* buf) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return;
    std::setvbuf(f, nullptr, _IONBF, 0);
    std::size_t total = 0;
    for (std::size_t got; (got = std::fread(buf, 1, block, f)) > 0;) total += got;
    std::fclose(f);
    sink = static_cast<double>(total);
}

// The text of every intensity list of the file, as the program meets them.
std::vector<std::string> intensity_lists(const std::string& text) {
    std::vector<std::string> lists;
    for (std::size_t at = 0; (at = text.find("<intensities", at)) != std::string::npos;) {
        const std::size_t open = text.find('>', at) + 1;
        const std::size_t close = text.find('<', open);
        lists.emplace_back(text, open, close - open);
        at = close;
    }
    return lists;
}

// Every integer of every list, each stored as a double.
void parse_lists(const std::vector<std::string>& lists, std::vector<double>& out) {
    double check = 0;
    for (const std::string& list : lists) {
        const char* p = list.data();
        const char* const end = p + list.size();
        std::size_t k = 0;
        while (p < end && k < out.size()) {
            while (p < end && *p == ' ') ++p;
            unsigned long long v = 0;
            const auto r = std::from_chars(p, end, v);
            out[k++] = static_cast<double>(v);
            p = r.ptr;
        }
        check += out[k / 2];
    }
    sink = check;
}

// The data lines written as three values of 15 significant digits each.
void format_lines(const std::vector<double>& x, const std::vector<double>& y,
                  const std::vector<double>& e, const std::string& path) {
    std::string text(x.size() * 80, ' ');
    char* p = text.data();
    for (std::size_t i = 0; i < x.size(); ++i) {
        for (const double v : {x[i], y[i], e[i]}) {
            p = std::to_chars(p, p + 30, v, std::chars_format::scientific, 14).ptr;
            *p++ = ' ';
        }
        p[-1] = '\n';
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(text.data(), 1, static_cast<std::size_t>(p - text.data()), f);
    std::fclose(f);
}

// `bytes` bytes written to `path` in 1 MiB blocks (replacing a file there).
void write_bytes(const std::string& path, std::uintmax_t bytes, const char* buf) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::setvbuf(f, nullptr, _IONBF, 0);
    for (std::uintmax_t left = bytes; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, block));
        if (std::fwrite(buf, 1, n, f) != n) break;
        left -= n;
    }
    std::fclose(f);
}

// The whole compressed file decompressed in 1 MiB blocks.
void gunzip_file(const std::string& path, char* buf) {
    gzFile f = gzopen(path.c_str(), "rb");
    if (f == nullptr) return;
    gzbuffer(f, 256 << 10);
    std::size_t total = 0;
    for (int got; (got = gzread(f, buf, static_cast<unsigned>(block))) > 0;)
        total += static_cast<std::size_t>(got);
    gzclose(f);
    sink = static_cast<double>(total);
}

void bunzip_file(const std::string& path, char* buf) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return;
    int error = BZ_OK;
    BZFILE* b = BZ2_bzReadOpen(&error, f, 0, 0, nullptr, 0);
    std::size_t total = 0;
    while (error == BZ_OK) total += static_cast<std::size_t>(BZ2_bzRead(&error, b, buf, block));
    BZ2_bzReadClose(&error, b);
    std::fclose(f);
    sink = static_cast<double>(total);
}

// The compressed copies the compressed runs read (gzip level 6, bzip2 level
// 9: what the tools write by default).
bool write_compressed_copies(const std::string& text, const fs::path& gz, const fs::path& bz2) {
    gzFile g = gzopen(gz.string().c_str(), "wb6");
    if (g == nullptr) return false;
    bool ok = gzwrite(g, text.data(), static_cast<unsigned>(text.size())) ==
              static_cast<int>(text.size());
    ok = gzclose(g) == Z_OK && ok;
    std::FILE* f = std::fopen(bz2.string().c_str(), "wb");
    if (f == nullptr) return false;
    int error = BZ_OK;
    BZFILE* b = BZ2_bzWriteOpen(&error, f, 9, 0, 0);
    if (error == BZ_OK) BZ2_bzWrite(&error, b, const_cast<char*>(text.data()), static_cast<int>(text.size()));
    const bool written = error == BZ_OK;
    BZ2_bzWriteClose(&error, b, 0, nullptr, nullptr);
    ok = ok && written && error == BZ_OK;
    return std::fclose(f) == 0 && ok;
}

struct FloorParts {
    Time start, read, parse, format, write;
    Time summing() const { return start + read + parse + format; }
    Time separate() const { return start + read + parse + write; }
};

// --- the runs ------------------------------------------------------------------

struct Scenario {
    const char* title;    // as in the README table
    const char* input;    // the measurement it reads
    const char* answers;  // one answer a line, as typed at the console
    const char* output;   // the file the run writes
    // A run from the command line: its arguments (no answers are read).
    std::vector<std::string> args = {};
    const char* picture = nullptr;  // the picture it also writes
};

const Scenario summing = {"all scans summed to an ASCII file", "big.xrdml",
                          "big.xrdml\n0\n1\n1\n1\n\n", "big.dat"};
const Scenario separate = {"every scan separately to one Genie file", "big.xrdml",
                           "big.xrdml\n-3\n1\n\n", "big.write"};
const Scenario separate_half = {"every scan separately, 100 scans", "half.xrdml",
                                "half.xrdml\n-3\n1\n\n", "half.write"};
const Scenario summing_gz = {"all scans summed, .gz input", "big.xrdml.gz",
                             "big.xrdml.gz\n0\n1\n1\n1\n\n", "big.dat"};
const Scenario summing_bz2 = {"all scans summed, .bz2 input", "big.xrdml.bz2",
                              "big.xrdml.bz2\n0\n1\n1\n1\n\n", "big.dat"};
const Scenario separate_gz = {"every scan separately, .gz input", "big.xrdml.gz",
                              "big.xrdml.gz\n-3\n1\n\n", "big.write"};
// The picture's cost: the same conversions from the command line, without
// and with --plot.
const Scenario cli_summing = {"summed, command line", "big.xrdml", "", "big.dat",
                              {"--sum", "--format", "ascii", "big.xrdml"}};
const Scenario cli_summing_plot = {"summed, command line, --plot", "big.xrdml", "", "big.dat",
                                   {"--sum", "--format", "ascii", "--plot", "big.xrdml"},
                                   "big.svg"};
const Scenario cli_separate = {"separately, command line", "big.xrdml", "", "big.write",
                               {"--separate", "big.xrdml"}};
const Scenario cli_separate_plot = {"separately, command line, --plot", "big.xrdml", "",
                                    "big.write", {"--separate", "--plot", "big.xrdml"}, "big.svg"};

// The two shapes beyond the dialogue's limits, from the command line.
const Scenario long_scan = {"one scan of 1,000,000 points summed to an ASCII file", "long.xrdml",
                            "", "long.dat", {"--sum", "--format", "ascii", "long.xrdml"}};
const Scenario many_scans = {"10,000 scans of 500 points separately to one Genie file",
                             "many.xrdml", "", "many.write", {"--separate", "many.xrdml"}};
const Scenario many_summed = {"10,000 scans of 500 points summed to an ASCII file", "many.xrdml",
                              "", "many.dat", {"--sum", "--format", "ascii", "many.xrdml"}};
// Their halves: linear time takes half as long.
const Scenario long_half = {"one scan of 500,000 points summed", "long_half.xrdml", "",
                            "long_half.dat", {"--sum", "--format", "ascii", "long_half.xrdml"}};
const Scenario many_half = {"5,000 scans separately", "many_half.xrdml", "", "many_half.write",
                            {"--separate", "many_half.xrdml"}};

// What a file's floor parts work on: its lists, and the spectrum its sum
// gives in counts per second.
struct FloorData {
    std::vector<std::string> lists;
    std::vector<double> values, x, y, e;
};

FloorData floor_data_of(const fs::path& input, const orvalt::bench::SyntheticXrdml& shape) {
    FloorData d;
    d.lists = intensity_lists(read_all(input));
    const auto points = static_cast<std::size_t>(shape.points);
    d.values.assign(points, 0.0);
    std::vector<double> sum(points);
    for (const std::string& list : d.lists) {
        parse_lists({list}, d.values);
        for (std::size_t k = 0; k < points; ++k) sum[k] += d.values[k];
    }
    d.x.resize(points);
    d.y.resize(points);
    d.e.resize(points);
    const double n = static_cast<double>(d.lists.size());
    for (std::size_t k = 0; k < points; ++k) {
        d.x[k] = shape.start + static_cast<double>(k) * (shape.end - shape.start) /
                                   static_cast<double>(points - 1);
        d.y[k] = sum[k] / n;
        d.e[k] = std::sqrt(sum[k]) / n;
    }
    return d;
}

struct Series {
    std::vector<double> cpu, wall, ratio;
    double peak_mib = 0;
    void add(const RunResult& r, double floor_cpu) {
        cpu.push_back(r.time.cpu);
        wall.push_back(r.time.wall);
        if (floor_cpu > 0) ratio.push_back(r.time.cpu / floor_cpu);
        peak_mib = std::max(peak_mib, r.peak_mib);
    }
};

// Runs a scenario once in `dir`: the output of an earlier run and the
// remembered answers are removed first, so that every run asks the same.
RunResult run_scenario(Launcher& launcher, const std::vector<std::string>& command,
                       const fs::path& dir, const Scenario& s) {
    std::error_code ec;
    fs::remove(dir / s.output, ec);
    fs::remove(dir / "orvalt.tmp", ec);
    if (s.picture != nullptr) fs::remove(dir / s.picture, ec);
    const fs::path answers = dir / "answers.txt";
    if (!write_text(answers, s.answers)) return {};
    std::vector<std::string> words = command;
    words.insert(words.end(), s.args.begin(), s.args.end());
    RunResult r = launcher.run(words, dir, answers.string(), (dir / "run.log").string());
    r.ok = r.ok && fs::exists(dir / s.output, ec) &&
           (s.picture == nullptr || fs::exists(dir / s.picture, ec));
    return r;
}

bool report_failure(const fs::path& dir, const Scenario& s) {
    std::printf("%s: FAILED, see %s\n", s.title, (dir / "run.log").string().c_str());
    return false;
}

fs::path this_program_dir() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

// The ASCII data file as the two platforms' files compare: without its CRs
// and without its first line, which holds the input's full name in the
// platform's form (Z:\... under Wine).
std::string comparable(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text.substr(std::min(text.find('\n'), text.size()));
}

// A Genie file of a compressed input as that of the plain one: its title
// field names the input, blank-padded.
std::string renamed(std::string bytes, const std::string& name, const std::string& plain_name) {
    const std::string padded = plain_name + std::string(name.size() - plain_name.size(), ' ');
    for (std::size_t at = 0; (at = bytes.find(name, at)) != std::string::npos;)
        bytes.replace(at, name.size(), padded);
    return bytes;
}

#endif

}  // namespace

int main(int argc, char** argv) {
    int runs = 11;
    bool keep = false;
    std::string program, windows_program;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--windows" && i + 1 < argc) windows_program = argv[++i];
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
    Launcher launcher;
    if (!launcher.start()) {
        std::fprintf(stderr, "bench_run: cannot start the helper that starts the runs\n");
        return 1;
    }
    std::error_code ec;
    program = fs::absolute(program, ec).string();
    if (ec || !fs::is_regular_file(program)) {
        std::fprintf(stderr, "bench_run: no program at %s\n", program.c_str());
        return 2;
    }
    if (!windows_program.empty()) windows_program = fs::absolute(windows_program, ec).string();
    const std::string empty_program = (this_program_dir() / "empty_program").string();
    if (!fs::is_regular_file(empty_program)) {
        std::fprintf(stderr, "bench_run: no %s beside bench_run\n", empty_program.c_str());
        return 2;
    }

    const fs::path dir = fs::temp_directory_path() /
                         ("orvalt_bench_run_" +
                          std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    orvalt::bench::SyntheticXrdml shape;  // 200 x 25,000 by default
    const fs::path input = dir / "big.xrdml";
    bool written = orvalt::bench::write_synthetic_xrdml(shape, input.string());
    const int all_scans = shape.scans;
    shape.scans /= 2;  // the same seed: the first half of the scans
    written = written && orvalt::bench::write_synthetic_xrdml(shape, (dir / "half.xrdml").string());
    const fs::path input_gz = dir / summing_gz.input, input_bz2 = dir / summing_bz2.input;
    written = written && write_compressed_copies(read_all(input), input_gz, input_bz2);
    orvalt::bench::SyntheticXrdml long_shape, many_shape;
    long_shape.scans = 1;
    long_shape.points = 1000000;
    many_shape.scans = 10000;
    many_shape.points = 500;
    written = written &&
              orvalt::bench::write_synthetic_xrdml(long_shape, (dir / long_scan.input).string()) &&
              orvalt::bench::write_synthetic_xrdml(many_shape, (dir / many_scans.input).string());
    {
        orvalt::bench::SyntheticXrdml half_long = long_shape, half_many = many_shape;
        half_long.points /= 2;
        half_many.scans /= 2;
        written = written &&
                  orvalt::bench::write_synthetic_xrdml(half_long, (dir / long_half.input).string()) &&
                  orvalt::bench::write_synthetic_xrdml(half_many, (dir / many_half.input).string());
    }
    if (!written) {
        std::fprintf(stderr, "bench_run: cannot write the input files in %s\n",
                     dir.string().c_str());
        return 1;
    }
    std::printf("program: %s\n", program.c_str());
    std::printf("file: %d scans x %d points, %.2f MB (and one of its first %d scans); "
                ".gz %.2f MB, .bz2 %.2f MB\n",
                all_scans, shape.points, static_cast<double>(fs::file_size(input)) / 1e6,
                shape.scans, static_cast<double>(fs::file_size(input_gz)) / 1e6,
                static_cast<double>(fs::file_size(input_bz2)) / 1e6);

    // What the floor parts work on, made before anything is timed: the lists
    // of the file, and the summed spectrum in counts per second.
    const std::vector<std::string> lists = intensity_lists(read_all(input));
    const auto points = static_cast<std::size_t>(shape.points);
    std::vector<double> values(points), sum(points), x(points), y(points), e(points);
    for (const std::string& list : lists) {
        parse_lists({list}, values);
        for (std::size_t k = 0; k < points; ++k) sum[k] += values[k];
    }
    const double n = static_cast<double>(lists.size());
    for (std::size_t k = 0; k < points; ++k) {
        x[k] = shape.start + static_cast<double>(k) * (shape.end - shape.start) /
                                 static_cast<double>(points - 1);
        y[k] = sum[k] / n;
        e[k] = std::sqrt(sum[k]) / n;
    }
    const std::unique_ptr<char[]> buf(new char[block]());
    FloorData long_data = floor_data_of(dir / long_scan.input, long_shape);
    FloorData many_data = floor_data_of(dir / many_scans.input, many_shape);

    // One untimed run of each kind: caches warm, and the reference outputs.
    const std::vector<std::string> linux_command = {program};
    bool ok = true;
    for (const Scenario* s :
         {&summing, &separate, &separate_half, &long_scan, &many_scans, &many_summed}) {
        if (!run_scenario(launcher, linux_command, dir, *s).ok) ok = report_failure(dir, *s);
        else fs::copy_file(dir / s->output, dir / ("linux_" + std::string(s->output)), ec);
    }
    // A compressed file gives the files its text gives (the ASCII file
    // apart from the input's name on its first line).
    bool same_compressed = true;
    for (const Scenario* s : {&summing_gz, &summing_bz2, &separate_gz}) {
        if (!run_scenario(launcher, linux_command, dir, *s).ok) {
            ok = report_failure(dir, *s);
            continue;
        }
        const std::string plain = read_all(dir / ("linux_" + std::string(s->output)));
        const std::string got = read_all(dir / s->output);
        same_compressed = same_compressed &&
                          (s == &separate_gz ? renamed(got, s->input, "big.xrdml") == plain
                                             : comparable(got) == comparable(plain));
    }
    const std::uintmax_t genie_bytes = fs::file_size(dir / "linux_big.write", ec);
    const std::string floor_data = (dir / "floor.dat").string();
    const std::string floor_genie = (dir / "floor.write").string();
    format_lines(x, y, e, floor_data);
    write_bytes(floor_genie, genie_bytes, buf.get());
    const std::uintmax_t many_genie_bytes = fs::file_size(dir / "linux_many.write", ec);
    const std::string floor_long = (dir / "floor_long.dat").string();
    const std::string floor_many = (dir / "floor_many.write").string();
    const std::string floor_many_sum = (dir / "floor_many.dat").string();
    format_lines(long_data.x, long_data.y, long_data.e, floor_long);
    write_bytes(floor_many, many_genie_bytes, buf.get());
    Series long_runs, many_runs, many_sum_runs, long_half_runs, many_half_runs;
    std::vector<double> long_floor, many_floor, many_sum_floor;

    Series sum_runs, sep_runs, half_runs, gz_runs, bz2_runs, sep_gz_runs;
    std::vector<double> gunzip_cpu, bunzip_cpu;
    // Without and with the picture, from the command line.
    const std::array<const Scenario*, 4> plot_scenarios = {&cli_summing, &cli_summing_plot,
                                                           &cli_separate, &cli_separate_plot};
    std::array<Series, 4> plot_runs;
    constexpr int plot_pairs = 5;
    std::array<std::vector<double>, 2> plot_added;  // with less without, pair by pair
    std::uintmax_t sum_svg = 0, sep_svg = 0;
    std::vector<double> start_cpu, read_cpu, parse_cpu, format_cpu, write_cpu, sum_floor,
        sep_floor;
    for (int round = 0; round < runs && ok; ++round) {
        FloorParts f;
        const std::string no_input = "/dev/null";
        const RunResult empty = launcher.run({empty_program}, dir, no_input, no_input);
        f.start = empty.time;
        f.read = timed([&] { read_file(input.string(), buf.get()); });
        f.parse = timed([&] { parse_lists(lists, values); });
        f.format = timed([&] { format_lines(x, y, e, floor_data); });
        f.write = timed([&] { write_bytes(floor_genie, genie_bytes, buf.get()); });
        start_cpu.push_back(f.start.cpu);
        read_cpu.push_back(f.read.cpu);
        parse_cpu.push_back(f.parse.cpu);
        format_cpu.push_back(f.format.cpu);
        write_cpu.push_back(f.write.cpu);
        sum_floor.push_back(f.summing().cpu);
        sep_floor.push_back(f.separate().cpu);

        // One run of a kind, added to its series against its floor.
        const auto measure = [&](Series& series, const Scenario& scenario, double floor_cpu) {
            const RunResult r = run_scenario(launcher, linux_command, dir, scenario);
            if (!r.ok) ok = report_failure(dir, scenario);
            series.add(r, floor_cpu);
        };
        measure(sum_runs, summing, f.summing().cpu);
        measure(sep_runs, separate, f.separate().cpu);
        measure(half_runs, separate_half, 0);

        // The shapes beyond the dialogue's limits, each against its own floor.
        FloorParts fl = f, fm = f;
        fl.read = timed([&] { read_file((dir / long_scan.input).string(), buf.get()); });
        fl.parse = timed([&] { parse_lists(long_data.lists, long_data.values); });
        fl.format = timed([&] { format_lines(long_data.x, long_data.y, long_data.e, floor_long); });
        fm.read = timed([&] { read_file((dir / many_scans.input).string(), buf.get()); });
        fm.parse = timed([&] { parse_lists(many_data.lists, many_data.values); });
        fm.write = timed([&] { write_bytes(floor_many, many_genie_bytes, buf.get()); });
        fm.format = timed([&] { format_lines(many_data.x, many_data.y, many_data.e, floor_many_sum); });
        long_floor.push_back(fl.summing().cpu);
        many_floor.push_back(fm.separate().cpu);
        many_sum_floor.push_back(fm.summing().cpu);
        measure(long_runs, long_scan, fl.summing().cpu);
        measure(many_runs, many_scans, fm.separate().cpu);
        measure(many_sum_runs, many_summed, fm.summing().cpu);
        measure(long_half_runs, long_half, 0);
        measure(many_half_runs, many_half, 0);

        gunzip_cpu.push_back(timed([&] { gunzip_file(input_gz.string(), buf.get()); }).cpu);
        bunzip_cpu.push_back(timed([&] { bunzip_file(input_bz2.string(), buf.get()); }).cpu);
        measure(gz_runs, summing_gz, 0);
        measure(bz2_runs, summing_bz2, 0);
        measure(sep_gz_runs, separate_gz, 0);
        // The picture's cost is a few milliseconds in runs that vary by more
        // from one to the next on a shared machine: each run with it is set
        // against a run without it just before, several times a round.
        for (int pair = 0; pair < plot_pairs && ok; ++pair) {
            for (std::size_t k = 0; k < plot_scenarios.size() && ok; ++k) {
                const RunResult r = run_scenario(launcher, linux_command, dir, *plot_scenarios[k]);
                if (!r.ok) ok = report_failure(dir, *plot_scenarios[k]);
                plot_runs[k].add(r, 0);
                if (k % 2 == 1)
                    plot_added[k / 2].push_back(r.time.cpu - plot_runs[k - 1].cpu.back());
                if (k == 1) sum_svg = fs::file_size(dir / "big.svg", ec);
                if (k == 3) sep_svg = fs::file_size(dir / "big.svg", ec);
            }
        }
    }
    if (!ok) {
        std::printf("kept: %s\n", dir.string().c_str());
        return 1;
    }

    std::printf("%d rounds; medians of processor time (user + system)\n", runs);
    std::printf("floor parts: start %.4f s, read %.4f s, parse %.4f s, format %.4f s, "
                "write %.0f MB %.4f s\n",
                median(start_cpu), median(read_cpu), median(parse_cpu), median(format_cpu),
                static_cast<double>(genie_bytes) / 1e6, median(write_cpu));
    std::printf("\n| run | time | floor | ratio |\n|---|---|---|---|\n");
    std::printf("| %s | %.3f s | %.3f s | %.2f x |\n", summing.title, median(sum_runs.cpu),
                median(sum_floor), median(sum_runs.ratio));
    std::printf("| %s | %.3f s | %.3f s | %.2f x |\n\n", separate.title, median(sep_runs.cpu),
                median(sep_floor), median(sep_runs.ratio));
    std::printf("separate scans: %d scans %.3f s, %d scans %.3f s: %.2f x the time\n",
                shape.scans, median(half_runs.cpu), all_scans, median(sep_runs.cpu),
                median(sep_runs.cpu) / median(half_runs.cpu));
    std::printf("wall time medians: summing %.3f s, separate %.3f s, separate (%d scans) %.3f s\n",
                median(sum_runs.wall), median(sep_runs.wall), shape.scans,
                median(half_runs.wall));
    std::printf("peak resident memory: summing %.1f MiB, separate %.1f MiB\n", sum_runs.peak_mib,
                sep_runs.peak_mib);

    // Time per point against the main file's run of the same kind: 1 when
    // the time is linear in the points.
    const double main_points = static_cast<double>(all_scans) * shape.points;
    const auto per_point = [&](const Series& r, const Series& main, double count) {
        return (median(r.cpu) / count) / (median(main.cpu) / main_points);
    };
    std::printf("\n| beyond the dialogue's limits | time | floor | ratio | per point, to the main "
                "file's | peak memory |\n|---|---|---|---|---|---|\n");
    std::printf("| %s | %.3f s | %.3f s | %.2f x | %.2f | %.1f MiB |\n", long_scan.title,
                median(long_runs.cpu), median(long_floor), median(long_runs.ratio),
                per_point(long_runs, sum_runs, 1e6), long_runs.peak_mib);
    std::printf("| %s | %.3f s | %.3f s | %.2f x | %.2f | %.1f MiB |\n", many_summed.title,
                median(many_sum_runs.cpu), median(many_sum_floor), median(many_sum_runs.ratio),
                per_point(many_sum_runs, sum_runs, 10000.0 * 500.0), many_sum_runs.peak_mib);
    std::printf("| %s | %.3f s | %.3f s | %.2f x | %.2f | %.1f MiB |\n", many_scans.title,
                median(many_runs.cpu), median(many_floor), median(many_runs.ratio),
                per_point(many_runs, sep_runs, 10000.0 * 500.0), many_runs.peak_mib);
    std::printf("against half the size: 500,000 points %.3f s (%.2f x for twice the points), "
                "5,000 scans %.3f s (%.2f x for twice the scans)\n",
                median(long_half_runs.cpu), median(long_runs.cpu) / median(long_half_runs.cpu),
                median(many_half_runs.cpu), median(many_runs.cpu) / median(many_half_runs.cpu));
    // The cost: the median of the pairs' differences, against the median run without.
    const auto cost = [&](std::size_t without) {
        return 100.0 * median(plot_added[without / 2]) / median(plot_runs[without].cpu);
    };
    std::printf("\n%d pairs of runs without and with --plot; medians\n", runs * plot_pairs);
    std::printf("| --plot (command line) | without | with | added | cost | picture |\n"
                "|---|---|---|---|---|---|\n");
    std::printf("| summed to an ASCII file | %.3f s | %.3f s | %.4f s | %+.1f %% | %.2f MB |\n",
                median(plot_runs[0].cpu), median(plot_runs[1].cpu), median(plot_added[0]),
                cost(0), static_cast<double>(sum_svg) / 1e6);
    std::printf("| every scan separately | %.3f s | %.3f s | %.4f s | %+.1f %% | %.2f MB |\n",
                median(plot_runs[2].cpu), median(plot_runs[3].cpu), median(plot_added[1]),
                cost(2), static_cast<double>(sep_svg) / 1e6);

    // What reading a compressed copy adds to the plain run, against what
    // decompressing it takes on its own.
    std::printf("\n| compressed input | time | over plain | decompression alone | ratio |\n"
                "|---|---|---|---|---|\n");
    const auto compressed_row = [](const Scenario& s, const Series& taken, const Series& plain,
                                   const std::vector<double>& alone) {
        const double extra = median(taken.cpu) - median(plain.cpu);
        std::printf("| %s | %.3f s | %.3f s | %.3f s | %.2f x |\n", s.title, median(taken.cpu),
                    extra, median(alone), extra / median(alone));
    };
    compressed_row(summing_gz, gz_runs, sum_runs, gunzip_cpu);
    compressed_row(summing_bz2, bz2_runs, sum_runs, bunzip_cpu);
    compressed_row(separate_gz, sep_gz_runs, sep_runs, gunzip_cpu);
    std::printf("files the same as from the plain file: %s; peak resident memory: .gz %.1f MiB, "
                ".bz2 %.1f MiB\n",
                same_compressed ? "yes" : "NO", gz_runs.peak_mib, bz2_runs.peak_mib);
    ok = ok && same_compressed;

    if (!windows_program.empty()) {
        // Wine's own start and its server take a part of the time that the
        // program's processor time does not show: wall times are the figures.
        const std::vector<std::string> wine_command = {"wine", windows_program};
        Series wsum, wsep;
        bool same = true;
        // The files compared are those the Windows program writes.
        fs::remove(dir / summing.output, ec);
        fs::remove(dir / separate.output, ec);
        for (int round = 0; round < runs && ok; ++round) {
            const RunResult a = run_scenario(launcher, wine_command, dir, summing);
            if (!a.ok) ok = report_failure(dir, summing);
            else if (round == 0)
                same = comparable(read_all(dir / summing.output)) ==
                       comparable(read_all(dir / "linux_big.dat"));
            const RunResult b = run_scenario(launcher, wine_command, dir, separate);
            if (!b.ok) ok = report_failure(dir, separate);
            else if (round == 0)
                same = same && read_all(dir / separate.output) == read_all(dir / "linux_big.write");
            wsum.add(a, 0);
            wsep.add(b, 0);
        }
        std::printf("\nunder wine: %s\n", windows_program.c_str());
        if (ok) {
            std::printf("| run | wall time | processor time |\n|---|---|---|\n");
            std::printf("| %s | %.3f s | %.3f s |\n", summing.title, median(wsum.wall),
                        median(wsum.cpu));
            std::printf("| %s | %.3f s | %.3f s |\n", separate.title, median(wsep.wall),
                        median(wsep.cpu));
            std::printf("files the same as on Linux (the ASCII file apart from its CRs and the "
                        "input's full name): %s\n",
                        same ? "yes" : "NO");
        }
        ok = ok && same;
    }

    if (keep || !ok) std::printf("kept: %s\n", dir.string().c_str());
    else fs::remove_all(dir, ec);
    return ok ? 0 : 1;
#endif
}

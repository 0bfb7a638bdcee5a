// bench_reader: times the two readings of a summing run over a synthetic
// file of 200 scans x 25,000 points (about 25 MB), as a run takes them: the
// survey (record census, scan census and scan parameters in one reading) and
// the sum of all scans.
//
// Usage: bench_reader [--runs N] [--keep]
//   --runs N  timed repetitions; the best and the median are reported (default 5)
//   --keep    leave the generated file in place and print its name
//
// The file is written into a fresh temporary folder first; the passes then
// read it from the page cache, as a run that follows its own census does.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench/synthetic_xrdml.h"
#include "g_f/console.h"
#include "xrdml/reader.h"

#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Peak resident memory of the process in MiB, or a negative value where the
// platform does not tell.
double peak_rss_mib() {
#if defined(__linux__)
    rusage u{};
    if (getrusage(RUSAGE_SELF, &u) == 0) return static_cast<double>(u.ru_maxrss) / 1024.0;
#endif
    return -1.0;
}

double seconds_since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

struct Times {
    double pass[2] = {0, 0};
    double total() const { return pass[0] + pass[1]; }
};

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--keep") keep = true;
        else {
            std::fprintf(stderr, "usage: bench_reader [--runs N] [--keep]\n");
            return 2;
        }
    }

    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() /
                         ("orvalt_bench_" + std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    const std::string path = (dir / "bench.xrdml").string();
    const orvalt::bench::SyntheticXrdml shape;  // 200 x 25,000 by default
    const auto t_gen = Clock::now();
    if (!orvalt::bench::write_synthetic_xrdml(shape, path)) {
        std::fprintf(stderr, "bench_reader: cannot write %s\n", path.c_str());
        return 1;
    }
    const double mb = static_cast<double>(fs::file_size(path)) / 1e6;
    std::printf("file: %d scans x %d points, %.2f MB, written in %.2f s\n", shape.scans,
                shape.points, mb, seconds_since(t_gen));

    using namespace orvalt::xrdml;
    std::vector<double> y(mn), e(mn);
    std::vector<std::int32_t> npts(max_scans), weight(max_scans, 1);
    std::vector<Times> all;
    std::string first_dialogue;
    bool failed = false;
    for (int run = 0; run < runs; ++run) {
        std::istringstream in;
        std::ostringstream out;
        orvalt::Console con{in, out};
        ReaderStatus status;
        ScanCensus census;
        ScanParameters par;
        std::int32_t ny = 0;
        Times t;

        auto t0 = Clock::now();
        SurveyOptions options;
        options.verbose = 1;
        const FileSurvey survey = survey_file(path, ReaderStatus{}, census, par, options);
        t.pass[0] = seconds_since(t0);
        t0 = Clock::now();
        ORVALTDATATOT(con, path, status, y, e, mn, npts, weight, ny, census.nscans, 1);
        t.pass[1] = seconds_since(t0);

        if (survey.census_status.ierr != 0 || survey.parameter_status.ierr != 0 ||
            status.ierr != 0 || census.nscans != shape.scans || ny != shape.points)
            failed = true;
        if (run == 0) first_dialogue = survey.census_report + out.str();
        all.push_back(t);
    }
    // Best and median of every pass over the runs.
    Times best, median;
    for (int p = 0; p < 2; ++p) {
        std::vector<double> v;
        for (const Times& t : all) v.push_back(t.pass[p]);
        std::sort(v.begin(), v.end());
        best.pass[p] = v.front();
        median.pass[p] = v[v.size() / 2];
    }
    std::vector<double> totals;
    for (const Times& t : all) totals.push_back(t.total());
    std::sort(totals.begin(), totals.end());

    std::printf("%s", first_dialogue.c_str());
    const char* names[2] = {"survey (survey_file)", "sum of all scans (ORVALTDATATOT)"};
    std::printf("%d runs:%29s best            median\n", runs, "");
    for (int p = 0; p < 2; ++p)
        std::printf("  %-34s %7.4f s %6.0f MB/s  %7.4f s %6.0f MB/s\n", names[p], best.pass[p],
                    mb / best.pass[p], median.pass[p], mb / median.pass[p]);
    std::printf("  %-34s %7.4f s %6.0f MB/s  %7.4f s %6.0f MB/s\n", "both readings", totals.front(),
                2 * mb / totals.front(), totals[totals.size() / 2],
                2 * mb / totals[totals.size() / 2]);
    const double rss = peak_rss_mib();
    if (rss >= 0) std::printf("peak resident memory: %.1f MiB\n", rss);
    else std::printf("peak resident memory: not available on this platform\n");

    std::error_code ec;
    if (keep) std::printf("kept: %s\n", path.c_str());
    else fs::remove_all(dir, ec);
    if (failed) {
        std::fprintf(stderr, "bench_reader: the passes did not read the file as written\n");
        return 1;
    }
    return 0;
}

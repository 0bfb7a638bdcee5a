// bench_batch: times one command-line run of orvalt over a batch of 1,000
// small real measurements, converted to ASCII data files in another folder,
// against the floor of the same work (batch_floor: each input read once,
// its numbers read, the same lines formatted with the project's routine and
// written through a temporary file and a rename), and beside xyconv -m on
// the same files where it is installed.
//
//   bench_batch [--runs N] ORVALT DATA_DIR
//
// The batch is made of copies, in turn, of the files of DATA_DIR that every
// reader compared here reads and that are small (under 30 KB): the case of a
// folder of everyday measurements, where the cost per file is what counts.
// Each round runs the three once each, their outputs removed before; the
// figures are medians over the rounds of processor time (user + system of
// the child) and wall time. The ratio is the median of the rounds'
// orvalt / floor.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#if defined(__linux__)
#include "bench/bench_support.h"
#endif

#if defined(__linux__)

namespace {

using namespace bench;

// Files every reader reads, all under 30 KB.
constexpr const char* batch_sources[] = {"empyrean.xrdml", "gonio_v1_HA_DG2.xrdml",
                                         "omega2theta_H1202.xrdml"};
constexpr int batch_size = 1000;

bool on_path(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

void empty_folder(const fs::path& dir) {
    fs::remove_all(dir);
    fs::create_directories(dir);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 11;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--runs") {
        runs = std::max(1, std::atoi(args[1].c_str()));
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: bench_batch [--runs N] ORVALT DATA_DIR\n");
        return 2;
    }
    const std::string orvalt = fs::absolute(args[0]).string();
    const fs::path data = fs::absolute(args[1]);
    const std::string floor =
        (fs::path(fs::canonical("/proc/self/exe")).parent_path() / "batch_floor").string();

    const fs::path dir = fs::temp_directory_path() / ("orvalt-batch-" + std::to_string(getpid()));
    empty_folder(dir / "in");
    std::vector<std::string> inputs;
    for (int i = 0; i < batch_size; ++i) {
        const std::string source = batch_sources[i % std::size(batch_sources)];
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%04d_", i);
        const std::string name = "in/" + std::string(prefix) + source;
        fs::copy_file(data / source, dir / name);
        inputs.push_back(name);
    }
    const auto command = [&](std::vector<std::string> head) {
        head.insert(head.end(), inputs.begin(), inputs.end());
        return head;
    };
    const std::vector<std::string> run_orvalt =
        command({orvalt, "-q", "--format", "ascii", "-d", "out"});
    const std::vector<std::string> run_floor = command({floor, "out"});
    const bool xy = on_path("xyconv");
    const std::vector<std::string> run_xy = command({"xyconv", "-m", "out"});

    struct Series {
        std::vector<double> cpu, wall;
        void add(const RunResult& r) {
            cpu.push_back(r.time.cpu);
            wall.push_back(r.time.wall);
        }
    } s_orvalt, s_floor, s_xy;
    std::vector<double> ratio, xy_ratio;
    const std::string log = (dir / "run.log").string();
    for (int round = -1; round < runs; ++round) {  // round -1 warms the cache, untimed
        const auto once = [&](const std::vector<std::string>& cmd) {
            empty_folder(dir / "out");
            return run_once(cmd, dir, "/dev/null", log);
        };
        const RunResult o = once(run_orvalt);
        const RunResult f = once(run_floor);
        const RunResult x = xy ? once(run_xy) : RunResult{};
        if (!o.ok || !f.ok || (xy && !x.ok)) {
            std::fprintf(stderr, "bench_batch: a run failed; see %s\n", log.c_str());
            return 1;
        }
        if (round < 0) continue;
        s_orvalt.add(o);
        s_floor.add(f);
        ratio.push_back(o.time.cpu / f.time.cpu);
        if (xy) {
            s_xy.add(x);
            xy_ratio.push_back(o.time.cpu / x.time.cpu);
        }
    }
    std::printf("batch: %d files (%zu real files in turn), %d rounds, medians\n", batch_size,
                std::size(batch_sources), runs);
    std::printf("  %-14s %9s %9s\n", "", "cpu s", "wall s");
    std::printf("  %-14s %9.3f %9.3f\n", "orvalt", median(s_orvalt.cpu), median(s_orvalt.wall));
    std::printf("  %-14s %9.3f %9.3f\n", "floor", median(s_floor.cpu), median(s_floor.wall));
    if (xy)
        std::printf("  %-14s %9.3f %9.3f\n", "xyconv -m", median(s_xy.cpu), median(s_xy.wall));
    std::printf("  orvalt / floor: %.2f x\n", median(ratio));
    if (xy) std::printf("  orvalt / xyconv -m: %.2f x\n", median(xy_ratio));
    else std::printf("  xyconv not installed: no comparison\n");
    fs::remove_all(dir);
    return 0;
}

#else

int main() {
    std::fprintf(stderr, "bench_batch: runs need fork and exec; not supported here\n");
    return 1;
}

#endif

// make_xrdml: writes a synthetic XRDML measurement, the same file for the same
// options and seed.
//
// Usage: make_xrdml [options] OUTPUT
//   --scans N        number of scans (default 200)
//   --points N       points per scan (default 25000)
//   --start DEG      2Theta of the first point (default 10)
//   --end DEG        2Theta of the last point (default 100)
//   --time T[,T...]  counting time per point in seconds; a list is used scan
//                    by scan, repeated as needed (default 1)
//   --omega DEG      the common Omega position (default 5)
//   --seed N         seed of the pattern and the noise (default 1)
//   --element NAME   name of the intensity list element (default intensities)
//   --crlf           CRLF line ends (default LF)
//   --output PATH    the file to write (or give it as the last argument)
//
// Example: make_xrdml --scans 3 --points 1000 --time 0.5,1 --seed 7 sample.xrdml
// The defaults give the benchmark file of about 25 MB.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/synthetic_xrdml.h"

namespace {

template <class T>
bool parse(std::string_view text, T& value) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool parse_times(std::string_view text, std::vector<double>& times) {
    times.clear();
    for (;;) {
        const auto comma = text.find(',');
        double t = 0;
        if (!parse(text.substr(0, comma), t) || !(t > 0)) return false;
        times.push_back(t);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "make_xrdml: %s\n"
                 "usage: make_xrdml [--scans N] [--points N] [--start DEG] [--end DEG]\n"
                 "                  [--time T[,T...]] [--omega DEG] [--seed N]\n"
                 "                  [--element NAME] [--crlf] [--output] PATH\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    orvalt::bench::SyntheticXrdml o;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--crlf") {
            o.crlf = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            if (!output.empty()) return usage("more than one output path");
            output = arg;
            continue;
        }
        if (i + 1 >= argc) return usage("an option lacks its value");
        const std::string_view value = argv[++i];
        bool ok = true;
        if (arg == "--scans") ok = parse(value, o.scans) && o.scans >= 0;
        else if (arg == "--points") ok = parse(value, o.points) && o.points >= 0;
        else if (arg == "--start") ok = parse(value, o.start);
        else if (arg == "--end") ok = parse(value, o.end);
        else if (arg == "--omega") ok = parse(value, o.omega);
        else if (arg == "--time") ok = parse_times(value, o.times);
        else if (arg == "--seed") ok = parse(value, o.seed);
        else if (arg == "--element") {
            o.list_element = value;
            ok = !value.empty();
        } else if (arg == "--output") {
            if (!output.empty()) return usage("more than one output path");
            output = value;
        } else return usage("unknown option");
        if (!ok) return usage("bad option value");
    }
    if (output.empty()) return usage("no output path");
    if (!orvalt::bench::write_synthetic_xrdml(o, output)) {
        std::fprintf(stderr, "make_xrdml: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}

// batch_floor: the least work of converting a batch of XRDML files to ASCII
// data files, for bench_batch to time against the command line:
//
//   batch_floor OUTDIR FILE...
//
// Each input is opened and read once; the numbers of its intensity or count
// lists and its first start and end positions are read with from_chars; the
// scans are added point by point; the lines are formatted with the
// project's own data-line routine and written through a temporary file that
// a rename puts in place as OUTDIR/NAME.dat. No check of any kind is made.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "g_f/numbers.h"

namespace {

std::string read_whole(const std::string& path) {
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    char buf[1 << 16];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
    return bytes;
}

// The text of every element whose name begins with `name`.
std::vector<std::string_view> texts(std::string_view doc, std::string_view name) {
    std::vector<std::string_view> out;
    std::string open(1, '<');
    open.append(name);
    for (std::size_t p = doc.find(open); p != std::string_view::npos; p = doc.find(open, p + 1)) {
        const std::size_t gt = doc.find('>', p);
        const std::size_t lt = doc.find('<', gt);
        if (gt == std::string_view::npos || lt == std::string_view::npos) break;
        out.push_back(doc.substr(gt + 1, lt - gt - 1));
    }
    return out;
}

double first_number(std::string_view text) {
    double v = 0;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

bool convert(const std::string& input, const std::filesystem::path& outdir) {
    const std::string doc = read_whole(input);
    std::vector<std::string_view> lists = texts(doc, "intensities");
    if (lists.empty()) lists = texts(doc, "counts");
    const std::vector<std::string_view> starts = texts(doc, "startPosition");
    const std::vector<std::string_view> ends = texts(doc, "endPosition");
    if (lists.empty() || starts.empty() || ends.empty()) return false;

    std::vector<double> sum;
    for (const std::string_view list : lists) {
        const char* p = list.data();
        const char* const end = p + list.size();
        for (std::size_t k = 0; p < end;) {
            while (p < end && (*p == ' ' || *p == '\t')) ++p;
            double v = 0;
            const auto r = std::from_chars(p, end, v);
            if (r.ec != std::errc()) break;
            p = r.ptr;
            if (k == sum.size()) sum.push_back(0.0);
            sum[k++] += v;
        }
    }
    const double start = first_number(starts[0]);
    const auto n = static_cast<double>(sum.size());
    const double step = n > 1 ? (first_number(ends[0]) - start) / (n - 1) : 0;

    std::string lines(sum.size() * (orvalt::data_line_length + 1), ' ');
    char* q = lines.data();
    for (std::size_t k = 0; k < sum.size(); ++k) {
        const double x = start + static_cast<double>(k) * step;
        q = orvalt::format_data_line_to(q, x, sum[k], std::sqrt(sum[k]));
        *q++ = '\n';
    }
    const std::string stem = std::filesystem::path(input).stem().string();
    const std::filesystem::path target = outdir / (stem + ".dat");
    const std::filesystem::path part = outdir / ("." + stem + ".part");
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (f == nullptr) return false;
    const auto size = static_cast<std::size_t>(q - lines.data());
    const bool written = std::fwrite(lines.data(), 1, size, f) == size;
    return std::fclose(f) == 0 && written && std::rename(part.c_str(), target.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: batch_floor OUTDIR FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i)
        if (!convert(argv[i], argv[1])) status = 1;
    return status;
}

// The x of a scan: its listed positions, read from the line where the survey
// found them, or spread evenly from its start to its end.
#include <algorithm>
#include <string>

#include "g_f/numbers.h"
#include "xrdml/pass_lines.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

struct PositionsReader::Lines {
    explicit Lines(std::string_view name) : lines(name) {}
    PassLines lines;
    Values values;
};

PositionsReader::PositionsReader(std::string_view name, const FileStamp* expected)
    : name_(name), expected_(expected) {}

PositionsReader::~PositionsReader() = default;

bool PositionsReader::read(const ListedPositions& where, std::int32_t scan,
                           std::vector<double>& x, ReaderStatus& status) {
    // The file is opened at the first list read.
    if (!lines_) lines_ = std::make_unique<Lines>(name_);
    PassLines& lines = lines_->lines;
    if (!lines.unchanged(expected_, status)) return false;
    std::string_view line;
    // Read on from the last list (a compressed text is not decompressed again).
    lines.seek(where.line);
    if (!lines.next(line) || lines.line_offset() != where.line ||
        !first_element(line).matches("listPositions")) {
        lines.close();
        status.set(1, "Scan " + format_integer(scan) +
                          "'s listPositions are not where the file had them");
        return false;
    }
    const FieldScan scan_read = read_list(element_text(line).text, lines_->values);
    if (!lines.unchanged(expected_, status)) return false;
    if (scan_read.count != where.count || scan_read.first_bad >= 0) {
        status.set(1, "Scan " + format_integer(scan) +
                          "'s listPositions are not what the file had");
        return false;
    }
    x.assign(lines_->values.begin(), lines_->values.end());
    return true;
}

bool listed(const ScanParameters& par, std::int32_t s) {
    const auto k = static_cast<std::size_t>(s);
    return k < par.listed.size() && par.listed[k].count > 0;
}

bool listed_unevenly(const ScanParameters& par, std::int32_t s) {
    const auto k = static_cast<std::size_t>(s);
    return k < par.listed.size() && par.listed[k].count > 0 && !par.listed[k].even;
}

double scan_spacing(const ScanParameters& par, std::int32_t s, std::int32_t n) {
    const auto k = static_cast<std::size_t>(s);
    const std::int32_t count = k < par.listed.size() && par.listed[k].count > 0
                                   ? par.listed[k].count
                                   : n;
    return spacing(par.start_position[k], par.end_position[k], count);
}

bool scan_x(const ScanParameters& par, std::int32_t s, std::int32_t ny, bool partial,
            PositionsReader& lists, std::vector<double>& x, ReaderStatus& status) {
    const auto k = static_cast<std::size_t>(s);
    const std::int32_t listed = k < par.listed.size() ? par.listed[k].count : 0;
    const std::string scan = "Scan " + format_integer(s + 1);
    if (listed > 0 && ny > listed) {
        status.set(4, "Problem reading x-axis: " + scan + " holds " + format_integer(ny) +
                          " counts for its " + format_integer(listed) + " listed positions");
        return false;
    }
    if (listed > 0 && ny < listed && !partial) {
        status.set(partial_scan, scan + " is partial: " + format_integer(ny) + " counts for its " +
                                     format_integer(listed) + " listed positions");
        return false;
    }
    // Listed positions are x as the file gives them, evenly spaced or not.
    if (listed > 0) return lists.read(par.listed[k], s + 1, x, status);
    if (x.size() < static_cast<std::size_t>(ny)) x.resize(static_cast<std::size_t>(ny));
    const double start = par.start_position[k];
    const double step = scan_spacing(par, s, ny);
    for (std::int32_t i = 0; i < ny; ++i) x[static_cast<std::size_t>(i)] = start + i * step;
    return true;
}

}  // namespace orvalt::xrdml

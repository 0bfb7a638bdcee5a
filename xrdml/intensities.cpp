// The intensities: one scan, or the included scans summed point by point.
#include "xrdml/reader.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "g_f/console.h"
#include "xrdml/pass_lines.h"
#include "xrdml/scan_offsets.h"

namespace orvalt::xrdml {

namespace {

constexpr std::string_view bad_intensities = "Problem reading intensities";

bool is_intensity_line(const FirstElement& first) {
    return first.matches("intensities") || first.matches("counts");
}

bool is_intensity_list_line(std::string_view line) {
    return is_intensity_line(first_element(line));
}

// The intensity list of a line. A list that does not close on its own line
// would lose the points on the lines after it, so it is refused; an empty
// element tag ("<intensities/>") is an empty list.
bool intensity_list(std::string_view line, std::string_view& list) {
    const ElementText t = element_text(line);
    if (t.closed) {
        list = t.text;
        return true;
    }
    const std::size_t gt = line.find('>');
    if (gt != std::string_view::npos && gt > 0 && line[gt - 1] == '/' &&
        line.find_first_not_of(" \t", gt + 1) == std::string_view::npos) {
        list = {};
        return true;
    }
    return false;
}

// The largest usable point count: mn as given, but never past the tables.
std::size_t capacity(std::int32_t mn_points, std::size_t a, std::size_t b) {
    return std::min({static_cast<std::size_t>(std::max(mn_points, 0)), a, b});
}

// The numbers of a list are read here first, so that a list refused for its
// length leaves the spectrum as it was. Only what is read is ever looked at:
// nothing is cleared.
std::unique_ptr<double[]> read_buffer(std::size_t cap) {
    return std::make_unique_for_overwrite<double[]>(cap);
}

void too_many_points(Console& con, ReaderStatus& status, std::int32_t ny, std::size_t cap,
                     std::int32_t verbose) {
    status.set(9, "Too many data points");
    if (verbose == 1) {
        say_integer(con, "Number of data points ny = ", ny);
        say_integer(con, "Maximum allowed number of points mn = ", static_cast<std::int32_t>(cap));
    }
}

}  // namespace

void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                 std::span<double> e, std::int32_t mn_points, std::int32_t& ny, std::int32_t scan,
                 std::int32_t verbose) {
    ScanOffsets none;
    ORVALTDATA1(con, name, status, y, e, mn_points, ny, scan, verbose, none);
}

void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                 std::span<double> e, std::int32_t mn_points, std::int32_t& ny, std::int32_t scan,
                 std::int32_t verbose, ScanOffsets& offsets) {
    if (scan < 1) {
        status.set(14, "Unexpected scan number received by orvaltdata1");
        return;
    }
    status.ierr = 0;
    std::int32_t counter = 0;

    offsets.check(name);
    PassLines lines(name);
    std::string_view line;
    if (!find_scan_line(lines, scan, counter, line, is_intensity_list_line, offsets)) {
        lines.report_end(status);
        return;
    }
    say_integer(con, "orvaltdata1: Scan found: ", counter);

    // The line lives in the reader's buffer: the file is closed once it is read.
    std::string_view list;
    if (!intensity_list(line, list)) {
        lines.close();
        status.set(10, bad_intensities);
        return;
    }
    const std::size_t cap = capacity(mn_points, y.size(), e.size());
    const auto values = read_buffer(cap);
    const FieldScan scanned = read_number_fields(list, {values.get(), cap});
    lines.close();

    ny = scanned.count;
    say_integer(con, "orvaltdata1: ny = ", ny);
    if (static_cast<std::size_t>(ny) > cap) {
        too_many_points(con, status, ny, cap, verbose);
        return;
    }
    // Points before a bad field are kept, as a point-by-point read leaves them.
    const auto good = static_cast<std::size_t>(scanned.first_bad < 0 ? ny : scanned.first_bad);
    for (std::size_t i = 0; i < good; ++i) {
        y[i] = values[i];
        e[i] = std::sqrt(values[i]);
    }
    if (scanned.first_bad >= 0) status.set(10, bad_intensities);
}

void ORVALTDATATOT(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                   std::span<double> e, std::int32_t mn_points, std::span<std::int32_t> npts,
                   std::span<const std::int32_t> weight, std::int32_t& ny, std::int32_t nscans,
                   std::int32_t verbose) {
    const std::size_t cap = capacity(mn_points, y.size(), e.size());
    status.ierr = 0;
    ny = 0;
    std::fill_n(y.begin(), cap, 0.0);

    const auto values = read_buffer(cap);
    std::int32_t n = 0;
    PassLines lines(name);
    std::string_view line;
    do {
        if (!lines.next(line)) {
            lines.report_end(status);
            return;
        }
        if (!is_intensity_line(first_element(line))) continue;
        ++n;
        // Scans past the per-scan tables are never included.
        const auto s = static_cast<std::size_t>(n - 1);
        if (s >= weight.size() || s >= npts.size() || weight[s] != 1) continue;

        std::string_view list;
        if (!intensity_list(line, list)) {
            lines.close();
            status.set(10, bad_intensities);
            return;
        }
        const FieldScan scanned = read_number_fields(list, {values.get(), cap});
        npts[s] = scanned.count;
        ny = std::max(ny, scanned.count);
        if (static_cast<std::size_t>(scanned.count) > cap) {
            lines.close();
            too_many_points(con, status, scanned.count, cap, verbose);
            return;
        }
        const auto good =
            static_cast<std::size_t>(scanned.first_bad < 0 ? scanned.count : scanned.first_bad);
        for (std::size_t i = 0; i < good; ++i) y[i] += values[i];
        if (scanned.first_bad >= 0) {
            lines.close();
            status.set(10, bad_intensities);
            return;
        }
    } while (n < nscans);
    lines.close();

    for (std::size_t i = 0; i < static_cast<std::size_t>(ny); ++i) e[i] = std::sqrt(y[i]);
}

void REVERSEARRAY(std::span<double> a, std::int32_t n) {
    if (n < 1) return;
    const auto count = std::min(static_cast<std::size_t>(n), a.size());
    std::reverse(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(count));
}

}  // namespace orvalt::xrdml

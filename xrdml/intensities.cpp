// The intensities: one scan, or the included scans summed point by point.
#include "xrdml/reader.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "g_f/console.h"
#include "xrdml/pass_lines.h"
#include "xrdml/scan_offsets.h"

namespace orvalt::xrdml {

namespace {

constexpr std::string_view bad_intensities = "Problem reading intensities";
constexpr std::string_view bad_factors = "Problem reading attenuation factors";

bool is_intensity_line(const FirstElement& first) {
    return first.matches("intensities") || first.matches("counts");
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

// Attenuation factors: a counts list holds raw counts, and where the dataPoints
// of its scan also hold a beamAttenuationFactors list (on one line, before or
// after the counts), point i was counted through an attenuator of factor
// f(i). Intensities lists are corrected already and take none.
class AttenuationFactors {
public:
    // Watches every line of a pass. True when the line holds the factors of
    // the counts list read last, which met none before it.
    bool note(const FirstElement& first, std::string_view line) {
        if (first.matches("beamAttenuationFactors")) {
            const ElementText t = element_text(line);
            text_.assign(t.text);
            closed_ = t.closed;
            const bool after = awaiting_;
            before_ = !after;
            awaiting_ = false;
            return after;
        }
        if (first.matches("dataPoints") || first.matches("/dataPoints")) before_ = awaiting_ = false;
        return false;
    }
    // After an intensity line: factors before it are used up, and a counts
    // list that met none awaits them after it, within its dataPoints.
    void list_read(bool counts) {
        awaiting_ = counts && !before_;
        before_ = false;
    }
    bool before() const { return before_; }
    bool awaiting() const { return awaiting_; }
    // Takes up reading right after an intensity line, as list_read left it.
    void resume(bool awaiting) {
        awaiting_ = awaiting;
        before_ = false;
    }

    // The factors last met, for a list of n counts: false unless they are n
    // positive numbers on one line.
    bool read(std::int32_t n, std::vector<double>& f) const {
        f.resize(static_cast<std::size_t>(std::max(n, 0)));
        const FieldScan scanned = read_number_fields(text_, f);
        return closed_ && scanned.count == n && scanned.first_bad < 0 &&
               std::all_of(f.begin(), f.end(), [](double v) { return v > 0.0; });
    }

private:
    std::string text_;
    bool closed_ = false;
    bool before_ = false;    // met since the last intensity line, in the same dataPoints
    bool awaiting_ = false;  // the last list read was counts without factors before it
};

// Reads on after a counts list that met no factors before it, to the end of
// its dataPoints; true when its factors follow. The end of the file ends the
// search without failure: the scan itself has been read.
bool factors_after(PassLines& lines, AttenuationFactors& factors) {
    std::string_view line;
    while (factors.awaiting() && lines.next(line)) {
        const FirstElement first = first_element(line);
        if (factors.note(first, line)) return true;
        if (is_intensity_line(first)) return false;
    }
    return false;
}

// The intensity lines of a search for one scan. Every line read is shown to
// the attenuation factors, so that those before the scan's list are known
// when it is found; after each list the factors are told it was read, and
// what it leaves (a counts list awaiting factors after it) is the state a
// search that starts after that list takes up.
struct IntensityLines final : ScanLineFilter {
    AttenuationFactors factors;
    bool counts = false;          // the last list found is a counts list
    bool factors_before = false;  // and factors came before it

    bool is_scan_line(std::string_view line) override {
        const FirstElement first = first_element(line);
        factors.note(first, line);  // true only for the factors of an earlier scan
        if (!is_intensity_line(first)) return false;
        counts = !first.matches("intensities");
        factors_before = counts && factors.before();
        factors.list_read(counts);
        return true;
    }
    std::uint8_t state() const override { return factors.awaiting() ? 1 : 0; }
    void restore(std::uint8_t state) override { factors.resume(state == 1); }
};

// Adds a list read into values to the sums: y gains c*f and the variance
// c*f*f (f empty: no factors; variance empty: not kept, being y itself).
// Points before a bad field are added; false when there is one.
bool add_list(std::span<double> y, std::span<double> variance, std::span<const double> values,
              std::span<const double> f, const FieldScan& scanned) {
    const auto good =
        static_cast<std::size_t>(scanned.first_bad < 0 ? scanned.count : scanned.first_bad);
    if (variance.empty()) {
        for (std::size_t i = 0; i < good; ++i) y[i] += values[i];
    } else if (f.empty()) {
        for (std::size_t i = 0; i < good; ++i) {
            y[i] += values[i];
            variance[i] += values[i];
        }
    } else {
        for (std::size_t i = 0; i < good; ++i) {
            const double c = values[i] * f[i];
            y[i] += c;
            variance[i] += c * f[i];
        }
    }
    return scanned.first_bad < 0;
}

// The numbers of a list are read here first, so that a list refused for its
// length leaves the spectrum as it was. Only what is read is ever looked at:
// nothing is cleared.
std::unique_ptr<double[]> read_buffer(std::size_t cap) {
    return std::make_unique_for_overwrite<double[]>(cap);
}

// ierr 22: a count below zero, where no count can be; point counted from 0.
void negative_in(ReaderStatus& status, std::int32_t scan, std::int32_t point) {
    status.set(negative_count, "Negative count at point " + std::to_string(point + 1) +
                                   " of scan " + std::to_string(scan));
}

// The list's first negative count, where it comes before any bad field.
bool has_negative(const FieldScan& scanned) {
    return scanned.first_negative >= 0 &&
           (scanned.first_bad < 0 || scanned.first_negative < scanned.first_bad);
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
                 std::int32_t verbose, const FileStamp* expected) {
    ScanOffsets none;
    ORVALTDATA1(con, name, status, y, e, mn_points, ny, scan, verbose, none, expected);
}

void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                 std::span<double> e, std::int32_t mn_points, std::int32_t& ny, std::int32_t scan,
                 std::int32_t verbose, ScanOffsets& offsets, const FileStamp* expected) {
    if (scan < 1) {
        status.set(14, "Unexpected scan number received by orvaltdata1");
        return;
    }
    status.ierr = 0;
    std::int32_t counter = 0;

    offsets.check(name);
    std::int32_t after = 0;
    std::unique_ptr<PassLines> kept = offsets.take_open(scan, after);
    if (!kept) kept = std::make_unique<PassLines>(name);
    PassLines& lines = *kept;
    if (!lines.unchanged(expected, status)) return;
    std::string_view line;
    IntensityLines filter;
    if (!find_scan_line(lines, scan, counter, line, filter, offsets, after)) {
        lines.report_end(status);
        return;
    }
    say_integer(con, "orvaltdata1: Scan found: ", counter);

    // The line lives in the reader's buffer: the file is let go once it is read.
    std::string_view list;
    if (!intensity_list(line, list)) {
        lines.close();
        status.set(10, bad_intensities);
        return;
    }
    const std::size_t cap = capacity(mn_points, y.size(), e.size());
    const auto values = read_buffer(cap);
    const FieldScan scanned = read_number_fields(list, {values.get(), cap});
    AttenuationFactors& factors = filter.factors;
    bool attenuated = filter.counts && filter.factors_before;
    // The file stays open for the next scan unless it was read past the line.
    if (filter.counts && !attenuated) attenuated = factors_after(lines, factors);
    // Whatever was read must be of the file the census read.
    if (!lines.unchanged(expected, status)) {
        offsets.forget();
        return;
    }
    if (filter.counts && !filter.factors_before) {
        lines.close();
    } else {
        offsets.keep_open(std::move(kept), counter);
    }

    ny = scanned.count;
    say_integer(con, "orvaltdata1: ny = ", ny);
    if (static_cast<std::size_t>(ny) > cap) {
        too_many_points(con, status, ny, cap, verbose);
        return;
    }
    std::vector<double> f;
    if (attenuated && !factors.read(ny, f)) {
        status.set(17, bad_factors);
        return;
    }
    // Points before a bad field are kept, as a point-by-point read leaves them.
    const auto good = static_cast<std::size_t>(scanned.first_bad < 0 ? ny : scanned.first_bad);
    for (std::size_t i = 0; i < good; ++i) {
        y[i] = values[i];
        e[i] = std::sqrt(values[i]);
    }
    for (std::size_t i = 0; i < std::min(good, f.size()); ++i) {  // intensity c*f, error sqrt(c)*f
        y[i] *= f[i];
        e[i] *= f[i];
    }
    if (has_negative(scanned)) negative_in(status, scan, scanned.first_negative);
    else if (scanned.first_bad >= 0) status.set(10, bad_intensities);
}

void ORVALTDATATOT(Console& con, std::string_view name, ReaderStatus& status, std::span<double> y,
                   std::span<double> e, std::int32_t mn_points, std::span<std::int32_t> npts,
                   std::span<const std::int32_t> weight, std::int32_t& ny, std::int32_t nscans,
                   std::int32_t verbose, const FileStamp* expected) {
    const std::size_t cap = capacity(mn_points, y.size(), e.size());
    status.ierr = 0;
    ny = 0;
    std::fill_n(y.begin(), cap, 0.0);
    std::size_t summed = 0;       // points reached by the lists added
    bool with_variance = false;   // e holds the summed variance: a list had factors

    const auto values = read_buffer(cap);
    std::vector<double> f;
    AttenuationFactors factors;
    FieldScan pending;  // an included counts list that awaits factors after it
    bool is_pending = false;
    // Adds the list in values (times the factors last met, when attenuated).
    const auto add = [&](const FieldScan& scanned, bool attenuated) {
        if (attenuated && !factors.read(scanned.count, f)) {
            status.set(17, bad_factors);
            return false;
        }
        if (!attenuated) f.clear();
        const auto count = static_cast<std::size_t>(scanned.count);
        if (attenuated && !with_variance) {
            std::copy_n(y.begin(), summed, e.begin());  // so far the variance is the sum
            with_variance = true;
        }
        if (with_variance && count > summed) std::fill(e.begin() + summed, e.begin() + count, 0.0);
        summed = std::max(summed, count);
        if (add_list(y, with_variance ? e : std::span<double>(), {values.get(), cap}, f, scanned)) return true;
        status.set(10, bad_intensities);
        return false;
    };

    std::int32_t n = 0;
    PassLines lines(name);
    if (!lines.unchanged(expected, status)) return;
    std::string_view line;
    do {
        if (!lines.next(line)) {
            // The last scan is read: the end of the file ends its dataPoints.
            if (is_pending && n >= nscans) {
                is_pending = false;
                if (!add(pending, false)) break;
                continue;
            }
            lines.report_end(status);
            return;
        }
        const FirstElement first = first_element(line);
        const bool late_factors = factors.note(first, line);
        if (is_pending && (late_factors || !factors.awaiting() || is_intensity_line(first))) {
            is_pending = false;
            if (!add(pending, late_factors)) break;
        }
        if (!is_intensity_line(first)) continue;
        ++n;
        const bool counts = !first.matches("intensities");
        // Scans past the per-scan tables are never included.
        const auto s = static_cast<std::size_t>(n - 1);
        if (s >= weight.size() || s >= npts.size() || weight[s] != 1) {
            factors.list_read(counts);
            continue;
        }

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
        // As for one scan: no count of a sum is below zero.
        if (has_negative(scanned)) {
            lines.close();
            negative_in(status, n, scanned.first_negative);
            return;
        }
        const bool attenuated = counts && factors.before();
        factors.list_read(counts);
        if (factors.awaiting()) {
            pending = scanned;
            is_pending = true;
        } else if (!add(scanned, attenuated)) {
            break;
        }
    } while (n < nscans || is_pending);
    if (status.ierr == 0 && !lines.unchanged(expected, status)) return;
    lines.close();
    if (status.ierr != 0) return;

    const std::span<const double> variance = with_variance ? e : y;
    for (std::size_t i = 0; i < static_cast<std::size_t>(ny); ++i) e[i] = std::sqrt(variance[i]);
}

void REVERSEARRAY(std::span<double> a, std::int32_t n) {
    if (n < 1) return;
    const auto count = std::min(static_cast<std::size_t>(n), a.size());
    std::reverse(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(count));
}

}  // namespace orvalt::xrdml

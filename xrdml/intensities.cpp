// The intensities: one scan, or the included scans summed point by point.
#include "xrdml/reader.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "g_f/console.h"
#include "xrdml/attenuation.h"
#include "xrdml/pass_lines.h"
#include "xrdml/scan_offsets.h"

namespace orvalt::xrdml {

namespace {

constexpr std::string_view bad_intensities = "Problem reading intensities: ";
constexpr std::string_view bad_factors = "Problem reading attenuation factors: ";

constexpr std::string_view cannot_open = "The file cannot be opened any more";

std::string scan_text(std::int32_t scan) { return "scan " + std::to_string(scan); }

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

// A list that does not close on its line. When the file ends with it, the
// file was cut short there: with limits.partial its numbers are taken up to
// the last whole one (a last field without a separator after it may have
// been cut, and is dropped) into `kept`, and list views it; otherwise
// ierr 23. A list that goes on over more lines is ierr 10. `lines` is read
// on, to see whether anything follows.
bool unclosed_list(PassLines& lines, std::string_view line, std::int32_t scan,
                   const ReadLimits& limits, std::string& kept, std::string_view& list,
                   ReaderStatus& status) {
    kept.assign(element_text(line).text);
    std::string_view next;
    const bool cut = !lines.next(next) && !lines.failed();
    lines.close();
    if (!cut) {
        status.set(10, std::string(bad_intensities) + scan_text(scan) +
                           "'s list does not close on its line");
        return false;
    }
    if (!limits.partial) {
        status.set(partial_scan, "Scan " + std::to_string(scan) +
                                     " is cut short: the file ends inside its list");
        return false;
    }
    std::string_view text = kept;
    const std::size_t last = text.find_last_of(" \t,");
    if (text.empty() || (text.back() != ' ' && text.back() != '\t' && text.back() != ','))
        text = last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
    list = text;
    return true;
}

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

// ierr 22: a count below zero, where no count can be; point counted from 0.
void negative_in(ReaderStatus& status, std::int32_t scan, std::int32_t point) {
    status.set(negative_count, "Negative count at point " + std::to_string(point + 1) +
                                   " of scan " + std::to_string(scan));
}

// ierr 10 for the list's first field that is no number.
void bad_field_in(ReaderStatus& status, std::int32_t scan, std::int32_t point) {
    status.set(10, std::string(bad_intensities) + "point " + std::to_string(point + 1) + " of " +
                       scan_text(scan) + " is not a number");
}

// The list's first negative count, where it comes before any bad field.
bool has_negative(const FieldScan& scanned) {
    return scanned.first_negative >= 0 &&
           (scanned.first_bad < 0 || scanned.first_negative < scanned.first_bad);
}

void too_many_points(ReaderStatus& status, std::int32_t scan, std::int32_t ny, std::int32_t cap) {
    status.set(9, "Too many data points");
    status.note = "Scan " + std::to_string(scan) + " holds " + std::to_string(ny) +
                  " points, more than " + std::to_string(cap) + "; " + std::string(no_limit_note);
}

// The two lines the dialogue shows of a list of too many points.
void too_many_points_said(Console& con, std::int32_t ny, std::int32_t cap) {
    say_integer(con, "Number of data points ny = ", ny);
    say_integer(con, "Maximum allowed number of points mn = ", cap);
}

// y and e hold at least n entries.
void make_room(std::vector<double>& y, std::vector<double>& e, std::size_t n) {
    if (y.size() < n) y.resize(n);
    if (e.size() < n) e.resize(n);
}

}  // namespace

bool AttenuationFactors::read(std::int32_t n, std::int32_t scan, Values& f,
                              ReaderStatus& status) const {
    const FieldScan scanned = read_list(text_, f);
    std::string why;
    if (!closed_) {
        why = scan_text(scan) + "'s factors do not close on their line";
    } else if (scanned.count != n) {
        why = scan_text(scan) + " has " + std::to_string(scanned.count) + " for its " +
              std::to_string(n) + " counts";
    } else {
        const auto bad = std::find_if(f.begin(), f.end(), [](double v) { return !(v > 0.0); });
        const std::int32_t k = scanned.first_bad >= 0
                                   ? scanned.first_bad
                                   : static_cast<std::int32_t>(bad - f.begin());
        if (k < n)
            why = "factor " + std::to_string(k + 1) + " of " + scan_text(scan) +
                  " is not a positive number";
    }
    if (why.empty()) return true;
    status.set(17, std::string(bad_factors) + why);
    return false;
}

void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::vector<double>& y,
                 std::vector<double>& e, const ReadLimits& limits, std::int32_t& ny,
                 std::int32_t scan, std::int32_t verbose, const FileStamp* expected) {
    ScanOffsets none;
    ORVALTDATA1(con, name, status, y, e, limits, ny, scan, verbose, none, expected);
}

ListReach read_scan_counts(std::string_view name, ReaderStatus& status, std::vector<double>& y,
                           std::vector<double>& e, const ReadLimits& limits, std::int32_t& ny,
                           std::int32_t scan, ScanOffsets& offsets, const FileStamp* expected) {
    ListReach reach;
    if (scan < 1) {
        status.set(14, "Unexpected scan number received by orvaltdata1");
        return reach;
    }
    status.ierr = 0;
    status.note.clear();

    offsets.check(name, expected);
    std::int32_t after = 0;
    std::unique_ptr<PassLines> kept = offsets.take_open(scan, after);
    // Lines kept open were found unchanged at the end of the pass before;
    // what this pass reads is checked at its end.
    const bool fresh = !kept;
    if (fresh) kept = std::make_unique<PassLines>(name);
    PassLines& lines = *kept;
    if (!lines.is_open()) {
        status.set(1, cannot_open);
        return reach;
    }
    if (fresh && !lines.unchanged(expected, status)) return reach;
    std::string_view line;
    IntensityLines filter;
    if (!find_scan_line(lines, scan, reach.found, line, filter, offsets, after)) {
        lines.close();
        status.set(1, "The file ends after scan " + std::to_string(reach.found) + ", before scan " +
                          std::to_string(scan));
        reach.found = 0;
        return reach;
    }

    // The line lives in the reader's buffer: the file is let go once it is read.
    std::string_view list;
    std::string cut_list;
    bool cut = false;
    if (!intensity_list(line, list)) {
        if (!unclosed_list(lines, line, scan, limits, cut_list, list, status)) return reach;
        cut = true;
    }
    Values values;
    const FieldScan scanned = read_list(list, values, limits.points);
    AttenuationFactors& factors = filter.factors;
    bool attenuated = filter.counts && filter.factors_before;
    // The file stays open for the next scan unless it was read past the line.
    if (filter.counts && !attenuated && !cut) attenuated = factors_after(lines, factors);
    // Whatever was read must be of the file the census read.
    if (!lines.unchanged(expected, status)) {
        offsets.forget();
        return reach;
    }
    if (cut || (filter.counts && !filter.factors_before)) {
        lines.close();
    } else {
        offsets.keep_open(std::move(kept), reach.found);
    }

    ny = scanned.count;
    reach.counted = true;
    if (ny > limits.points) {
        too_many_points(status, scan, ny, limits.points);
        return reach;
    }
    Values f;
    if (attenuated && !factors.read(ny, scan, f, status)) return reach;
    // Points before a bad field are kept, as a point-by-point read leaves them.
    const auto good = static_cast<std::size_t>(scanned.first_bad < 0 ? ny : scanned.first_bad);
    reach.attenuated = !f.empty();
    if (!limits.errors && !reach.attenuated) {
        if (y.size() < good) y.resize(good);
        std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(good), y.begin());
    } else {
        make_room(y, e, good);
        for (std::size_t i = 0; i < good; ++i) {
            y[i] = values[i];
            e[i] = std::sqrt(values[i]);
        }
    }
    for (std::size_t i = 0; i < std::min(good, f.size()); ++i) {  // intensity c*f, error sqrt(c)*f
        y[i] *= f[i];
        e[i] *= f[i];
    }
    if (has_negative(scanned)) negative_in(status, scan, scanned.first_negative);
    else if (scanned.first_bad >= 0) bad_field_in(status, scan, scanned.first_bad);
    return reach;
}

void ORVALTDATA1(Console& con, std::string_view name, ReaderStatus& status, std::vector<double>& y,
                 std::vector<double>& e, const ReadLimits& limits, std::int32_t& ny,
                 std::int32_t scan, std::int32_t verbose, ScanOffsets& offsets,
                 const FileStamp* expected) {
    const ListReach reach =
        read_scan_counts(name, status, y, e, limits, ny, scan, offsets, expected);
    if (reach.found == 0) return;
    say_integer(con, "orvaltdata1: Scan found: ", reach.found);
    if (!reach.counted) return;
    say_integer(con, "orvaltdata1: ny = ", ny);
    if (status.ierr == 9 && verbose == 1) too_many_points_said(con, ny, limits.points);
}

SumPass::SumPass(std::vector<double>& y, std::vector<double>& e, const ReadLimits& limits,
                 std::function<bool(std::int32_t)> included)
    : y_(y), e_(e), limits_(limits), included_(std::move(included)) {
    std::fill(y_.begin(), y_.end(), 0.0);
}

bool SumPass::add(const FieldScan& scanned, std::int32_t scan, bool attenuated,
                  ReaderStatus& status) {
    if (attenuated && !factors_.read(scanned.count, scan, f_, status)) return false;
    if (!attenuated) f_.clear();
    const auto count = static_cast<std::size_t>(scanned.count);
    if (y_.size() < count) y_.resize(count, 0.0);
    if (e_.size() < count) e_.resize(count);
    if (attenuated && !with_variance_) {
        std::copy_n(y_.begin(), summed_, e_.begin());  // so far the variance is the sum
        with_variance_ = true;
    }
    if (with_variance_ && count > summed_)
        std::fill(e_.begin() + static_cast<std::ptrdiff_t>(summed_),
                  e_.begin() + static_cast<std::ptrdiff_t>(count), 0.0);
    summed_ = std::max(summed_, count);
    if (add_list(y_, with_variance_ ? std::span<double>(e_) : std::span<double>(), values_, f_,
                 scanned))
        return true;
    bad_field_in(status, scan, scanned.first_bad);
    return false;
}

SumPass::Step SumPass::take(std::string_view line, const FirstElement& first,
                            ReaderStatus& status) {
    const bool late_factors = factors_.note(first, line);
    const bool intensity = is_intensity_line(first);
    if (pending_ && (late_factors || !factors_.awaiting() || intensity)) {
        pending_ = false;
        if (!add(waiting_, waiting_scan_, late_factors, status)) return Step::failed;
    }
    if (!intensity) return Step::more;
    ++lists_;
    counts_ = !first.matches("intensities");
    if (!included_(lists_)) {
        points_.push_back(0);
        factors_.list_read(counts_);
        return Step::more;
    }
    std::string_view list;
    if (!intensity_list(line, list)) return Step::open_list;
    return read_list_text(list, false, status);
}

SumPass::Step SumPass::take_open_list(std::string_view list, ReaderStatus& status) {
    return read_list_text(list, true, status);
}

SumPass::Step SumPass::read_list_text(std::string_view list, bool cut, ReaderStatus& status) {
    const FieldScan scanned = read_list(list, values_, limits_.points);
    points_.push_back(scanned.count);
    ny_ = std::max(ny_, scanned.count);
    if (scanned.count > limits_.points) {
        too_many_points(status, lists_, scanned.count, limits_.points);
        return Step::failed;
    }
    // As for one scan: no count of a sum is below zero.
    if (has_negative(scanned)) {
        negative_in(status, lists_, scanned.first_negative);
        return Step::failed;
    }
    const bool attenuated = counts_ && factors_.before();
    factors_.list_read(counts_);
    if (factors_.awaiting() && !cut) {
        waiting_ = scanned;
        waiting_scan_ = lists_;
        pending_ = true;
    } else if (!add(scanned, lists_, attenuated, status)) {
        return Step::failed;
    }
    return cut ? Step::done : Step::more;
}

SumPass::Step SumPass::end(ReaderStatus& status) {
    if (pending_) {
        pending_ = false;
        if (!add(waiting_, waiting_scan_, false, status)) return Step::failed;
    }
    return Step::done;
}

void SumPass::finish() {
    const std::span<const double> variance = with_variance_ ? e_ : y_;
    for (std::size_t i = 0; i < static_cast<std::size_t>(ny_); ++i)
        e_[i] = std::sqrt(variance[i]);
}

void ORVALTDATATOT(Console& con, std::string_view name, ReaderStatus& status,
                   std::vector<double>& y, std::vector<double>& e, const ReadLimits& limits,
                   std::span<std::int32_t> npts, std::span<const std::int32_t> weight,
                   std::int32_t& ny, std::int32_t nscans, std::int32_t verbose,
                   const FileStamp* expected) {
    status.ierr = 0;
    status.note.clear();
    ny = 0;
    // Scans past the per-scan tables are never included.
    SumPass sum(y, e, limits, [&](std::int32_t n) {
        const auto s = static_cast<std::size_t>(n - 1);
        return s < weight.size() && s < npts.size() && weight[s] == 1;
    });
    // What the pass found, as far as it went.
    const auto tell = [&] {
        const std::vector<std::int32_t>& points = sum.points();
        for (std::size_t s = 0; s < points.size() && s < npts.size(); ++s)
            if (points[s] != 0) npts[s] = points[s];
        ny = sum.ny();
        if (status.ierr == 9 && verbose == 1) too_many_points_said(con, points.back(), limits.points);
    };

    PassLines lines(name);
    if (!lines.is_open()) {
        status.set(1, cannot_open);
        return;
    }
    if (!lines.unchanged(expected, status)) return;
    std::string_view line;
    std::string cut_list;
    SumPass::Step step = SumPass::Step::more;
    do {
        if (!lines.next(line)) {
            // The last scan is read: the end of the file ends its dataPoints.
            if (sum.awaiting() && sum.lists() >= nscans) {
                step = sum.end(status);
                break;
            }
            lines.close();
            tell();
            status.set(1, "The file ends after scan " + std::to_string(sum.lists()) +
                              ", before scan " + std::to_string(sum.lists() + 1));
            return;
        }
        step = sum.take(line, first_element(line), status);
        if (step == SumPass::Step::open_list) {
            std::string_view list;
            if (!unclosed_list(lines, line, sum.lists(), limits, cut_list, list, status)) {
                tell();
                return;
            }
            step = sum.take_open_list(list, status);
        }
    } while (step == SumPass::Step::more && (sum.lists() < nscans || sum.awaiting()));
    tell();
    if (status.ierr == 0 && !lines.unchanged(expected, status)) return;
    lines.close();
    if (status.ierr != 0) return;
    sum.finish();
}

void REVERSEARRAY(std::span<double> a, std::int32_t n) {
    if (n < 1) return;
    const auto count = std::min(static_cast<std::size_t>(n), a.size());
    std::reverse(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(count));
}

}  // namespace orvalt::xrdml

// The scan parameters: start and end position and counting time of every
// scan, in file order; a list of positions gives a start and an end.
#include "xrdml/reader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "xrdml/passes.h"

namespace orvalt::xrdml {

namespace {

// The axis="NAME" attribute of a positions start tag ("" without one).
std::string_view axis_attribute(std::string_view tag) {
    constexpr std::string_view attr = " axis=\"";
    const std::size_t a = tag.find(attr);
    if (a == std::string_view::npos) return {};
    const std::string_view rest = tag.substr(a + attr.size());
    return rest.substr(0, rest.find('"'));
}

bool is_list_line(const FirstElement& first) {
    return first.matches("intensities") || first.matches("counts");
}

std::string scan_text(std::int32_t scan) { return "scan " + format_integer(scan); }

// Whether every position lies on the even grid from the first to the last.
bool evenly_spaced(std::span<const double> x) {
    const std::size_t n = x.size();
    if (n < 3) return true;
    const double step = (x[n - 1] - x[0]) / static_cast<double>(n - 1);
    for (std::size_t k = 1; k + 1 < n; ++k)
        if (off_grid(x[k], x[0] + static_cast<double>(k) * step)) return false;
    return true;
}

}  // namespace

ParameterPass::ParameterPass(ScanParameters& par)
    : par_(par),
      elements_{{
          {"startPosition", "startPosition", &par.start_position, 4, "Problem reading x-axis: "},
          {"endPosition", "endPosition", &par.end_position, 4, "Problem reading x-axis: "},
          {"commonCountingTime unit=\"seconds\"", "commonCountingTime", &par.counting_time, 6,
           "Problem reading counting time: "},
      }} {
    par_.start_position.clear();
    par_.end_position.clear();
    par_.counting_time.clear();
    par_.listed.clear();
    par_.axis.clear();
}

// Entry count - 1 of the element's table; the tables grow as elements come.
void ParameterPass::store(std::size_t element, double value, const ListedPositions& listed) {
    Element& el = elements_[element];
    const auto index = static_cast<std::size_t>(el.count++);
    std::vector<double>& table = *el.table;
    if (table.size() <= index) table.resize(index + 1);
    table[index] = value;
    if (element == 0) {
        if (par_.listed.size() <= index) par_.listed.resize(index + 1);
        par_.listed[index] = listed;
    }
}

// At a scan's counting time: when its positions name several axes, one of
// them 2Theta, the 2Theta ones replace all of the scan's positions in the
// tables. Returns the axis the scan's positions belong to ("" when they name
// none, or several without 2Theta; those stay as they were read).
std::string ParameterPass::settle_scan_positions() {
    const std::vector<Position>& positions = positions_;
    bool several = false, has_two_theta = false;
    for (const Position& p : positions) {
        several = several || p.axis != positions.front().axis;
        has_two_theta = has_two_theta || p.axis == two_theta_axis;
    }
    if (!several) return positions.empty() ? std::string() : positions.front().axis;
    if (!has_two_theta) {
        if (odd_scan_.empty())
            odd_scan_ = "Scan " + format_integer(elements_[2].count) +
                        " gives positions of several axes, none of them 2Theta";
        return {};
    }
    for (const Position& p : positions) --elements_[p.element].count;
    for (const Position& p : positions)
        if (p.axis == two_theta_axis) store(p.element, p.value, p.listed);
    return std::string(two_theta_axis);
}

// The first scan of other than one start and one end position is what a
// failed count check names.
void ParameterPass::note_scan_end() {
    const std::int32_t scan = elements_[2].count;
    for (std::size_t k = 0; k < 2 && odd_scan_.empty(); ++k) {
        const std::int32_t added = elements_[k].count - settled_[k];
        if (added == 0)
            odd_scan_ = "Scan " + format_integer(scan) + " has no " + std::string(elements_[k].name);
        else if (added > 1)
            odd_scan_ = "Scan " + format_integer(scan) + " has " + format_integer(added) + " " +
                        std::string(elements_[k].name) + " elements";
    }
    settled_ = {elements_[0].count, elements_[1].count};
}

// At an intensity list: the scan before it must have had every kind.
void ParameterPass::note_list() {
    ++lists_;
    if (missing_scan_ != 0 || lists_ < 2) return;
    for (std::size_t k = 0; k < elements_.size(); ++k) {
        if (elements_[k].count < lists_ - 1) {
            missing_scan_ = lists_ - 1;
            missing_element_ = k;
            return;
        }
    }
}

// A list of positions: its first and last are the scan's start and end.
bool ParameterPass::take_list(std::string_view line, std::uint64_t offset, ReaderStatus& status) {
    const ElementText t = element_text(line);
    const std::string where = scan_text(scan_read()) + "'s listPositions";
    const FieldScan scan = read_list(t.text, list_);
    std::string problem;
    if (!t.closed) problem = where + " does not close on its line";
    else if (scan.count == 0) problem = where + " holds no positions";
    else if (scan.first_bad >= 0)
        problem = "position " + format_integer(scan.first_bad + 1) + " of " + where +
                  " is not a number";
    if (!problem.empty()) {
        status.set(4, "Problem reading x-axis: " + problem);
        return false;
    }
    const ListedPositions listed{scan.count, evenly_spaced(list_), offset};
    store(0, list_.front(), listed);
    store(1, list_.back());
    positions_.push_back({0, list_.front(), axis_, listed});
    positions_.push_back({1, list_.back(), axis_, {}});
    return true;
}

bool ParameterPass::take(std::string_view line, const FirstElement& first, std::uint64_t offset,
                         ReaderStatus& status) {
    if (!first.found) return true;
    // The elements looked for, by their first letter: most lines name none.
    const char letter = first.text.empty() ? '\0' : first.text.front();
    if (letter == 'p' && first.names("positions")) axis_ = axis_attribute(first.text);
    if ((letter == 'i' || letter == 'c') && is_list_line(first)) note_list();
    if (letter == 'l' && first.matches("listPositions") && !take_list(line, offset, status))
        return false;
    for (std::size_t k = 0; k < elements_.size() && (letter == 's' || letter == 'e' || letter == 'c');
         ++k) {
        Element& el = elements_[k];
        if (!first.matches(el.keyword)) continue;
        double value = 0.0;
        switch (read_one_real(element_text(line).text, value)) {
            case OneNumber::ok: break;
            case OneNumber::not_a_number:
                status.set(el.ierr, std::string(el.message) + scan_text(scan_read()) + "'s " +
                                        std::string(el.name) + " is not a number");
                return false;
            case OneNumber::more:
                status.set(more_than_one_number, std::string(one_number_message).append(el.name));
                return false;
        }
        store(k, value);
        if (k != 2) {
            positions_.push_back({k, value, axis_, {}});
            continue;
        }
        std::string scan_axis = settle_scan_positions();
        const auto index = static_cast<std::size_t>(el.count - 1);
        if (par_.axis.size() <= index) par_.axis.resize(index + 1);
        par_.axis[index] = std::move(scan_axis);
        positions_.clear();
        note_scan_end();
    }
    // Only lines of a block are searched for its end: the long lists lie outside.
    if (!axis_.empty() && (first.matches("/positions") ||
                           line.find("</positions>") != std::string_view::npos))
        axis_.clear();
    return true;
}

std::array<std::int32_t, 3> ParameterPass::counts() const {
    return {elements_[0].count, elements_[1].count, elements_[2].count};
}

std::int32_t ParameterPass::least_count() const {
    return std::min({elements_[0].count, elements_[1].count, elements_[2].count});
}

ParameterPass::Stop ParameterPass::stop_here() const {
    Stop s;
    s.counts = counts();
    s.settled = settled_;
    const auto tail = [](const auto& table, std::int32_t from, std::int32_t to) {
        const auto begin = table.begin() + std::min<std::ptrdiff_t>(from, std::ssize(table));
        const auto end = table.begin() + std::min<std::ptrdiff_t>(to, std::ssize(table));
        return std::vector<typename std::decay_t<decltype(table)>::value_type>(begin, end);
    };
    s.start_tail = tail(par_.start_position, settled_[0], s.counts[0]);
    s.end_tail = tail(par_.end_position, settled_[1], s.counts[1]);
    s.listed_tail = tail(par_.listed, settled_[0], s.counts[0]);
    s.odd_scan = odd_scan_;
    return s;
}

void ParameterPass::stop_at(const Stop& stop, std::int32_t nscans, ReaderStatus& status) {
    // Entries before the counts of the last counting time are as they were
    // at the stop; the ones after them are put back.
    const auto cut = [](auto& table, std::int32_t count, std::int32_t settled, const auto& tail) {
        table.resize(static_cast<std::size_t>(count));
        std::copy(tail.begin(), tail.end(), table.begin() + settled);
    };
    cut(par_.start_position, stop.counts[0], stop.settled[0], stop.start_tail);
    cut(par_.end_position, stop.counts[1], stop.settled[1], stop.end_tail);
    cut(par_.listed, stop.counts[0], stop.settled[0], stop.listed_tail);
    par_.counting_time.resize(static_cast<std::size_t>(stop.counts[2]));
    par_.axis.resize(static_cast<std::size_t>(stop.counts[2]));
    for (const std::int32_t count : stop.counts) {
        if (count != nscans) {
            status.set(15, !stop.odd_scan.empty()
                               ? stop.odd_scan
                               : "Problem with numbers of: start position, end position, "
                                 "counting times");
            return;
        }
    }
}

void ParameterPass::report_missing(std::int32_t nscans, ReaderStatus& status) const {
    std::int32_t scan = missing_scan_;
    std::size_t element = missing_element_;
    if (scan == 0) {
        // No list told which scan lacks it: the kind met least often.
        for (std::size_t k = 0; k < elements_.size(); ++k)
            if (elements_[k].count < elements_[element].count) element = k;
        scan = std::min(elements_[element].count + 1, std::max(nscans, 1));
    }
    constexpr std::string_view names[] = {"startPosition (or listPositions)",
                                          "endPosition (or listPositions)",
                                          "commonCountingTime in seconds"};
    status.set(1, "Scan " + format_integer(scan) + " has no " + std::string(names[element]));
}

}  // namespace orvalt::xrdml

// The scan parameters: start and end position and counting time of every
// scan, in file order.
#include "xrdml/reader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "g_f/number_parsing.h"
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

bool opens_positions(const FirstElement& first) {
    constexpr std::string_view name = "positions";
    return first.matches(name) &&
           (first.text.size() == name.size() ||
            std::string_view(" \t>/").find(first.text[name.size()]) != std::string_view::npos);
}

}  // namespace

// Elements past the tables' capacity are still counted, so a surplus of them
// shows in the final check.
void ParameterPass::Element::store(double value) {
    ++count;
    if (count <= max_scans) (*table)[static_cast<std::size_t>(count - 1)] = value;
}

ParameterPass::ParameterPass(ScanParameters& par)
    : par_(par),
      elements_{{
          {"startPosition", "startPosition", &par.start_position, 4, "Problem reading x-axis"},
          {"endPosition", "endPosition", &par.end_position, 4, "Problem reading x-axis"},
          {"commonCountingTime unit=\"seconds\"", "commonCountingTime", &par.counting_time, 6,
           "Problem reading counting time"},
      }} {
    par_.axis.fill(std::string());
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
    if (!has_two_theta) return {};
    for (const Position& p : positions) --p.element->count;
    for (const Position& p : positions)
        if (p.axis == two_theta_axis) p.element->store(p.value);
    return std::string(two_theta_axis);
}

bool ParameterPass::take(std::string_view line, ReaderStatus& status) {
    Element& counting_time = elements_[2];
    const FirstElement first = first_element(line);
    if (opens_positions(first)) axis_ = axis_attribute(first.text);
    for (Element& el : elements_) {
        if (!first.matches(el.keyword)) continue;
        double value = 0.0;
        switch (read_one_real(element_text(line).text, value)) {
            case OneNumber::ok: break;
            case OneNumber::not_a_number: status.set(el.ierr, el.message); return false;
            case OneNumber::more:
                status.set(more_than_one_number, std::string(one_number_message).append(el.name));
                return false;
        }
        el.store(value);
        if (&el != &counting_time) {
            positions_.push_back({&el, value, axis_});
            continue;
        }
        std::string scan_axis = settle_scan_positions();
        if (el.count <= max_scans)
            par_.axis[static_cast<std::size_t>(el.count - 1)] = std::move(scan_axis);
        positions_.clear();
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

void ParameterPass::check_counts(const std::array<std::int32_t, 3>& counts, std::int32_t nscans,
                                 ReaderStatus& status) {
    for (const std::int32_t count : counts) {
        if (count != nscans) {
            status.set(15, "Problem with numbers of: start position, end position, counting times");
            return;
        }
    }
}

}  // namespace orvalt::xrdml

// The scan parameters: start and end position and counting time of every
// scan, in file order.
#include "xrdml/reader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "g_f/numbers.h"
#include "xrdml/pass_lines.h"

namespace orvalt::xrdml {

namespace {

struct ParameterElement {
    std::string_view keyword;
    std::array<double, max_scans>& table;
    std::int32_t ierr;
    std::string_view message;
    std::int32_t count = 0;

    // Elements past the tables' capacity are still counted, so a surplus of
    // them shows in the final check.
    void store(double value) {
        ++count;
        if (count <= max_scans) table[static_cast<std::size_t>(count - 1)] = value;
    }
};

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

// A start or end position met since the last counting time, with the axis
// of the positions block it stands in.
struct Position {
    ParameterElement* element;
    double value;
    std::string axis;
};

// At a scan's counting time: when its positions name several axes, one of
// them 2Theta, the 2Theta ones replace all of the scan's positions in the
// tables. Returns the axis the scan's positions belong to ("" when they name
// none, or several without 2Theta; those stay as they were read).
std::string settle_scan_positions(const std::vector<Position>& positions) {
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

}  // namespace

void ORVALTPAR(std::string_view name, ReaderStatus& status, ScanParameters& par,
               std::int32_t nscans) {
    ParameterElement elements[3] = {
        {"startPosition", par.start_position, 4, "Problem reading x-axis"},
        {"endPosition", par.end_position, 4, "Problem reading x-axis"},
        {"commonCountingTime unit=\"seconds\"", par.counting_time, 6,
         "Problem reading counting time"},
    };
    ParameterElement& counting_time = elements[2];
    status.ierr = 0;
    par.axis.fill(std::string());

    // The positions of a scan are those met since the previous counting time.
    std::vector<Position> positions;
    std::string axis;  // of the positions block the line stands in
    PassLines lines(name);
    std::string_view line;
    for (;;) {
        if (!lines.next(line)) {
            lines.report_end(status);
            return;
        }
        const FirstElement first = first_element(line);
        if (opens_positions(first)) axis = axis_attribute(first.text);
        for (ParameterElement& el : elements) {
            if (!first.matches(el.keyword)) continue;
            double value = 0.0;
            if (!read_first_real(element_text(line).text, value)) {
                lines.close();
                status.set(el.ierr, el.message);
                return;
            }
            el.store(value);
            if (&el != &counting_time) {
                positions.push_back({&el, value, axis});
                continue;
            }
            std::string scan_axis = settle_scan_positions(positions);
            if (el.count <= max_scans)
                par.axis[static_cast<std::size_t>(el.count - 1)] = std::move(scan_axis);
            positions.clear();
        }
        // Only lines of a block are searched for its end: the long lists lie outside.
        if (!axis.empty() && (first.matches("/positions") ||
                              line.find("</positions>") != std::string_view::npos))
            axis.clear();
        if (std::min({elements[0].count, elements[1].count, elements[2].count}) >= nscans) break;
    }
    lines.close();

    for (const ParameterElement& el : elements) {
        if (el.count != nscans) {
            status.set(15, "Problem with numbers of: start position, end position, counting times");
            return;
        }
    }
}

}  // namespace orvalt::xrdml

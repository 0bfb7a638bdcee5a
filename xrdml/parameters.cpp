// The scan parameters: start and end position and counting time of every
// scan, in file order.
#include "xrdml/reader.h"

#include <algorithm>

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
};

}  // namespace

void ORVALTPAR(std::string_view name, ReaderStatus& status, ScanParameters& par,
               std::int32_t nscans) {
    ParameterElement elements[3] = {
        {"startPosition", par.start_position, 4, "Problem reading x-axis"},
        {"endPosition", par.end_position, 4, "Problem reading x-axis"},
        {"commonCountingTime unit=\"seconds\"", par.counting_time, 6,
         "Problem reading counting time"},
    };
    status.ierr = 0;

    PassLines lines(name);
    std::string_view line;
    for (;;) {
        if (!lines.next(line)) {
            lines.report_end(status);
            return;
        }
        const FirstElement first = first_element(line);
        for (ParameterElement& el : elements) {
            if (!first.matches(el.keyword)) continue;
            ++el.count;
            double value = 0.0;
            if (!read_first_real(element_text(line).text, value)) {
                lines.close();
                status.set(el.ierr, el.message);
                return;
            }
            // Elements past the tables' capacity are still counted, so a
            // surplus of them shows in the final check.
            if (el.count <= max_scans) el.table[static_cast<std::size_t>(el.count - 1)] = value;
        }
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

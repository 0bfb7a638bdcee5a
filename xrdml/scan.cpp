// Whole scans of a measurement, for programs that read measurements.
#include "xrdml/scan.h"

#include "g_f/numbers.h"
#include "xrdml/scan_offsets.h"

namespace orvalt::xrdml {

Measurement survey_measurement(std::string_view name) {
    Measurement m;
    const FileSurvey s = survey_file(name, ReaderStatus(), m.census, m.par, SurveyOptions());
    m.stamped = s.stamped;
    m.stamp = s.stamp;
    if (!s.opened) m.status.set(1, "Cannot open " + std::string(name));
    else if (s.too_long) m.status.set(18, "Line too long in XRDML file");
    else if (s.census_status.ierr != 0) m.status = s.census_status;
    else m.status = s.parameter_status;
    return m;
}

ReaderStatus read_scans(std::string_view name, const Measurement& m, const ReadLimits& limits,
                        const std::function<bool(Scan&)>& each, std::int32_t only) {
    ReaderStatus status = m.status;
    if (status.ierr != 0) return status;
    if (only > m.census.nscans) {
        status.set(14, "There is no scan " + format_integer(only) + ": the file holds " +
                           format_integer(m.census.nscans));
        return status;
    }
    const FileStamp* expected = m.stamped ? &m.stamp : nullptr;
    ScanOffsets offsets;
    PositionsReader lists(name, expected);
    Scan scan;
    const std::int32_t first = only > 0 ? only : 1, last = only > 0 ? only : m.census.nscans;
    for (std::int32_t n = first; n <= last; ++n) {
        const auto s = static_cast<std::size_t>(n - 1);
        std::int32_t ny = 0;
        scan.attenuated =
            read_scan_counts(name, status, scan.counts, scan.errors, limits, ny, n, offsets, expected)
                .attenuated;
        if (status.ierr != 0) return status;
        const bool listed = m.par.listed[s].count > 0;
        if ((listed || limits.even_x) &&
            !scan_x(m.par, n - 1, ny, limits.partial, lists, scan.x, status))
            return status;
        scan.number = n;
        scan.axis = m.par.axis[s].empty() ? std::string(two_theta_axis) : m.par.axis[s];
        scan.x.resize(listed || limits.even_x ? static_cast<std::size_t>(ny) : 0);
        scan.counts.resize(static_cast<std::size_t>(ny));
        scan.errors.resize(limits.errors || scan.attenuated ? static_cast<std::size_t>(ny) : 0);
        scan.counting_time = m.par.counting_time[s];
        const std::int32_t positions = m.par.listed[s].count;
        scan.partial = (positions > 0 && ny < positions) || n == m.census.cut_scan;
        scan.facts = s < m.par.facts.size() ? m.par.facts[s] : ScanFacts();
        if (!each(scan)) break;
    }
    return status;
}

ReaderStatus read_scan(std::string_view name, std::int32_t scan, Scan& out,
                       const ReadLimits& limits) {
    const Measurement m = survey_measurement(name);
    if (scan < 1) {
        ReaderStatus status;
        status.set(14, "Unexpected scan number received by orvaltdata1");
        return status;
    }
    return read_scans(name, m, limits, [&out](Scan& s) {
        out = std::move(s);
        return false;
    }, scan);
}

}  // namespace orvalt::xrdml

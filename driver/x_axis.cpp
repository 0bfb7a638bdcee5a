// Names of the x axis. Q and d-spacing are made from 2-theta only (the units
// check refuses them for another axis), so only the angle has a choice.
#include "driver/x_axis.h"

#include <algorithm>

namespace orvalt {

namespace {

constexpr std::string_view two_theta = "2-theta";

// A scan whose positions name no axis is taken for 2-theta, as ever.
std::string_view axis_of(const ScanTables& scans, std::int32_t scan) {
    const std::string& axis = scans.par.axis[static_cast<std::size_t>(scan - 1)];
    return axis.empty() || axis == xrdml::two_theta_axis ? two_theta : std::string_view(axis);
}

}  // namespace

std::string scan_angle_name(const ScanTables& scans, std::int32_t scan) {
    if (scan < 1 || scan > xrdml::max_scans) return std::string(two_theta);
    return std::string(axis_of(scans, scan));
}

std::string angle_name(const ScanTables& scans, std::int32_t iscan) {
    if (iscan > 0) return scan_angle_name(scans, iscan);
    const std::int32_t n = std::min(scans.census.nscans, xrdml::max_scans);
    if (n < 1) return std::string(two_theta);
    const std::string_view first = axis_of(scans, 1);
    for (std::int32_t s = 2; s <= n; ++s)
        if (axis_of(scans, s) != first) return std::string(two_theta);  // no one name fits
    return std::string(first);
}

std::string genie_x_label(const Answers& answers, const ScanTables& scans) {
    if (answers.iunits == 2) return "Momentum Transfer Q (\\A\\u-1\\d)";
    if (answers.iunits == 3) return "d-Spacing (\\A)";
    return angle_name(scans, answers.iscan);
}

std::string summary_x_name(const Answers& answers, const ScanTables& scans) {
    if (answers.iunits == 2) return "Q";
    if (answers.iunits == 3) return "d-spacing";
    return angle_name(scans, answers.iscan);
}

}  // namespace orvalt

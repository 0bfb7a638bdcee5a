// What the run state tells of itself.
#include "driver/run.h"

#include "g_f/text.h"

namespace orvalt {

std::string_view read_name(const RunFiles& files) {
    if (files.plain_copy.active()) return files.plain_copy.temporary_name();
    return trimmed(files.input_name);
}

std::string_view scan_axis(const ScanTables& scans, std::int32_t s) {
    const auto k = static_cast<std::size_t>(s);
    if (k >= scans.par.axis.size() || scans.par.axis[k].empty()) return xrdml::two_theta_axis;
    return scans.par.axis[k];
}

}  // namespace orvalt

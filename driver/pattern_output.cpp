// A run's spectrum as a pattern file, and what the formats refuse.
#include "driver/pattern_output.h"

#include <span>

#include "driver/request.h"
#include "g_f/numbers.h"

namespace orvalt {

namespace {

// The axis of scan s (0-based), an unnamed one taken for 2-theta.
std::string_view scan_axis(const ScanTables& scans, std::int32_t s) {
    const std::string& axis = scans.par.axis[static_cast<std::size_t>(s)];
    return axis.empty() ? xrdml::two_theta_axis : std::string_view(axis);
}

// The scans a run takes: the one chosen, or all of them.
std::pair<std::int32_t, std::int32_t> scans_taken(const Answers& a, const ScanTables& scans) {
    if (a.iscan > 0) return {a.iscan - 1, a.iscan};
    return {0, std::min(scans.census.nscans, xrdml::max_scans)};
}

std::string plural_scans(std::int32_t n) {
    return std::to_string(n) + (n == 1 ? " scan" : " scans");
}

}  // namespace

bool pattern_format_named(std::string_view name, PatternFormat& format) {
    for (const PatternFormat f : {PatternFormat::xye, PatternFormat::fxye, PatternFormat::cif}) {
        if (pattern_extension(f).substr(1) == name) {
            format = f;
            return true;
        }
    }
    return false;
}

std::string units_refusal(PatternFormat format, const Answers& answers) {
    if (format == PatternFormat::fxye && answers.iunits != 1)
        return std::string("the GSAS file (fxye) holds 2-theta only, not ") +
               (answers.iunits == 2 ? "Q" : "d-spacing");
    return {};
}

std::string axes_refusal(PatternFormat format, const Answers& answers, const ScanTables& scans) {
    const auto [first, end] = scans_taken(answers, scans);
    for (std::int32_t s = first; s < end; ++s) {
        const std::string_view axis = scan_axis(scans, s);
        if (axis != scan_axis(scans, first))
            return "scan " + format_integer(s + 1) + " moves the " + std::string(axis) +
                   " axis, scan " + format_integer(first + 1) + " the " +
                   std::string(scan_axis(scans, first)) + " axis: one file cannot label both";
        if (axis == xrdml::two_theta_axis) continue;
        if (format == PatternFormat::fxye)
            return "scan " + format_integer(s + 1) + " moves the " + std::string(axis) +
                   " axis: the GSAS file (fxye) holds 2-theta only";
        if (format == PatternFormat::cif && axis != "Phi" && axis != "Chi" && axis != "Omega")
            return "scan " + format_integer(s + 1) + " moves the " + std::string(axis) +
                   " axis: the powder CIF has no item for it";
    }
    return {};
}

PatternDescription describe_run(const RunFiles& files, const Answers& a, const ScanTables& scans,
                                std::int32_t nincl) {
    const xrdml::ScanCensus& c = scans.census;
    PatternDescription d;
    d.input_name = files.full_name;
    d.scan_choice = a.iscan > 0
                        ? "scan " + format_integer(a.iscan) + " of " + format_integer(c.nscans)
                    : a.iscan == separate_answer ? plural_scans(c.nscans) + " separately"
                    : a.iscan == gudrun_answer
                        ? "sum of " + format_integer(nincl) + " of " + plural_scans(c.nscans)
                        : "sum of " + plural_scans(c.nscans);
    d.wavelengths = {c.kalpha1, c.kalpha2, c.ratio, c.wavelength};
    const std::string_view axis =
        c.nscans > 0 ? scan_axis(scans, scans_taken(a, scans).first) : xrdml::two_theta_axis;
    d.x = a.iunits == 2                   ? XQuantity::q
          : a.iunits == 3                 ? XQuantity::d_spacing
          : axis == xrdml::two_theta_axis ? XQuantity::two_theta
                                          : XQuantity::angle;
    if (d.x == XQuantity::angle) d.axis = axis;
    d.counts = a.icps == 0;
    return d;
}

bool write_pattern_spectrum(Console& con, std::string_view name, PatternFormat format,
                            const PatternDescription& d, const Spectrum& spectrum,
                            std::int32_t scan) {
    const auto n = static_cast<std::size_t>(spectrum.ny);
    const Pattern p{scan, std::span(spectrum.x).first(n), std::span(spectrum.y).first(n),
                    std::span(spectrum.e).first(n)};
    return write_pattern_file(con, name, format, d, std::span(&p, 1));
}

}  // namespace orvalt

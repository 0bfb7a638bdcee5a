// The scan census: number of scans and the mean X-ray wavelength.
#include "xrdml/reader.h"

#include <cmath>
#include <string>

#include "g_f/console.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "xrdml/passes.h"

namespace orvalt::xrdml {

namespace {

constexpr std::string_view wavelength_problem = "Problem reading wavelength: ";

}  // namespace

bool wavelength_usable(const ScanCensus& c) {
    const auto positive = [](double v) { return std::isfinite(v) && v > 0.0; };
    return positive(c.kalpha1) && positive(c.kalpha2) && positive(c.wavelength) &&
           std::isfinite(c.ratio) && c.ratio >= 0.0;
}

CensusPass::CensusPass(ScanCensus& census, std::int32_t scan_limit)
    : census_(census),
      scan_limit_(scan_limit),
      elements_{{
          {"kAlpha1 unit=\"Angstrom\"", "kAlpha1", "count_scans: kAlpha1 = ",
           "**WARNING: Unexpected number of kAlpha1 values in file = "},
          {"kAlpha2 unit=\"Angstrom\"", "kAlpha2", "count_scans: kAlpha2 = ",
           "**WARNING: Unexpected number of kAlpha2 values in file = "},
          {"ratioKAlpha2KAlpha1", "ratioKAlpha2KAlpha1", "count_scans: ratioKAlpha2KAlpha1 = ",
           "**WARNING: Unexpected number of wavelength ratio values in file = "},
      }} {
    census_.nscans = 0;
}

bool CensusPass::take(Console& con, std::string_view line, const FirstElement& first,
                      ReaderStatus& status, std::int32_t verbose) {
    // Only lists and the three wavelength elements are looked at.
    if (!first.found || first.text.empty()) return true;
    if (const char c = first.text.front(); c != 'i' && c != 'c' && c != 'k' && c != 'r') return true;
    if (first.matches("intensities") || first.matches("counts")) ++census_.nscans;
    for (WavelengthElement& el : elements_) {
        if (!first.matches(el.keyword)) continue;
        ++el.count;
        switch (read_one_real(element_text(line).text, el.value)) {
            case OneNumber::ok: break;
            case OneNumber::not_a_number:
                status.set(5, std::string(wavelength_problem) + std::string(el.name) +
                                  " is not a number");
                return false;
            case OneNumber::more:
                status.set(more_than_one_number, std::string(one_number_message).append(el.name));
                return false;
        }
        if (verbose == 1) say_real(con, el.label, el.value);
    }
    return true;
}

void CensusPass::finish(Console& con, ReaderStatus& status, std::int32_t verbose) {
    for (const WavelengthElement& el : elements_) {
        if (el.count == 0) {
            status.set(5, std::string(wavelength_problem) + "the file has no " +
                              std::string(el.name) +
                              (el.keyword.find("Angstrom") != std::string_view::npos ? " in Angstrom"
                                                                                    : ""));
            return;
        }
        if (el.count > 1) say_warning(con, std::string(el.warning) + format_integer(el.count));
    }
    const double ka1 = elements_[0].value;
    const double ka2 = elements_[1].value;
    const double r = elements_[2].value;
    census_.wavelength = (ka1 + r * ka2) / (1.0 + r);
    census_.kalpha1 = ka1;
    census_.kalpha2 = ka2;
    census_.ratio = r;
    if (verbose == 1) {
        say_real(con, "count_scans: Wavelength = ", census_.wavelength);
        say_integer(con, "count_scans: Number of scans in file = ", census_.nscans);
    }
    // A limit of scans (the dialogue's) refuses the file here, once the
    // census has been reported.
    if (census_.nscans > scan_limit_) {
        status.set(16, "Too many scans in file (maximum " + format_integer(scan_limit_) + ")");
        status.note = "The file holds " + format_integer(census_.nscans) + " scans; " +
                      std::string(no_limit_note);
    }
}

}  // namespace orvalt::xrdml

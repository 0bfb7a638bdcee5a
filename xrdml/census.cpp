// The scan census: number of scans and the mean X-ray wavelength.
#include "xrdml/reader.h"

#include "g_f/console.h"
#include "g_f/numbers.h"
#include "xrdml/pass_lines.h"

namespace orvalt::xrdml {

namespace {

struct WavelengthElement {
    std::string_view keyword;
    std::string_view label;    // progress line
    std::string_view warning;  // more than one occurrence
    double value = 0.0;
    std::int32_t count = 0;
};

}  // namespace

void COUNTSCANS(Console& con, std::string_view name, ReaderStatus& status, ScanCensus& census,
                std::int32_t verbose) {
    WavelengthElement elements[3] = {
        {"kAlpha1 unit=\"Angstrom\"", "count_scans: kAlpha1 = ",
         "**WARNING: Unexpected number of kAlpha1 values in file = "},
        {"kAlpha2 unit=\"Angstrom\"", "count_scans: kAlpha2 = ",
         "**WARNING: Unexpected number of kAlpha2 values in file = "},
        {"ratioKAlpha2KAlpha1", "count_scans: ratioKAlpha2KAlpha1 = ",
         "**WARNING: Unexpected number of wavelength ratio values in file = "},
    };
    census.nscans = 0;

    PassLines lines(name);
    // A file gone since its existence check is no "missing wavelength".
    if (!lines.is_open()) {
        lines.report_end(status);
        return;
    }
    std::string_view line;
    while (lines.next(line)) {
        const FirstElement first = first_element(line);
        if (!first.found) continue;
        if (first.matches("intensities") || first.matches("counts")) ++census.nscans;
        for (WavelengthElement& el : elements) {
            if (!first.matches(el.keyword)) continue;
            ++el.count;
            if (!read_first_real(element_text(line).text, el.value)) {
                lines.close();
                status.set(5, "Problem reading wavelength");
                return;
            }
            if (verbose == 1) say_real(con, el.label, el.value);
        }
    }
    lines.close();

    for (const WavelengthElement& el : elements) {
        if (el.count == 0) {
            status.set(5, "Problem reading wavelength");
            return;
        }
        if (el.count > 1) say_integer(con, el.warning, el.count);
    }
    const double ka1 = elements[0].value;
    const double ka2 = elements[1].value;
    const double r = elements[2].value;
    census.wavelength = (ka1 + r * ka2) / (1.0 + r);
    if (verbose == 1) {
        say_real(con, "count_scans: Wavelength = ", census.wavelength);
        say_integer(con, "count_scans: Number of scans in file = ", census.nscans);
    }
    // The per-scan tables hold max_scans entries; refuse the file here, once
    // the census has been reported.
    if (census.nscans > max_scans) status.set(16, "Too many scans in file (maximum 200)");
}

}  // namespace orvalt::xrdml

// The census of the input file at the start of a conversion, and what the
// run takes of its wavelengths.
#include "driver/census.h"

#include <cmath>
#include <string>
#include <utility>

#include "driver/messages.h"
#include "g_f/console.h"
#include "g_f/input_files.h"
#include "g_f/numbers.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::string_view too_long_text = "Line too long in XRDML file";
constexpr std::string_view not_xrdml_text = "not an XRDML file (it holds no xrdMeasurement element)";

// A file that is not a measurement at all fails on its wavelength first; a
// report can say what it is (a damaged archive says so itself).
bool not_xrdml(const xrdml::FileSurvey& survey) {
    return survey.census_status.ierr == 5 && !survey.xrdml_root;
}

}  // namespace

void check_file_read(Console& con, const std::string& name, const xrdml::FileSurvey& survey) {
    if (!survey.opened) stop_census_unopened(con, name);
    xrdml::ReaderStatus status;
    if (survey.too_long) status.set(18, too_long_text);
    xrdml::ERRCHECK(con, status);
    const std::int32_t ierr = survey.census_status.ierr;
    // 19: a damaged archive or a read error.
    if (ierr == 19 || ierr == xrdml::file_changed) xrdml::ERRCHECK(con, survey.census_status);
    if (not_xrdml(survey)) xrdml::ERRCHECK(con, survey.census_status, not_xrdml_text);
}

ScanTables take_census(
    Console& con, RunFiles& files, std::int32_t scan_limit,
    std::function<void(std::string_view, const xrdml::FirstElement&)> each_line,
    xrdml::FactsKept facts) {
    const std::string name(trimmed(files.input_name));
    ScanTables scans;
    xrdml::ReaderStatus status;
    // The records, the scans with their wavelengths and the scans' parameters
    // from one reading of the file, reported in that order.
    xrdml::SurveyOptions options;
    options.verbose = 1;
    options.scan_limit = scan_limit;
    options.plain_copy = &files.plain_copy;
    options.each_line = std::move(each_line);
    options.facts = facts;
    xrdml::FileSurvey survey = xrdml::survey_file(name, status, scans.census, scans.par, options);
    if (!survey.opened) stop_census_unopened(con, name);
    std::int32_t nrec = 0;
    std::int32_t maxlen = 0;
    if (survey.too_long) {
        // No pass holds a line longer than the reader's limit: the census of
        // the records, which only measures lines, tells how long it is.
        inqfilerec(con, name, 99, 1, nrec, maxlen);
        status.set(18, too_long_text);
        xrdml::ERRCHECK(con, status);
    }
    report_record_census(con, survey.records, 1, nrec, maxlen);
    con.out << survey.census_report;
    if (con.report)
        for (const std::string& line : survey.census_warnings)
            con.report(MessageKind::warning, line);
    xrdml::ERRCHECK(con, survey.census_status,
                    not_xrdml(survey) ? not_xrdml_text : std::string_view());
    xrdml::ERRCHECK(con, survey.parameter_status);
    // A compressed input is read on from this run's own copy, which nothing changes.
    scans.stamped = survey.stamped && !files.plain_copy.active();
    scans.stamp = survey.stamp;
    return scans;
}

Wavelengths wavelengths_used(const Request& request, const xrdml::ScanCensus& census) {
    Wavelengths w{census.kalpha1, census.kalpha2, census.ratio, census.wavelength,
                  request.wavelength, census.wavelength};
    if (request.wavelength == WavelengthSource::kalpha1) w.value = census.kalpha1;
    if (request.wavelength == WavelengthSource::given) w.value = request.given_wavelength;
    return w;
}

void check_wavelength(Console& con, const Request& request, const xrdml::ScanCensus& census) {
    switch (request.wavelength) {
        case WavelengthSource::mean:
            if (xrdml::wavelength_usable(census)) return;
            if (!(census.ratio >= 0.0))
                stop_with_error(con, "The ratio of the wavelengths is negative");
            break;
        case WavelengthSource::kalpha1:
            if (std::isfinite(census.kalpha1) && census.kalpha1 > 0.0) return;
            break;
        case WavelengthSource::given: return;
    }
    stop_with_error(con, "Wavelength is not a positive number");
}

void warn_of_the_file(Console& con, const Request& request, const xrdml::ScanCensus& census,
                      bool uses_wavelength) {
    if (request.front_end != FrontEnd::command_line) return;
    if (!census.root_closed) {
        std::string text = "the file ends before </xrdMeasurements>: it was cut short";
        if (census.cut_scan > 0)
            text += ", inside scan " + format_integer(census.cut_scan);
        say_warning(con, "**WARNING: " + text);
    }
    // A ratio of 0 makes the mean K-alpha1 itself: nothing to say then.
    if (uses_wavelength && request.wavelength == WavelengthSource::mean &&
        !census.beam.monochromator.empty() && census.wavelength != census.kalpha1) {
        const std::string text =
            "the incident beam passes a crystal monochromator (" + census.beam.monochromator +
            "), which lets K-alpha1 alone through, but the wavelength used is the mean of "
            "K-alpha1 and K-alpha2; --wavelength kalpha1 takes K-alpha1";
        say_warning(con, "**WARNING: " + text);
    }
}

}  // namespace orvalt

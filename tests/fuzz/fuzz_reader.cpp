// Fuzz target: the reading passes on arbitrary file bytes. The bytes go to a
// temporary file, which every pass then reads as the program would: the
// survey (record census, scan census, scan parameters; held against the
// separate passes of the tests' support), single scans and the sum.
// A Stop is an expected end; anything else that goes wrong is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "g_f/console.h"
#include "g_f/input_files.h"
#include "g_f/stop.h"
#include "tests/scratch_folder.h"
#include "tests/support/xrdml_passes.h"
#include "xrdml/reader.h"
#include "xrdml/scan.h"

namespace {

namespace xr = orvalt::xrdml;

// One file per process in a folder of its own, rewritten for every input;
// both are removed when the process ends normally.
const std::string& scratch_file() {
    static const orvalt::test::TempDir folder("orvalt_fuzz_reader");
    static const std::string path = folder.file("input.xrdml");
    return path;
}

void read_scan(orvalt::Console& con, const std::string& name, std::int32_t scan,
               std::vector<double>& y, std::vector<double>& e) {
    xr::ReaderStatus status;
    std::int32_t ny = -1;
    xr::ORVALTDATA1(con, name, status, y, e, xr::mn, ny, scan, 1);
    if (status.ierr == 0 && (ny < 0 || ny > xr::mn)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& name = scratch_file();
    {
        std::FILE* f = std::fopen(name.c_str(), "wb");
        if (f == nullptr) return 0;
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }

    std::istringstream in;
    std::ostringstream out;
    orvalt::Console con{in, out};
    static std::vector<double> y(xr::mn), e(xr::mn);

    try {
        std::int32_t nrec = 0, maxlen = 0;
        orvalt::inqfilerec(con, name, 99, 1, nrec, maxlen);
        const std::string records_report = out.str();

        xr::ReaderStatus status;
        xr::ScanCensus census;
        orvalt::test::COUNTSCANS(con, name, status, census, 1);
        if (status.message.size() != 80) __builtin_trap();
        const std::string census_report = out.str().substr(records_report.size());

        // The one reading of the three gives what they give alone.
        xr::ScanCensus census2;
        xr::ScanParameters par2;
        xr::SurveyOptions options;
        options.verbose = 1;
        const xr::FileSurvey survey = xr::survey_file(name, xr::ReaderStatus{}, census2, par2, options);
        std::ostringstream records2;
        orvalt::Console con2{in, records2};
        std::int32_t nrec2 = 0, maxlen2 = 0;
        orvalt::report_record_census(con2, survey.records, 1, nrec2, maxlen2);
        if (!survey.opened || records2.str() != records_report ||
            survey.census_report != census_report || survey.census_status.ierr != status.ierr ||
            survey.census_status.message != status.message || census2.nscans != census.nscans)
            __builtin_trap();

        if (status.ierr != 0) return 0;
        if (census.nscans < 0 || par2.facts.size() != static_cast<std::size_t>(census.nscans))
            __builtin_trap();

        xr::ScanParameters par;
        orvalt::test::ORVALTPAR(name, status, par, census.nscans);
        if (survey.parameter_status.ierr != status.ierr ||
            survey.parameter_status.message != status.message ||
            par2.start_position != par.start_position || par2.end_position != par.end_position ||
            par2.counting_time != par.counting_time || par2.axis != par.axis)
            __builtin_trap();
        if (status.ierr != 0) return 0;

        const std::int32_t nscans = census.nscans;
        for (std::int32_t scan : {1, 2, nscans})
            if (scan >= 1 && scan <= nscans) read_scan(con, name, scan, y, e);

        // Whole scans, x as listed or spread, as a program reading measurements takes them.
        const xr::Measurement m = xr::survey_measurement(name);
        xr::read_scans(name, m, {xr::unlimited, true}, [&](xr::Scan& scan) {
            if (scan.x.size() != scan.counts.size() || scan.errors.size() != scan.counts.size())
                __builtin_trap();
            return scan.number < 3;
        });

        std::vector<std::int32_t> weight(static_cast<std::size_t>(nscans), 1),
            npts(static_cast<std::size_t>(nscans), 0);
        if (nscans > 1) weight[1] = 0;  // one scan left out of the sum
        xr::ReaderStatus sum_status;
        std::int32_t ny = -1;
        xr::ORVALTDATATOT(con, name, sum_status, y, e, xr::mn, npts, weight, ny, nscans, 1);
        if (sum_status.ierr == 0 && (ny < 0 || ny > xr::mn)) __builtin_trap();
    } catch (const orvalt::Stop&) {
    }
    return 0;
}

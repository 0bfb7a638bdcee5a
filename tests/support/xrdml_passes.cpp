#include "tests/support/xrdml_passes.h"

#include "g_f/chars.h"
#include "xrdml/pass_lines.h"
#include "xrdml/passes.h"

namespace orvalt::test {

using namespace orvalt::xrdml;

void COUNTSCANS(Console& con, std::string_view name, ReaderStatus& status, ScanCensus& census,
                std::int32_t verbose) {
    CensusPass pass(census);
    PassLines lines(name);
    std::string_view line;
    while (lines.next(line)) {
        if (!pass.take(con, line, first_element(line), status, verbose)) {
            lines.close();
            return;
        }
    }
    lines.close();
    pass.finish(con, status, verbose);
}

void ORVALTPAR(std::string_view name, ReaderStatus& status, ScanParameters& par,
               std::int32_t nscans) {
    status.ierr = 0;
    ParameterPass pass(par);
    PassLines lines(name);
    std::string_view line;
    for (;;) {
        if (!lines.next(line)) {
            lines.close();
            pass.report_missing(nscans, status);
            return;
        }
        if (!pass.take(line, first_element(line), lines.line_offset(), status)) {
            lines.close();
            return;
        }
        if (pass.least_count() >= nscans) break;
    }
    lines.close();
    pass.stop_at(pass.stop_here(), nscans, status);
}

xrdml::FileSurvey survey(std::string_view name, ScanCensus& census, ScanParameters& par,
                         std::int32_t verbose, ScratchFile* plain_copy) {
    SurveyOptions options;
    options.verbose = verbose;
    options.plain_copy = plain_copy;
    return survey_file(name, ReaderStatus{}, census, par, options);
}

namespace {

bool is_separator(char c) { return is_blank_or_tab(c) || c == ','; }

// Stores a 1-based position as entry `count` (1-based) of a table that grows on demand.
void store(std::vector<std::int32_t>& table, std::int32_t count, std::size_t value) {
    const auto index = static_cast<std::size_t>(count - 1);
    if (index >= table.size()) table.resize(index + 1);
    table[index] = static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t split_fields(std::string_view text, std::vector<std::int32_t>& starts) {
    const std::size_t L = text.size();
    if (text.find_first_not_of(' ') == std::string_view::npos) return 0;
    std::int32_t n = 0;
    if (!is_blank_or_tab(text[0])) store(starts, ++n, 1);
    for (std::size_t i = 0; i + 1 < L; ++i) {
        if (is_separator(text[i]) && !is_blank_or_tab(text[i + 1])) store(starts, ++n, i + 2);
    }
    store(starts, n + 1, L + 1);
    if (n == 0) return 0;  // only blanks and tabs: no field to trim
    // The last field loses its trailing separators.
    for (std::size_t j = L; j >= static_cast<std::size_t>(starts[n - 1]); --j) {
        if (!is_separator(text[j - 1])) break;
        starts[n] = static_cast<std::int32_t>(j);
    }
    return n;
}

}  // namespace orvalt::test

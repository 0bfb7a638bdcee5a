// The reader's census and parameter passes as separate readings of a file,
// line by line, and the field splitting of a number list done position by
// position. The program makes both passes in one reading (survey_file) and
// reads lists with read_number_fields; the tests hold those against these,
// which reach the same results by a plainer way.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "xrdml/reader.h"

namespace orvalt::test {

// The scan census in a reading of its own: what survey_file gives as
// census_status, census and census_report (printed on `con`). The file
// must exist.
void COUNTSCANS(Console& con, std::string_view name, xrdml::ReaderStatus& status,
                xrdml::ScanCensus& census, std::int32_t verbose);

// The scan parameters in a reading of their own, for `nscans` scans: what
// survey_file gives as par and parameter_status when its census counts
// nscans. Stops at the line where every kind has been met nscans times.
void ORVALTPAR(std::string_view name, xrdml::ReaderStatus& status, xrdml::ScanParameters& par,
               std::int32_t nscans);

// survey_file with its options but verbose and the copy taken as they
// come, as a run of the dialogue takes them (no limit of scans).
xrdml::FileSurvey survey(std::string_view name, xrdml::ScanCensus& census,
                         xrdml::ScanParameters& par, std::int32_t verbose,
                         ScratchFile* plain_copy = nullptr);

// Field starts (1-based) of a text separated by blanks, commas or tabs: on
// return starts[0..n] hold the n + 1 entries, the last one past the last
// field; returns n.
std::int32_t split_fields(std::string_view text, std::vector<std::int32_t>& starts);

}  // namespace orvalt::test

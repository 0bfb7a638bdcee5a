// The line-by-line work of the scan census and of the scan parameters pass,
// apart from the reading: survey_file feeds both from one reading of the file
// (the tests' separate passes, tests/support/xrdml_passes.h, each from a
// reading of its own).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xrdml/reader.h"

namespace orvalt::xrdml {

// The message of ierr 21.
inline constexpr std::string_view changed_message = "XRDML file changed while it was being read";

// The message of ierr 20, followed by the element's name.
inline constexpr std::string_view one_number_message = "More than one number where one is expected: ";

class CensusPass {
public:
    explicit CensusPass(ScanCensus& census);
    // Takes one line outside comments. False when a wavelength could not be
    // read (status set): the census is over.
    bool take(Console& con, std::string_view line, ReaderStatus& status, std::int32_t verbose);
    // After the last line: the checks, the wavelength and the closing lines.
    void finish(Console& con, ReaderStatus& status, std::int32_t verbose);
    std::int32_t scans() const { return census_.nscans; }

private:
    struct WavelengthElement {
        std::string_view keyword;
        std::string_view name;     // in messages
        std::string_view label;    // progress line
        std::string_view warning;  // more than one occurrence
        double value = 0.0;
        std::int32_t count = 0;
    };
    ScanCensus& census_;
    std::array<WavelengthElement, 3> elements_;
};

class ParameterPass {
public:
    // Starts the tables' axes afresh; the value tables keep what they hold
    // until an element overwrites an entry.
    explicit ParameterPass(ScanParameters& par);
    // Takes one line outside comments. False when an element could not be
    // read (status set): the pass is over.
    bool take(std::string_view line, ReaderStatus& status);
    // How often each of start position, end position and counting time has
    // been met, and the least of them.
    std::array<std::int32_t, 3> counts() const;
    std::int32_t least_count() const;
    // ierr 15 unless every kind has been met nscans times.
    static void check_counts(const std::array<std::int32_t, 3>& counts, std::int32_t nscans,
                             ReaderStatus& status);

private:
    struct Element {
        std::string_view keyword;
        std::string_view name;  // in messages
        std::array<double, max_scans>* table;
        std::int32_t ierr;
        std::string_view message;
        std::int32_t count = 0;
        void store(double value);
    };
    struct Position {
        Element* element;
        double value;
        std::string axis;
    };
    std::string settle_scan_positions();

    ScanParameters& par_;
    std::array<Element, 3> elements_;
    // The positions of a scan are those met since the previous counting time.
    std::vector<Position> positions_;
    std::string axis_;  // of the positions block the line stands in
};

}  // namespace orvalt::xrdml

// What a file holds, scan by scan, for a table a person reads before
// choosing what to convert: besides each scan's facts (xrdml/facts.h, from
// the survey), the number, total and largest of the counts of each list and
// the wavelengths as the file gives them, read along with the survey;
// nothing the conversion takes from that reading is touched. Its memory is
// that of a few numbers per list, whatever the lists hold.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "xrdml/lines.h"

namespace orvalt::xrdml {

struct ListTotals {
    std::int32_t points = 0;
    double total = 0.0, maximum = 0.0;  // of the list as it stands
    std::int32_t first_bad = 0;       // the first point (1-based) that is no number; 0: none
    std::int32_t first_negative = 0;  // the first point below zero; 0: none
    bool closed = true;               // the list closes on its line
};

// A wavelength element of the file: whether it is there and reads.
struct WavelengthValue {
    bool present = false, readable = false;
    double value = 0.0;
};

struct ScanTable {
    WavelengthValue k_alpha1, k_alpha2, ratio;
    std::vector<ListTotals> lists;  // one per intensity list, in file order
};

// The table's part of a reading: handed the lines of the survey's reading in
// order, those inside comments left out (survey_file's each_line).
class ScanTableReader {
public:
    void take(std::string_view line, const FirstElement& first);
    ScanTable finish() { return std::move(table_); }

private:
    ScanTable table_;
};

}  // namespace orvalt::xrdml

// What a file holds, scan by scan, for a table a person reads before
// choosing what to convert: the axes each scan moves and where the others
// stand, its points and counting time, its total and largest count. Built
// from the lines of the survey's reading; what the conversion takes from
// that reading is not touched.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt::xrdml {

struct AxisPositions {
    std::string axis, unit;  // as the file names them
    double start = 0.0, end = 0.0;  // equal for an axis that stands still
    bool moves = false;
};

struct ScanRow {
    // The axis the scan is read on: its only moving axis, or 2Theta when
    // several move together ("" when none or several others move).
    std::string axis;
    std::vector<AxisPositions> positions;  // every axis of the scan, in file order
    std::int32_t points = 0;
    double counting_time = 0.0;  // seconds; 0 when the file gives none
    bool has_counting_time = false;
    double total = 0.0, maximum = 0.0;  // of the list as it stands
    const AxisPositions* read_axis() const;  // the positions of `axis`, if any
};

struct ScanTable {
    double k_alpha1 = 0.0, k_alpha2 = 0.0, ratio = 0.0;
    bool has_k_alpha1 = false, has_k_alpha2 = false, has_ratio = false;
    std::vector<ScanRow> scans;  // however many the file holds
};

// The table of a file, built from its lines handed over in order, those
// inside comments left out: the survey's reading hands them on
// (survey_file's each_line), so that a listing reads the file once. A value
// that does not read is left at 0; a list's fields that are not numbers
// count as points but add nothing.
class ScanTableReader {
public:
    ScanTableReader();
    ~ScanTableReader();
    void take(std::string_view line);
    ScanTable finish();

private:
    struct Builder;
    std::unique_ptr<Builder> builder_;
};

}  // namespace orvalt::xrdml

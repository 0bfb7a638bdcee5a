// The input file: finding it (check_file) and its record census (inqfilerec
// and the same report for a pass that reads the lines itself).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvalt {

struct Console;

// `name` and `full_name` are fields (their sizes are their lengths). Status:
// 1 found, 2 missing, plus 10 for an option outside 0..3. Option 1 with a
// print flag asks for another name until one exists; an empty answer stops
// (status 1). Option 0 stops (status 1) on a missing file.
void check_file(Console& con, std::string& name, std::string& full_name, std::int32_t iopt,
                std::int32_t print, std::int32_t& status);

// Number of lines and the length of the longest (CR of CRLF not counted).
void inqfilerec(Console& con, std::string_view name, std::int32_t unit, std::int32_t print,
                std::int32_t& nrec, std::int32_t& maxlen);

// The same census for a pass that reads the lines itself: shown every line of
// the file, then reported as inqfilerec reports it.
struct RecordCensus {
    std::size_t records = 0;
    std::size_t longest = 0;
    void add(std::string_view line) { add_length(line.size()); }
    void add_length(std::size_t length) {
        ++records;
        if (length > longest) longest = length;
    }
};
void report_record_census(Console& con, const RecordCensus& census, std::int32_t print,
                          std::int32_t& nrec, std::int32_t& maxlen);
// inqfilerec's report of a file it cannot open; Stop{1}.
[[noreturn]] void stop_census_unopened(Console& con, const std::string& path);

}  // namespace orvalt

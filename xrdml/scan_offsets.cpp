// The remembered offsets of the intensity lines, and the search for a scan's
// line that starts at them.
#include "xrdml/scan_offsets.h"

#include <algorithm>
#include <system_error>

#include "g_f/text.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

void ScanOffsets::check(std::string_view name) {
    const std::string path(trimmed(name));
    std::error_code size_error, time_error;
    const std::uintmax_t size = std::filesystem::file_size(path, size_error);
    const auto time = std::filesystem::last_write_time(path, time_error);
    const bool identified = !size_error && !time_error;
    if (identified && identified_ && path == name_ && size == size_) {
        if (time == time_) return;
    }
    offsets_.clear();
    identified_ = identified;
    name_ = path;
    size_ = size;
    time_ = time;
}

void ScanOffsets::remember(std::int32_t scan, std::uint64_t offset) {
    if (!identified_ || scan < 1 || scan > max_scans) return;
    const auto index = static_cast<std::size_t>(scan - 1);
    if (index < offsets_.size()) offsets_[index] = offset;
    else if (index == offsets_.size()) offsets_.push_back(offset);
}

bool find_scan_line(PassLines& lines, std::int32_t scan, std::int32_t& counter,
                    std::string_view& line, bool (*is_scan_line)(std::string_view),
                    ScanOffsets& offsets) {
    counter = 0;
    const std::int32_t nearest = std::min(scan, offsets.known());
    if (nearest >= 1 && lines.seek(offsets.offset(nearest))) {
        if (lines.next(line) && is_scan_line(line)) {
            counter = nearest;
            if (counter >= scan) return true;
        } else {
            // Not the line it was: the file is not what the offsets describe.
            offsets.forget();
            lines.seek(0);  // where it cannot seek, it has gone back to the start
        }
    }
    for (;;) {
        if (!lines.next(line)) return false;
        if (!is_scan_line(line)) continue;
        offsets.remember(++counter, lines.line_offset());
        if (counter >= scan) return true;
    }
}

}  // namespace orvalt::xrdml

// Where the intensity lines of a file begin, remembered as the passes meet
// them, so that a pass for a later scan starts at the nearest one it knows of
// instead of reading the file again from the top. The owner (the driver, for
// as long as it loads one scan after the other) keeps it between passes.
//
// An offset is trusted only while the file is the same: same name, size and
// modification time as when the offsets were taken, and the line found at
// the offset again an intensity line. Otherwise the pass reads from the top,
// so what it finds is always what a pass from the top finds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "g_f/file_system.h"
#include "xrdml/pass_lines.h"

namespace orvalt::xrdml {

// Tells a search which lines are scan lines; it is shown every line the
// search reads, in file order, and may keep a small state of what it has
// been shown. That state is remembered with each scan line and given back
// when a later search starts right after that line.
class ScanLineFilter {
public:
    virtual bool is_scan_line(std::string_view line) = 0;
    virtual std::uint8_t state() const { return 0; }
    virtual void restore(std::uint8_t) {}

protected:
    ~ScanLineFilter() = default;
};

class ScanOffsets {
public:
    // Takes the file's name, size and modification time; when they differ
    // from those the offsets were taken with, the offsets are forgotten.
    // Call it before the file is opened, so that a change made while a pass
    // reads shows at the next check. With `expected` (the file as the census
    // found it, which every pass holds the file to) that stamp stands for
    // the file, and nothing is asked of the system.
    void check(std::string_view name, const FileStamp* expected = nullptr);

    // Where a scan's line begins and where the line after it begins, with
    // what reading on after it must know: whether a comment is left open,
    // and the filter's state.
    struct Line {
        std::uint64_t start = 0;
        std::uint64_t next = 0;
        bool comment_open = false;
        std::uint8_t state = 0;
    };

    // Number of scans, from scan 1 on, whose line is known.
    std::int32_t known() const { return static_cast<std::int32_t>(lines_.size()); }
    const Line& line(std::int32_t scan) const { return lines_[static_cast<std::size_t>(scan - 1)]; }
    // Kept only for a file whose identity is known, and for scans met in order.
    void remember(std::int32_t scan, Line where);
    void forget() {
        lines_.clear();
        open_.reset();
    }

    // A pass may leave the file open right after the line of the scan it
    // found (a remembered one); the pass for a later scan then reads on
    // there, without opening the file again or reading that line's head, as
    // long as check() finds the file unchanged. Anything else closes it.
    void keep_open(std::unique_ptr<PassLines> lines, std::int32_t scan);
    // The lines kept open, if they stand before scan `scan`'s line, with the
    // scan whose line they stand after; otherwise null (and closed).
    std::unique_ptr<PassLines> take_open(std::int32_t scan, std::int32_t& after);
    void close() { open_.reset(); }

private:
    bool identified_ = false;
    std::string name_;
    std::uintmax_t size_ = 0;
    std::filesystem::file_time_type time_{};
    bool stamped_ = false;  // identified by an expected stamp, not by size and time
    FileStamp stamp_;
    std::vector<Line> lines_;  // entry s - 1: scan s
    std::unique_ptr<PassLines> open_;
    std::int32_t open_after_ = 0;
};

// Reads `lines` up to the line of scan `scan`, the scan-th line that the
// filter accepts, and leaves it in `line`; counter ends as the number of such
// lines counted. Starts right after the remembered line of the nearest scan
// before `scan` (reading of that line only its start and its line end), so
// the filter sees every line between it and the scan's own, and remembers
// the lines it meets. `after` > 0: `lines` stands right after the remembered
// line of scan `after` (kept open by the pass that found it), and reading
// goes on from there. False when the file ends, or cannot be read, first.
bool find_scan_line(PassLines& lines, std::int32_t scan, std::int32_t& counter,
                    std::string_view& line, ScanLineFilter& filter, ScanOffsets& offsets,
                    std::int32_t after = 0);

}  // namespace orvalt::xrdml

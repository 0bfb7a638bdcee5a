// The remembered offsets of the intensity lines, and the search for a scan's
// line that starts at them.
#include "xrdml/scan_offsets.h"

#include <algorithm>
#include <system_error>

#include "g_f/file_system.h"
#include "g_f/line_reader.h"
#include "g_f/text.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

void ScanOffsets::check(std::string_view name, const FileStamp* expected) {
    const std::string path(trimmed(name));
    if (expected != nullptr) {
        if (identified_ && stamped_ && path == name_ && *expected == stamp_) return;
        forget();
        identified_ = stamped_ = true;
        name_ = path;
        stamp_ = *expected;
        return;
    }
    stamped_ = false;
    std::error_code size_error, time_error;
    const std::uintmax_t size = std::filesystem::file_size(path_of(path), size_error);
    const auto time = std::filesystem::last_write_time(path_of(path), time_error);
    const bool identified = !size_error && !time_error;
    if (identified && identified_ && path == name_ && size == size_ && time == time_) return;
    forget();
    identified_ = identified;
    name_ = path;
    size_ = size;
    time_ = time;
}

void ScanOffsets::remember(std::int32_t scan, Line where) {
    if (!identified_ || scan < 1) return;
    const auto index = static_cast<std::size_t>(scan - 1);
    if (index < lines_.size()) lines_[index] = where;
    else if (index == lines_.size()) lines_.push_back(where);
}

void ScanOffsets::keep_open(std::unique_ptr<PassLines> lines, std::int32_t scan) {
    open_.reset();
    if (scan < 1 || scan > known() || lines->next_offset() != line(scan).next) return;
    open_ = std::move(lines);
    open_after_ = scan;
}

std::unique_ptr<PassLines> ScanOffsets::take_open(std::int32_t scan, std::int32_t& after) {
    std::unique_ptr<PassLines> lines = std::move(open_);
    after = lines && open_after_ < scan ? open_after_ : 0;
    if (after == 0) lines.reset();
    return lines;
}

namespace {

// Whether the remembered line still begins as a scan line and still ends
// right before the next one, read from its first bytes and its line end
// only. If so, `lines` and the filter read on after it as if it had just
// been read.
bool still_there(PassLines& lines, const ScanOffsets::Line& where, ScanLineFilter& filter) {
    if (where.next <= where.start) return false;
    char head[4096];
    const std::size_t got = lines.read_at(where.start, head, sizeof head);
    std::string_view text(head, got);
    const std::size_t lf = text.find('\n');
    if (lf != std::string_view::npos) {
        if (where.start + lf + 1 != where.next) return false;
        text = text.substr(0, lf);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    } else {
        char end = 0;
        if (where.next - where.start <= got || lines.read_at(where.next - 1, &end, 1) != 1 ||
            end != '\n')
            return false;
    }
    // A line that starts as a scan line is one: its element name lies in
    // the first bytes, or the test fails and the pass reads from the top.
    // The next scan's line is most likely as long as this one: the first
    // read takes that and the few lines between them in one go.
    constexpr std::uint64_t lines_between = std::uint64_t{16} << 10;
    const auto first_read = static_cast<std::size_t>(std::clamp<std::uint64_t>(
        where.next - where.start + lines_between, LineReader::first_read_after_seek,
        LineReader::block_size));
    if (!filter.is_scan_line(text) || !lines.seek(where.next, where.comment_open, first_read))
        return false;
    filter.restore(where.state);
    return true;
}

}  // namespace

bool find_scan_line(PassLines& lines, std::int32_t scan, std::int32_t& counter,
                    std::string_view& line, ScanLineFilter& filter, ScanOffsets& offsets,
                    std::int32_t after) {
    counter = 0;
    const std::int32_t nearest = std::min(scan - 1, offsets.known());
    if (after >= 1) {
        counter = after;
        filter.restore(offsets.line(after).state);
    } else if (nearest >= 1) {
        if (still_there(lines, offsets.line(nearest), filter)) {
            counter = nearest;
        } else {
            // Not the line it was: the file is not what the offsets describe.
            offsets.forget();
            filter.restore(0);
            lines.seek(0);  // where it cannot seek, it has gone back to the start
        }
    }
    for (;;) {
        if (!lines.next(line)) return false;
        if (!filter.is_scan_line(line)) continue;
        offsets.remember(++counter, {lines.line_offset(), lines.next_offset(),
                                     lines.comment_open(), filter.state()});
        if (counter >= scan) return true;
    }
}

}  // namespace orvalt::xrdml

// LineReader: a block of 1 MiB read in pieces of read_chunk, line ends found
// with memchr. A line that fits in the block is handed out in place; a
// longer one is first measured, then read again whole into long_line_, sized
// exactly, so memory stays the longest line plus one block, and a line beyond
// max_line is never held. The
// bytes come from an InputStream, decompressed when the file is; reading a
// long line again then decompresses the file up to it once more.
#include "g_f/line_reader.h"

#include <algorithm>
#include <cstring>


namespace orvalt {

namespace {

// The CR of a CRLF line end is not part of the line.
std::string_view without_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace

bool LineReader::open(const std::string& path) {
    close();
    ++reads_;  // another file, maybe: not what a stamp was last looked at after
    if (!in_.open(path)) return false;
    // Not zero-filled: only the bytes read into it are ever looked at.
    if (!buf_) buf_.reset(new char[block_size]);
    return true;
}

void LineReader::close() {
    in_.close();
    begin_ = end_ = 0;
    block_offset_ = 0;
    long_line_.clear();
    long_line_.shrink_to_fit();
    eof_ = false;
    too_long_ = false;
    line_offset_ = 0;
    read_size_ = read_chunk;
}

bool LineReader::seek(std::uint64_t offset, std::size_t first_read) {
    if (!in_.is_open()) return false;
    begin_ = end_ = 0;
    long_line_.clear();
    eof_ = false;
    too_long_ = false;
    if (in_.seek(offset)) {
        block_offset_ = offset;
        read_size_ = std::clamp<std::size_t>(first_read, 1, read_chunk);
        return true;
    }
    in_.seek(0);
    block_offset_ = 0;
    read_size_ = read_chunk;
    return false;
}

std::size_t LineReader::read_at(std::uint64_t offset, char* out, std::size_t n) {
    if (!seek(offset)) return 0;
    const std::size_t got = read_file(out, n);
    block_offset_ += got;
    return got;
}

// Moves the unread part to the front of the block and reads on after it.
// False when nothing more came (end of file or a read error).
bool LineReader::fill() {
    if (begin_ > 0) {
        std::memmove(buf_.get(), buf_.get() + begin_, end_ - begin_);
        block_offset_ += begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    if (eof_ || end_ == block_size) return false;
    const std::size_t want = std::min(block_size - end_, read_size_);
    read_size_ = std::min(2 * read_size_, read_chunk);
    const std::size_t got = read_file(buf_.get() + end_, want);
    end_ += got;
    if (got == 0) eof_ = true;
    return got > 0;
}

bool LineReader::next_length(std::size_t& length) {
    if (!in_.is_open()) return false;
    length = 0;
    bool any = false;
    char last = 0;  // the line's last character so far
    for (;;) {
        if (begin_ < end_) {
            any = true;
            const char* start = buf_.get() + begin_;
            const auto* lf = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            const std::size_t len = lf ? static_cast<std::size_t>(lf - start) : end_ - begin_;
            if (len > 0) last = start[len - 1];
            length += len;
            begin_ += len;
            if (lf) {
                ++begin_;
                if (last == '\r') --length;
                return true;
            }
        }
        if (!fill()) {
            if (failed()) return false;
            // A last line without a line end still counts, without a final CR.
            if (any && last == '\r') --length;
            return any;
        }
    }
}

bool LineReader::next(std::string_view& line) {
    if (!in_.is_open() || too_long_) return false;
    long_line_.clear();
    line_offset_ = block_offset_ + begin_;
    for (;;) {
        if (begin_ < end_) {
            const char* start = buf_.get() + begin_;
            const auto* lf = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            if (lf) {
                const auto len = static_cast<std::size_t>(lf - start);
                begin_ += len + 1;
                line = without_cr(std::string_view(start, len));
                return true;
            }
        }
        if (begin_ == 0 && end_ == block_size) return gather(line);
        if (!fill()) {
            if (failed()) {
                begin_ = end_ = 0;
                return false;
            }
            // A last line without a line end still counts.
            if (begin_ == end_) return false;
            line = without_cr(std::string_view(buf_.get() + begin_, end_ - begin_));
            begin_ = end_;
            return true;
        }
    }
}

// The line at the front of a full block is longer than the block: measure
// it, then read it whole into a string of its exact size.
bool LineReader::gather(std::string_view& line) {
    const unsigned long long line_start = block_offset_;
    std::size_t length = 0;
    bool ended = false;  // by a line end (not the end of the file)
    for (;;) {
        const auto* lf =
            static_cast<const char*>(std::memchr(buf_.get() + begin_, '\n', end_ - begin_));
        if (lf) {
            length += static_cast<std::size_t>(lf - (buf_.get() + begin_));
            ended = true;
            break;
        }
        length += end_ - begin_;
        if (length > max_line) break;
        begin_ = end_;
        if (!fill()) break;
    }
    if (length > max_line) {
        too_long_ = true;
        return false;
    }
    if (failed() || !in_.seek(line_start)) {
        begin_ = end_ = 0;
        return false;
    }
    long_line_.resize(length);
    if (read_file(long_line_.data(), length) != length) {
        begin_ = end_ = 0;
        long_line_.clear();
        return false;
    }
    // Go on after the line end.
    begin_ = end_ = 0;
    eof_ = false;
    block_offset_ = line_start + length;
    if (ended) {
        char lf = 0;
        if (read_file(&lf, 1) == 1) ++block_offset_;
    }
    line = without_cr(long_line_);
    return true;
}

}  // namespace orvalt

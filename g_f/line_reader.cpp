// LineReader: block reads of 1 MiB, line ends found with memchr. A line that
// fits in the block is handed out in place; a longer one is gathered in
// long_line_, so memory stays of the order of the longest line.
#include "g_f/files.h"

#include <algorithm>
#include <cstring>
#include <limits>

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
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return false;
    // Not zero-filled: only the bytes read into it are ever looked at.
    if (!buf_) buf_.reset(new char[block_size]);
    // Our own block is the buffer; a second one inside stdio would only copy.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    return true;
}

void LineReader::close() {
    file_.reset();
    begin_ = end_ = 0;
    long_line_.clear();
    eof_ = false;
    pos_ = line_offset_ = 0;
    read_size_ = block_size;
}

bool LineReader::seek(std::uint64_t offset, std::size_t first_read) {
    if (!file_) return false;
    begin_ = end_ = 0;
    long_line_.clear();
    eof_ = false;
    // std::fseek takes a long, which is 32 bits on some targets: an offset
    // beyond it is not used.
    if (offset <= static_cast<std::uint64_t>(std::numeric_limits<long>::max()) &&
        std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) == 0) {
        pos_ = offset;
        read_size_ = std::clamp<std::size_t>(first_read, 1, block_size);
        return true;
    }
    std::rewind(file_.get());
    pos_ = 0;
    read_size_ = block_size;
    return false;
}

std::size_t LineReader::read_at(std::uint64_t offset, char* out, std::size_t n) {
    if (!seek(offset)) return 0;
    const std::size_t got = std::fread(out, 1, n, file_.get());
    pos_ += got;
    return got;
}

bool LineReader::next(std::string_view& line) {
    if (!file_) return false;
    // A line gathered by the previous call has been handed out; start afresh.
    bool gathering = false;
    long_line_.clear();
    line_offset_ = pos_;
    for (;;) {
        if (begin_ < end_) {
            const char* start = buf_.get() + begin_;
            const auto* lf = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            if (lf) {
                const auto len = static_cast<std::size_t>(lf - start);
                begin_ += len + 1;
                pos_ += len + 1;
                if (!gathering) {
                    line = without_cr(std::string_view(start, len));
                } else {
                    long_line_.append(start, len);
                    line = without_cr(long_line_);
                }
                return true;
            }
        }
        if (eof_) {
            // A last line without a line end still counts.
            if (begin_ < end_) {
                long_line_.append(buf_.get() + begin_, end_ - begin_);
                gathering = true;
            }
            pos_ += end_ - begin_;
            begin_ = end_ = 0;
            if (!gathering) return false;
            line = without_cr(long_line_);
            return true;
        }
        // No line end in the block: keep the partial line and read on.
        if (gathering || (begin_ == 0 && end_ == block_size)) {
            long_line_.append(buf_.get() + begin_, end_ - begin_);
            gathering = true;
            pos_ += end_ - begin_;
            begin_ = end_ = 0;
        } else if (begin_ > 0) {
            std::memmove(buf_.get(), buf_.get() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        const std::size_t want = std::min(block_size - end_, read_size_);
        read_size_ = std::min(2 * read_size_, block_size);
        const std::size_t got = std::fread(buf_.get() + end_, 1, want, file_.get());
        end_ += got;
        if (got == 0) {
            if (std::ferror(file_.get())) {
                begin_ = end_ = 0;
                long_line_.clear();
                return false;
            }
            eof_ = true;
        }
    }
}

}  // namespace orvalt

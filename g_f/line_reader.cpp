// LineReader: block reads of 1 MiB, line ends found with memchr. A line that
// fits in the block is handed out in place; a longer one is gathered in
// long_line_, so memory stays of the order of the longest line.
#include "g_f/files.h"

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
}

bool LineReader::next(std::string_view& line) {
    if (!file_) return false;
    // A line gathered by the previous call has been handed out; start afresh.
    bool gathering = false;
    long_line_.clear();
    for (;;) {
        if (begin_ < end_) {
            const char* start = buf_.get() + begin_;
            const auto* lf = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            if (lf) {
                const auto len = static_cast<std::size_t>(lf - start);
                begin_ += len + 1;
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
            begin_ = end_ = 0;
            if (!gathering) return false;
            line = without_cr(long_line_);
            return true;
        }
        // No line end in the block: keep the partial line and read on.
        if (gathering || (begin_ == 0 && end_ == block_size)) {
            long_line_.append(buf_.get() + begin_, end_ - begin_);
            gathering = true;
            begin_ = end_ = 0;
        } else if (begin_ > 0) {
            std::memmove(buf_.get(), buf_.get() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        const std::size_t got = std::fread(buf_.get() + end_, 1, block_size - end_, file_.get());
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

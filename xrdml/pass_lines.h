// The line source of a reading pass: the file opened by name and read line by
// line, lines inside comments passed over.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "g_f/line_reader.h"
#include "g_f/text.h"
#include "xrdml/passes.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

// Which lines lie inside a comment that spans several lines: after the line
// on which a comment opens and stays open, up to and including the line where
// it closes. Shown every line of a file in order.
class CommentTracker {
public:
    // True when the line lies inside a comment (the closing line included);
    // remembers whether a comment is left open at its end.
    bool inside(std::string_view line) {
        const bool inside = open_;
        // Nearly every line holds no "!": no comment opens on it.
        if (!inside && line.find('!') == std::string_view::npos) return false;
        std::size_t p = 0;
        if (inside) {
            p = line.find("-->");
            if (p == std::string_view::npos) return true;
            p += 3;
        }
        for (;;) {
            const std::size_t open = line.find("<!--", p);
            if (open == std::string_view::npos) break;
            const std::size_t close = line.find("-->", open + 4);
            if (close == std::string_view::npos) {
                open_ = true;
                return inside;
            }
            p = close + 3;
        }
        open_ = false;
        return inside;
    }
    bool open() const { return open_; }
    void set_open(bool open) { open_ = open; }

private:
    bool open_ = false;
};

class PassLines {
public:
    // Trailing blanks of a name field are not part of the name.
    explicit PassLines(std::string_view name) : in_(std::string(trimmed(name))) {}

    // Lines inside a comment that spans several lines are passed over: after
    // the line on which a comment opens and stays open, up to and including
    // the line where it closes.
    bool next(std::string_view& line) {
        do {
            if (!in_.next(line)) return false;
        } while (comments_.inside(line));
        return true;
    }

    void close() { in_.close(); }
    bool is_open() const { return in_.is_open(); }
    // The reading ended at a fault (a read error, a damaged archive), not at the end.
    bool failed() const { return in_.failed(); }
    // False when the file open is no longer what `expected` says (another
    // file under the name, another size or modification time): ierr 21 set,
    // and the file closed. True when nothing is expected.
    bool unchanged(const FileStamp* expected, ReaderStatus& status) {
        if (expected == nullptr || !in_.is_open()) return true;
        // Nothing read since the last look: all of it was read before that look.
        if (in_.reads() == looked_after_) return true;
        FileStamp now;
        if (in_.stamp(now) && now == *expected) {
            looked_after_ = in_.reads();
            return true;
        }
        close();
        status.set(file_changed, changed_message);
        return false;
    }

    // Byte offsets of the last line read and of the line after it, and
    // whether a comment is left open after it; reading on from a given offset
    // as if the lines before it had been read, the last of them leaving a
    // comment open or not.
    std::uint64_t line_offset() const { return in_.line_offset(); }
    std::uint64_t next_offset() const { return in_.next_offset(); }
    bool comment_open() const { return comments_.open(); }
    bool seek(std::uint64_t offset, bool comment_open = false,
              std::size_t first_read = LineReader::first_read_after_seek) {
        comments_.set_open(comment_open);
        return in_.seek(offset, first_read);
    }
    std::size_t read_at(std::uint64_t offset, char* out, std::size_t n) {
        return in_.read_at(offset, out, n);
    }

private:
    LineReader in_;
    CommentTracker comments_;
    // The reads the file had had when its stamp was last found unchanged.
    std::uint64_t looked_after_ = std::numeric_limits<std::uint64_t>::max();
};

}  // namespace orvalt::xrdml

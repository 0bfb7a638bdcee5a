// The line source of a reading pass: the file opened by name and read line by
// line, remembering as much of the last line read as the end-of-file report
// can show.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "g_f/files.h"
#include "g_f/text.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

class PassLines {
public:
    // Trailing blanks of a name field are not part of the name.
    explicit PassLines(std::string_view name) : in_(std::string(trimmed(name))) {}

    bool next(std::string_view& line) {
        if (!in_.next(line)) return false;
        last_.assign(line.substr(0, std::min(line.size(), shown)));
        return true;
    }

    void close() { in_.close(); }
    bool is_open() const { return in_.is_open(); }

    // Byte offset of the last line read; reading on from a given offset, as
    // if the lines before it had not been read.
    std::uint64_t line_offset() const { return in_.line_offset(); }
    bool seek(std::uint64_t offset) {
        last_.clear();
        return in_.seek(offset);
    }

    // ierr 1: the file ended (or could not be read) before the pass was done.
    void report_end(ReaderStatus& status) {
        close();
        status.set(1, std::string(prefix) + last_);
    }

private:
    static constexpr std::string_view prefix = "Error reading XRDML file: ";
    static constexpr std::size_t shown = 80 - prefix.size();  // the message field is 80 wide
    LineReader in_;
    std::string last_;
};

}  // namespace orvalt::xrdml

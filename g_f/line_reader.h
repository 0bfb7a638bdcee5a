// The line reader that every pass over a text file uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "g_f/input_stream.h"

namespace orvalt {

// Reads a text file (a .gz or .bz2 file decompressed) line by line without
// holding it whole: each line comes without its LF or CRLF (a last line may
// lack its line end, and loses a final CR as well), as a view valid until the
// next call. Offsets count bytes of the text.
class LineReader {
public:
    // Large enough that an intensity line of a big scan is handed out in
    // place; allocated on the first open and kept across opens.
    static constexpr std::size_t block_size = std::size_t{1} << 20;
    // The longest line handed out whole; a longer one ends the reading.
    static constexpr std::size_t max_line = std::size_t{64} << 20;
    // The most read at a time. The lines are handed out before the next read,
    // which then lands at the block's front again, in memory the processor's
    // cache still holds; reads of a whole block each went past the cache (a
    // file of 30 MB read 1 ms faster so).
    static constexpr std::size_t read_chunk = std::size_t{128} << 10;
    // After a seek the reads start small and grow to read_chunk: a pass
    // that starts near the line it wants reads little more than that line.
    static constexpr std::size_t first_read_after_seek = std::size_t{64} << 10;

    LineReader() = default;
    explicit LineReader(const std::string& path) { open(path); }
    // False unless `path` is a regular file that could be opened.
    bool open(const std::string& path);
    bool is_open() const { return in_.is_open(); }
    // False at end of file, on a read error, or at a line longer than
    // max_line (then too_long() is true).
    bool next(std::string_view& line);
    // Only the length of the next line, which is never held: for a census.
    bool next_length(std::size_t& length);
    bool too_long() const { return too_long_; }
    // Why the reading ended before the end of the text (a read error, a
    // damaged archive); Fault::none when it did not.
    InputStream::Fault fault() const { return in_.fault(); }
    bool failed() const { return in_.fault() != InputStream::Fault::none; }
    // The text read is also written to `copy`, once (InputStream::copy_to).
    void copy_to(std::FILE* copy) { in_.copy_to(copy); }
    bool copy_complete() const { return in_.copy_complete(); }
    bool copy_failed() const { return in_.copy_failed(); }
    // What the open file is now (file_identity.h); false when it cannot be told.
    bool stamp(FileStamp& out) const { return in_.stamp(out); }
    void close();
    // Where the last line handed out begins, and where the line after it
    // begins, in bytes from the file's start.
    std::uint64_t line_offset() const { return line_offset_; }
    std::uint64_t next_offset() const { return block_offset_ + begin_; }
    // Goes on reading at `offset` bytes from the file's start, which should
    // be where a line begins; the first read takes `first_read` bytes (at
    // most a block), a caller that knows how long the next lines are being
    // the judge. False when the file cannot be positioned there (then it is
    // read on from its start).
    bool seek(std::uint64_t offset, std::size_t first_read = first_read_after_seek);
    // Reads up to n bytes at `offset` into out as they stand, not as lines;
    // returns how many. Lines are read again after a seek.
    std::size_t read_at(std::uint64_t offset, char* out, std::size_t n);
    // How many times the file has been read from since the reader was made:
    // a caller that looked at the file's stamp after a read need not look
    // again until the next one.
    std::uint64_t reads() const { return reads_; }

private:
    std::size_t read_file(char* out, std::size_t n) {
        ++reads_;
        return in_.read(out, n);
    }
    bool fill();
    bool gather(std::string_view& line);
    InputStream in_;
    std::unique_ptr<char[]> buf_;
    std::size_t begin_ = 0, end_ = 0;
    unsigned long long block_offset_ = 0;  // file position of buf_[0]
    std::string long_line_;
    bool eof_ = false;
    bool too_long_ = false;
    std::uint64_t line_offset_ = 0;       // file position of the last line handed out
    std::size_t read_size_ = read_chunk;  // the next read's size, at most read_chunk
    std::uint64_t reads_ = 0;
};

}  // namespace orvalt

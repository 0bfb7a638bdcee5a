// Input file location, record census, new output files, path helpers, and the
// line reader that every pass over a text file uses.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "g_f/input_stream.h"

namespace orvalt {

struct Console;

// The one owner of an open stream: closes it when dropped. Where the close
// itself can fail a write, it is done by hand and checked.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

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
    // After a seek the reads start small and grow to the block size: a pass
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

private:
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
    std::size_t read_size_ = block_size;  // the next read's size, at most the block
};

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

// The one way a file is written: under a new, exclusively created
// temporary name in the target's folder (the folder of the file a link
// points to), put in place of the target at once and whole by commit(). Any
// other end (abandon(), the destructor, an interruption) removes the
// temporary and leaves an existing target as it was.
class StagedFile {
public:
    StagedFile() = default;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    ~StagedFile() { abandon(); }

    // Creates the temporary for `target`; `text` chooses the platform's line
    // ends. False with the system's error number when it cannot be made, when
    // the target may not be written, or when the target is not a regular file.
    bool create(std::string_view target, bool text, int& error);
    bool is_open() const { return stream_ != nullptr; }
    std::FILE* stream() const { return stream_; }
    // Where the data go until commit(); another writer (the Genie library)
    // may fill it by name once close_stream() has been called.
    const std::string& temporary_name() const { return temporary_; }
    // False when a write through stream() failed.
    bool close_stream();
    // Flushes, closes and moves the temporary over the target, which keeps
    // its permission bits. False with the error number (the temporary then
    // removed, the target untouched).
    bool commit(int& error);
    void abandon();
    bool active() const { return !temporary_.empty(); }
    // Ends the run if an interruption came while another writer held the
    // temporary open; to be called whenever that writer has let it go.
    void check_interruption() const;

private:
    std::string target_, temporary_;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
};

// An output text file of open_new_file, written line by line and put in
// place whole by close(); remembers whether every write went through.
class OutputFile {
public:
    OutputFile() = default;
    bool is_open() const { return staged_.is_open(); }
    void write_line(std::string_view line);
    // Puts the file in place; false if any write, the close or the move failed
    // (then nothing of this file is left and an older one stays).
    bool close();
    bool failed() const { return failed_; }

private:
    friend OutputFile open_new_file(Console&, std::string_view, std::int32_t, std::int32_t,
                                    std::int32_t&, std::int32_t, std::int32_t, std::int32_t);
    StagedFile staged_;
    bool failed_ = false;
};

// Creates (replacing, once closed) the named file. error_number 0 = open, 1 =
// failed (with the nine-line report, whatever iout). With iout nonzero
// reports an older version and the new file's full name.
OutputFile open_new_file(Console& con, std::string_view name, std::int32_t unit,
                         std::int32_t record_length, std::int32_t& error_number, std::int32_t il,
                         std::int32_t ia, std::int32_t iout);

// True when writing `name` would reach one of `files` (empty names
// skipped): the same file however spelt or linked, existing or not.
bool reaches_any(std::string_view name, std::initializer_list<std::string_view> files);

// The refusal line for an output name that a run reading `read_files` (its
// input measurement, "orvalt.tmp", its weights file; empty names skipped)
// must not write: one of them however spelt or linked, or not a regular
// file. Empty when the name may be written.
std::string output_name_refusal(std::string_view name,
                                std::initializer_list<std::string_view> read_files);

// At most the first `limit` bytes of a regular file; false when it is not
// one or cannot be read.
bool read_file_start(const std::string& path, std::size_t limit, std::string& bytes);

// Writes every backslash of the first n characters of source twice into the
// first n positions of result (positions beyond n untouched); returns result.
std::string& double_backslashes(std::string& result, std::string_view source, std::int32_t n);

}  // namespace orvalt

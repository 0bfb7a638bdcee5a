// Input file location, record census, new output files, path helpers, and the
// line reader that every pass over a text file uses.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt {

struct Console;

// Reads a text file line by line without holding it whole: each line comes
// without its LF or CRLF (a last line may lack its line end, and loses a final
// CR as well), as a view valid until the next call.
class LineReader {
public:
    // Large enough that an intensity line of a big scan is handed out in
    // place; allocated on the first open and kept across opens.
    static constexpr std::size_t block_size = std::size_t{1} << 20;
    // After a seek the reads start small and grow to the block size: a pass
    // that starts near the line it wants reads little more than that line.
    static constexpr std::size_t first_read_after_seek = std::size_t{64} << 10;

    LineReader() = default;
    explicit LineReader(const std::string& path) { open(path); }
    bool open(const std::string& path);
    bool is_open() const { return file_ != nullptr; }
    // False at end of file or on a read error.
    bool next(std::string_view& line);
    void close();
    // Where the last line handed out begins, and where the line after it
    // begins, in bytes from the file's start.
    std::uint64_t line_offset() const { return line_offset_; }
    std::uint64_t next_offset() const { return pos_; }
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
    struct Closer { void operator()(std::FILE* f) const { if (f) std::fclose(f); } };
    std::unique_ptr<std::FILE, Closer> file_;
    std::unique_ptr<char[]> buf_;
    std::size_t begin_ = 0, end_ = 0;
    std::string long_line_;
    bool eof_ = false;
    std::uint64_t pos_ = 0;          // file offset of buf_[begin_]
    std::uint64_t line_offset_ = 0;
    std::size_t read_size_ = block_size;
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
    void add(std::string_view line) {
        ++records;
        if (line.size() > longest) longest = line.size();
    }
};
void report_record_census(Console& con, const RecordCensus& census, std::int32_t print,
                          std::int32_t& nrec, std::int32_t& maxlen);
// inqfilerec's report of a file it cannot open; Stop{1}.
[[noreturn]] void stop_census_unopened(Console& con, const std::string& path);

// An output text file, written line by line; remembers whether every write
// went through.
class OutputFile {
public:
    OutputFile() = default;
    bool is_open() const { return file_ != nullptr; }
    void write_line(std::string_view line);
    // Closes the file; false if any write or the close failed.
    bool close();
    bool failed() const { return failed_; }

private:
    friend OutputFile open_new_file(Console&, std::string_view, std::int32_t, std::int32_t,
                                    std::int32_t&, std::int32_t, std::int32_t, std::int32_t);
    struct Closer { void operator()(std::FILE* f) const { if (f) std::fclose(f); } };
    std::unique_ptr<std::FILE, Closer> file_;
    bool failed_ = false;
};

// Creates (replacing) the named file. error_number 0 = open, 1 = failed (with
// the nine-line report, whatever iout). With iout nonzero reports an older
// version and the new file's full name.
OutputFile open_new_file(Console& con, std::string_view name, std::int32_t unit,
                         std::int32_t record_length, std::int32_t& error_number, std::int32_t il,
                         std::int32_t ia, std::int32_t iout);

// Removes the named file when it is a regular file (a device or the like is
// left alone): what a failed write cut short must not pass for a whole file.
void remove_cut_short_file(std::string_view name);

// Writes every backslash of the first n characters of source twice into the
// first n positions of result (positions beyond n untouched); returns result.
std::string& double_backslashes(std::string& result, std::string_view source, std::int32_t n);

}  // namespace orvalt

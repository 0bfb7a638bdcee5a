// A pattern file written block by block: the file goes into a temporary
// through open_new_file (its messages as for the ASCII data file, when the
// first block comes) and is put in place only when every block was taken
// and written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>

#include "formats/format_table.h"
#include "formats/pattern.h"
#include "g_f/new_files.h"

namespace orvalt {

struct Console;

// A refused block is reported as "**ERROR in orvalt: <reason>"; a file that
// got no block is not made.
class PatternFile {
public:
    // `format` is one of the pattern files of the table.
    PatternFile(Console& con, std::string_view name, OutputFormat format,
                const PatternDescription& d, bool several);
    // False when the block was refused, the file could not be created or a
    // write failed; the file is then dropped and every later call is false.
    bool add(const Pattern& p);
    // Puts the file in place; false (reported) when anything went wrong. A
    // pending `before` (the gudrunX weights) goes in place with it, first.
    bool commit(OutputFile* before = nullptr);
    // Ends the writing without putting the file in place (commit_together()
    // does); false (reported) when a write failed.
    bool finish();
    const std::string& name() const { return name_; }

private:
    friend bool commit_together(std::deque<PatternFile>& files);
    bool fail(std::string_view why);  // reported; the file dropped; false
    Console& con_;
    std::string name_;
    BlockWriter block_;
    PatternDescription d_;
    bool several_;
    std::size_t blocks_ = 0;
    bool failed_ = false;
    OutputFile file_;
};

// Puts every file in place, none unless each was written whole (their folders
// held against other runs meanwhile); false (reported) when one failed: then
// every older file of those names stays as it was (unless the failure came
// in the moves themselves, after the first).
bool commit_together(std::deque<PatternFile>& files);

// The name of scan `scan`'s own file when each of `count` scans has one:
// the output name with "_" and the scan number, zero-padded to the width of
// `count`, before its extension (run7.xye, scan 3 of 12: run7_03.xye).
std::string scan_file_name(std::string_view output, std::int32_t scan, std::int32_t count);

// The whole file of one or more patterns.
bool write_pattern_file(Console& con, std::string_view name, OutputFormat format,
                        const PatternDescription& d, std::span<const Pattern> patterns,
                        OutputFile* before = nullptr);

}  // namespace orvalt

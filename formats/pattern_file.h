// A pattern file written block by block: the file goes into a temporary
// through open_new_file (its messages as for the ASCII data file, when the
// first block comes) and is put in place only when every block was taken
// and written.
#pragma once

#include <cstddef>
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

private:
    bool fail(std::string_view why);  // reported; the file dropped; false
    Console& con_;
    std::string name_;
    BlockWriter block_;
    const PatternDescription& d_;
    bool several_;
    std::size_t blocks_ = 0;
    bool failed_ = false;
    OutputFile file_;
};

// The whole file of one or more patterns.
bool write_pattern_file(Console& con, std::string_view name, OutputFormat format,
                        const PatternDescription& d, std::span<const Pattern> patterns,
                        OutputFile* before = nullptr);

}  // namespace orvalt

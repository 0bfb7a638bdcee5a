// The output files a run can write, one row each: the name the command line
// gives it, the extension of its default name, what x it cannot hold and
// why, and for the pattern files the routine that makes their text. The
// option parser, the default names and the help text all read this table;
// a new format is a file of its own in this folder and one row.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formats/pattern.h"

namespace orvalt {

enum class OutputFormat { ascii, genie, xye, fxye, cif };

// The text of block `index` of a pattern file (formats/xye.h and the others).
using BlockWriter = BlockText (*)(const PatternDescription& d, const Pattern& p, std::size_t index,
                                  bool several);

struct FormatRow {
    OutputFormat format;
    std::string_view name;       // as --format names it
    std::string_view extension;  // of the default output name
    std::string_view note;       // said of it in the help, or empty
    // Why the format cannot hold x of that kind, or empty when it can.
    std::string_view (*refuses)(const XAxis& x);
    // The pattern files' text; null for the ASCII data file and the Genie
    // file, which the run driver and the Genie writer write.
    BlockWriter block;
    // Whether separate scans go into a file each (a format its readers take
    // as one pattern a file) rather than into blocks of one file.
    bool file_a_scan = false;
};

// Every row, in the order the help lists the names.
std::span<const FormatRow> output_formats();
const FormatRow& format_row(OutputFormat format);
// The row of the name --format takes, or nothing.
std::optional<OutputFormat> format_named(std::string_view name);
// A pattern file: written block by block from the table's own routine.
bool is_pattern_format(OutputFormat format);

// Why the format cannot hold Q or d-spacing ("the GSAS file (fxye) holds
// 2-theta only, not Q"), or empty.
std::string units_refusal(OutputFormat format, const XAxis& x);

}  // namespace orvalt

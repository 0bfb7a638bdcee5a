// The two plain-text files the driver writes: the ASCII data file and the
// weights file, and the default output names formed from the input name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvalt {

struct Console;
class OutputFile;

// The input name without its last six characters, followed by `extension`;
// of a compressed input, ".gz" or ".bz2" is dropped first.
// A name of fewer than six characters keeps all of it; exactly six gives the
// extension alone. `input_name` is the name without trailing blanks.
std::string default_output_name(std::string_view input_name, std::string_view extension);

// Creates the file through open_new_file (messages on) and writes the three
// header lines when iscan is 0, then one data line per point. False when the
// file could not be created or a write failed (writes are then skipped).
// A pending `before` (the weights file) is put in place with it, first.
bool write_ascii_data_file(Console& con, std::string_view output_name, std::int32_t iscan,
                           std::string_view full_input_name, std::int32_t ny,
                           std::span<const double> x, std::span<const double> y,
                           std::span<const double> e, OutputFile* before = nullptr);

// Prints "Saving weights to " with the name and an empty line, and writes
// one line per scan into `file`, messages of open_new_file off; the file is
// put in place later (put_weights_in_place, or with the data file). False on
// a failed create or write (reported).
bool write_weights_file(Console& con, std::string_view name, std::int32_t nscans,
                        std::span<const std::int32_t> weight, OutputFile& file);
// Puts a pending weights file in place on its own; false (reported) when
// that fails. True when nothing is pending.
bool put_weights_in_place(Console& con, OutputFile& file, std::string_view name);

}  // namespace orvalt

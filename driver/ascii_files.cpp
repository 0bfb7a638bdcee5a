// The ASCII data file, the weights file and the default output names.
#include "driver/ascii_files.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/file_operations.h"
#include "g_f/input_stream.h"
#include "g_f/new_files.h"
#include "g_f/numbers.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::int32_t output_unit = 98;
// The part of the input name that the extension replaces (normally ".xrdml").
constexpr std::size_t replaced_length = 6;

// The line of a file that could not be written; a report (the command
// line's) gets the system's reason with it, when there is one.
void say_could_not_write(Console& con, std::string_view routine, std::string_view name,
                         int error) {
    const std::string line =
        "**ERROR in " + std::string(routine) + ": could not write " + std::string(trimmed(name));
    // The transcript's line stays as it was; the report says why.
    say_error(con, line, error != 0 ? line + ": " + error_text(error) : "");
}

// A write that did not go through must not pass for a written file: it is
// reported, and nothing of it is put in place (an older file stays).
bool finish(Console& con, OutputFile& file, std::string_view routine, std::string_view name,
            OutputFile* before = nullptr) {
    if (file.close(before)) return true;
    say_could_not_write(con, routine, name, file.error());
    return false;
}

}  // namespace

std::string default_output_name(std::string_view input_name, std::string_view extension) {
    // run7.xrdml.gz gives the names run7.xrdml gives.
    input_name = without_compression_suffix(input_name);
    std::string name;
    if (input_name.size() > replaced_length) {
        name = input_name.substr(0, input_name.size() - replaced_length);
    } else if (input_name.size() < replaced_length) {
        name = input_name;  // too short to hold ".xrdml": nothing is dropped
    }
    name += trimmed(extension);
    return name;
}

bool write_ascii_data_file(Console& con, std::string_view output_name, std::int32_t iscan,
                           std::string_view full_input_name, std::int32_t ny,
                           std::span<const double> x, std::span<const double> y,
                           std::span<const double> e, OutputFile* before) {
    std::int32_t error_number = 0;
    OutputFile file = open_new_file(con, output_name, output_unit, 0, error_number, 0, 0, 1);
    if (error_number != 0 || !file.is_open()) return false;  // reported by open_new_file

    if (iscan == 0) {
        file.write_line("Data from: " + one_line(trimmed(full_input_name)));
        file.write_line("Scan = " + format_integer(iscan));
        file.write_line("Number of points = " + format_integer(ny));
    }
    // Never past the arrays handed over, whatever ny says.
    const auto n = std::min({static_cast<std::size_t>(std::max(ny, 0)), x.size(), y.size(),
                             e.size()});
    // The lines are formatted straight into one block and handed over a block
    // at a time: whole lines, the last one's line end added by write_line.
    constexpr std::size_t lines_per_block = 512;
    constexpr std::size_t line_size = data_line_length + 1;
    std::string block(std::min(n, lines_per_block) * line_size, ' ');
    for (std::size_t i = 0; i < n;) {
        char* p = block.data();
        for (const std::size_t stop = std::min(n, i + lines_per_block); i < stop; ++i) {
            p = format_data_line_to(p, x[i], y[i], e[i]);
            *p++ = '\n';
        }
        file.write_line(std::string_view(block.data(), static_cast<std::size_t>(p - block.data()) - 1));
    }
    return finish(con, file, "write_ascii_data_file", output_name, before);
}

bool write_weights_file(Console& con, std::string_view name, std::int32_t nscans,
                        std::span<const std::int32_t> weight, OutputFile& file) {
    say_line(con, "Saving weights to " + std::string(name));
    con.out << '\n';

    std::int32_t error_number = 0;
    file = open_new_file(con, name, output_unit, 0, error_number, 0, 0, 0);
    if (error_number != 0 || !file.is_open()) return false;  // reported by open_new_file

    const auto n = std::min(static_cast<std::size_t>(std::max(nscans, 0)), weight.size());
    for (std::size_t s = 0; s < n; ++s) {
        file.write_line(format_integer_width(static_cast<std::int32_t>(s + 1), 3) + " " +
                        format_integer_width(weight[s], 1));
    }
    if (file.finish_writing()) return true;
    say_could_not_write(con, "write_weights_file", name, file.error());
    return false;
}

bool put_weights_in_place(Console& con, OutputFile& file, std::string_view name) {
    if (!file.pending()) return true;
    return finish(con, file, "write_weights_file", name);
}

}  // namespace orvalt

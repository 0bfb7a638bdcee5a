// Which output names a run must not write: those that reach a file the run
// reads, however spelt or linked, and those that are not regular files.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orvalt {

// The rules every file name follows, whoever gives it (the dialogue's
// answers, the command line's arguments, orvalt.tmp): taken as given or
// refused, never cut or changed.

// The longest names: any output name, and an input name (which keeps room
// for the ".xrdml" that may be added to it).
inline constexpr std::size_t output_name_limit = 4096;
inline constexpr std::size_t input_name_limit = output_name_limit - 6;

// Trailing blanks are not part of a name (tabs are, and are refused).
std::string_view without_trailing_blanks(std::string_view name);

// The refusal line for a name that holds a control character (a byte below
// 32, or 127) or is longer than `max_length`; empty when it may be used.
std::string file_name_refusal(std::string_view name, std::size_t max_length);

// Why an output name may not be written by a run that reads some files.
enum class OutputProblem {
    none,
    not_regular,  // a folder, FIFO, device or socket
    read_file,    // one of the files the run reads, however spelt or linked
};
OutputProblem output_problem(std::string_view name,
                             std::initializer_list<std::string_view> read_files);

// True when writing `name` would reach one of `files` (empty names
// skipped): the same file however spelt or linked, existing or not.
bool reaches_any(std::string_view name, std::initializer_list<std::string_view> files);

// The refusal line for an output name that a run reading `read_files` (its
// input measurement, "orvalt.tmp", its weights file; empty names skipped)
// must not write: one of them however spelt or linked, or not a regular
// file. Empty when the name may be written.
std::string output_name_refusal(std::string_view name,
                                std::initializer_list<std::string_view> read_files);

}  // namespace orvalt

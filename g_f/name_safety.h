// Which output names a run must not write: those that reach a file the run
// reads, however spelt or linked, and those that are not regular files.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvalt {

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

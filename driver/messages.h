// The run driver's own lines: its error stops, its report of a file it could
// not write, and the empty lines between the dialogue's parts.
#pragma once

#include <string_view>

namespace orvalt {

struct Console;

// Stops with "**ERROR in orvalt: <text>".
[[noreturn]] void stop_with_error(Console& con, std::string_view text);

// "**ERROR in orvalt: Could not write NAME", with the system's reason when
// there is one (error 0: none). Always false: the file was not written.
bool report_unwritten(Console& con, std::string_view name, int error);

// An empty console line.
void empty_line(Console& con);

}  // namespace orvalt

// ORVALT with arguments: every named file is converted without a question,
// through the same conversion as the dialogue, and "orvalt.tmp" is left alone.
#pragma once

#include <ostream>

namespace orvalt {

// Parses the arguments (argv[0] is the program) and converts each file named.
// One line per converted file goes to `out`, every error to `err` prefixed
// with the input's name. Returns 0 when every file was converted, 1 when any
// failed, 2 when the arguments were refused (then no file is read or written).
int run_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The same, for a caller that keeps the process's signals to itself (the
// Python module): an interruption is not taken over, so it ends nothing
// here; every file is still written under a temporary and put in place whole.
int run_arguments(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace orvalt

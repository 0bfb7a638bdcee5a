// What an interruption does: the temporaries being written are removed and
// the run ends with one line and 128 + the signal number.
#pragma once

#include <string>

namespace orvalt {

// The temporaries being written are watched: an interruption (Ctrl-C,
// SIGTERM, SIGHUP, SIGQUIT, a closed console pipe; on Windows the console's control
// events) removes them, prints one line and ends the program with 128 + the
// signal number. At most a few are watched at once; paths are copied. Each
// unwatch ends one watch: a name watched twice stays watched once.
void watch_temporary(const std::string& path);
void unwatch_temporary(const std::string& path);
// Installs the handlers at the start of a run; a later run in the same
// process installs them again to the same effect. The line goes to standard
// output (the dialogue's transcript) or standard error (the command line).
// SIGQUIT is handled as the others; SIGXFSZ is ignored, so that a write
// beyond the file size limit fails as on a full disk and is reported.
void handle_interruptions(bool line_to_standard_error = false);
// Ends the run here if an interruption is waiting for a temporary to be let
// go (Windows: a file open elsewhere cannot be removed); else returns.
void end_if_interrupted();
// Whether one is waiting so (never elsewhere than on Windows).
bool interruption_waiting();

}  // namespace orvalt

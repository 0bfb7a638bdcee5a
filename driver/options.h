// The command line's options, defined once: the parser, the help text and
// the check for unknown options all read the same definitions.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/request.h"

namespace orvalt {

// What the options ask of every file: `request` holds the answers, the
// format, the exclusions and the -o name; each file's request is made from it.
struct Choices {
    Request request = [] {
        Request r;
        r.answers = {sum_answer, 1, 1, genie_output};
        r.front_end = FrontEnd::command_line;
        return r;
    }();
    std::string output_dir;
    bool quiet = false;
    bool list = false;  // the scan tables only, nothing converted
    bool plot = false;  // a picture, named request.picture or by default
};

// Reads the arguments (argv[0] is the program) into `c` and `files`.
// Returns -1 to go on, otherwise the exit status: 0 after --help or
// --version (printed on `out`), 2 for refused arguments (said on `err`).
int parse_arguments(int argc, const char* const* argv, Choices& c, std::vector<std::string>& files,
                    std::ostream& out, std::ostream& err);

// A name as a message shows it: control characters as escapes, so that a
// name can neither split a line nor hide its end.
std::string shown(std::string_view name);

}  // namespace orvalt

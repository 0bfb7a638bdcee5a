// The command line's options, defined once: the parser, the help text and
// the check for unknown options all read the same definitions.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/request.h"
#include "g_f/console.h"

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

// A name or a text from a file as a message shows it: control characters
// (C1 ones too) and bytes that are no whole UTF-8 character as escapes ("\n",
// "\t", "\x1B"), so that it can neither split a line, hide its end, nor
// reach the terminal as a control sequence.
std::string shown(std::string_view name);

// The report of a console of one file's run from the command line: each
// error, and each warning unless `quiet`, as one line "NAME: text" on `err`
// (`name` as shown(), the text shown too).
std::function<void(MessageKind, std::string_view)> file_reports(const std::string& name,
                                                                bool quiet, std::ostream& err);

}  // namespace orvalt

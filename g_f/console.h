// The console dialogue: questions with defaults and labelled messages.
// Every routine works on a Console passed in, so tests drive it with strings.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace orvalt {

// What a message is. The dialogue prints every kind on `out` alike; a
// console that reports (the command line's) also hands each warning and
// error to its report, with no need to read the transcript again.
enum class MessageKind { warning, error };

struct Console {
    std::istream& in;
    std::ostream& out;
    // Receives the warnings and errors, once each, besides `out`; none in the dialogue.
    std::function<void(MessageKind, std::string_view)> report{};
};

// One line from the console with LF or CRLF removed; nullopt at end of input.
// Of a line longer than 1 MiB only the first 1 MiB and one character are kept.
std::optional<std::string> read_console_line(Console& con);

// Ends an open question line, reports the end of console input and stops
// the program with status 1.
[[noreturn]] void stop_on_end_of_input(Console& con);

// A line in the free layout: one blank, then the text. Every line of the
// transcript that is neither a warning nor an error goes this way.
void say_line(Console& con, std::string_view text);

// A warning or an error line, printed as say_line prints it. The report
// gets `summary` when one is given (a fuller reason than the transcript's
// line holds), the line otherwise.
void say_warning(Console& con, std::string_view line, std::string_view summary = {});
void say_error(Console& con, std::string_view line, std::string_view summary = {});

// The one way an error stops the program: `line` as say_error prints it, the
// console flushed, then Stop with status 1.
[[noreturn]] void fail(Console& con, std::string_view line, std::string_view summary = {});

// `field` is the answer field (its size is its length L). With default_flag 1
// the field's text up to its last non-blank is the default. On return n holds
// the count of characters typed (it may exceed L), or the default's length.
void ask_string(Console& con, std::string& field, std::string_view prompt, int& n,
                int default_flag);

// ask_string for a file name: the whole line typed, or the default on a bare
// Return, into `field`; a name the rules above refuse is refused with its
// line and asked again. With `max_length` below the field's length, room is
// kept for what the caller may add. n is the name's length.
void ask_file_name(Console& con, std::string& field, std::string_view prompt, int& n,
                   std::size_t max_length);

// Asks until a valid integer (or, with default_flag 1, a bare Return) comes.
void ask_integer(Console& con, std::int32_t& value, std::string_view prompt, int default_flag);

void say_integer(Console& con, std::string_view message, std::int32_t value);
void say_real(Console& con, std::string_view message, double value);
void say_two_reals(Console& con, std::string_view message1, double value1,
                   std::string_view message2, double value2);

}  // namespace orvalt

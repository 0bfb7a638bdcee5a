// The console a program runs in, for the length of the run.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <streambuf>

namespace orvalt {

// On Windows, while it lives, the console's code pages are UTF-8, the
// program's own (names typed and printed are then the names it holds), and
// restored when it ends; lines typed at the console are read as UTF-16 and
// handed on in UTF-8, which the console's narrow reading does not do for
// every character; what goes to the console through std::cout and std::cerr
// (UTF-8) is shown in UTF-16. Elsewhere it changes nothing.
class ConsoleSession {
public:
    explicit ConsoleSession(std::istream& standard_input);
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    // Where the program reads its answers.
    std::istream& in() { return typed_ ? *typed_ : standard_input_; }

    // At the normal end of a run: a console window opened for this program
    // alone (started by a double click) waits for Return, so that its last
    // lines can be read before it closes. A run from a console, a script or
    // a pipe goes on at once.
    void finish(std::ostream& out);

private:
    std::istream& standard_input_;
    std::unique_ptr<std::streambuf> reader_;
    std::unique_ptr<std::istream> typed_;
    std::unique_ptr<std::streambuf> shown_out_;
    std::unique_ptr<std::streambuf> shown_err_;
    std::streambuf* old_out_ = nullptr;
    std::streambuf* old_err_ = nullptr;
    unsigned input_code_page_ = 0;
    unsigned output_code_page_ = 0;
    bool own_window_ = false;
};

}  // namespace orvalt

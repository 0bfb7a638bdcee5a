// The whole program over streams given: main binds them to the standard
// streams, the end-to-end tests to strings, so both run the same code.
#pragma once

#include <istream>
#include <ostream>

namespace orvalt {

// Runs ORVALT as main would with these arguments (argv[0] is the program):
// the dialogue on `in`/`out` without arguments, the command line otherwise.
// What goes to standard error (the Genie library's reports too) goes to
// `err` while it runs. Returns the exit status; every Stop ends here.
int run_program(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                std::ostream& err);

}  // namespace orvalt

// The one way a routine ends the program: throw Stop with the exit status.
// Only run_program (the body of main) catches it, and the command line
// for each file it converts.
#pragma once

namespace orvalt {

struct Stop {
    int status;  // 0: normal end or a stop the user chose; 1: a stop on an error
};

}  // namespace orvalt

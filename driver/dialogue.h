// ORVALT without arguments: one pass of questions and answers from the
// header to the last line, the answers remembered in "orvalt.tmp".
#pragma once

#include "driver/run.h"

namespace orvalt {

struct Console;

// The input file question, with the extension rule and the existence check
// that may ask again.
void choose_input_file(Console& con, RunFiles& files);

// Runs the dialogue on the console; returns the exit status of a normal end
// (1 when an output file could not be written). Every other end throws Stop.
int run_orvalt(Console& con);

}  // namespace orvalt

// "orvalt.tmp": the dialogue's answers remembered in the working folder, the
// input name and the four menu answers, offered as defaults next time.
#pragma once

#include "driver/request.h"
#include "driver/run.h"

namespace orvalt {

struct Console;

// The answers of the last run (and its input name, into files.input_name),
// or the defaults when there are none to read; files.tmp_name is set to the
// full name of orvalt.tmp.
Answers load_remembered_answers(Console& con, RunFiles& files);

// End of a run that produced output: the answers are rewritten. False
// (said why) when they could not be.
bool save_remembered_answers(Console& con, const RunFiles& files, const Answers& answers);

}  // namespace orvalt

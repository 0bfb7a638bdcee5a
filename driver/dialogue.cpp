// The dialogue: header, remembered answers, input file, the conversion with
// its questions asked on the way, and the answers remembered.
#include "driver/dialogue.h"

#include <new>
#include <string>

#include "driver/conversion.h"
#include "driver/questions.h"
#include "driver/remembered_answers.h"
#include "g_f/console.h"
#include "g_f/header.h"
#include "g_f/input_files.h"
#include "g_f/interruptions.h"
#include "g_f/name_safety.h"
#include "g_f/text.h"

namespace orvalt {

void choose_input_file(Console& con, RunFiles& files) {
    std::string& name = files.input_name;
    int n = 0;
    // Room is kept for the extension that may be added.
    ask_file_name(con, name, "full name of input file", n, input_name_limit);
    std::string typed = name.substr(0, static_cast<std::size_t>(n));
    if (add_input_extension(con, typed)) {
        say_line(con, "orvalt: Assumed input filetype is .xrdml");
        set_field(name, typed);
    }

    std::string full(name_field_length, ' ');
    std::int32_t status = 0;
    check_file(con, name, full, 1, 1, status);
    files.full_name = std::string(trimmed(full));
}

namespace {

int run_steps(Console& con) {
    std::int32_t unit = 0;
    prog_header(con, "ORVALT", "Read data from a .XRDML file", "The ORVALT developers", "23-1-14",
                1, unit);
    RunState run;
    Request request;
    request.answers = load_remembered_answers(con, run.files);
    choose_input_file(con, run.files);
    request.input = trimmed(run.files.input_name);
    DialogueQuestions questions;
    bool written = convert(con, request, questions, run);
    // A run whose output failed keeps the answers of the last good one.
    if (written) written = save_remembered_answers(con, run.files, request.answers);
    return written ? 0 : 1;
}

}  // namespace

int run_orvalt(Console& con) {
    handle_interruptions();
    try {
        return run_steps(con);
    } catch (const std::bad_alloc&) {
        // Every file being written has been abandoned on the way out.
        // A literal line: nothing more is allocated on this way out.
        fail(con, "**ERROR in orvalt: Out of memory");
    }
}

}  // namespace orvalt

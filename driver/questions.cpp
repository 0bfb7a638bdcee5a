// The dialogue's questions.
#include "driver/questions.h"

#include "driver/ascii_files.h"
#include "driver/gudrun.h"
#include "driver/messages.h"
#include "g_f/console.h"
#include "g_f/file_system.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

void DialogueQuestions::scan_choice(Console& con, Answers& answers, std::int32_t nscans) {
    empty_line(con);
    say_line(con, "Options...");
    say_line(con, "-3) Load all scans separately");
    say_line(con, "-2) Prepare data file for gudrunX");
    say_line(con, "-1) Exit");
    say_line(con, " 0) Load all scans (and convert to Q or d if required)");
    std::int32_t& iscan = answers.iscan;
    for (;;) {
        ask_integer(con, iscan, "scan number to load, or negative option from list", 1);
        if (iscan == exit_answer) throw Stop{0};
        if (iscan > nscans) {
            say_line(con, "This exceeds the number of scans in the file");
            iscan = sum_answer;
        } else if (iscan < separate_answer) {
            iscan = sum_answer;
        } else {
            break;
        }
    }
}

void DialogueQuestions::intensity(Console& con, Answers& answers) {
    empty_line(con);
    do {
        ask_integer(con, answers.icps, "0 for counts, or 1 for counts per second", 1);
    } while (answers.icps != 0 && answers.icps != 1);
}

void DialogueQuestions::exclusions(Console& con, Weights& weights, std::int32_t nscans) {
    empty_line(con);
    for (;;) {
        std::int32_t answer = 0;
        ask_integer(con, answer, "scan number to exclude, or 0 to continue", 1);
        if (answer < 0 || answer > nscans) continue;
        if (answer > 0) exclude(con, weights, answer);
        say_line(con, "Weights...");
        for (std::int32_t i = 0; i < nscans; ++i) {
            con.out << " Scan " << format_integer_width(i + 1, 3) << " has weight "
                    << format_integer_width(weights.weight[i], 1) << '\n';
        }
        if (answer == 0) break;
    }
}

void DialogueQuestions::units(Console& con, Answers& answers) {
    say_line(con, "Output x-axis units options...");
    say_line(con, "1) 2-theta");
    say_line(con, "2) Momentum transfer, Q");
    say_line(con, "3) d-spacing");
    do {
        ask_integer(con, answers.iunits, "units option", 1);
    } while (answers.iunits < 1 || answers.iunits > 3);
}

void DialogueQuestions::output_kind(Console& con, Answers& answers) {
    std::int32_t& ioutput = answers.ioutput;
    empty_line(con);
    say_line(con, "Output file options...");
    say_line(con, "0) no output file");
    say_line(con, "1) ascii file");
    say_line(con, "2) Genie binary file");
    for (;;) {
        ask_integer(con, ioutput, "output file option", 1);
        if (ioutput == no_output) throw Stop{0};
        if (ioutput == ascii_output || ioutput == genie_output) return;
    }
}

namespace {

// A Genie name shortened to 80 characters must still name a file of its own:
// not a bare ".write" after a folder.
bool shortened_name_usable(std::string_view name) {
    const std::string leaf = path_of(name).filename().string();
    return !leaf.empty() && leaf != ".write";
}

}  // namespace

std::string DialogueQuestions::output_name(Console& con, const Request& /*request*/,
                                           const RunFiles& files, std::string_view extension,
                                           bool shorten) {
    const std::string_view input = trimmed(files.input_name);
    std::string name(name_field_length, ' ');
    for (;;) {
        set_field(name, default_output_name(input, extension));
        int n = 0;
        ask_file_name(con, name, "full name of output file", n, name_field_length);
        const auto length = static_cast<std::size_t>(trimmed_length(name));
        if (shorten && length > genie_name_limit) {
            constexpr std::string_view kept_end = ".write";
            constexpr std::size_t cut = genie_name_limit - kept_end.size();
            name.replace(cut, std::string::npos, field(kept_end, name.size() - cut));
            empty_line(con);
            say_warning(con,
                        "WARNING: Output file name exceeds 80 characters and will be truncated to");
            say_line(con, trimmed(name));
            if (!shortened_name_usable(trimmed(name))) {
                say_line(con, "The shortened file name is not a usable file name");
                continue;
            }
        }
        const std::string refusal =
            output_name_refusal(trimmed(name), {input, files.tmp_name, files.weights_name});
        if (refusal.empty()) return std::string(trimmed(name));
        say_line(con, refusal);
    }
}

}  // namespace orvalt

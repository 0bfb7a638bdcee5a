// The remembered answers of the dialogue.
#include "driver/remembered_answers.h"

#include <string>

#include "g_f/console.h"
#include "g_f/input_files.h"
#include "g_f/name_safety.h"
#include "g_f/file_operations.h"
#include "g_f/new_files.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::string_view tmp_file = "orvalt.tmp";
constexpr std::string_view default_input = "Na_Mg_mirror.xrdml";
// Long enough for the full name of orvalt.tmp in any working directory.
constexpr std::size_t tmp_field_length = 4096;

}  // namespace

Answers load_remembered_answers(Console& con, RunFiles& files) {
    std::string name = field(tmp_file, tmp_field_length);
    std::string full = std::string(tmp_field_length, ' ');
    std::int32_t status = 0;
    check_file(con, name, full, 2, 0, status);
    files.tmp_name = std::string(trimmed(full));

    set_field(files.input_name, default_input);
    if (status != 1) return {};

    // Read only as far as the five lines can reach: a name line that fills
    // its field, and four integer lines of the same bound.
    constexpr std::size_t line_limit = name_field_length + 2;
    std::string bytes;
    if (!read_file_start(files.tmp_name, 5 * line_limit, bytes)) return {};
    std::string_view rest = bytes;
    // A byte order mark (an editor's) is not part of the name.
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    std::string_view lines[5];
    for (auto& line : lines) {
        if (rest.empty()) return {};
        const std::size_t lf = rest.find('\n');
        // A last line needs no line end, unless the read stopped at the limit.
        if (lf == std::string_view::npos && bytes.size() == 5 * line_limit) return {};
        line = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    // A name that could not be typed cannot be remembered either.
    if (!file_name_refusal(lines[0], name_field_length).empty()) return {};
    std::int32_t values[4] = {};
    for (int i = 0; i < 4; ++i)
        if (!read_first_integer(lines[i + 1], values[i])) return {};
    set_field(files.input_name, lines[0]);
    return {values[0], values[1], values[2], values[3]};
}

bool save_remembered_answers(Console& con, const RunFiles& files, const Answers& answers) {
    // "orvalt.tmp" may be a link to a file this run read or wrote.
    if (reaches_any(files.tmp_name,
                    {trimmed(files.input_name), files.output_name, files.weights_name})) {
        say_line(con, "**ERROR in orvalt: orvalt.tmp reaches a file of this run; not written");
        return false;
    }
    std::int32_t error = 0;
    OutputFile file = open_new_file(con, files.tmp_name, 94, 0, error, 0, 0, 0);
    if (!file.is_open()) return false;  // reported by open_new_file
    file.write_line(trimmed(files.input_name));
    for (std::int32_t value : {answers.iscan, answers.icps, answers.iunits, answers.ioutput})
        file.write_line(format_integer_width(value, 12));
    if (!file.close()) {
        say_line(con, "**ERROR in orvalt: Could not write " + files.tmp_name);
        return false;
    }
    return true;
}

}  // namespace orvalt

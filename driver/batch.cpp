// The names of a batch's files and the checks on them.
#include "driver/batch.h"

#include "driver/ascii_files.h"
#include "driver/pictures.h"
#include "driver/run.h"
#include "g_f/file_system.h"
#include "g_f/input_files.h"
#include "g_f/name_safety.h"
#include "g_f/text.h"

namespace orvalt {

// The request for one input: the input's name as the extension rule makes
// it, and the output names, as -o and -d say or the defaults. Default names
// are formed from the file name alone, then placed in the -d folder.
Request request_for(Console& con, const Choices& c, const std::string& argument) {
    Request r = c.request;
    // Trailing blanks are not part of a name, as in the dialogue's name field.
    r.input = name_meant(without_trailing_blanks(argument));
    // A name given whole is not extended: only one that names no file.
    if (file_kind(r.input) == FileKind::missing) add_input_extension(con, r.input);
    const auto placed = [&c](const std::string& given) {
        const std::string name = name_meant(given);
        return c.output_dir.empty() || path_of(name).is_absolute()
                   ? name
                   : (path_of(c.output_dir) / path_of(name)).string();
    };
    const auto default_name = [&](std::string_view extension) {
        // A file name of exactly six characters would leave the extension
        // alone, a hidden file without a name: here it keeps its name.
        const std::string leaf = path_of(r.input).filename().string();
        if (leaf.size() == 6 && default_output_name(leaf, extension) == extension)
            return c.output_dir.empty() ? r.input + std::string(extension)
                                        : placed(leaf + std::string(extension));
        if (c.output_dir.empty()) return default_output_name(r.input, extension);
        return placed(default_output_name(path_of(r.input).filename().string(), extension));
    };
    settle_output_answer(r);
    const Answers& a = r.answers;
    const std::string_view extension = format_row(output_format(r)).extension;
    r.output = r.output.empty() ? default_name(extension) : placed(r.output);
    if (a.iscan == gudrun_answer) r.weights = default_name(".weights");
    if (c.plot)
        r.picture = r.picture.empty() ? default_picture_name(c.list ? default_name(".svg") : r.output)
                                      : placed(r.picture);
    return r;
}

void Batch::add(std::set<FileId>& to, std::string_view name) {
    FileId id;
    if (file_id(name, id)) to.insert(id);
}

namespace {

bool one_of_files(std::string_view name, const std::set<FileId>& files) {
    FileId id;
    return !files.empty() && file_id(name, id) && files.contains(id);
}

}  // namespace

// Why the request's picture cannot be written, or empty (no picture asked).
std::string picture_problem(const Request& r, const Batch& batch) {
    if (r.picture.empty()) return {};
    if (one_of_files(r.picture, batch.inputs))
        return "will not write the picture " + r.picture + ": it is an input of this run";
    if (one_of_files(r.picture, batch.written))
        return "will not write the picture " + r.picture + ": this run has written it already";
    return picture_name_problem(r.picture, r.input, {r.output, r.weights});
}

// Why the request's names cannot be used, or empty. `given` is the input's
// name as given, without trailing blanks.
std::string names_problem(std::string_view given, const Request& r, const Batch& batch) {
    if (const std::string why = file_name_refusal(given, input_name_limit); !why.empty())
        return why;
    switch (file_kind(r.input)) {
        case FileKind::missing: return "no such file: " + r.input;
        case FileKind::other:
            return "not a regular file (a folder, FIFO or device): nothing is read";
        case FileKind::regular: break;
    }
    // Of the Genie files only the output stage's has the limit.
    const bool genie_stage =
        output_format(r) == OutputFormat::genie && !branch_fixes_output(r.answers.iscan);
    if (genie_stage && r.output.size() > genie_name_limit)
        return "the output name " + r.output +
               " is longer than 80 characters, the limit of "
               "Genie file names; give a shorter one with -o or -d";
    for (const std::string& target : {r.output, r.weights}) {
        if (target.empty()) continue;
        if (target.size() > name_field_length)
            return "the output name " + target + " is longer than " +
                   std::to_string(name_field_length) + " characters";
        // The same rules as for a typed name: never the input, only a regular file.
        switch (output_problem(target, {r.input})) {
            case OutputProblem::not_regular:
                return "will not write " + target + ": it is not a regular file";
            case OutputProblem::read_file:
                return "will not write " + target + ": it is the input file";
            case OutputProblem::none: break;
        }
        if (one_of_files(target, batch.inputs))
            return "will not write " + target + ": it is an input of this run";
        if (one_of_files(target, batch.written))
            return "will not write " + target + " again: this run has written it already";
    }
    // By what the names reach (RUN.WEIGHTS, the 8.3 name RUN~1.WEI), not by spelling.
    if (!r.weights.empty() && reaches_any(r.output, {r.weights}))
        return "the data file and the weights file would both be " + r.output;
    return picture_problem(r, batch);
}

}  // namespace orvalt

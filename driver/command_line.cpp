// ORVALT with arguments. The options fill one request per file, which goes
// to the conversion routine that the dialogue uses. Its console has no input
// and no transcript: the warnings and errors it reports go to standard error
// under the input's name.
#include "driver/command_line.h"

#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "driver/batch.h"
#include "driver/conversion.h"
#include "driver/errors_to.h"
#include "driver/listing.h"
#include "driver/options.h"
#include "driver/units.h"
#include "g_f/console.h"
#include "g_f/file_system.h"
#include "g_f/interruptions.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

// The conversion of one file. False when it failed (the report has said why).
bool convert_request(Console& con, Request& request, RunState& run) {
    try {
        set_field(run.files.input_name, request.input);
        run.files.full_name = full_file_name(request.input);
        Questions answered;
        return convert(con, request, answered, run);
    } catch (const Stop&) {
        return false;
    } catch (const std::bad_alloc&) {
        say_error(con, "**ERROR in orvalt: Out of memory");
        return false;
    }
}

// What was written, for the line on standard output.
std::string summary(const Request& r, const RunState& run) {
    std::string d = scan_choice_text(ChoiceText::summary, r.answers.iscan, run.weights.nincl,
                                     run.scans.census.nscans);
    d += r.answers.icps == 0 ? ", counts" : ", counts per second";
    d += ", " + x_label(x_axis(r.answers, run.scans));
    return d;
}

bool convert_file(const Choices& c, const std::string& argument, Batch& batch, std::ostream& out,
                  std::ostream& err) {
    std::istringstream no_answers;
    std::ostream no_transcript(nullptr);
    // `err` may be standard error itself, which the Genie library's reports
    // are taken from below: the run's own go to where it leads now.
    std::ostream to_err(err.rdbuf());
    const std::string name = shown(argument);
    const auto report = file_reports(name, c.quiet, to_err);
    Console con{no_answers, no_transcript, report};
    Request request = request_for(con, c, argument);
    if (const std::string problem = names_problem(without_trailing_blanks(argument), request, batch);
        !problem.empty()) {
        err << name << ": " << shown(problem) << '\n';
        return false;
    }

    auto run = std::make_unique<RunState>();
    bool ok = false;
    std::ostringstream library_reports;
    {
        const ErrorsTo errors(library_reports);
        ok = convert_request(con, request, *run);
    }
    // A dialogue run of every scan of a file without any ends normally,
    // having written nothing; here a file was promised by name.
    if (ok && request.answers.iscan == separate_answer && run->scans.census.nscans == 0) {
        report(MessageKind::error, "**ERROR in orvalt: The file holds no scans");
        ok = false;
    }
    // The Genie library says only what went wrong; a file it could not write
    // the run has named already, with the reason, under its own name.
    std::istringstream lines(library_reports.str());
    for (std::string line; std::getline(lines, line);)
        if (trimmed_length(line) > 0 && line.find("genie: cannot write ") != 0)
            report(MessageKind::error, line);
    // What was put in place is this batch's, whether the conversion went
    // through or not; a failed write left nothing of its own.
    if (run->files.output_written) batch.add(batch.written, request.output);
    for (const std::string& f : run->files.scan_files_written) batch.add(batch.written, f);
    if (run->files.weights_written) batch.add(batch.written, run->files.weights_name);
    if (ok && !request.picture.empty()) batch.add(batch.written, request.picture);
    // Each scan in a file of its own: the first and the last named.
    const std::vector<std::string>& each = run->files.scan_files_written;
    std::string written = each.empty()        ? request.output
                          : each.size() == 1 ? each.front()
                                             : each.front() + " ... " + each.back() + " (" +
                                                   format_integer(static_cast<std::int32_t>(each.size())) +
                                                   " files)";
    if (!request.weights.empty()) written += " and " + request.weights;
    // The data file is in place: only the picture is missing.
    if (run->files.picture_failed) {
        err << name << ": " << shown(written) << " written, but not the picture "
            << shown(request.picture) << '\n';
        return false;
    }
    if (!ok) {
        err << name << ": not converted\n";
        return false;
    }
    if (!request.picture.empty()) written += " and " + request.picture;
    if (!c.quiet) out << name << ": " << shown(summary(request, *run) + " -> " + written) << '\n';
    return true;
}

}  // namespace

int run_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    // Before anything is written: a refusal that names a long argument on a
    // standard error cut by a file size limit fails there, and is not ended
    // by SIGXFSZ.
    handle_interruptions(true);
    return run_arguments(argc, argv, out, err);
}

int run_arguments(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    Choices c;
    std::vector<std::string> files;
    if (const int status = parse_arguments(argc, argv, c, files, out, err); status >= 0)
        return status;

    Batch batch;
    {
        std::istringstream no_answers;
        std::ostream no_transcript(nullptr);
        Console con{no_answers, no_transcript};
        for (const std::string& file : files)
            batch.add(batch.inputs, request_for(con, c, file).input);
    }
    int status = 0;
    for (const std::string& file : files) {
        const bool ok = c.list ? list_file(c, file, batch, out, err)
                               : convert_file(c, file, batch, out, err);
        if (!ok) status = 1;
        out.flush();
        err.flush();
    }
    return status;
}

}  // namespace orvalt

// The scan table of --list and its picture.
#include "driver/listing.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <vector>

#include "driver/census.h"
#include "driver/pictures.h"
#include "driver/run.h"
#include "driver/units.h"
#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"
#include "plot/svg.h"
#include "xrdml/reader.h"

namespace orvalt {

namespace {

std::string with_unit(std::string text, const std::string& unit) {
    if (!unit.empty()) text += " " + unit;
    return text;
}

// The other axes of a scan: those moving with it as start..end, the others
// at their position.
std::string other_axes(const xrdml::ScanRow& row) {
    std::string out;
    for (const xrdml::AxisPositions& p : row.positions) {
        if (p.axis == row.axis) continue;
        if (!out.empty()) out += ", ";
        std::string value = format_shortest(p.start);
        if (p.moves) value += ".." + format_shortest(p.end);
        out += with_unit(p.axis + " " + value, p.unit);
    }
    return out;
}

}  // namespace

std::string format_scan_list(std::string_view name, const xrdml::ScanTable& table, double mean) {
    const std::size_t n = table.scans.size();
    std::string out = std::string(name) + ": " + format_integer(static_cast<std::int32_t>(n)) +
                      (n == 1 ? " scan\n" : " scans\n");
    std::string wave = "  wavelength";
    if (table.has_k_alpha1) wave += " K-alpha1 " + format_shortest(table.k_alpha1);
    if (table.has_k_alpha2) wave += ", K-alpha2 " + format_shortest(table.k_alpha2);
    if (table.has_ratio) wave += ", ratio K-alpha2/K-alpha1 " + format_shortest(table.ratio);
    if (mean > 0.0) wave += ", mean " + format_shortest(mean);
    out += wave + " angstrom\n";
    if (n == 0) return out;

    constexpr std::size_t columns = 10;
    using Row = std::array<std::string, columns>;
    std::vector<Row> rows;
    rows.push_back({"scan", "axis", "start", "end", "points", "step", "time (s)", "total counts",
                    "max counts", "other axes"});
    for (std::size_t i = 0; i < n; ++i) {
        const xrdml::ScanRow& s = table.scans[i];
        const xrdml::AxisPositions* a = s.read_axis();
        const double start = a != nullptr ? a->start : 0.0, end = a != nullptr ? a->end : 0.0;
        const std::string step =
            a != nullptr && s.points > 1 ? format_significant((end - start) / (s.points - 1), 10) : "-";
        rows.push_back({format_integer(static_cast<std::int32_t>(i + 1)),
                        a != nullptr ? with_unit(s.axis, a->unit) : "?",
                        a != nullptr ? format_shortest(start) : "-",
                        a != nullptr ? format_shortest(end) : "-", format_integer(s.points), step,
                        s.has_counting_time ? format_shortest(s.counting_time) : "-",
                        format_shortest(s.total), format_shortest(s.maximum), other_axes(s)});
    }
    std::array<std::size_t, columns> width{};
    for (const Row& r : rows)
        for (std::size_t c = 0; c < columns; ++c) width[c] = std::max(width[c], r[c].size());
    for (const Row& r : rows) {
        std::string line;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t pad = width[c] - r[c].size();
            line += "  ";
            // Text columns (axis, other axes) left-aligned, numbers right-aligned.
            if (c == 1 || c == columns - 1) line += r[c] + std::string(pad, ' ');
            else line += std::string(pad, ' ') + r[c];
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}


bool list_file(const Choices& c, const std::string& argument, Batch& batch, std::ostream& out,
               std::ostream& err) {
    std::istringstream no_answers;
    std::ostream no_transcript(nullptr);
    const std::string name = shown(argument);
    Console con{no_answers, no_transcript, file_reports(name, c.quiet, err)};
    Request request = request_for(con, c, argument);
    request.output.clear();
    const auto fail = [&](std::string_view why) {
        err << name << ": " << shown(why) << '\n';
        return false;
    };
    // The same names, the same reading and the same verdict on what was
    // read as a conversion of the file: a file that cannot be converted for
    // what it is (no regular file, a damaged archive, no XRDML text) is not
    // listed either, with the conversion's reason.
    if (const std::string problem = names_problem(without_trailing_blanks(argument), request, batch);
        !problem.empty())
        return fail(problem);

    // The table is read along with the survey: one reading of the file. A
    // picture reads the scans as a conversion does, from the survey's copy of
    // a compressed input and checked against what the survey found.
    RunFiles files;
    set_field(files.input_name, request.input);
    ScanTables scans;
    xrdml::ScanTableReader lister;
    const xrdml::FileSurvey survey = xrdml::survey_file(
        request.input, xrdml::ReaderStatus(), scans.census, scans.par, 0,
        request.picture.empty() ? nullptr : &files.plain_copy,
        [&lister](std::string_view line) { lister.take(line); });
    scans.stamped = survey.stamped && !files.plain_copy.active();
    scans.stamp = survey.stamp;
    try {
        check_file_read(con, request.input, survey);
    } catch (const Stop&) {
        return false;
    }
    const xrdml::ScanTable table = lister.finish();
    const bool census_ok = survey.census_status.ierr == 0 && !survey.too_long;
    // Names, axes and units come from the file: each line is shown as
    // messages show text, so that none reaches the terminal as a control
    // sequence.
    std::istringstream listing(format_scan_list(argument, table, census_ok ? scans.census.wavelength : 0.0));
    for (std::string line; std::getline(listing, line);) out << shown(line) << '\n';
    out.flush();
    if (request.picture.empty()) return true;

    // The picture needs what a conversion needs of the file.
    const xrdml::ReaderStatus& status =
        survey.census_status.ierr != 0 ? survey.census_status : survey.parameter_status;
    if (status.ierr != 0)
        return fail("no picture: ierr = " + std::to_string(status.ierr) + ", " +
                    std::string(trimmed(status.message)));
    const Answers& a = request.answers;
    const std::int32_t nscans = scans.census.nscans;
    plot::Figure figure = new_picture(
        request.input, scan_choice_text(ChoiceText::picture_title, separate_answer, nscans, nscans),
        a.icps, scans.census.wavelength, x_axis(a, scans), request.picture_log);
    xrdml::ReaderStatus read;
    if (!draw_file_scans(files, scans, nullptr, a.icps, figure, read))
        return fail("no picture: ierr = " + std::to_string(read.ierr) + ", " +
                    std::string(trimmed(read.message)));
    int error = 0;
    if (!plot::write_svg(request.picture, figure, error))
        return fail("could not write " + request.picture + ": " + error_text(error));
    batch.add(batch.written, request.picture);
    if (!c.quiet) out << name << ": every scan drawn -> " << shown(request.picture) << '\n';
    return true;
}

}  // namespace orvalt

// The scan table of --list and its picture.
#include "driver/listing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <vector>

#include "driver/census.h"
#include "driver/options.h"
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
std::string other_axes(const xrdml::ScanFacts& scan) {
    std::string out;
    for (const xrdml::AxisPositions& p : scan.positions) {
        if (p.axis == scan.axis) continue;
        if (!out.empty()) out += ", ";
        std::string value = format_shortest(p.start);
        if (p.moves) value += ".." + format_shortest(p.end);
        out += with_unit(p.axis + " " + value, p.unit);
    }
    return out;
}

// A scan's non-ambient conditions: "294 K" for a temperature, the others
// with their type.
std::string conditions(const xrdml::ScanFacts& scan) {
    std::string out;
    for (const xrdml::NonAmbient& c : scan.conditions) {
        if (c.count == 0) continue;
        if (!out.empty()) out += ", ";
        std::string value = format_shortest(c.first);
        if (c.last != c.first) value += ".." + format_shortest(c.last);
        out += with_unit((c.type == "Temperature" ? "" : c.type + " ") + value, c.unit);
    }
    return out;
}

// What a conversion would say of a list, if anything.
std::string list_note(const xrdml::ListTotals& t, const xrdml::AxisPositions* a, bool cut) {
    if (cut) return "cut short: the file ends in its list";
    if (!t.closed) return "its list does not close on its line";
    if (t.first_bad > 0) return "point " + format_integer(t.first_bad) + " is no number";
    if (t.first_negative > 0) return "point " + format_integer(t.first_negative) + " is negative";
    if (!std::isfinite(t.total)) return "total beyond the range of numbers";
    if (a != nullptr && a->listed > 0 && a->listed != t.points)
        return (a->listed > t.points ? "partial: " : "") + format_integer(t.points) +
               " counts for " + format_integer(a->listed) + " listed positions";
    return {};
}

std::string wavelength_value(std::string_view name, const xrdml::WavelengthValue& w) {
    const std::string text(name);
    if (!w.present) return text + " missing";
    if (!w.readable) return text + " not a number";
    return text + " " + format_shortest(w.value);
}

}  // namespace

std::string format_scan_list(std::string_view name, const xrdml::ScanTable& table,
                             const xrdml::ScanCensus& census, const xrdml::ScanParameters& par,
                             bool census_ok) {
    const std::size_t n = table.lists.size();
    std::string out = std::string(name) + ": " + format_integer(static_cast<std::int32_t>(n)) +
                      (n == 1 ? " scan\n" : " scans\n");
    out += "  wavelength " + wavelength_value("K-alpha1", table.k_alpha1) + ", " +
           wavelength_value("K-alpha2", table.k_alpha2) + ", " +
           wavelength_value("ratio K-alpha2/K-alpha1", table.ratio);
    if (census_ok) out += ", mean " + format_shortest(census.wavelength);
    out += " angstrom\n";
    std::string beam;
    if (!census.beam.intended.empty()) beam = "intended " + census.beam.intended;
    if (!census.beam.monochromator.empty())
        beam += (beam.empty() ? "" : "; ") +
                ("crystal monochromator in the incident beam: " + census.beam.monochromator);
    if (!beam.empty()) out += "  " + beam + "\n";
    if (n == 0) return out;

    enum Column { scan, axis, start, end, points, step, time, total, most, conds, started, others,
                  note, columns };
    using Row = std::array<std::string, columns>;
    std::vector<Row> rows;
    rows.push_back({"scan", "axis", "start", "end", "points", "step", "time (s)", "total counts",
                    "max counts", "conditions", "start time", "other axes", "note"});
    static const xrdml::ScanFacts none;
    for (std::size_t i = 0; i < n; ++i) {
        const xrdml::ListTotals& t = table.lists[i];
        const xrdml::ScanFacts& s = i < par.facts.size() ? par.facts[i] : none;
        const xrdml::AxisPositions* a = s.read_axis();
        const double first = a != nullptr ? a->start : 0.0, last = a != nullptr ? a->end : 0.0;
        const std::int32_t positions = a != nullptr && a->listed > 0 ? a->listed : t.points;
        std::string spacing = "-";
        if (a != nullptr && positions > 1) {
            const bool uneven = a->listed > 0 && i < par.listed.size() && par.listed[i].count > 0 &&
                                !par.listed[i].even;
            spacing = uneven ? "listed" : format_significant((last - first) / (positions - 1), 10);
        }
        const bool bad = t.first_bad > 0 || !std::isfinite(t.total) || !t.closed;
        rows.push_back({format_integer(static_cast<std::int32_t>(i + 1)),
                        a != nullptr ? with_unit(s.axis, a->unit) : "?",
                        a != nullptr ? format_shortest(first) : "-",
                        a != nullptr ? format_shortest(last) : "-", format_integer(t.points), spacing,
                        s.has_counting_time ? format_shortest(s.counting_time) : "-",
                        bad ? "-" : format_shortest(t.total), bad ? "-" : format_shortest(t.maximum),
                        conditions(s), s.start_time, other_axes(s),
                        list_note(t, a, census.cut_scan == static_cast<std::int32_t>(i + 1))});
    }
    // Columns that no scan fills are left out.
    std::array<bool, columns> visible{};
    visible.fill(true);
    for (const Column c : {conds, started, note})
        visible[c] =
            std::any_of(rows.begin() + 1, rows.end(), [c](const Row& r) { return !r[c].empty(); });
    std::array<std::size_t, columns> width{};
    for (const Row& r : rows)
        for (std::size_t c = 0; c < columns; ++c) width[c] = std::max(width[c], r[c].size());
    for (const Row& r : rows) {
        std::string line;
        for (std::size_t c = 0; c < columns; ++c) {
            if (!visible[c]) continue;
            const std::size_t pad = width[c] - r[c].size();
            line += "  ";
            // Text columns left-aligned, numbers right-aligned.
            if (c == axis || c >= conds) line += r[c] + std::string(pad, ' ');
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
    xrdml::SurveyOptions options;
    options.plain_copy = request.picture.empty() ? nullptr : &files.plain_copy;
    options.each_line = [&lister](std::string_view line, const xrdml::FirstElement& first) {
        lister.take(line, first);
    };
    const xrdml::FileSurvey survey =
        xrdml::survey_file(request.input, xrdml::ReaderStatus(), scans.census, scans.par, options);
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
    std::istringstream listing(
        format_scan_list(argument, table, scans.census, scans.par, census_ok));
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
    // A look at the data: every scan as far as it goes, however many points.
    xrdml::ReaderStatus read;
    if (!draw_file_scans(files, scans, nullptr, a.icps, {xrdml::unlimited, true}, figure, read))
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

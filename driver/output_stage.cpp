// The output stage: the ASCII data file, the Genie file through the Genie
// writer, and the pattern files, each of one spectrum or of every scan.
#include "driver/output_stage.h"

#include <algorithm>
#include <deque>
#include <span>
#include <string>

#include "driver/ascii_files.h"
#include "driver/census.h"
#include "driver/messages.h"
#include "driver/pictures.h"
#include "driver/scan_loading.h"
#include "driver/units.h"
#include "formats/pattern_file.h"
#include "g_f/console.h"
#include "g_f/genie_writer.h"
#include "g_f/interruptions.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/staged_file.h"
#include "g_f/text.h"
#include "plot/svg.h"

namespace orvalt {

namespace {

std::span<const double> first(const std::vector<double>& v, std::int32_t n) {
    return std::span<const double>(v).first(static_cast<std::size_t>(n));
}

Pattern pattern_of(std::int32_t scan, const Spectrum& spectrum, Conditions conditions) {
    const std::int32_t n = spectrum.ny;
    return {scan, first(spectrum.x, n), first(spectrum.y, n), first(spectrum.e, n),
            std::move(conditions)};
}

// A condition in words: "Temperature: 294 K", its mean and range where its
// values differ.
std::string condition_text(const xrdml::NonAmbient& c) {
    std::string value = format_shortest(c.mean);
    if (c.count > 1 && c.first != c.last)
        value += " (" + format_shortest(c.first) + " to " + format_shortest(c.last) + ")";
    std::string text = (c.type.empty() ? std::string("Condition") : c.type) + ": " + value;
    if (!c.unit.empty()) text += " " + c.unit;
    return text;
}

// What a Genie entry of one scan holds of its times and conditions: the
// start in the time field (its date and time of day: the field holds 20
// characters), all of it in the history.
void genie_conditions(G2IntGenDp& h, const Conditions& c) {
    set_field(h.time, c.started.empty() ? std::string_view("now")
                                        : std::string_view(c.started).substr(0, 19));
    std::string history;
    const auto add = [&history](const std::string& part) {
        history += (history.empty() ? "" : "; ") + part;
    };
    if (!c.started.empty()) add("start " + c.started);
    if (!c.ended.empty()) add("end " + c.ended);
    for (const std::string& said : c.said) add(said);
    set_field(h.history, history.empty() ? std::string_view("none") : std::string_view(history));
}

// A Genie file is filled by the library under a temporary name beside it and
// put in place whole; false (reported) when the temporary cannot be made.
bool stage_genie_file(Console& con, std::string_view name, StagedFile& staged) {
    int error = 0;
    if (!staged.create(name, false, error)) return report_unwritten(con, name, error);
    staged.close_stream();
    return true;
}

// A pending `before` (the weights file) is put in place with it, first.
bool commit_genie_file(Console& con, std::string_view name, StagedFile& staged,
                       OutputFile* before = nullptr) {
    // The library may still hold the file open for a further entry.
    if (!close_genie_file()) {
        staged.abandon();
        return report_unwritten(con, name, genie_write_error());
    }
    int error = 0;
    if (before != nullptr)
        return before->close_before(staged, error) || report_unwritten(con, name, error);
    return staged.commit(error) || report_unwritten(con, name, error);
}

// However the entries end, the library lets the file go before the
// temporary is put in place or removed (a file held open cannot be, on
// Windows).
struct GenieFileLetGo {
    GenieFileLetGo() = default;
    GenieFileLetGo(const GenieFileLetGo&) = delete;
    GenieFileLetGo& operator=(const GenieFileLetGo&) = delete;
    ~GenieFileLetGo() { close_genie_file(); }
};

// The header values every Genie entry of this run carries, labels aside.
G2IntGenDp genie_header(const RunFiles& files, double wavelength) {
    G2IntGenDp h;
    g2intinit(h);
    std::string doubled(name_field_length, ' ');
    double_backslashes(doubled, files.input_name, static_cast<std::int32_t>(name_field_length));
    set_field(h.title, std::string_view(doubled).substr(0, h.title.size()));
    h.ut[29] = wavelength;
    return h;
}

// False when the library could not write the entry (it has reported why).
bool write_genie_entry(Console& con, const G2IntGenDp& h, const Spectrum& spectrum,
                       std::int32_t inew, const std::string& file) {
    std::int32_t ierr = 0;  // the writer's last argument, which it leaves alone
    const std::int32_t n = spectrum.ny;
    return write_g2int_ng(con, file, h.filefield, h.xlabel, h.ylabel, h.user_name, h.inst_name,
                          h.title, h.time, h.history, first(spectrum.x, n), first(spectrum.y, n),
                          first(spectrum.e, n), h.ut, h.delta, h.fi, h.l1, h.l2, h.efixed,
                          h.twotheta, h.run_duration, spectrum.ny, spectrum.ny, h.nut, h.emode,
                          h.ispec_no, h.irun_no, inew, 0, ierr);
}

bool write_genie_spectrum(Console& con, RunFiles& files, const Request& request,
                          const ScanTables& scans, const Spectrum& spectrum, OutputFile* weights) {
    const Answers& answers = request.answers;
    const std::string& name = files.output_name;
    activate_genie_session();
    deactivate_genie_session();
    G2IntGenDp h = genie_header(files, wavelengths_used(request, scans.census).value);
    set_field(h.xlabel, genie_x_label(x_axis(answers, scans)));
    set_field(h.ylabel, answers.icps == 0 ? "Counts" : "Counts per second");
    StagedFile staged;
    if (!stage_genie_file(con, name, staged)) return false;
    if (!write_genie_entry(con, h, spectrum, 1, staged.temporary_name())) {
        const int error = genie_write_error();
        close_genie_file();
        return report_unwritten(con, name, error);
    }
    return commit_genie_file(con, name, staged, weights);
}

bool write_separate_genie(Console& con, RunFiles& files, const Request& request,
                          const ScanTables& scans, Spectrum& spectrum, plot::Figure* figure) {
    activate_genie_session();
    deactivate_genie_session();
    G2IntGenDp h = genie_header(files, wavelengths_used(request, scans.census).value);
    set_field(h.ylabel, "y");
    check_every_counting_time(con, request.answers, scans);
    // The dialogue's files stay as they always were.
    const bool conditions = request.front_end == FrontEnd::command_line;

    // The entries go into a temporary that replaces the file once they are
    // all in; a failure to write leaves the older file as it was.
    const std::string& name = files.output_name;
    StagedFile staged;
    if (!stage_genie_file(con, name, staged)) return false;
    const GenieFileLetGo let_go;  // before `staged` goes
    std::int32_t inew = 1;
    const auto take = [&](std::int32_t s) {
        if (figure != nullptr) draw_scan(*figure, s + 1, plot::Style::scan, scans, spectrum);
        set_field(h.xlabel, genie_x_label(scan_x_axis(scans, s)));
        if (conditions) genie_conditions(h, scan_conditions(scans, s));
        if (!write_genie_entry(con, h, spectrum, inew, staged.temporary_name()))
            return report_unwritten(con, name, genie_write_error());
        // An interruption waiting for the temporary to be let go finds it closed.
        if (interruption_waiting()) close_genie_file();
        staged.check_interruption();
        inew = 0;
        return true;
    };
    if (!each_separate_scan(con, files, request, scans, spectrum, take,
                            [&] { return commit_genie_file(con, name, staged); }))
        return false;
    // A file without scans holds no entry: none is made.
    if (inew != 0) return true;
    files.output_written = commit_genie_file(con, name, staged);
    return files.output_written;
}

// Every scan into a file of its own (one pattern per .xye, as its readers
// take it), put in place together once every one is written: a scan that
// cannot be read, or a file that cannot be written, leaves none and every
// older file of those names as it was.
bool write_scan_files(Console& con, RunFiles& files, OutputFormat format, const Request& request,
                      const ScanTables& scans, Spectrum& spectrum, plot::Figure* figure) {
    const std::int32_t count = scans.census.nscans;
    std::deque<PatternFile> written;
    const auto take = [&](std::int32_t s) {
        if (figure != nullptr) draw_scan(*figure, s + 1, plot::Style::scan, scans, spectrum);
        const std::string name = scan_file_name(files.output_name, s + 1, count);
        if (const std::string why = output_name_refusal(name, {files.full_name, files.tmp_name});
            !why.empty()) {
            say_error(con, "**ERROR in orvalt: will not write " + name + ": " + why);
            return false;
        }
        PatternDescription d = describe_run(files, request, scans, count);
        d.scan_choice = scan_choice_text(ChoiceText::file_header, s + 1, 1, count);
        PatternFile& file = written.emplace_back(con, name, format, d, false);
        return file.add(pattern_of(s + 1, spectrum, scan_conditions(scans, s))) && file.finish();
    };
    if (!each_separate_scan(con, files, request, scans, spectrum, take, [] { return false; }) ||
        !commit_together(written))
        return false;
    for (const PatternFile& f : written) files.scan_files_written.push_back(f.name());
    return true;
}

// Every scan as a block of one file, put in place once all are in: a scan
// that cannot be read leaves no new file and an older one as it was.
bool write_separate_pattern(Console& con, RunFiles& files, OutputFormat format,
                            const Request& request, const ScanTables& scans, Spectrum& spectrum,
                            plot::Figure* figure) {
    check_every_counting_time(con, request.answers, scans);
    if (format_row(format).file_a_scan)
        return write_scan_files(con, files, format, request, scans, spectrum, figure);
    const PatternDescription d = describe_run(files, request, scans, scans.census.nscans);
    PatternFile file(con, files.output_name, format, d, true);
    const auto take = [&](std::int32_t s) {
        if (figure != nullptr) draw_scan(*figure, s + 1, plot::Style::scan, scans, spectrum);
        return file.add(pattern_of(s + 1, spectrum, scan_conditions(scans, s)));
    };
    files.output_written =
        each_separate_scan(con, files, request, scans, spectrum, take, [] { return false; }) &&
        file.commit();
    return files.output_written;
}

}  // namespace

PatternDescription describe_run(const RunFiles& files, const Request& request,
                                const ScanTables& scans, std::int32_t nincl) {
    const Answers& a = request.answers;
    const xrdml::ScanCensus& c = scans.census;
    PatternDescription d;
    d.input_name = files.full_name;
    d.scan_choice = scan_choice_text(ChoiceText::file_header, a.iscan, nincl, c.nscans);
    d.wavelengths = wavelengths_used(request, c);
    d.x = x_axis(a, scans);
    d.counts = a.icps == 0;
    return d;
}

Conditions scan_conditions(const ScanTables& scans, std::int32_t s) {
    Conditions c;
    const auto k = static_cast<std::size_t>(s);
    if (k >= scans.par.facts.size()) return c;
    const xrdml::ScanFacts& f = scans.par.facts[k];
    for (const xrdml::NonAmbient& n : f.conditions) {
        if (n.count == 0) continue;
        c.said.push_back(condition_text(n));
        if (!c.kelvin) c.kelvin = xrdml::kelvin(n);
    }
    c.started = f.start_time;
    c.ended = f.end_time;
    return c;
}

Conditions sum_conditions(const ScanTables& scans, const Weights& weights) {
    // Said as one scan's where every scan summed says the same; otherwise
    // the temperature as the mean of theirs, where each has one.
    Conditions c;
    bool first = true, same = true, all_kelvin = true;
    double kelvin_sum = 0.0;
    std::int32_t summed = 0;
    for (std::size_t s = 0; s < weights.weight.size(); ++s) {
        if (weights.weight[s] != 1) continue;
        const Conditions one = scan_conditions(scans, static_cast<std::int32_t>(s));
        if (first) {
            c = one;
            first = false;
        } else {
            same = same && one.said == c.said;
            c.ended = one.ended;
        }
        all_kelvin = all_kelvin && one.kelvin.has_value();
        if (one.kelvin) kelvin_sum += *one.kelvin;
        ++summed;
    }
    if (!same) c.said.clear();
    c.kelvin.reset();
    if (summed > 0 && all_kelvin) {
        c.kelvin = kelvin_sum / summed;
        if (!same) c.said.push_back("Temperature: " + format_shortest(*c.kelvin) +
                                    " K, the mean of the scans summed");
    }
    return c;
}

std::string axes_refusal(OutputFormat format, const Answers& answers, const ScanTables& scans) {
    const ScanRange taken = scans_taken(answers, scans.census.nscans);
    for (std::int32_t s = taken.first; s < taken.end; ++s) {
        const std::string_view axis = scan_axis(scans, s);
        const std::string_view first_axis = scan_axis(scans, taken.first);
        if (axis != first_axis)
            return "scan " + format_integer(s + 1) + " moves the " + std::string(axis) +
                   " axis, scan " + format_integer(taken.first + 1) + " the " +
                   std::string(first_axis) + " axis: one file cannot label both";
        const std::string_view why = format_row(format).refuses(scan_x_axis(scans, s));
        if (!why.empty())
            return "scan " + format_integer(s + 1) + " moves the " + std::string(axis) +
                   " axis: " + std::string(why);
    }
    return {};
}

bool write_spectrum(Console& con, RunFiles& files, OutputFormat format, const Request& request,
                    const ScanTables& scans, const Weights& summed, const Spectrum& spectrum,
                    OutputFile* weights) {
    const Answers& answers = request.answers;
    const std::string& name = files.output_name;
    switch (format) {
        case OutputFormat::ascii:
            files.output_written = write_ascii_data_file(
                con, name, answers.iscan, files.full_name, spectrum.ny, first(spectrum.x, spectrum.ny),
                first(spectrum.y, spectrum.ny), first(spectrum.e, spectrum.ny), weights);
            break;
        case OutputFormat::genie:
            files.output_written = write_genie_spectrum(con, files, request, scans, spectrum, weights);
            break;
        default: {
            const PatternDescription d = describe_run(files, request, scans, summed.nincl);
            const Pattern p = pattern_of(std::max(answers.iscan, 0), spectrum,
                                         answers.iscan > 0
                                             ? scan_conditions(scans, answers.iscan - 1)
                                             : sum_conditions(scans, summed));
            files.output_written =
                write_pattern_file(con, name, format, d, std::span(&p, 1), weights);
        }
    }
    return files.output_written;
}

bool write_separate_scans(Console& con, RunFiles& files, OutputFormat format,
                          const Request& request, const ScanTables& scans, Spectrum& spectrum,
                          plot::Figure* figure) {
    if (format == OutputFormat::genie)
        return write_separate_genie(con, files, request, scans, spectrum, figure);
    return write_separate_pattern(con, files, format, request, scans, spectrum, figure);
}

}  // namespace orvalt

// The module's calls over the program's own steps: the census and the
// reading of the command line, its conversions, and the command line itself.
#include "python/calls.h"

#include <mutex>
#include <sstream>

#include "driver/batch.h"
#include "driver/census.h"
#include "driver/command_line.h"
#include "driver/conversion.h"
#include "driver/errors_to.h"
#include "driver/options.h"
#include "driver/run.h"
#include "driver/scan_loading.h"
#include "driver/units.h"
#include "g_f/console.h"
#include "g_f/file_system.h"
#include "g_f/number_parsing.h"
#include "g_f/stop.h"
#include "g_f/text.h"
#include "xrdml/facts.h"
#include "xrdml/scan.h"

namespace orvalt::python {

namespace {

// A console that asks nothing and shows nothing. What the command line would
// report of a run is kept: its warnings handed on, its first error, and the
// reader's status code said before it ("ierr = N").
class Reporter {
    std::istringstream in_;
    std::ostringstream out_;
    std::string error_;

public:
    explicit Reporter(const std::function<void(const std::string&)>& warn)
        : con{in_, out_, [this, &warn](MessageKind kind, std::string_view text) {
                  const std::string line(trimmed(text.starts_with(' ') ? text.substr(1) : text));
                  if (kind == MessageKind::warning) {
                      if (warn) warn(line);
                  } else if (error_.empty()) {
                      error_ = line;
                  }
              }} {}
    Console con;

    // The refusal the run stopped on.
    Failure failure() const {
        int code = 0;
        const std::string text = out_.str();
        if (const std::size_t p = text.rfind("ierr = "); p != std::string::npos) {
            const std::string_view rest = std::string_view(text).substr(p + 7);
            read_first_integer(rest.substr(0, rest.find('\n')), code);
        }
        return {code, error_.empty() ? std::string("the run stopped") : error_};
    }

};

// The command line's answers for these options: parse_arguments on them
// with the file's name, as the command line would take them.
Request request_of(Console& con, const std::string& path, const std::vector<std::string>& options) {
    std::vector<std::string> words{"orvalt"};
    words.insert(words.end(), options.begin(), options.end());
    words.push_back("--");
    words.push_back(path);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    Choices c;
    std::vector<std::string> files;
    std::ostringstream out, err;
    if (parse_arguments(static_cast<int>(argv.size()), argv.data(), c, files, out, err) >= 0) {
        std::string why = err.str();
        if (why.starts_with("orvalt: ")) why.erase(0, 8);
        throw Failure(2, why.substr(0, why.find('\n')));
    }
    Request r = request_for(con, c, files.front());
    r.output.clear();
    r.weights.clear();
    r.picture.clear();
    // The names' own checks first: a file that is missing or no regular file.
    if (const std::string why = names_problem(path, r, Batch()); !why.empty()) throw Failure(0, why);
    return r;
}

// The files of a run on `path` as the command line names them.
void name_files(RunFiles& files, const std::string& input) {
    set_field(files.input_name, input);
    files.full_name = full_file_name(input);
}

OtherAxis other_axis(const xrdml::AxisPositions& p) {
    return {p.axis, p.unit, p.start, p.end, p.moves};
}

// The Genie library and standard error are the process's: one conversion
// that writes files at a time.
std::mutex& writing() {
    static std::mutex m;
    return m;
}

}  // namespace

bool read_measurement(const std::string& path, bool partial, MeasurementData& m,
                      const std::function<bool(ScanData&&)>& take,
                      const std::function<void(const std::string&)>& warn) {
    Reporter r(warn);
    RunFiles files;
    const Request request = request_of(r.con, path, partial ? std::vector<std::string>{"--partial"}
                                                            : std::vector<std::string>{});
    name_files(files, request.input);
    ScanTables scans;
    try {
        scans = take_census(r.con, files, xrdml::unlimited);
    } catch (const Stop&) {
        throw r.failure();
    }
    const xrdml::ScanCensus& c = scans.census;
    m = {c.kalpha1, c.kalpha2, c.ratio, c.wavelength, c.beam.intended, c.beam.monochromator,
         c.nscans};

    xrdml::Measurement measurement;
    measurement.census = scans.census;
    measurement.par = scans.par;
    measurement.stamped = scans.stamped;
    measurement.stamp = scans.stamp;
    bool stopped = false;
    // The errors of counts without factors are their square roots, and x of
    // evenly spaced positions is spread from the start: both made when they
    // are asked for.
    xrdml::ReadLimits limits(xrdml::unlimited, partial);
    limits.errors = false;
    limits.even_x = false;
    const xrdml::ReaderStatus status = xrdml::read_scans(
        read_name(files), measurement, limits,
        [&](xrdml::Scan& s) {
            ScanData d;
            d.number = s.number;
            d.axis = s.axis;
            d.counts = s.counts;
            // x and the errors stay with the reading (to be filled again by
            // the next scan) where they can be made again from the rest.
            const auto k = static_cast<std::size_t>(s.number - 1);
            d.listed = scans.par.listed[k].count > 0;
            if (d.listed) d.x = std::move(s.x);
            d.start = scans.par.start_position[k];
            d.step = xrdml::scan_spacing(scans.par, s.number - 1,
                                         static_cast<std::int32_t>(s.counts.size()));
            d.attenuated = s.attenuated;
            if (d.attenuated) d.errors = std::move(s.errors);
            d.counting_time = s.counting_time;
            d.partial = s.partial;
            for (const xrdml::AxisPositions& p : s.facts.positions)
                if (p.axis != s.axis) d.others.push_back(other_axis(p));
            for (const xrdml::NonAmbient& n : s.facts.conditions)
                if (!d.temperature) d.temperature = xrdml::kelvin(n);
            d.start_time = s.facts.start_time;
            d.end_time = s.facts.end_time;
            stopped = !take(std::move(d));
            return !stopped;
        });
    if (stopped) return false;
    try {
        check_read(r.con, request, status);
    } catch (const Stop&) {
        throw r.failure();
    }
    return true;
}

SpectrumData compute(const std::string& path, const std::vector<std::string>& options,
                     const std::function<void(const std::string&)>& warn) {
    Reporter r(warn);
    Request request = request_of(r.con, path, options);
    auto run = std::make_unique<RunState>();
    name_files(run->files, request.input);
    try {
        compute_spectrum(r.con, request, *run);
    } catch (const Stop&) {
        throw r.failure();
    }
    SpectrumData out;
    const auto n = static_cast<std::size_t>(run->spectrum.ny);
    out.x.assign(run->spectrum.x.begin(), run->spectrum.x.begin() + n);
    out.y.assign(run->spectrum.y.begin(), run->spectrum.y.begin() + n);
    out.e.assign(run->spectrum.e.begin(), run->spectrum.e.begin() + n);
    const Answers& a = request.answers;
    if (a.iscan == gudrun_answer)
        out.weights.assign(run->weights.weight.begin(),
                           run->weights.weight.begin() + run->scans.census.nscans);
    const XAxis x = x_axis(a, run->scans);
    out.x_label = x_label(x) + " (" + std::string(x_unit(x)) + ")";
    out.y_label = a.icps == 0 ? "counts" : "counts per second";
    out.description = scan_choice_text(ChoiceText::summary, a.iscan, run->weights.nincl,
                                       run->scans.census.nscans);
    return out;
}

std::string command_line(const std::vector<std::string>& arguments,
                         const std::function<void(const std::string&)>& warn) {
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    std::ostringstream out, err;
    int status = 0;
    {
        const std::lock_guard<std::mutex> one_at_a_time(writing());
        const ErrorsTo errors(err);
        status = run_arguments(static_cast<int>(argv.size()), argv.data(), out, err);
    }
    // Each line of standard error is "NAME: text"; the first that is no
    // warning says why.
    std::istringstream lines(err.str());
    std::string first_error;
    for (std::string line; std::getline(lines, line);) {
        if (status == 2) {
            if (line.starts_with("orvalt: ")) line.erase(0, 8);
            throw Failure(2, line);
        }
        if (first_error.empty() && !line.ends_with(": not converted") &&
            line.find("WARNING") == std::string::npos)
            first_error = line;
        else if (line.find("WARNING") != std::string::npos && warn)
            warn(line);
    }
    if (status != 0) throw Failure(1, first_error.empty() ? "not converted" : first_error);
    return out.str();
}

}  // namespace orvalt::python

// The branches that build a spectrum (one scan, the sum of scans, every scan
// separately) and the output stage that reports, converts and writes it.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "driver/output_files.h"
#include "driver/pattern_files.h"
#include "driver/steps.h"
#include "driver/x_axis.h"
#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/genie_writer.h"
#include "g_f/new_files.h"
#include "g_f/stop.h"
#include "genie/genie.h"
#include "g_f/interruptions.h"
#include "g_f/name_safety.h"
#include "g_f/numbers.h"
#include "g_f/staged_file.h"
#include "g_f/text.h"
#include "plot/svg.h"
#include "xrdml/reader.h"
#include "xrdml/scan_offsets.h"

namespace orvalt {

namespace {

// Both compatibility checks of a sum allow this much, in degrees 2-theta. The
// small slack lets positions that differ by exactly the tolerance in decimal
// pass although their binary difference is a hair above it.
constexpr double grid_tolerance = 0.0001;
bool differs(double a, double b) { return std::fabs(a - b) > grid_tolerance * (1.0 + 1e-9); }

// Spacing of a scan of n points; a scan of fewer than 2 points has none.
double spacing(double start, double end, std::int32_t n) {
    return n >= 2 ? (end - start) / (n - 1) : 0.0;
}

void fill_x(Spectrum& spectrum, double start, double step) {
    for (std::int32_t k = 0; k < spectrum.ny; ++k) spectrum.x[k] = start + k * step;
}

// Tests of a whole spectrum run with no branch per point, so that the loop
// runs as vector instructions: v - v is +0 (all bits clear) for every finite
// v and NaN otherwise.
std::uint64_t not_finite(double v) { return std::bit_cast<std::uint64_t>(v - v); }

// fill_x and the test of check_finite in one pass over the spectrum: true
// when every point is finite.
bool fill_x_all_finite(Spectrum& spectrum, double start, double step) {
    std::uint64_t any = 0;
    for (std::int32_t k = 0; k < spectrum.ny; ++k) {
        const double x = start + k * step;
        spectrum.x[k] = x;
        any |= not_finite(x) | not_finite(spectrum.y[k]) | not_finite(spectrum.e[k]);
    }
    return any == 0;
}

// Scan s counts from 0; the message numbers it from 1.
void check_counting_time(Console& con, const ScanTables& scans, std::int32_t s) {
    if (!(scans.par.counting_time[s] > 0.0))
        fail(con,
             "**ERROR in orvalt: Counting time is not positive for scan " + format_integer(s + 1));
}

// Only finite numbers are written: a spectrum with a point that is not (from
// negative counts, an overflow, a tiny counting time) stops the run first.
// The whole spectrum is tested first; the point is looked for only when
// there is one.
void check_finite(Console& con, const Spectrum& spectrum) {
    std::uint64_t any = 0;
    for (std::int32_t k = 0; k < spectrum.ny; ++k)
        any |= not_finite(spectrum.x[k]) | not_finite(spectrum.y[k]) | not_finite(spectrum.e[k]);
    if (any == 0) return;
    for (std::int32_t k = 0; k < spectrum.ny; ++k) {
        if (!std::isfinite(spectrum.x[k]) || !std::isfinite(spectrum.y[k]) ||
            !std::isfinite(spectrum.e[k]))
            stop_with_error(
                con, "Point " + format_integer(k + 1) + " of the spectrum is not a finite number");
    }
}

// The reason is the system's, when there is one (the library gives its own).
// Always false: the file was not written.
bool report_unwritten(Console& con, std::string_view name, int error) {
    std::string line = "**ERROR in orvalt: Could not write " + std::string(name);
    if (error != 0) line.append(": ").append(error_text(error));
    say_error(con, line);
    return false;
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
        return report_unwritten(con, name, genie_last_error());
    }
    int error = 0;
    if (before != nullptr) return before->close_before(staged, error) || report_unwritten(con, name, error);
    return staged.commit(error) || report_unwritten(con, name, error);
}

// A scan of no points makes no spectrum; s counts from 0.
void check_points(Console& con, std::int32_t s, std::int32_t n) {
    if (n == 0) stop_with_error(con, "Scan " + format_integer(s + 1) + " holds no points");
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
    const auto n = static_cast<std::size_t>(spectrum.ny);
    return write_g2int_ng(con, file, h.filefield, h.xlabel, h.ylabel, h.user_name, h.inst_name,
                          h.title, h.time, h.history, std::span(spectrum.x).first(n),
                          std::span(spectrum.y).first(n), std::span(spectrum.e).first(n), h.ut,
                          h.delta, h.fi, h.l1, h.l2, h.efixed, h.twotheta, h.run_duration,
                          spectrum.ny, spectrum.ny, h.nut, h.emode, h.ispec_no, h.irun_no, inew, 0,
                          ierr);
}

// Counts per second: every point divided by the counting time t. A time
// that is a power of two (1, 2, 0.5 s ...) has an exact reciprocal, and then
// multiplying by it gives every bit the division gives, at far less cost.
void divide_by_counting_time(Spectrum& spectrum, double t) {
    int exponent = 0;
    const double reciprocal = 1.0 / t;
    if (std::isfinite(t) && std::frexp(t, &exponent) == 0.5 && std::isfinite(reciprocal)) {
        if (reciprocal == 1.0) return;
        for (std::int32_t k = 0; k < spectrum.ny; ++k) {
            spectrum.y[k] *= reciprocal;
            spectrum.e[k] *= reciprocal;
        }
        return;
    }
    for (std::int32_t k = 0; k < spectrum.ny; ++k) {
        spectrum.y[k] /= t;
        spectrum.e[k] /= t;
    }
}

}  // namespace

void load_single_scan(Console& con, const RunFiles& files, const Answers& answers,
                      const ScanTables& scans, Spectrum& spectrum) {
    const std::int32_t s = answers.iscan - 1;
    xrdml::ReaderStatus status;
    xrdml::ORVALTDATA1(con, read_name(files), status, spectrum.y, spectrum.e, xrdml::mn,
                       spectrum.ny, answers.iscan, 1, scans.expected());
    xrdml::ERRCHECK(con, status);
    check_points(con, s, spectrum.ny);
    const double start = scans.par.start_position[s];
    fill_x(spectrum, start, spacing(start, scans.par.end_position[s], spectrum.ny));
    if (answers.icps == 1) {
        check_counting_time(con, scans, s);
        divide_by_counting_time(spectrum, scans.par.counting_time[s]);
    }
}

void sum_scans(Console& con, const RunFiles& files, const Answers& answers, const ScanTables& scans,
               const Weights& weights, std::int32_t verbose, Spectrum& spectrum) {
    const std::int32_t nscans = scans.census.nscans;
    const auto& par = scans.par;
    const auto& weight = weights.weight;
    for (std::int32_t i = 1; i < nscans; ++i) {
        if (differs(par.start_position[i], par.start_position[0]))
            fail(con, "Scans appear to have incompatible start points");
    }

    std::array<std::int32_t, xrdml::max_scans> npts{};
    xrdml::ReaderStatus status;
    xrdml::ORVALTDATATOT(con, read_name(files), status, spectrum.y, spectrum.e, xrdml::mn, npts,
                         weight, spectrum.ny, nscans, verbose, scans.expected());
    xrdml::ERRCHECK(con, status);
    for (std::int32_t i = 0; i < nscans; ++i)
        if (weight[i] != 0) check_points(con, i, npts[i]);

    // Scans count from 0 here; the message numbers the first one from 1.
    std::array<double, xrdml::max_scans> step{};
    std::int32_t first = -1;
    for (std::int32_t i = 0; i < nscans; ++i) {
        if (weight[i] == 0) continue;
        step[i] = spacing(par.start_position[i], par.end_position[i], npts[i]);
        if (first < 0) first = i;
    }
    if (answers.iscan == gudrun_answer)
        say_integer(con, "orvalt: First included scan = ", first + 1);
    say_real(con, "orvalt: x-axis spacing = ", step[first]);
    if (weights.nincl > 1) {
        for (std::int32_t i = first + 1; i < nscans; ++i) {
            if (weight[i] != 0 && differs(step[i], step[first]))
                fail(con, "Scans appear to have incompatible spacings");
        }
    }
    for (std::int32_t i = first; i < nscans; ++i)
        if (weight[i] != 0) check_counting_time(con, scans, i);

    fill_x(spectrum, par.start_position[first], step[first]);
    // Total counting time at each point: a point beyond the end of a shorter
    // scan has only the times of the scans that reach it.
    std::vector<double> tsum(static_cast<std::size_t>(spectrum.ny), 0.0);
    for (std::int32_t i = first; i < nscans; ++i) {
        if (weight[i] == 0) continue;
        for (std::int32_t k = 0; k < npts[i]; ++k) tsum[k] += par.counting_time[i];
    }
    for (std::int32_t k = 0; k < spectrum.ny; ++k) {
        spectrum.y[k] /= tsum[k];
        spectrum.e[k] /= tsum[k];
    }
    if (answers.icps == 0) {
        // Counts as one scan of scan 1's counting time would give them.
        const double t = par.counting_time[0];
        for (std::int32_t k = 0; k < spectrum.ny; ++k) {
            spectrum.y[k] *= t;
            spectrum.e[k] *= t;
        }
    }
}

namespace {

// Nothing of the separate scans is written unless every scan can be scaled.
void check_every_counting_time(Console& con, const Answers& answers, const ScanTables& scans) {
    if (answers.icps == 1)
        for (std::int32_t s = 0; s < scans.census.nscans; ++s) check_counting_time(con, scans, s);
}

// Every scan in turn, as the separate scans are written: read into
// `spectrum` (counts per second when asked), its x filled and every point
// found finite, then handed to `take` with its number counted from 0. A scan
// that cannot be read ends the run once `keep` has kept the scans before it
// (true when it could), which the run then says; of an input that changed
// while it was read nothing is kept. `take` returns false to end the loop
// (having said why), and so does this.
bool each_scan(Console& con, RunFiles& files, const Answers& answers,
               const ScanTables& scans, Spectrum& spectrum,
               const std::function<bool(std::int32_t)>& take, const std::function<bool()>& keep,
               plot::Figure* figure) {
    const auto& par = scans.par;
    // Each scan's search starts where the one before it was found.
    xrdml::ScanOffsets offsets;
    // Scans count from 0 here; the reader numbers them from 1.
    for (std::int32_t s = 0; s < scans.census.nscans; ++s) {
        xrdml::ReaderStatus status;
        xrdml::ORVALTDATA1(con, read_name(files), status, spectrum.y, spectrum.e, xrdml::mn,
                           spectrum.ny, s + 1, 1, offsets, scans.expected());
        // A scan that cannot be read ends the run; those before it are kept,
        // and the run says so.
        if (status.ierr != 0 && s > 0 && status.ierr != xrdml::file_changed && keep()) {
            files.output_written = true;
            try {
                xrdml::ERRCHECK(con, status);
            } catch (const Stop&) {
                say_error(con, "**ERROR in orvalt: " + files.output_name + " holds " +
                                   format_integer(s) + (s == 1 ? " entry" : " entries") +
                                   ", the scans before scan " + format_integer(s + 1) +
                                   ", which stopped the run");
                throw;
            }
        }
        xrdml::ERRCHECK(con, status);
        check_points(con, s, spectrum.ny);
        const double start = par.start_position[s];
        const double end = par.end_position[s];
        if (answers.icps == 1) divide_by_counting_time(spectrum, par.counting_time[s]);
        const double step = spacing(start, end, spectrum.ny);
        const bool finite = fill_x_all_finite(spectrum, start, step);
        say_two_reals(con, "orvalt: First and last x-values = ", start, " and ", end);
        if (!finite) check_finite(con, spectrum);
        if (figure != nullptr) {
            const auto n = static_cast<std::size_t>(spectrum.ny);
            // The angles as they were filled in: evenly spaced from the start.
            figure->add(s + 1, plot::Style::scan, plot::EvenX{start, step},
                        std::span<const double>(spectrum.y).first(n),
                        std::span<const double>(spectrum.e).first(n));
        }
        if (!take(s)) return false;
    }
    return true;
}

}  // namespace

bool write_scans_to_output(Console& con, RunFiles& files, const Answers& answers,
                           const ScanTables& scans, Spectrum& spectrum, plot::Figure* figure) {
    activate_genie_session();
    deactivate_genie_session();
    G2IntGenDp h = genie_header(files, scans.census.wavelength);
    set_field(h.ylabel, "y");
    check_every_counting_time(con, answers, scans);

    // The entries go into a temporary that replaces the file once they are
    // all in; a failure to write leaves the older file as it was.
    const std::string& name = files.output_name;
    StagedFile staged;
    if (!stage_genie_file(con, name, staged)) return false;
    const GenieFileLetGo let_go;  // before `staged` goes
    std::int32_t inew = 1;
    const auto take = [&](std::int32_t s) {
        set_field(h.xlabel, scan_angle_name(scans, s + 1));
        if (!write_genie_entry(con, h, spectrum, inew, staged.temporary_name()))
            return report_unwritten(con, name, genie_last_error());
        // An interruption waiting for the temporary to be let go finds it closed.
        if (interruption_waiting()) close_genie_file();
        staged.check_interruption();
        inew = 0;
        return true;
    };
    if (!each_scan(con, files, answers, scans, spectrum, take,
                   [&] { return commit_genie_file(con, name, staged); }, figure))
        return false;
    // A file without scans holds no entry: none is made.
    if (inew != 0) return true;
    files.output_written = commit_genie_file(con, name, staged);
    return files.output_written;
}

void check_wavelength(Console& con, const xrdml::ScanCensus& census) {
    if (xrdml::wavelength_usable(census)) return;
    if (!(census.ratio >= 0.0)) stop_with_error(con, "The ratio of the wavelengths is negative");
    stop_with_error(con, "Wavelength is not a positive number");
}

bool write_scans_to_pattern_file(Console& con, RunFiles& files, PatternFormat format,
                                 const PatternDescription& d, const Answers& answers,
                                 const ScanTables& scans, Spectrum& spectrum,
                                 plot::Figure* figure) {
    check_every_counting_time(con, answers, scans);
    PatternFile file(con, files.output_name, format, d, true);
    const auto take = [&](std::int32_t s) {
        const auto n = static_cast<std::size_t>(spectrum.ny);
        return file.add({s + 1, std::span(spectrum.x).first(n), std::span(spectrum.y).first(n),
                         std::span(spectrum.e).first(n)});
    };
    files.output_written =
        each_scan(con, files, answers, scans, spectrum, take, [&] { return file.commit(); }, figure) &&
        file.commit();
    return files.output_written;
}

void report_and_convert(Console& con, const Answers& answers, double wavelength,
                        Spectrum& spectrum) {
    const std::int32_t ny = spectrum.ny;
    auto& x = spectrum.x;
    say_integer(con, "orvalt: Number of points = ", ny);
    if (ny > 0) {
        say_two_reals(con, "orvalt: First point x = ", x[0], " y = ", spectrum.y[0]);
        say_two_reals(con, "orvalt: Last point  x = ", x[ny - 1], " y = ", spectrum.y[ny - 1]);
    }

    constexpr double half_pi = 1.5707963267948966;
    constexpr double four_pi = 12.566370614359172;
    // check_wavelength has passed it already; a spectrum never takes another.
    if ((answers.iunits == 2 || answers.iunits == 3) &&
        !(std::isfinite(wavelength) && wavelength > 0.0))
        stop_with_error(con, "Wavelength is not a positive number");
    if (answers.iunits == 2) {
        for (std::int32_t k = 0; k < ny; ++k) {
            const double theta = x[k] * half_pi / 180.0;
            x[k] = four_pi * std::sin(theta) / wavelength;
        }
    } else if (answers.iunits == 3) {
        for (std::int32_t k = 0; k < ny; ++k)
            if (x[k] == 0.0) stop_with_error(con, "d-spacing is undefined at 2-theta = 0");
        xrdml::REVERSEARRAY(x, ny);
        xrdml::REVERSEARRAY(spectrum.y, ny);
        xrdml::REVERSEARRAY(spectrum.e, ny);
        for (std::int32_t k = 0; k < ny; ++k) {
            const double theta = x[k] * half_pi / 180.0;
            x[k] = (0.5 * wavelength) / std::sin(theta);
        }
    }
    check_finite(con, spectrum);
}

bool write_spectrum(Console& con, RunFiles& files, const Answers& answers,
                    const ScanTables& scans, const Spectrum& spectrum, OutputFile* weights) {
    const std::string& name = files.output_name;
    if (answers.ioutput == ascii_output) {
        const auto n = static_cast<std::size_t>(spectrum.ny);
        files.output_written = write_ascii_data_file(
            con, name, answers.iscan, files.full_name, spectrum.ny, std::span(spectrum.x).first(n),
            std::span(spectrum.y).first(n), std::span(spectrum.e).first(n), weights);
        return files.output_written;
    }

    activate_genie_session();
    deactivate_genie_session();
    G2IntGenDp h = genie_header(files, scans.census.wavelength);
    set_field(h.xlabel, genie_x_label(answers, scans));
    set_field(h.ylabel, answers.icps == 0 ? "Counts" : "Counts per second");
    StagedFile staged;
    if (!stage_genie_file(con, name, staged)) return false;
    if (!write_genie_entry(con, h, spectrum, 1, staged.temporary_name())) {
        const int error = genie_last_error();
        close_genie_file();
        return report_unwritten(con, name, error);
    }
    files.output_written = commit_genie_file(con, name, staged, weights);
    return files.output_written;
}

}  // namespace orvalt

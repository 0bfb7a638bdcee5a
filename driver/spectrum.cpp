// The spectra of the branches: one scan, the sum of scans, every scan in turn.
#include "driver/spectrum.h"

#include <array>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "driver/messages.h"
#include "formats/pattern.h"
#include "g_f/console.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "xrdml/scan_offsets.h"

namespace orvalt {

namespace {

// Both compatibility checks of a sum allow this much, in degrees 2-theta. The
// small slack lets positions that differ by exactly the tolerance in decimal
// pass although their binary difference is a hair above it.
constexpr double grid_tolerance = 0.0001;
bool differs(double a, double b) { return std::fabs(a - b) > grid_tolerance * (1.0 + 1e-9); }

void fill_x(Spectrum& spectrum, double start, double step) {
    for (std::int32_t k = 0; k < spectrum.ny; ++k) spectrum.x[k] = start + k * step;
}

// Scan s counts from 0; the message numbers it from 1.
void check_counting_time(Console& con, const ScanTables& scans, std::int32_t s) {
    if (!(scans.par.counting_time[s] > 0.0))
        fail(con,
             "**ERROR in orvalt: Counting time is not positive for scan " + format_integer(s + 1));
}

// A scan of no points makes no spectrum; s counts from 0.
void check_points(Console& con, std::int32_t s, std::int32_t n) {
    if (n == 0) stop_with_error(con, "Scan " + format_integer(s + 1) + " holds no points");
}

std::span<const double> first(const std::vector<double>& v, std::int32_t n) {
    return std::span<const double>(v).first(static_cast<std::size_t>(n));
}

}  // namespace

double spacing(double start, double end, std::int32_t n) {
    return n >= 2 ? (end - start) / (n - 1) : 0.0;
}

void check_finite(Console& con, const Spectrum& spectrum) {
    const std::int32_t n = spectrum.ny;
    if (const std::size_t k =
            first_not_finite(first(spectrum.x, n), first(spectrum.y, n), first(spectrum.e, n));
        k != 0)
        stop_with_error(con, not_finite_text(k));
}

// A time that is a power of two (1, 2, 0.5 s ...) has an exact reciprocal,
// and then multiplying by it gives every bit the division gives, at far less
// cost.
void to_counts_per_second(Spectrum& spectrum, double t) {
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
        to_counts_per_second(spectrum, scans.par.counting_time[s]);
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
    std::int32_t first_scan = -1;
    for (std::int32_t i = 0; i < nscans; ++i) {
        if (weight[i] == 0) continue;
        step[i] = spacing(par.start_position[i], par.end_position[i], npts[i]);
        if (first_scan < 0) first_scan = i;
    }
    if (answers.iscan == gudrun_answer)
        say_integer(con, "orvalt: First included scan = ", first_scan + 1);
    say_real(con, "orvalt: x-axis spacing = ", step[first_scan]);
    if (weights.nincl > 1) {
        for (std::int32_t i = first_scan + 1; i < nscans; ++i) {
            if (weight[i] != 0 && differs(step[i], step[first_scan]))
                fail(con, "Scans appear to have incompatible spacings");
        }
    }
    for (std::int32_t i = first_scan; i < nscans; ++i)
        if (weight[i] != 0) check_counting_time(con, scans, i);

    fill_x(spectrum, par.start_position[first_scan], step[first_scan]);
    // Total counting time at each point: a point beyond the end of a shorter
    // scan has only the times of the scans that reach it.
    std::vector<double> tsum(static_cast<std::size_t>(spectrum.ny), 0.0);
    for (std::int32_t i = first_scan; i < nscans; ++i) {
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

bool read_each_scan(Console& con, const RunFiles& files, const ScanTables& scans,
                    Spectrum& spectrum, xrdml::ReaderStatus& status,
                    const std::function<bool(std::int32_t)>& take) {
    // Each scan's search starts where the one before it was found.
    xrdml::ScanOffsets offsets;
    // Scans count from 0 here; the reader numbers them from 1.
    for (std::int32_t s = 0; s < scans.census.nscans; ++s) {
        status = xrdml::ReaderStatus();
        xrdml::ORVALTDATA1(con, read_name(files), status, spectrum.y, spectrum.e, xrdml::mn,
                           spectrum.ny, s + 1, 1, offsets, scans.expected());
        if (status.ierr != 0 || !take(s)) return false;
    }
    return true;
}

void check_every_counting_time(Console& con, const Answers& answers, const ScanTables& scans) {
    if (answers.icps == 1)
        for (std::int32_t s = 0; s < scans.census.nscans; ++s) check_counting_time(con, scans, s);
}

bool each_separate_scan(Console& con, RunFiles& files, const Answers& answers,
                        const ScanTables& scans, Spectrum& spectrum,
                        const std::function<bool(std::int32_t)>& take,
                        const std::function<bool()>& keep) {
    const auto& par = scans.par;
    std::int32_t taken = 0;
    bool ended = false;
    xrdml::ReaderStatus status;
    const bool all = read_each_scan(con, files, scans, spectrum, status, [&](std::int32_t s) {
        check_points(con, s, spectrum.ny);
        const double start = par.start_position[s];
        const double end = par.end_position[s];
        if (answers.icps == 1) to_counts_per_second(spectrum, par.counting_time[s]);
        fill_x(spectrum, start, spacing(start, end, spectrum.ny));
        say_two_reals(con, "orvalt: First and last x-values = ", start, " and ", end);
        check_finite(con, spectrum);
        ended = !take(s);
        ++taken;
        return !ended;
    });
    if (all) return true;
    if (ended) return false;
    // A scan that cannot be read ends the run; those before it are kept,
    // and the run says so.
    if (taken > 0 && status.ierr != xrdml::file_changed && keep()) {
        files.output_written = true;
        try {
            xrdml::ERRCHECK(con, status);
        } catch (const Stop&) {
            say_error(con, "**ERROR in orvalt: " + files.output_name + " holds " +
                               format_integer(taken) + (taken == 1 ? " entry" : " entries") +
                               ", the scans before scan " + format_integer(taken + 1) +
                               ", which stopped the run");
            throw;
        }
    }
    xrdml::ERRCHECK(con, status);
    return false;
}

}  // namespace orvalt

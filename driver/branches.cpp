// The branches that build a spectrum (one scan, the sum of scans, every scan
// separately) and the output stage that reports, converts and writes it.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>

#include "driver/output_files.h"
#include "driver/steps.h"
#include "g_f/console.h"
#include "g_f/files.h"
#include "g_f/genie_writer.h"
#include "g_f/numbers.h"
#include "g_f/text.h"
#include "genie/genie.h"
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

void fill_x(RunState& run, double start, double step) {
    for (std::int32_t k = 0; k < run.ny; ++k) run.x[k] = start + k * step;
}

void check_counting_time(Console& con, const RunState& run, std::int32_t scan) {
    if (!(run.par.counting_time[scan - 1] > 0.0))
        fail(con, "**ERROR in orvalt: Counting time is not positive for scan " +
                      format_integer(scan));
}

std::string_view input_name(const RunState& run) { return trimmed(run.input_name); }

// A Genie name shortened to 80 characters must still name a file of its own:
// not a bare ".write" after a folder.
bool shortened_name_usable(std::string_view name) {
    const std::string leaf = std::filesystem::path(name).filename().string();
    return !leaf.empty() && leaf != ".write";
}

// Asks for the output name, with the default formed from the input name,
// until the run may write it: never a file the run reads, only a regular
// file. In the output stage a Genie name is first shortened to 80 characters.
void ask_output_name(Console& con, RunState& run, std::string_view extension, bool shorten) {
    for (;;) {
        set_field(run.output_name, default_output_name(input_name(run), extension));
        int n = 0;
        ask_file_name(con, run.output_name, "full name of output file", n, name_field_length);
        const auto length = static_cast<std::size_t>(trimmed_length(run.output_name));
        if (shorten && length > genie_name_limit) {
            constexpr std::string_view kept_end = ".write";
            constexpr std::size_t cut = genie_name_limit - kept_end.size();
            run.output_name.replace(cut, std::string::npos,
                                    field(kept_end, run.output_name.size() - cut));
            empty_line(con);
            say_line(con, "WARNING: Output file name exceeds 80 characters and will be truncated to");
            say_line(con, trimmed(run.output_name));
            if (!shortened_name_usable(trimmed(run.output_name))) {
                say_line(con, "The shortened file name is not a usable file name");
                continue;
            }
        }
        const std::string refusal = output_name_refusal(
            trimmed(run.output_name), {input_name(run), run.tmp_name, run.weights_name});
        if (refusal.empty()) return;
        say_line(con, refusal);
    }
}

// Only finite numbers are written: a spectrum with a point that is not (from
// negative counts, an overflow, a tiny counting time) stops the run first.
void check_finite(Console& con, const RunState& run) {
    // The whole spectrum is tested first with no branch per point, so that
    // the loop runs as vector instructions: a value is not finite when its
    // exponent bits are all ones. The point is looked for only when there is one.
    const auto not_finite = [](double v) {
        return (((std::bit_cast<std::uint64_t>(v) >> 52) & 0x7ff) + 1) >> 11;
    };
    std::uint64_t any = 0;
    for (std::int32_t k = 0; k < run.ny; ++k)
        any |= not_finite(run.x[k]) | not_finite(run.y[k]) | not_finite(run.e[k]);
    if (any == 0) return;
    for (std::int32_t k = 0; k < run.ny; ++k) {
        if (!std::isfinite(run.x[k]) || !std::isfinite(run.y[k]) || !std::isfinite(run.e[k]))
            stop_with_error(con, "Point " + format_integer(k + 1) +
                                     " of the spectrum is not a finite number");
    }
}

// The reason is the system's, when there is one (the library gives its own).
void report_unwritten(Console& con, RunState& run, int error) {
    std::string line = "**ERROR in orvalt: Could not write " + std::string(trimmed(run.output_name));
    if (error != 0) line.append(": ").append(std::strerror(error));
    say_line(con, line);
    run.exit_status = 1;
}

// A Genie file is filled by the library under a temporary name beside it and
// put in place whole; false (reported) when the temporary cannot be made.
bool stage_genie_file(Console& con, RunState& run, StagedFile& staged) {
    int error = 0;
    if (!staged.create(trimmed(run.output_name), false, error)) {
        report_unwritten(con, run, error);
        return false;
    }
    staged.close_stream();
    return true;
}

void commit_genie_file(Console& con, RunState& run, StagedFile& staged) {
    int error = 0;
    if (!staged.commit(error)) report_unwritten(con, run, error);
}

// The header values every Genie entry of this run carries, labels aside.
G2IntGenDp genie_header(const RunState& run) {
    G2IntGenDp h;
    g2intinit(h);
    std::string doubled(name_field_length, ' ');
    double_backslashes(doubled, run.input_name, static_cast<std::int32_t>(name_field_length));
    set_field(h.title, std::string_view(doubled).substr(0, h.title.size()));
    return h;
}

// False when the library could not write the entry (it has reported why).
bool write_genie_entry(Console& con, RunState& run, G2IntGenDp& h, std::int32_t inew,
                       const std::string& file) {
    const int failures = genie_failure_count();
    h.ut[29] = run.census.wavelength;
    std::int32_t ierr = run.status.ierr;
    const auto n = static_cast<std::size_t>(run.ny);
    write_g2int_ng(con, file, h.filefield, h.xlabel, h.ylabel, h.user_name,
                   h.inst_name, h.title, h.time, h.history, std::span(run.x).first(n),
                   std::span(run.y).first(n), std::span(run.e).first(n), h.ut, h.delta, h.fi,
                   h.l1, h.l2, h.efixed, h.twotheta, h.run_duration, run.ny, run.ny, h.nut,
                   h.emode, h.ispec_no, h.irun_no, inew, 0, ierr);
    if (genie_failure_count() == failures) return true;
    run.exit_status = 1;
    return false;
}

// Counts per second: every point divided by the scan's counting time. A time
// that is a power of two (1, 2, 0.5 s ...) has an exact reciprocal, and then
// multiplying by it gives every bit the division gives, at far less cost.
void divide_by_counting_time(RunState& run, std::int32_t scan) {
    const double t = run.par.counting_time[scan - 1];
    int exponent = 0;
    const double reciprocal = 1.0 / t;
    if (std::isfinite(t) && std::frexp(t, &exponent) == 0.5 && std::isfinite(reciprocal)) {
        if (reciprocal == 1.0) return;
        for (std::int32_t k = 0; k < run.ny; ++k) {
            run.y[k] *= reciprocal;
            run.e[k] *= reciprocal;
        }
        return;
    }
    for (std::int32_t k = 0; k < run.ny; ++k) {
        run.y[k] /= t;
        run.e[k] /= t;
    }
}

}  // namespace

void load_single_scan(Console& con, RunState& run) {
    const std::int32_t s = run.iscan;
    xrdml::ORVALTDATA1(con, input_name(run), run.status, run.y, run.e, xrdml::mn, run.ny, s,
                       run.verbose);
    xrdml::ERRCHECK(con, run.status);
    run.step[s - 1] = spacing(run.par.start_position[s - 1], run.par.end_position[s - 1], run.ny);
    fill_x(run, run.par.start_position[s - 1], run.step[s - 1]);
    if (run.icps == 1) {
        check_counting_time(con, run, s);
        divide_by_counting_time(run, s);
    }
}

void sum_scans(Console& con, RunState& run) {
    const std::int32_t nscans = run.census.nscans;
    const auto& par = run.par;
    for (std::int32_t i = 2; i <= nscans; ++i) {
        if (differs(par.start_position[i - 1], par.start_position[0]))
            fail(con, "Scans appear to have incompatible start points");
    }

    xrdml::ORVALTDATATOT(con, input_name(run), run.status, run.y, run.e, xrdml::mn, run.npts,
                         run.weight, run.ny, nscans, run.verbose);
    xrdml::ERRCHECK(con, run.status);

    std::int32_t ifirst = 0;
    for (std::int32_t i = 1; i <= nscans; ++i) {
        if (run.weight[i - 1] == 0) continue;
        run.step[i - 1] = spacing(par.start_position[i - 1], par.end_position[i - 1],
                                  run.npts[i - 1]);
        if (ifirst == 0) ifirst = i;
    }
    if (run.iscan == -2) say_integer(con, "orvalt: First included scan = ", ifirst);
    say_real(con, "orvalt: x-axis spacing = ", run.step[ifirst - 1]);
    if (run.nincl > 1) {
        for (std::int32_t i = ifirst + 1; i <= nscans; ++i) {
            if (run.weight[i - 1] != 0 && differs(run.step[i - 1], run.step[ifirst - 1]))
                fail(con, "Scans appear to have incompatible spacings");
        }
    }
    for (std::int32_t i = ifirst; i <= nscans; ++i)
        if (run.weight[i - 1] != 0) check_counting_time(con, run, i);

    fill_x(run, par.start_position[ifirst - 1], run.step[ifirst - 1]);
    std::fill_n(run.tsum.begin(), run.ny, 0.0);
    for (std::int32_t i = ifirst; i <= nscans; ++i) {
        if (run.weight[i - 1] == 0) continue;
        for (std::int32_t k = 0; k < run.npts[i - 1]; ++k) run.tsum[k] += par.counting_time[i - 1];
    }
    for (std::int32_t k = 0; k < run.ny; ++k) {
        run.y[k] /= run.tsum[k];
        run.e[k] /= run.tsum[k];
    }
    if (run.icps == 0) {
        // Counts as one scan of scan 1's counting time would give them.
        const double t = par.counting_time[0];
        for (std::int32_t k = 0; k < run.ny; ++k) {
            run.y[k] *= t;
            run.e[k] *= t;
        }
    }
}

void write_separate_scans(Console& con, RunState& run) {
    ask_output_name(con, run, ".write", false);
    write_scans_to_output(con, run);
}

void write_scans_to_output(Console& con, RunState& run) {
    activate_genie_session();
    deactivate_genie_session();
    run.verbose = 1;
    G2IntGenDp h = genie_header(run);
    set_field(h.xlabel, "2-theta");
    set_field(h.ylabel, "y");

    const std::int32_t nscans = run.census.nscans;
    // Nothing is written unless every scan can be scaled.
    if (run.icps == 1)
        for (std::int32_t s = 1; s <= nscans; ++s) check_counting_time(con, run, s);

    // The entries go into a temporary that replaces the file once they are
    // all in; a failure to write leaves the older file as it was.
    StagedFile staged;
    if (!stage_genie_file(con, run, staged)) return;
    std::int32_t inew = 1;
    // Each scan's search starts where the one before it was found.
    xrdml::ScanOffsets offsets;
    for (std::int32_t s = 1; s <= nscans; ++s) {
        xrdml::ORVALTDATA1(con, input_name(run), run.status, run.y, run.e, xrdml::mn, run.ny, s,
                           1, offsets);
        // A scan that cannot be read ends the run; those before it are kept.
        if (run.status.ierr != 0 && inew == 0) commit_genie_file(con, run, staged);
        xrdml::ERRCHECK(con, run.status);
        const double start = run.par.start_position[s - 1];
        const double end = run.par.end_position[s - 1];
        if (run.icps == 1) divide_by_counting_time(run, s);
        run.step[s - 1] = spacing(start, end, run.ny);
        fill_x(run, start, run.step[s - 1]);
        say_two_reals(con, "orvalt: First and last x-values = ", start, " and ", end);
        check_finite(con, run);
        if (!write_genie_entry(con, run, h, inew, staged.temporary_name())) {
            report_unwritten(con, run, 0);
            return;
        }
        staged.check_interruption();
        inew = 0;
    }
    // A file without scans holds no entry: none is made.
    if (inew == 0) commit_genie_file(con, run, staged);
}

void output_stage(Console& con, RunState& run) {
    report_and_convert(con, run);
    run.verbose = 1;
    ask_output_name(con, run, run.ioutput == 2 ? ".write" : ".dat", run.ioutput == 2);
    write_spectrum(con, run);
}

void report_and_convert(Console& con, RunState& run) {
    const std::int32_t ny = run.ny;
    say_integer(con, "orvalt: Number of points = ", ny);
    if (ny > 0) {
        say_two_reals(con, "orvalt: First point x = ", run.x[0], " y = ", run.y[0]);
        say_two_reals(con, "orvalt: Last point  x = ", run.x[ny - 1], " y = ", run.y[ny - 1]);
    }

    constexpr double half_pi = 1.5707963267948966;
    constexpr double four_pi = 12.566370614359172;
    const double wavelength = run.census.wavelength;
    if ((run.iunits == 2 || run.iunits == 3) && !(std::isfinite(wavelength) && wavelength > 0.0))
        stop_with_error(con, "Wavelength is not a positive number");
    if (run.iunits == 2) {
        for (std::int32_t k = 0; k < ny; ++k) {
            const double theta = run.x[k] * half_pi / 180.0;
            run.x[k] = four_pi * std::sin(theta) / wavelength;
        }
    } else if (run.iunits == 3) {
        for (std::int32_t k = 0; k < ny; ++k)
            if (run.x[k] == 0.0) stop_with_error(con, "d-spacing is undefined at 2-theta = 0");
        xrdml::REVERSEARRAY(run.x, ny);
        xrdml::REVERSEARRAY(run.y, ny);
        xrdml::REVERSEARRAY(run.e, ny);
        for (std::int32_t k = 0; k < ny; ++k) {
            const double theta = run.x[k] * half_pi / 180.0;
            run.x[k] = (0.5 * wavelength) / std::sin(theta);
        }
    }
    check_finite(con, run);
}

void write_spectrum(Console& con, RunState& run) {
    const std::int32_t ny = run.ny;
    if (run.ioutput == 1) {
        const auto n = static_cast<std::size_t>(ny);
        if (!write_ascii_data_file(con, trimmed(run.output_name), run.iscan, trimmed(run.full_name),
                                   ny, std::span(run.x).first(n), std::span(run.y).first(n),
                                   std::span(run.e).first(n)))
            run.exit_status = 1;
        return;
    }

    activate_genie_session();
    deactivate_genie_session();
    G2IntGenDp h = genie_header(run);
    set_field(h.xlabel, run.iunits == 1   ? "2-theta"
                        : run.iunits == 2 ? "Momentum Transfer Q (\\A\\u-1\\d)"
                                          : "d-Spacing (\\A)");
    set_field(h.ylabel, run.icps == 0 ? "Counts" : "Counts per second");
    StagedFile staged;
    if (!stage_genie_file(con, run, staged)) return;
    if (write_genie_entry(con, run, h, 1, staged.temporary_name()))
        commit_genie_file(con, run, staged);
    else
        report_unwritten(con, run, 0);
}

}  // namespace orvalt

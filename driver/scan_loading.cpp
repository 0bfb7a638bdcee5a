// The spectra of the branches: one scan, the sum of scans, every scan in turn.
#include "driver/scan_loading.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "driver/messages.h"
#include "formats/pattern.h"
#include "g_f/console.h"
#include "g_f/numbers.h"
#include "g_f/stop.h"
#include "g_f/text.h"
#include "xrdml/scan_offsets.h"

namespace orvalt {

namespace {

// Scan s counts from 0; the message numbers it from 1.
void check_counting_time(Console& con, const ScanTables& scans, std::int32_t s) {
    if (!(scans.par.counting_time[static_cast<std::size_t>(s)] > 0.0))
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

// The grid of a sum of scans of listed positions: each scan's x point by
// point within the tolerance of the grid so far, which a longer scan
// extends. The scan that differs stops the run, named with the scan whose
// position it misses.
class Grid {
public:
    void take(Console& con, std::int32_t scan, std::span<const double> x) {
        for (std::size_t k = 0; k < x.size(); ++k) {
            if (k == x_.size()) {
                x_.push_back(x[k]);
                owner_.push_back(scan);
            } else if (xrdml::off_grid(x[k], x_[k])) {
                fail(con, "Scans appear to have incompatible positions: scan " +
                              format_integer(scan) + " differs from scan " +
                              format_integer(owner_[k]) + " at point " +
                              format_integer(static_cast<std::int32_t>(k + 1)) + " (" +
                              format_shortest(x[k]) + " against " + format_shortest(x_[k]) + ")");
            }
        }
    }
    const std::vector<double>& x() const { return x_; }

private:
    std::vector<double> x_;
    std::vector<std::int32_t> owner_;
};

}  // namespace

xrdml::ReadLimits reading_limits(const Request& request) {
    if (request.front_end == FrontEnd::dialogue) return {xrdml::mn, false};
    return {xrdml::unlimited, request.partial};
}

void check_read(Console& con, const Request& request, const xrdml::ReaderStatus& status) {
    if (status.ierr == xrdml::partial_scan && request.front_end == FrontEnd::command_line)
        xrdml::ERRCHECK(con, status,
                        std::string(trimmed(status.message)) +
                            "; --partial takes it as far as it goes");
    xrdml::ERRCHECK(con, status);
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

void load_single_scan(Console& con, const RunFiles& files, const Request& request,
                      const ScanTables& scans, Spectrum& spectrum) {
    const Answers& answers = request.answers;
    const std::int32_t s = answers.iscan - 1;
    xrdml::ReaderStatus status;
    xrdml::ORVALTDATA1(con, read_name(files), status, spectrum.y, spectrum.e,
                       reading_limits(request), spectrum.ny, answers.iscan, 1, scans.expected());
    check_read(con, request, status);
    check_points(con, s, spectrum.ny);
    xrdml::PositionsReader lists(read_name(files), scans.expected());
    if (!xrdml::scan_x(scans.par, s, spectrum.ny, request.partial, lists, spectrum.x, status))
        check_read(con, request, status);
    if (answers.icps == 1) {
        check_counting_time(con, scans, s);
        to_counts_per_second(spectrum, scans.par.counting_time[static_cast<std::size_t>(s)]);
    }
}

SumInCensus::SumInCensus(const Request& request)
    : excluded_(request.excluded),
      pass_(y_, e_, reading_limits(request), [this](std::int32_t n) {
          return std::find(excluded_.begin(), excluded_.end(), n) == excluded_.end();
      }) {}

void SumInCensus::take(std::string_view line, const xrdml::FirstElement& first) {
    if (going_) going_ = pass_.take(line, first, status_) == xrdml::SumPass::Step::more;
}

bool SumInCensus::give(const Weights& weights, std::int32_t nscans, Spectrum& spectrum,
                       std::vector<std::int32_t>& npts) {
    if (!going_ || pass_.lists() != nscans) return false;
    for (std::int32_t s = 0; s < nscans; ++s) {
        const bool assumed = std::find(excluded_.begin(), excluded_.end(), s + 1) == excluded_.end();
        if (weights.weight[static_cast<std::size_t>(s)] != (assumed ? 1 : 0)) return false;
    }
    // The end of the file ends the last dataPoints.
    if (pass_.awaiting() && pass_.end(status_) != xrdml::SumPass::Step::done) return false;
    going_ = false;
    pass_.finish();
    // As a reading of its own leaves them: zeros past the sum, room as before.
    y_.resize(std::max(y_.size(), spectrum.y.size()), 0.0);
    e_.resize(std::max(e_.size(), spectrum.e.size()));
    spectrum.y.swap(y_);
    spectrum.e.swap(e_);
    spectrum.ny = pass_.ny();
    const std::vector<std::int32_t>& points = pass_.points();
    std::copy(points.begin(), points.end(), npts.begin());
    return true;
}

void sum_scans(Console& con, const RunFiles& files, const Request& request,
               const ScanTables& scans, const Weights& weights, std::int32_t verbose,
               Spectrum& spectrum, SumInCensus* early) {
    const Answers& answers = request.answers;
    const std::int32_t nscans = scans.census.nscans;
    const auto& par = scans.par;
    const auto& weight = weights.weight;
    // The dialogue's line; the command line's report names the scans.
    const auto incompatible = [&](std::string_view what, std::int32_t i, std::int32_t against,
                                  double a, double b) {
        const std::string line = "Scans appear to have incompatible " + std::string(what);
        fail(con, line,
             line + ": scan " + format_integer(i + 1) + " has " + format_shortest(a) +
                 ", scan " + format_integer(against + 1) + " " + format_shortest(b));
    };
    for (std::int32_t i = 1; i < nscans; ++i) {
        if (xrdml::off_grid(par.start_position[i], par.start_position[0]))
            incompatible("start points", i, 0, par.start_position[i], par.start_position[0]);
    }

    std::vector<std::int32_t> npts(static_cast<std::size_t>(nscans), 0);
    xrdml::ReaderStatus status;
    if (early == nullptr || !early->give(weights, nscans, spectrum, npts)) {
        xrdml::ORVALTDATATOT(con, read_name(files), status, spectrum.y, spectrum.e,
                             reading_limits(request), npts, weight, spectrum.ny, nscans,
                             verbose, scans.expected());
        check_read(con, request, status);
    }
    bool uneven = false;  // an included scan lists positions not evenly spaced
    for (std::int32_t i = 0; i < nscans; ++i) {
        if (weight[i] == 0) continue;
        check_points(con, i, npts[i]);
        uneven = uneven || xrdml::listed_unevenly(par, i);
    }

    // Scans count from 0 here; the messages number them from 1.
    std::int32_t first_scan = -1;
    for (std::int32_t i = 0; i < nscans && first_scan < 0; ++i)
        if (weight[i] != 0) first_scan = i;
    // Scans of even positions sum on the first one's start and spacing;
    // scans listing uneven positions point by point, on a grid of them.
    Grid grid;
    std::vector<double> step(static_cast<std::size_t>(nscans), 0.0);
    std::vector<double> first_x;  // of the first included scan, where it lists them
    {
        xrdml::PositionsReader lists(read_name(files), scans.expected());
        std::vector<double> x;
        for (std::int32_t i = 0; i < nscans; ++i) {
            if (weight[i] == 0) continue;
            step[i] = xrdml::scan_spacing(par, i, npts[i]);
            if (!uneven && !xrdml::listed(par, i)) continue;
            // A list holds the scan to its number of positions.
            if (!xrdml::scan_x(par, i, npts[i], request.partial, lists, x, status))
                check_read(con, request, status);
            if (uneven) grid.take(con, i + 1, first(x, npts[i]));
            else if (i == first_scan) first_x.assign(x.begin(), x.begin() + npts[i]);
        }
    }
    if (answers.iscan == gudrun_answer)
        say_integer(con, "orvalt: First included scan = ", first_scan + 1);
    const double shown_step =
        uneven ? xrdml::spacing(grid.x().front(), grid.x().back(),
                                static_cast<std::int32_t>(grid.x().size()))
               : step[first_scan];
    say_real(con, "orvalt: x-axis spacing = ", shown_step);
    if (weights.nincl > 1 && !uneven) {
        for (std::int32_t i = first_scan + 1; i < nscans; ++i) {
            if (weight[i] != 0 && xrdml::off_grid(step[i], step[first_scan]))
                incompatible("spacings", i, first_scan, step[i], step[first_scan]);
        }
    }
    for (std::int32_t i = first_scan; i < nscans; ++i)
        if (weight[i] != 0) check_counting_time(con, scans, i);

    // x: the grid, or the first scan's positions (as listed, where it lists
    // them) and its spacing on beyond them.
    if (spectrum.x.size() < static_cast<std::size_t>(spectrum.ny))
        spectrum.x.resize(static_cast<std::size_t>(spectrum.ny));
    const std::vector<double>& given = uneven ? grid.x() : first_x;
    const double start = par.start_position[first_scan];
    for (std::int32_t k = 0; k < spectrum.ny; ++k)
        spectrum.x[k] = static_cast<std::size_t>(k) < given.size() ? given[k]
                                                                   : start + k * step[first_scan];
    // Total counting time at each point: a point beyond the end of a shorter
    // scan has only the times of the scans that reach it. The points between
    // two scan lengths are reached by the same scans, so their total is made
    // once, adding the times in scan order as a point-by-point total does.
    std::vector<double> tsum(static_cast<std::size_t>(spectrum.ny), 0.0);
    std::vector<std::int32_t> lengths;
    for (std::int32_t i = first_scan; i < nscans; ++i)
        if (weight[i] != 0) lengths.push_back(npts[i]);
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    std::int32_t from = 0;
    for (std::int32_t to : lengths) {
        to = std::min(to, spectrum.ny);
        double t = 0.0;
        for (std::int32_t i = first_scan; i < nscans; ++i)
            if (weight[i] != 0 && npts[i] > from) t += par.counting_time[i];
        std::fill(tsum.begin() + from, tsum.begin() + to, t);
        from = to;
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
                    const xrdml::ReadLimits& limits, Spectrum& spectrum,
                    xrdml::ReaderStatus& status, const std::function<bool(std::int32_t)>& take) {
    // Each scan's search starts where the one before it was found.
    xrdml::ScanOffsets offsets;
    // The name's field is thousands of characters: it is trimmed once.
    const std::string_view name = read_name(files);
    xrdml::PositionsReader lists(name, scans.expected());
    // Scans count from 0 here; the reader numbers them from 1.
    for (std::int32_t s = 0; s < scans.census.nscans; ++s) {
        status = xrdml::ReaderStatus();
        xrdml::ORVALTDATA1(con, name, status, spectrum.y, spectrum.e, limits,
                           spectrum.ny, s + 1, 1, offsets, scans.expected());
        if (status.ierr != 0) return false;
        if (!xrdml::scan_x(scans.par, s, spectrum.ny, limits.partial, lists, spectrum.x, status))
            return false;
        if (!take(s)) return false;
    }
    return true;
}

void check_every_counting_time(Console& con, const Answers& answers, const ScanTables& scans) {
    if (answers.icps == 1)
        for (std::int32_t s = 0; s < scans.census.nscans; ++s) check_counting_time(con, scans, s);
}

bool each_separate_scan(Console& con, RunFiles& files, const Request& request,
                        const ScanTables& scans, Spectrum& spectrum,
                        const std::function<bool(std::int32_t)>& take,
                        const std::function<bool()>& keep) {
    const Answers& answers = request.answers;
    const auto& par = scans.par;
    std::int32_t taken = 0;
    bool ended = false;
    xrdml::ReaderStatus status;
    const bool all = read_each_scan(
        con, files, scans, reading_limits(request), spectrum, status, [&](std::int32_t s) {
            check_points(con, s, spectrum.ny);
            if (answers.icps == 1) to_counts_per_second(spectrum, par.counting_time[s]);
            say_two_reals(con, "orvalt: First and last x-values = ", par.start_position[s],
                          " and ", par.end_position[s]);
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
            check_read(con, request, status);
        } catch (const Stop&) {
            say_error(con, "**ERROR in orvalt: " + files.output_name + " holds " +
                               format_integer(taken) + (taken == 1 ? " entry" : " entries") +
                               ", the scans before scan " + format_integer(taken + 1) +
                               ", which stopped the run");
            throw;
        }
    }
    check_read(con, request, status);
    return false;
}

}  // namespace orvalt

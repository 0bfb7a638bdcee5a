// The x axis: its name for each output, and 2-theta made into Q or d.
#include "driver/units.h"

#include <cmath>
#include <span>

#include "driver/messages.h"
#include "driver/scan_loading.h"
#include "g_f/console.h"
#include "g_f/numbers.h"

namespace orvalt {

namespace {

XAxis angle_of(std::string_view axis) {
    if (axis == xrdml::two_theta_axis) return {};
    return {XQuantity::angle, std::string(axis)};
}

}  // namespace

XAxis units_axis(Units units) {
    switch (units) {
        case Units::q: return {XQuantity::q, {}};
        case Units::d_spacing: return {XQuantity::d_spacing, {}};
        case Units::two_theta: break;
    }
    return {};
}

XAxis x_axis(const Answers& answers, const ScanTables& scans) {
    if (units_of(answers) != Units::two_theta) return units_axis(units_of(answers));
    const ScanRange taken = scans_taken(answers, scans.census.nscans);
    if (taken.first >= taken.end) return {};
    const std::string_view first = scan_axis(scans, taken.first);
    for (std::int32_t s = taken.first + 1; s < taken.end; ++s)
        if (scan_axis(scans, s) != first) return {};  // no one name fits
    return angle_of(first);
}

XAxis scan_x_axis(const ScanTables& scans, std::int32_t s) { return angle_of(scan_axis(scans, s)); }

std::string genie_x_label(const XAxis& x) {
    switch (x.quantity) {
        case XQuantity::q: return "Momentum Transfer Q (\\A\\u-1\\d)";
        case XQuantity::d_spacing: return "d-Spacing (\\A)";
        case XQuantity::two_theta:
        case XQuantity::angle: break;
    }
    return x_label(x);
}

void check_units_fit_axes(Console& con, const Answers& answers, const ScanTables& scans) {
    if (units_of(answers) == Units::two_theta) return;
    // Q and d-spacing are made from 2-theta: the angles of another axis
    // would turn into meaningless numbers.
    const ScanRange taken = scans_taken(answers, scans.census.nscans);
    for (std::int32_t s = taken.first; s < taken.end; ++s) {
        const std::string_view axis = scan_axis(scans, s);
        if (axis != xrdml::two_theta_axis)
            stop_with_error(con, "Scan " + format_integer(s + 1) + " moves the " +
                                     std::string(axis) + " axis, not 2-theta: no Q or d-spacing");
    }
}

void report_and_convert(Console& con, Units units, double wavelength, Spectrum& spectrum) {
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
    if (units != Units::two_theta && !(std::isfinite(wavelength) && wavelength > 0.0))
        stop_with_error(con, "Wavelength is not a positive number");
    if (units == Units::q) {
        for (std::int32_t k = 0; k < ny; ++k) {
            const double theta = x[k] * half_pi / 180.0;
            x[k] = four_pi * std::sin(theta) / wavelength;
        }
    } else if (units == Units::d_spacing) {
        // A negative angle would give a negative d: the two sides of the
        // beam are not folded into one without the user's word.
        for (std::int32_t k = 0; k < ny; ++k) {
            if (x[k] == 0.0) stop_with_error(con, "d-spacing is undefined at 2-theta = 0");
            if (x[k] < 0.0)
                stop_with_error(con, "d-spacing is undefined at negative 2-theta (point " +
                                         format_integer(k + 1) + " is at " +
                                         format_shortest(x[k]) + ")");
        }
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

}  // namespace orvalt

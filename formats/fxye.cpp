// The GSAS standard powder data file, constant-wavelength FXYE form: a
// title line, "#" comment lines, then per bank a BANK line and one
// "X Y E" line per point, X in centidegrees 2-theta. Every line is padded
// with blanks to the 80 columns of the format's records and never longer.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/fxye.h"
#include "formats/pattern.h"
#include "g_f/file_system.h"
#include "g_f/numbers.h"

namespace orvalt {

namespace {

constexpr std::size_t record_length = 80;

void add_record(std::string& t, std::string_view line) {
    line = line.substr(0, record_length);
    t += line;
    t.append(record_length - line.size(), ' ');
    t += '\n';
}

// A comment as "#" lines of at most 80 columns, cut where it must be.
void add_comment(std::string& t, std::string_view text) {
    constexpr std::size_t room = record_length - 2;
    do {
        add_record(t, "# " + std::string(text.substr(0, room)));
        text.remove_prefix(std::min(room, text.size()));
    } while (!text.empty());
}

// Right-aligned in `width` columns, with at least one blank before it.
void add_field(std::string& line, const std::string& number, std::size_t width) {
    line.append(number.size() < width ? width - number.size() : 1, ' ');
    line += number;
}

// Y and E with 13 significant digits: counts in fixed notation (at least six
// decimals), counts per second, and counts too small or too large for 21
// columns of it, in exponent form; -0 is written as 0.
std::string intensity_text(double v, bool counts) {
    v += 0.0;
    if (counts && (v == 0.0 || (v >= 1e-3 && v < 1e14))) {
        const int exponent = v == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(v)));
        return format_fixed(v, std::clamp(12 - exponent, 6, 15));
    }
    return format_exponent(v, 12);
}

std::string centidegrees(double two_theta) { return format_fixed(two_theta * 100.0, 6); }

// Why the points cannot be a bank, or empty. x runs upwards when this is called.
std::string bank_refusal(const PatternDescription& d, const std::vector<double>& x,
                         std::span<const double> y, std::span<const double> e) {
    if (d.x.quantity != XQuantity::two_theta)
        return "the GSAS file holds 2-theta only, not " + x_label(d.x);
    if (x.empty()) return "a GSAS bank needs at least one point; " + d.scan_choice + " has none";
    if (!(x.front() > 0.0 && x.back() < 180.0))
        return "2-theta must lie between 0 and 180 degrees in a GSAS file";
    if (!(x.back() > 1.8))
        return "2-theta never exceeds 1.8 degrees: GSAS readers would take the centidegrees "
               "of the file for degrees";
    for (std::size_t k = 1; k < x.size(); ++k)
        if (!(centidegrees(x[k]) != centidegrees(x[k - 1]) && x[k] > x[k - 1]))
            return "2-theta does not rise from point to point: no GSAS bank";
    for (std::size_t k = 0; k < y.size(); ++k) {
        if (y[k] < 0.0 || e[k] < 0.0)
            return "point " + format_integer(static_cast<std::int32_t>(k + 1)) +
                   " has a negative intensity or uncertainty, which a GSAS file cannot hold";
        if (y[k] > 0.0 && e[k] == 0.0)
            return "point " + format_integer(static_cast<std::int32_t>(k + 1)) +
                   " has an intensity without uncertainty, which GSAS readers drop";
    }
    return {};
}

}  // namespace

BlockText fxye_block(const PatternDescription& d, const Pattern& p, std::size_t index,
                     bool several) {
    // A scan that runs downwards is written upwards.
    const std::size_t n = p.x.size();
    const bool down = n >= 2 && p.x[n - 1] < p.x[0];
    std::vector<double> x(p.x.begin(), p.x.end()), y(p.y.begin(), p.y.end()),
        e(p.e.begin(), p.e.end());
    if (down) {
        std::reverse(x.begin(), x.end());
        std::reverse(y.begin(), y.end());
        std::reverse(e.begin(), e.end());
    }
    BlockText b;
    if (b.refusal = bank_refusal(d, x, y, e); !b.refusal.empty()) return b;

    std::string& t = b.text;
    if (index == 0) {
        const std::string leaf = path_of(d.input_name).filename().string();
        add_record(t, ascii_text("ORVALT: " + leaf + ", " + d.scan_choice + ", " +
                                 std::string(intensity_unit(d)) + ", x = 2-theta in centidegrees"));
        const Wavelengths& w = d.wavelengths;
        add_comment(t, ascii_text("Input file: " + d.input_name));
        add_comment(t, "Scans: " + d.scan_choice);
        // The wavelength used: the mean of two lines, or one line alone.
        const std::string used = "Wavelength (Angstrom) = " + format_significant(w.value, 10);
        switch (w.used) {
            case WavelengthSource::mean:
                add_comment(t, used + ", the mean of K-alpha1 and K-alpha2");
                add_comment(t, "K-alpha1 " + format_significant(w.kalpha1, 10) + " A, K-alpha2 " +
                                   format_significant(w.kalpha2, 10) +
                                   " A, ratio K-alpha2/K-alpha1 " +
                                   format_significant(w.ratio, 10));
                break;
            case WavelengthSource::kalpha1: add_comment(t, used + ", K-alpha1 alone"); break;
            case WavelengthSource::given: add_comment(t, used + ", as given"); break;
        }
        add_comment(t, "x: 2-theta in centidegrees; y: " + std::string(intensity_unit(d)) +
                           "; e: standard uncertainty of y");
    }
    if (several) add_comment(t, block_scan_text(d, p, several));

    const double step = n >= 2 ? (x[n - 1] - x[0]) / static_cast<double>(n - 1) : 0.0;
    const std::string count = std::to_string(n);
    add_record(t, "BANK " + std::to_string(index + 1) + " " + count + " " + count + " CONS " +
                      centidegrees(x[0]) + " " + centidegrees(step) + " 0 0 FXYE");
    std::string line;
    for (std::size_t k = 0; k < n; ++k) {
        line.clear();
        add_field(line, centidegrees(x[k]), 15);
        add_field(line, intensity_text(y[k], d.counts), 22);
        add_field(line, intensity_text(e[k], d.counts), 22);
        add_record(t, line);
    }
    return b;
}

}  // namespace orvalt

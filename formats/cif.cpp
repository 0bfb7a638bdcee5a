// The powder CIF: one data block per pattern, made with gemmi's CIF document
// and written by its writer. Its items are those of the powder dictionary
// (pdCIF 1.0.1) under their DDL1 names, which the readers match literally.
#include <gemmi/cifdoc.hpp>
#include <gemmi/to_cif.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "formats/cif.h"
#include "formats/pattern.h"
#include "g_f/file_system.h"
#include "g_f/numbers.h"

namespace orvalt {

namespace {

namespace cif = gemmi::cif;

// CIF 1.1 lines hold 2048 characters: a longer input name is given by its leaf.
constexpr std::size_t longest_name = 1900;

// Decimals that give v 15 significant digits, as the ASCII data file has.
int decimals_for(double v) {
    if (v == 0.0) return 0;
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
    return std::max(0, 14 - exponent);
}

void drop_trailing_zeros(std::string& text) {
    if (text.find('.') == std::string::npos) return;
    while (text.ends_with('0')) text.pop_back();
    if (text.ends_with('.')) text.pop_back();
}

// A number without exponent (readers disagree on exponents next to an su).
std::string cif_number(double v) {
    std::string text = format_fixed(v + 0.0, decimals_for(v));
    drop_trailing_zeros(text);
    return text;
}

// value(su) with the su in one or two significant digits, as
// crystallographers write it and as readers that keep an su in a 32-bit
// integer take it.
std::string cif_number_su(double v, double su) { return format_with_su(v, su, decimals_for(v)); }

// A block name of letters, digits, "-", "." and "_" only.
std::string block_name(const PatternDescription& d, const Pattern& p) {
    std::string stem = path_of(d.input_name).stem().string().substr(0, 60);
    for (char& c : stem)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_'))
            c = '_';
    if (stem.empty()) stem = "orvalt";
    return stem + (p.scan > 0 ? "_scan" + std::to_string(p.scan) : "_sum");
}

// The x item, or empty when the powder dictionary has no looped item for
// the axis (its Phi, Chi and Omega items are one setting per block).
std::string x_item(const PatternDescription& d, const Pattern& p) {
    switch (d.x.quantity) {
        case XQuantity::two_theta:
            return p.scan > 0 ? "_pd_meas_2theta_scan" : "_pd_proc_2theta_corrected";
        case XQuantity::q: return "_pd_proc_recip_len_Q";
        case XQuantity::d_spacing: return "_pd_proc_d_spacing";
        case XQuantity::angle: break;
    }
    return {};
}

// A value that a CIF reader would take for something else unquoted: one that
// begins with "_" (a tag) or with a reserved word (data_, save_, loop_,
// global_, stop_, in any case), or not with a letter or digit.
std::string cif_value(std::string text) {
    const auto begins = [&text](std::string_view word) {
        if (text.size() < word.size()) return false;
        for (std::size_t k = 0; k < word.size(); ++k)
            if (std::tolower(static_cast<unsigned char>(text[k])) != word[k]) return false;
        return true;
    };
    const bool plain = !text.empty() && std::isalnum(static_cast<unsigned char>(text[0])) &&
                       !begins("data_") && !begins("save_") && !begins("loop_") &&
                       !begins("global_") && !begins("stop_");
    return plain ? text : cif::quote(std::move(text));
}

// Counts as recorded: whole numbers whose su is their square root.
bool plain_counts(const PatternDescription& d, const Pattern& p) {
    if (!d.counts || p.scan == 0) return false;
    for (std::size_t k = 0; k < p.y.size(); ++k)
        if (!(p.y[k] == std::floor(p.y[k]) && p.y[k] < 9.0e15 && p.e[k] == std::sqrt(p.y[k])))
            return false;
    return true;
}

// What was done to the measured numbers, for _pd_proc_info_data_reduction.
std::string data_reduction(const PatternDescription& d, const Pattern& p) {
    std::string text;
    if (p.scan == 0) {
        text = "The " + d.scan_choice +
               " of the measurement: at each point the counts of the "
               "scans added\nand divided by the sum of their counting times";
        text += d.counts ? ", then multiplied by the\ncounting time of scan 1 (counts as one "
                           "scan of that time would give them).\n"
                         : " (counts per second).\n";
    } else if (!d.counts) {
        text = "Scan " + std::to_string(p.scan) +
               ": the counts divided by the scan's counting time (counts per second).\n";
    }
    if (!d.counts)
        text += "The division by the counting time is a normalisation of the measured totals.\n";
    text += "su: the square root of the counts, scaled as the intensity is.\n";
    const Wavelengths& w = d.wavelengths;
    const std::string lambda = format_significant(w.value, 10);
    const std::string source =
        w.used == WavelengthSource::mean      ? "the mean of K-alpha1 and K-alpha2 weighted by their ratio.\n"
        : w.used == WavelengthSource::kalpha1 ? "K-alpha1 alone.\n"
                                              : "as given.\n";
    if (d.x.quantity == XQuantity::q)
        text += "x: Q = 4 pi sin(theta)/lambda made from 2-theta with lambda = " + lambda +
                " A,\n" + source;
    else if (d.x.quantity == XQuantity::d_spacing)
        text += "x: d = lambda/(2 sin theta) made from 2-theta with lambda = " + lambda +
                " A,\n" + source;
    text.pop_back();
    return text;
}

}  // namespace

BlockText cif_block(const PatternDescription& d, const Pattern& p, std::size_t index,
                    bool several) {
    BlockText b;
    const std::string x_tag = x_item(d, p);
    if (x_tag.empty()) {
        b.refusal = "the powder CIF holds 2-theta, Q or d-spacing, not the " + ascii_text(d.x.axis) +
                    " angle of a scan";
        return b;
    }
    const bool counts_total = plain_counts(d, p);
    const bool measured_y = p.scan > 0;
    const bool processed_items = !measured_y || !x_tag.starts_with("_pd_meas");
    const std::string name = block_name(d, p);
    const std::string input = ascii_text(
        d.input_name.size() <= longest_name
            ? d.input_name
            : path_of(d.input_name).filename().string().substr(0, longest_name));

    cif::Block block(name);
    block.set_pair("_pd_block_id", cif_value(name + "|ORVALT"));
    block.set_pair("_audit_creation_method",
                   cif::quote("ORVALT, " + block_scan_text(d, p, several) + " of " + input));
    block.set_pair("_diffrn_radiation_probe", "x-ray");
    // The wavelengths in the data: both lines weighted by their ratio, or
    // the one used alone.
    const Wavelengths& w = d.wavelengths;
    if (w.used == WavelengthSource::mean) {
        cif::Loop& waves = block.init_loop("_diffrn_radiation_wavelength", {"_id", "", "_wt"});
        waves.add_row({"1", format_significant(w.kalpha1, 10), "1"});
        waves.add_row({"2", format_significant(w.kalpha2, 10), format_significant(w.ratio, 10)});
    } else {
        block.set_pair("_diffrn_radiation_wavelength", format_significant(w.value, 10));
    }
    if (d.x.quantity == XQuantity::q || d.x.quantity == XQuantity::d_spacing)
        block.set_pair("_pd_proc_wavelength", format_significant(w.value, 10));
    if (p.conditions.kelvin)
        block.set_pair("_diffrn_ambient_temperature", cif_number(*p.conditions.kelvin));
    const std::string count = std::to_string(p.x.size());
    block.set_pair(processed_items ? "_pd_proc_number_of_points" : "_pd_meas_number_of_points",
                   count);
    if (measured_y && !counts_total)
        block.set_pair("_pd_meas_units_of_intensity", cif::quote(std::string(intensity_unit(d))));
    if (processed_items || !d.counts)
        block.set_pair("_pd_proc_info_data_reduction", cif::quote(data_reduction(d, p)));

    const std::string y_tag = counts_total ? "_pd_meas_counts_total"
                              : measured_y ? "_pd_meas_intensity_total"
                                           : "_pd_proc_intensity_total";
    cif::Loop& points = block.init_loop("", {x_tag, y_tag});
    points.values.reserve(2 * p.x.size());
    for (std::size_t k = 0; k < p.x.size(); ++k) {
        points.values.push_back(cif_number(p.x[k]));
        points.values.push_back(counts_total ? format_fixed(p.y[k], 0)
                                             : cif_number_su(p.y[k], p.e[k]));
    }

    std::ostringstream out;
    if (index == 0)
        out << "# ORVALT powder CIF: " << (several ? d.scan_choice + ", each" : d.scan_choice)
            << (several ? " in a data block of its own\n" : "\n");
    else
        out << '\n';
    cif::write_cif_block_to_stream(out, block, cif::Style::Simple);
    b.text = out.str();
    return b;
}

}  // namespace orvalt

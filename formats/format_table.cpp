// The table of output files.
#include "formats/format_table.h"

#include <array>

#include "formats/cif.h"
#include "formats/fxye.h"
#include "formats/xye.h"

namespace orvalt {

namespace {

std::string_view holds_anything(const XAxis&) { return {}; }

std::string_view fxye_refuses(const XAxis& x) {
    return x.quantity == XQuantity::two_theta ? std::string_view()
                                              : "the GSAS file (fxye) holds 2-theta only";
}

// The powder dictionary's Phi, Chi and Omega items hold one setting per
// block, not a looped x: readers find no pattern in such a loop.
std::string_view cif_refuses(const XAxis& x) {
    return x.quantity != XQuantity::angle ? std::string_view()
                                          : "the powder CIF holds 2-theta, Q or d-spacing only";
}

constexpr std::array<FormatRow, 5> rows{{
    {OutputFormat::ascii, "ascii", ".dat", "", holds_anything, nullptr},
    {OutputFormat::genie, "genie", ".write", "", holds_anything, nullptr},
    {OutputFormat::xye, "xye", ".xye", "", holds_anything, xye_block, true},
    {OutputFormat::fxye, "fxye", ".fxye", "GSAS, 2-theta only", fxye_refuses, fxye_block},
    {OutputFormat::cif, "cif", ".cif", "powder CIF", cif_refuses, cif_block},
}};

}  // namespace

std::span<const FormatRow> output_formats() { return rows; }

const FormatRow& format_row(OutputFormat format) {
    for (const FormatRow& row : rows)
        if (row.format == format) return row;
    return rows[0];
}

std::optional<OutputFormat> format_named(std::string_view name) {
    for (const FormatRow& row : rows)
        if (row.name == name) return row.format;
    return std::nullopt;
}

bool is_pattern_format(OutputFormat format) { return format_row(format).block != nullptr; }

std::string units_refusal(OutputFormat format, const XAxis& x) {
    if (x.quantity != XQuantity::q && x.quantity != XQuantity::d_spacing) return {};
    const std::string_view why = format_row(format).refuses(x);
    return why.empty() ? std::string() : std::string(why) + ", not " + x_label(x);
}

}  // namespace orvalt

// The scan table's layout: each column as wide as its widest cell, numbers
// right-aligned, shortest decimal forms in the file's own units.
#include "driver/scan_list.h"

#include <algorithm>
#include <array>
#include <vector>

#include "g_f/numbers.h"

namespace orvalt {

namespace {

std::string with_unit(std::string text, const std::string& unit) {
    if (!unit.empty()) text += " " + unit;
    return text;
}

// The other axes of a scan: those moving with it as start..end, the others
// at their position.
std::string other_axes(const xrdml::ScanRow& row) {
    std::string out;
    for (const xrdml::AxisPositions& p : row.positions) {
        if (p.axis == row.axis) continue;
        if (!out.empty()) out += ", ";
        std::string value = format_shortest(p.start);
        if (p.moves) value += ".." + format_shortest(p.end);
        out += with_unit(p.axis + " " + value, p.unit);
    }
    return out;
}

}  // namespace

std::string format_scan_list(std::string_view name, const xrdml::ScanTable& table, double mean) {
    const std::size_t n = table.scans.size();
    std::string out = std::string(name) + ": " + format_integer(static_cast<std::int32_t>(n)) +
                      (n == 1 ? " scan\n" : " scans\n");
    std::string wave = "  wavelength";
    if (table.has_k_alpha1) wave += " K-alpha1 " + format_shortest(table.k_alpha1);
    if (table.has_k_alpha2) wave += ", K-alpha2 " + format_shortest(table.k_alpha2);
    if (table.has_ratio) wave += ", ratio K-alpha2/K-alpha1 " + format_shortest(table.ratio);
    if (mean > 0.0) wave += ", mean " + format_shortest(mean);
    out += wave + " angstrom\n";
    if (n == 0) return out;

    constexpr std::size_t columns = 10;
    using Row = std::array<std::string, columns>;
    std::vector<Row> rows;
    rows.push_back({"scan", "axis", "start", "end", "points", "step", "time (s)", "total counts",
                    "max counts", "other axes"});
    for (std::size_t i = 0; i < n; ++i) {
        const xrdml::ScanRow& s = table.scans[i];
        const xrdml::AxisPositions* a = s.read_axis();
        const double start = a != nullptr ? a->start : 0.0, end = a != nullptr ? a->end : 0.0;
        const std::string step =
            a != nullptr && s.points > 1 ? format_significant((end - start) / (s.points - 1), 10) : "-";
        rows.push_back({format_integer(static_cast<std::int32_t>(i + 1)),
                        a != nullptr ? with_unit(s.axis, a->unit) : "?",
                        a != nullptr ? format_shortest(start) : "-",
                        a != nullptr ? format_shortest(end) : "-", format_integer(s.points), step,
                        s.has_counting_time ? format_shortest(s.counting_time) : "-",
                        format_shortest(s.total), format_shortest(s.maximum), other_axes(s)});
    }
    std::array<std::size_t, columns> width{};
    for (const Row& r : rows)
        for (std::size_t c = 0; c < columns; ++c) width[c] = std::max(width[c], r[c].size());
    for (const Row& r : rows) {
        std::string line;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t pad = width[c] - r[c].size();
            line += "  ";
            // Text columns (axis, other axes) left-aligned, numbers right-aligned.
            if (c == 1 || c == columns - 1) line += r[c] + std::string(pad, ' ');
            else line += std::string(pad, ' ') + r[c];
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

}  // namespace orvalt

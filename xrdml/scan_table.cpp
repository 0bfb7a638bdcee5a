// The scan table's reading: each list's totals and the wavelengths as the
// file gives them.
#include "xrdml/scan_table.h"

#include <algorithm>
#include <array>
#include <utility>

#include "g_f/number_parsing.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

namespace {

// A list's totals, read a piece at a time: a list of any length takes the
// memory of one piece.
ListTotals totals_of(std::string_view text) {
    ListTotals t;
    if (const CountTotals c = total_counts(text); c.plain) {
        t.points = c.count;
        t.total = static_cast<double>(c.sum);
        t.maximum = static_cast<double>(c.maximum);
        return t;
    }
    std::array<double, 4096> room{};
    for_each_list_piece(text, room, [&t](std::span<const double> read, const FieldScan& piece,
                                         std::int32_t before) {
        if (t.first_bad == 0 && piece.first_bad >= 0) t.first_bad = before + piece.first_bad + 1;
        if (t.first_negative == 0 && piece.first_negative >= 0)
            t.first_negative = before + piece.first_negative + 1;
        const std::size_t good =
            piece.first_bad >= 0 ? static_cast<std::size_t>(piece.first_bad) : read.size();
        for (const double v : read.first(std::min(good, read.size()))) {
            t.total += v;
            t.maximum = std::max(t.maximum, v);
        }
        t.points = before + piece.count;
    });
    return t;
}

void take_wavelength(WavelengthValue& w, std::string_view text) {
    w.present = true;
    w.readable = read_first_real(text, w.value);
}

}  // namespace

void ScanTableReader::take(std::string_view line, const FirstElement& first) {
    if (!first.found) return;
    if (first.matches("kAlpha1")) {
        take_wavelength(table_.k_alpha1, element_text(line).text);
    } else if (first.matches("kAlpha2")) {
        take_wavelength(table_.k_alpha2, element_text(line).text);
    } else if (first.matches("ratioKAlpha2KAlpha1")) {
        take_wavelength(table_.ratio, element_text(line).text);
    } else if (first.matches("intensities") || first.matches("counts")) {
        const ElementText t = element_text(line);
        ListTotals totals = totals_of(t.text);
        // An empty element tag is an empty list.
        const std::size_t gt = line.find('>');
        totals.closed = t.closed || (gt != std::string_view::npos && gt > 0 && line[gt - 1] == '/');
        if (totals.closed && !t.closed) totals = ListTotals();
        table_.lists.push_back(totals);
    }
}

}  // namespace orvalt::xrdml

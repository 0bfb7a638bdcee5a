// The scan table's reading: the element lines the other passes look at, and
// the positions blocks of every axis, commonPosition and listPositions
// included.
#include "xrdml/scan_table.h"

#include <algorithm>

#include "g_f/number_parsing.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

namespace {

std::string_view attribute(std::string_view tag, std::string_view name) {
    std::string attr = " ";
    attr.append(name).append("=\"");
    const std::size_t a = tag.find(attr);
    if (a == std::string_view::npos) return {};
    const std::string_view rest = tag.substr(a + attr.size());
    return rest.substr(0, rest.find('"'));
}

// The text of element `tag` on the line ("" found false when it is not there).
bool element_on_line(std::string_view line, std::string_view tag, std::string_view& text) {
    const std::size_t at = line.find(tag);
    if (at == std::string_view::npos) return false;
    text = element_text(line.substr(at)).text;
    return true;
}

}  // namespace

struct ScanTableReader::Builder {
    ScanTable table;
    ScanRow row;
    AxisPositions* block = nullptr;  // the positions block being read
    std::vector<double> values;

    // Every field of a list, in one walk for a list of numbers and blanks
    // (a field and its separator take two characters at least); a list with
    // runs of commas may need a second.
    std::int32_t read_all_fields(std::string_view text) {
        values.resize(text.size() / 2 + 1);
        FieldScan scan = read_number_fields(text, values);
        if (static_cast<std::size_t>(scan.count) > values.size()) {
            values.resize(static_cast<std::size_t>(scan.count));
            scan = read_number_fields(text, values);
        }
        values.resize(static_cast<std::size_t>(scan.count));
        return scan.count;
    }

    AxisPositions& open_block(std::string_view tag) {
        row.positions.push_back({std::string(attribute(tag, "axis")),
                                 std::string(attribute(tag, "unit")), 0.0, 0.0, false});
        return row.positions.back();
    }

    void take_positions(std::string_view line) {
        std::string_view text;
        double v = 0.0;
        if (element_on_line(line, "<startPosition", text) && read_first_real(text, v)) {
            block->start = v;
            block->moves = true;
        }
        if (element_on_line(line, "<endPosition", text) && read_first_real(text, v)) {
            block->end = v;
            block->moves = true;
        }
        if (element_on_line(line, "<commonPosition", text) && read_first_real(text, v))
            block->start = block->end = v;
        if (element_on_line(line, "<listPositions", text)) {
            read_all_fields(text);
            if (!values.empty()) {
                block->start = values.front();
                block->end = values.back();
                block->moves = values.size() > 1;
            }
        }
    }

    void take_list(std::string_view text) {
        if (const CountTotals t = total_counts(text); t.plain) {
            row.points = t.count;
            row.total = static_cast<double>(t.sum);
            row.maximum = static_cast<double>(t.maximum);
        } else {
            row.points = read_all_fields(text);
            for (const double v : values) {
                row.total += v;
                row.maximum = std::max(row.maximum, v);
            }
        }
        // The axis the conversion reads the scan on.
        std::vector<const AxisPositions*> moving;
        for (const AxisPositions& p : row.positions)
            if (p.moves) moving.push_back(&p);
        if (moving.size() == 1) {
            row.axis = moving.front()->axis;
        } else {
            for (const AxisPositions* p : moving)
                if (p->axis == two_theta_axis) row.axis = p->axis;
        }
        table.scans.push_back(std::move(row));
        row = ScanRow();
        block = nullptr;
    }

    void take(std::string_view line) {
        const FirstElement first = first_element(line);
        if (!first.found) return;
        double v = 0.0;
        const std::string_view text = element_text(line).text;
        if (first.matches("kAlpha1")) {
            table.has_k_alpha1 = read_first_real(text, table.k_alpha1);
        } else if (first.matches("kAlpha2")) {
            table.has_k_alpha2 = read_first_real(text, table.k_alpha2);
        } else if (first.matches("ratioKAlpha2KAlpha1")) {
            table.has_ratio = read_first_real(text, table.ratio);
        } else if (first.matches("positions ") || first.matches("positions>")) {
            block = &open_block(first.text);
        } else if (first.matches("commonCountingTime unit=\"seconds\"")) {
            row.has_counting_time = read_first_real(text, v);
            row.counting_time = v;
        } else if (first.matches("intensities") || first.matches("counts")) {
            take_list(text);
            return;
        }
        if (block != nullptr) {
            take_positions(line);
            if (line.find("</positions>") != std::string_view::npos) block = nullptr;
        }
    }
};

const AxisPositions* ScanRow::read_axis() const {
    for (const AxisPositions& p : positions)
        if (p.axis == axis) return &p;
    return nullptr;
}

ScanTableReader::ScanTableReader() : builder_(std::make_unique<Builder>()) {}
ScanTableReader::~ScanTableReader() = default;

void ScanTableReader::take(std::string_view line) { builder_->take(line); }

ScanTable ScanTableReader::finish() { return std::move(builder_->table); }

}  // namespace orvalt::xrdml

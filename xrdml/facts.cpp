// Each scan's facts and the beam's, from the lines of a file in order.
#include "xrdml/facts.h"

#include <algorithm>
#include <array>

#include "g_f/number_parsing.h"
#include "g_f/numbers.h"

namespace orvalt::xrdml {

namespace {

// A text as the tables keep it: its first max_text characters, control
// characters shown as "?", so that no attribute can make a line of its own.
std::string kept(std::string_view text) {
    std::string out(text.substr(0, max_text));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    if (text.size() > max_text) out.replace(max_text - 3, 3, "...");
    return out;
}

std::string_view attribute(std::string_view tag, std::string_view name) {
    // Only the start tag: the element text may hold anything.
    tag = tag.substr(0, tag.find('>'));
    for (std::size_t from = 0;;) {
        const std::size_t a = tag.find(name, from);
        if (a == std::string_view::npos) return {};
        from = a + name.size();
        if (a == 0 || (tag[a - 1] != ' ' && tag[a - 1] != '\t') ||
            tag.substr(from, 2) != "=\"")
            continue;
        const std::string_view rest = tag.substr(from + 2);
        return rest.substr(0, rest.find('"'));
    }
}

// The text of element `tag` on the line ("" found false when it is not there).
bool element_on_line(std::string_view line, std::string_view tag, std::string_view& text) {
    const std::size_t at = line.find(tag);
    if (at == std::string_view::npos) return false;
    text = element_text(line.substr(at)).text;
    return true;
}

// A crystal that passes one line of the tube: germanium or silicon.
bool selects_one_line(std::string_view crystal) {
    return crystal.starts_with("Ge") || crystal.starts_with("Si");
}

}  // namespace

std::optional<double> kelvin(const NonAmbient& c) {
    if (c.type != "Temperature" || c.count == 0) return std::nullopt;
    if (c.unit == "K") return c.mean;
    if (c.unit == "C" || c.unit == "\xC2\xB0" "C" || c.unit == "Celsius") return c.mean + 273.15;
    return std::nullopt;
}

const AxisPositions* ScanFacts::read_axis() const {
    for (const AxisPositions& p : positions)
        if (p.axis == axis) return &p;
    return nullptr;
}

void FactsPass::open_positions(std::string_view tag) {
    ScanFacts& s = pending_;
    block_ = nullptr;
    if (s.positions.size() >= max_kept) return;
    // Scans name two axes or more: one allocation rather than two.
    if (s.positions.empty()) s.positions.reserve(2);
    s.positions.push_back({kept(attribute(tag, "axis")), kept(attribute(tag, "unit")), 0.0, 0.0,
                           false, 0});
    block_ = &s.positions.back();
}

void FactsPass::take_positions(std::string_view line, const FirstElement& first) {
    constexpr std::array<std::string_view, 4> tags = {"<startPosition", "<endPosition",
                                                      "<commonPosition", "<listPositions"};
    // One element a line, the name after its first "<"; a block on one line
    // (its opening line, when another element follows its tag) is searched
    // for each.
    const bool opening = first.names("positions");
    if (opening) {
        const std::size_t gt = line.find('>');
        if (gt == std::string_view::npos || line.find('<', gt) == std::string_view::npos) return;
    } else if (const char c = first.text.front(); c != 's' && c != 'e' && c != 'l' && c != 'c') {
        return;
    }
    for (std::size_t k = 0; k < tags.size(); ++k) {
        std::string_view text;
        if (opening) {
            if (!element_on_line(line, tags[k], text)) continue;
        } else if (first.matches(tags[k].substr(1))) {
            text = element_text(line).text;
        } else {
            continue;
        }
        take_position(k, text);
    }
}

void FactsPass::take_position(std::size_t kind, std::string_view text) {
    double v = 0.0;
    switch (kind) {
        case 0:
        case 1:
            if (!read_first_real(text, v)) return;
            (kind == 0 ? block_->start : block_->end) = v;
            block_->moves = true;
            return;
        case 2:
            if (read_first_real(text, v)) block_->start = block_->end = v;
            return;
        default: break;
    }
    // The first and the last number, and how many: no list is held.
    std::array<double, 256> room{};
    double first = 0.0, last = 0.0;
    std::int32_t count = 0;
    for_each_list_piece(text, room, [&](std::span<const double> read, const FieldScan& piece,
                                        std::int32_t) {
        if (count == 0 && !read.empty()) first = read.front();
        if (!read.empty()) last = read.back();
        count += piece.count;
    });
    if (count > 0) {
        block_->start = first;
        block_->end = last;
        block_->moves = count > 1;
        block_->listed = count;
    }
}

// nonAmbientValues: the first, last and mean of its numbers.
void FactsPass::take_condition(std::string_view line) {
    std::string_view text;
    if (!element_on_line(line, "<nonAmbientValues", text)) return;
    std::array<double, 256> room{};
    double sum = 0.0;
    std::int32_t count = 0;
    bool bad = false;
    for_each_list_piece(text, room, [&](std::span<const double> read, const FieldScan& piece,
                                        std::int32_t) {
        bad = bad || piece.first_bad >= 0;
        for (const double v : read) {
            if (count == 0) condition_.first = v;
            condition_.last = v;
            sum += v;
            ++count;
        }
    });
    if (bad || count == 0) return;
    condition_.count = count;
    condition_.mean = sum / count;
}

void FactsPass::close_list() {
    ScanFacts& s = pending_;
    const auto moving = std::count_if(s.positions.begin(), s.positions.end(),
                                      [](const AxisPositions& p) { return p.moves; });
    for (const AxisPositions& p : s.positions)
        if (p.moves && (moving == 1 || p.axis == two_theta_axis)) s.axis = p.axis;
    scans.push_back(std::move(s));
    pending_ = ScanFacts();
    list_met_ = in_scan_;
    block_ = nullptr;
}

void FactsPass::take(std::string_view line, const FirstElement& first) {
    if (!first.found || first.text.empty()) return;
    if (first.matches("intensities") || first.matches("counts")) {
        ++lists_;
        if (kept_ != FactsKept::beam) close_list();
        return;
    }
    if (kept_ != FactsKept::beam) take_scan(line, first);
    take_beam(line, first);
}

void FactsPass::take_scan(std::string_view line, const FirstElement& first) {
    // What stands in a scan element after its list belongs to that scan.
    ScanFacts& here = list_met_ && !scans.empty() ? scans.back() : pending_;
    // Not of a list line, which may be long: only where it is needed.
    const auto text = [line] { return element_text(line).text; };
    double v = 0.0;
    // The elements looked for, by their first letter: most lines name none.
    switch (first.text[0]) {
        case 's':
            if (first.names("scan")) {
                in_scan_ = true;
                list_met_ = false;
                pending_ = ScanFacts();
                block_ = nullptr;
            } else if (first.matches("startTimeStamp")) {
                here.start_time = kept(text());
            }
            break;
        case '/':
            if (first.matches("/scan>")) in_scan_ = list_met_ = false;
            break;
        case 'c':
            if (first.matches("commonCountingTime unit=\"seconds\"")) {
                here.has_counting_time = read_first_real(text(), v);
                here.counting_time = v;
            }
            break;
        case 'p':
            if (kept_ == FactsKept::all && first.names("positions")) {
                if (&here == &pending_) open_positions(first.text);
                else block_ = nullptr;
            }
            break;
        case 'e':
            if (first.matches("endTimeStamp")) here.end_time = kept(text());
            break;
        case 'n':
            if (first.names("nonAmbientPoints")) {
                in_condition_ = true;
                condition_ = {kept(attribute(first.text, "type")),
                              kept(attribute(first.text, "unit")), 0.0, 0.0, 0.0, 0};
            }
            break;
        default: break;
    }
    if (block_ != nullptr) {
        take_positions(line, first);
        if (line.find("</positions>") != std::string_view::npos) block_ = nullptr;
    }
    if (in_condition_) {
        take_condition(line);
        if (line.find("</nonAmbientPoints>") != std::string_view::npos) {
            if (here.conditions.size() < max_kept) here.conditions.push_back(condition_);
            in_condition_ = false;
        }
    }
}

// A monochromator of the incident beam, by either element name: its name
// now, its crystal when a line gives it.
void FactsPass::open_monochromator(std::string_view tag) {
    in_monochromator_ = true;
    monochromator_name_ = kept(attribute(tag, "name"));
    crystal_.clear();
}

void FactsPass::take_beam(std::string_view line, const FirstElement& first) {
    switch (first.text[0]) {
        case '/':
            if (first.matches("/incidentBeamPath")) incident_ = false;
            break;
        case 'i':
            if (first.names("incidentBeamPath")) incident_ = true;
            break;
        case 'c':
            if (incident_ && first.names("crystalMonochromator")) {
                open_monochromator(first.text);
            } else if (in_monochromator_ && first.names("crystal")) {
                crystal_ = kept(element_text(line).text);
            }
            break;
        case 'u':
            if (first.names("usedWavelength"))
                beam.intended = kept(attribute(first.text, "intended"));
            break;
        case 'm':
            if (incident_ && first.names("monochromator")) open_monochromator(first.text);
            break;
        default: break;
    }
    if (in_monochromator_ && (line.find("</monochromator>") != std::string_view::npos ||
                              line.find("</crystalMonochromator>") != std::string_view::npos ||
                              (first.names("monochromator") && line.find("/>") != std::string_view::npos))) {
        in_monochromator_ = false;
        const std::string_view name = monochromator_name_;
        const bool crystal = crystal_.empty()
                                 ? name.find("Ge") != std::string_view::npos ||
                                       name.find("Si") != std::string_view::npos
                                 : selects_one_line(crystal_);
        if (crystal && beam.monochromator.empty())
            beam.monochromator = name.empty() ? crystal_ : std::string(name);
    }
}

}  // namespace orvalt::xrdml

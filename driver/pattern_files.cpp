// What the three pattern files share: their labels, and the staged writing
// of a file block by block.
#include "driver/pattern_files.h"

#include <algorithm>
#include <cmath>

#include "g_f/console.h"
#include "g_f/numbers.h"

namespace orvalt {

namespace {

constexpr std::int32_t output_unit = 98;

// The first point that is not a finite number, 1-based; 0 when all are.
std::size_t first_not_finite(const Pattern& p) {
    for (std::size_t k = 0; k < p.x.size(); ++k)
        if (!std::isfinite(p.x[k]) || !std::isfinite(p.y[k]) || !std::isfinite(p.e[k]))
            return k + 1;
    return 0;
}

}  // namespace

std::string_view pattern_extension(PatternFormat format) {
    switch (format) {
        case PatternFormat::xye: return ".xye";
        case PatternFormat::fxye: return ".fxye";
        case PatternFormat::cif: return ".cif";
    }
    return {};
}

std::string x_label(const PatternDescription& d) {
    switch (d.x) {
        case XQuantity::two_theta: return "2-theta";
        case XQuantity::q: return "Q";
        case XQuantity::d_spacing: return "d-spacing";
        case XQuantity::angle: return d.axis;
    }
    return {};
}

std::string_view x_unit(const PatternDescription& d) {
    return d.x == XQuantity::q           ? "1/angstrom"
           : d.x == XQuantity::d_spacing ? "angstrom"
                                         : "degrees";
}

std::string_view intensity_unit(const PatternDescription& d) {
    return d.counts ? "counts" : "counts per second";
}

std::string block_scan_text(const PatternDescription& d, const Pattern& p, bool several) {
    return several && p.scan > 0 ? "scan " + format_integer(p.scan) : d.scan_choice;
}

std::string ascii_text(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c < ' ' || c > '~') c = '?';
    return out;
}

PatternFile::PatternFile(Console& con, std::string_view name, PatternFormat format,
                         const PatternDescription& d, bool several)
    : con_(con), name_(name), format_(format), d_(d), several_(several) {}

bool PatternFile::add(const Pattern& given) {
    if (failed_) return false;
    Pattern p = given;
    const std::size_t n = std::min({p.x.size(), p.y.size(), p.e.size()});
    p.x = p.x.first(n);
    p.y = p.y.first(n);
    p.e = p.e.first(n);
    BlockText block;
    if (const std::size_t k = first_not_finite(p); k != 0) {
        block.refusal = "Point " + format_integer(static_cast<std::int32_t>(k)) +
                        " of the spectrum is not a finite number";
    } else {
        block = format_ == PatternFormat::xye    ? xye_block(d_, p, blocks_, several_)
                : format_ == PatternFormat::fxye ? fxye_block(d_, p, blocks_, several_)
                                                 : cif_block(d_, p, blocks_, several_);
    }
    if (!block.refusal.empty()) return fail(block.refusal);
    if (blocks_ == 0) {
        std::int32_t error_number = 0;
        file_ = open_new_file(con_, name_, output_unit, 0, error_number, 0, 0, 1);
        if (error_number != 0 || !file_.is_open()) {  // reported by open_new_file
            failed_ = true;
            return false;
        }
    }
    // write_line ends the text with the last line's line end.
    if (block.text.ends_with('\n')) block.text.pop_back();
    file_.write_line(block.text);
    ++blocks_;
    return !file_.failed() || fail("Could not write " + name_);
}

bool PatternFile::fail(std::string_view why) {
    say_error(con_, "**ERROR in orvalt: " + std::string(why));
    failed_ = true;
    file_ = OutputFile();  // an open temporary is removed
    return false;
}

bool PatternFile::commit() {
    if (failed_) return false;
    if (blocks_ == 0) return true;
    return file_.close() || fail("Could not write " + name_);
}

bool write_pattern_file(Console& con, std::string_view name, PatternFormat format,
                        const PatternDescription& d, std::span<const Pattern> patterns) {
    PatternFile file(con, name, format, d, patterns.size() > 1);
    for (const Pattern& p : patterns)
        if (!file.add(p)) return false;
    return file.commit();
}

}  // namespace orvalt

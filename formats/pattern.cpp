// The labels every pattern file shares, and the test for numbers a file
// cannot hold.
#include "formats/pattern.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "g_f/numbers.h"

namespace orvalt {

std::string x_label(const XAxis& x) {
    switch (x.quantity) {
        case XQuantity::two_theta: return "2-theta";
        case XQuantity::q: return "Q";
        case XQuantity::d_spacing: return "d-spacing";
        case XQuantity::angle: return x.axis;
    }
    return {};
}

std::string_view x_unit(const XAxis& x) {
    return x.quantity == XQuantity::q           ? "1/angstrom"
           : x.quantity == XQuantity::d_spacing ? "angstrom"
                                                : "degrees";
}

std::string_view intensity_unit(const PatternDescription& d) {
    return d.counts ? "counts" : "counts per second";
}

std::string block_scan_text(const PatternDescription& d, const Pattern& p, bool several) {
    return several && p.scan > 0 ? "scan " + format_integer(p.scan) : d.scan_choice;
}

std::size_t first_not_finite(std::span<const double> x, std::span<const double> y,
                             std::span<const double> e) {
    // The whole spectrum is tested without a branch per point, so that the
    // loop runs as vector instructions (v - v is +0, all bits clear, for
    // every finite v and NaN otherwise); the point is looked for only when
    // there is one.
    const auto not_finite = [](double v) { return std::bit_cast<std::uint64_t>(v - v); };
    const std::size_t n = std::min({x.size(), y.size(), e.size()});
    std::uint64_t any = 0;
    for (std::size_t k = 0; k < n; ++k) any |= not_finite(x[k]) | not_finite(y[k]) | not_finite(e[k]);
    if (any == 0) return 0;
    for (std::size_t k = 0; k < n; ++k)
        if (!std::isfinite(x[k]) || !std::isfinite(y[k]) || !std::isfinite(e[k])) return k + 1;
    return 0;
}

std::string not_finite_text(std::size_t point) {
    return "Point " + format_integer(static_cast<std::int32_t>(point)) +
           " of the spectrum is not a finite number";
}

std::string ascii_text(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c < ' ' || c > '~') c = '?';
    return out;
}

}  // namespace orvalt

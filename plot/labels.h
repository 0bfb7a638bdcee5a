// The texts of a picture: made safe for an XML document, measured as a
// renderer would set them at the most, shortened to fit, and the lists of
// scans written as ranges.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvalt::plot {

// Text for an XML document: markup characters escaped; bytes that are not
// UTF-8 or not an XML character (surrogates, overlong forms, code points
// above U+10FFFF, U+FFFE and U+FFFF) and control characters (C0, DEL, C1)
// become "?". A name or a label may hold any byte.
std::string xml_text(std::string_view text);

// The width the text takes at `size` pixels at most, in pixels: every
// character taken at the widest its class has in the common sans-serif
// fonts (bold an eighth wider), and a character beyond ASCII as wide as a
// square, so that a renderer's own fonts never set it wider.
double text_width(std::string_view text, double size, bool bold = false);

// The text, or, when it is wider than `width` (text_width), its beginning
// and end with "…" in place of its middle, as much of them as fits.
std::string shortened(std::string_view text, double size, double width, bool bold = false);

// Scan numbers (rising) as ranges: 1, 2, 3, 38, 39, 40 as "1-3, 38-40".
std::string scan_ranges(std::span<const std::int32_t> scans);

}  // namespace orvalt::plot

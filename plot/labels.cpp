// XML text, text widths and shortening, scan ranges.
#include "plot/labels.h"

#include <string_view>
#include <vector>

#include "g_f/numbers.h"

namespace orvalt::plot {

namespace {

// The code point of the UTF-8 sequence at s[i] and its length, or a length
// of 0 when the bytes there are not one well-formed sequence (overlong
// forms, surrogates and code points above U+10FFFF included).
std::size_t utf8_at(std::string_view s, std::size_t i, char32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t len = 0;
    char32_t least = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if ((c >> 5) == 6) len = 2, cp = c & 0x1F, least = 0x80;
    else if ((c >> 4) == 14) len = 3, cp = c & 0x0F, least = 0x800;
    else if ((c >> 3) == 30) len = 4, cp = c & 0x07, least = 0x10000;
    else return 0;
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// An XML 1.0 character that a picture shows: no control characters.
bool shown_character(char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return false;
    return cp != 0xFFFE && cp != 0xFFFF;
}

// The text's characters: each a piece of the text (a "?" for a byte that is
// no character) and its width in ems at the most.
struct Piece {
    std::string_view text;
    double em;
};

// The widest a character of its class is set in the common sans-serif
// fonts (DejaVu Sans, the widest of them, and Liberation Sans, Arial).
double em_of(char32_t cp) {
    if (cp >= 0x80) return 1.0;
    const char c = static_cast<char>(cp);
    if (std::string_view(" .,:;'|!il`").find(c) != std::string_view::npos) return 0.4;
    if (std::string_view("fjrtI()[]{}-\"/\\").find(c) != std::string_view::npos) return 0.47;
    if (c == 'm' || c == 'w' || c == 'M' || c == 'W' || c == '@' || c == '%') return 1.0;
    if (c >= 'a' && c <= 'z') return 0.64;
    if (c >= '0' && c <= '9') return 0.64;
    return 0.84;  // capitals and the other signs
}

std::vector<Piece> pieces_of(std::string_view s) {
    std::vector<Piece> out;
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const std::size_t len = utf8_at(s, i, cp);
        if (len == 0) {
            out.push_back({"?", 0.86});
            ++i;
            continue;
        }
        out.push_back({s.substr(i, len), em_of(cp)});
        i += len;
    }
    return out;
}

}  // namespace

std::string xml_text(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const std::size_t len = utf8_at(s, i, cp);
        if (len == 0 || !shown_character(cp)) {
            out += '?';
            i += len == 0 ? 1 : len;
            continue;
        }
        switch (cp) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.append(s.substr(i, len));
        }
        i += len;
    }
    return out;
}

double text_width(std::string_view text, double size, bool bold) {
    double em = 0.0;
    for (const Piece& p : pieces_of(text)) em += p.em;
    return em * size * (bold ? 1.13 : 1.0);
}

std::string shortened(std::string_view text, double size, double width, bool bold) {
    if (text_width(text, size, bold) <= width) return std::string(text);
    const std::vector<Piece> pieces = pieces_of(text);
    const double scale = size * (bold ? 1.13 : 1.0);
    double room = width / scale - 1.0;  // the "…"
    // Taken from both ends in turn, as long as the next one fits.
    std::size_t head = 0, tail = 0;
    for (bool from_head = true; head + tail < pieces.size(); from_head = !from_head) {
        const Piece& next = from_head ? pieces[head] : pieces[pieces.size() - 1 - tail];
        if (next.em > room) break;
        room -= next.em;
        (from_head ? head : tail) += 1;
    }
    std::string out;
    for (std::size_t k = 0; k < head; ++k) out.append(pieces[k].text);
    out += "…";
    for (std::size_t k = pieces.size() - tail; k < pieces.size(); ++k) out.append(pieces[k].text);
    return out;
}

std::string scan_ranges(std::span<const std::int32_t> scans) {
    std::string out;
    for (std::size_t i = 0; i < scans.size();) {
        std::size_t j = i;
        while (j + 1 < scans.size() && scans[j + 1] == scans[j] + 1) ++j;
        if (!out.empty()) out += ", ";
        out += format_integer(scans[i]);
        if (j > i) out += (j == i + 1 ? ", " : "-") + format_integer(scans[j]);
        i = j + 1;
    }
    return out;
}

}  // namespace orvalt::plot

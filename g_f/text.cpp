// Text in fixed fields.
#include "g_f/text.h"

#include <algorithm>

#include "g_f/chars.h"

namespace orvalt {

int trimmed_length(std::string_view text) {
    std::size_t n = text.size();
    // Name fields are thousands of characters long, nearly all blanks: those
    // go eight at a time.
    constexpr std::string_view eight_blanks = "        ";
    while (n >= 8 && text.substr(n - 8, 8) == eight_blanks) n -= 8;
    while (n > 0 && (is_blank_or_tab(text[n - 1]) || text[n - 1] == '\0')) --n;
    return static_cast<int>(std::min<std::size_t>(n, 0x7fffffff));
}

std::string_view trimmed(std::string_view text) {
    return text.substr(0, static_cast<std::size_t>(trimmed_length(text)));
}

std::string field(std::string_view text, std::size_t length, char pad) {
    std::string out(text.substr(0, std::min(text.size(), length)));
    out.resize(length, pad);
    return out;
}

void set_field(std::string& dest, std::string_view text) {
    const std::size_t n = std::min(text.size(), dest.size());
    // copy first: text may view dest itself
    std::string tmp(text.substr(0, n));
    std::fill(dest.begin(), dest.end(), ' ');
    std::copy(tmp.begin(), tmp.end(), dest.begin());
}

std::string& double_backslashes(std::string& result, std::string_view source, std::int32_t n) {
    if (n <= 0) return result;
    const auto count = static_cast<std::size_t>(n);
    // Never beyond either field, whatever n says.
    const std::size_t limit = std::min(count, result.size());
    const std::size_t last = std::min(count, source.size());
    std::size_t j = 0;
    for (std::size_t i = 0; i < last; ++i) {
        const char c = source[i];
        if (j < limit) result[j] = c;
        if (c == '\\') {
            ++j;
            if (j < limit) result[j] = '\\';
        }
        ++j;
    }
    return result;
}

std::string one_line(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += '?';
            ++i;
        } else {
            out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace orvalt

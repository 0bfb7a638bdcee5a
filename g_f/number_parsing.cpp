// Number parsing. std::from_chars keeps it independent of the locale.
#include "g_f/number_parsing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "g_f/chars.h"

namespace orvalt {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// For a normalised real that from_chars finds out of range: true when its
// magnitude lies below 1 (so it underflowed), false when it overflowed. The
// decimal exponent of its first nonzero digit decides; a long exponent is
// held at a bound far beyond either limit.
bool below_smallest_double(std::string_view norm) {
    std::size_t i = norm.starts_with('-') ? 1 : 0;
    long magnitude = -1;  // decimal exponent of the first nonzero digit
    long place = 0;       // that of the digit at i, counted from the point
    const std::size_t point = norm.find('.');
    const std::size_t mantissa_end = std::min(norm.find_first_of("eE"), norm.size());
    place = static_cast<long>(std::min(point, mantissa_end) - i) - 1;
    for (; i < mantissa_end; ++i) {
        if (norm[i] == '.') continue;
        if (norm[i] != '0') {
            magnitude = place;
            break;
        }
        --place;
    }
    long exponent = 0;
    if (mantissa_end < norm.size()) {
        std::size_t j = mantissa_end + 1;
        const bool negative = norm[j] == '-';
        if (norm[j] == '+' || norm[j] == '-') ++j;
        for (; j < norm.size(); ++j) exponent = std::min(exponent * 10 + (norm[j] - '0'), 100000L);
        if (negative) exponent = -exponent;
    }
    return magnitude + exponent < 0;
}

}  // namespace

bool parse_real(std::string_view item, double& value) {
    // The syntax is checked here; from_chars takes neither a leading "+" nor
    // a "D" exponent, so an item holding either is read from a normalised
    // copy, every other one (nearly all) as it stands.
    std::size_t i = 0;
    const std::size_t n = item.size();
    bool copy = false;
    if (i < n && (item[i] == '+' || item[i] == '-')) copy = item[i++] == '+';
    std::size_t mantissa_digits = 0;
    while (i < n && is_digit(item[i])) {
        ++i;
        ++mantissa_digits;
    }
    if (i < n && item[i] == '.') {
        ++i;
        while (i < n && is_digit(item[i])) {
            ++i;
            ++mantissa_digits;
        }
    }
    if (mantissa_digits == 0) return false;
    if (i < n && (item[i] == 'E' || item[i] == 'e' || item[i] == 'D' || item[i] == 'd')) {
        copy = copy || item[i] == 'D' || item[i] == 'd';
        ++i;
        if (i < n && (item[i] == '+' || item[i] == '-')) ++i;
        std::size_t exponent_digits = 0;
        while (i < n && is_digit(item[i])) {
            ++i;
            ++exponent_digits;
        }
        if (exponent_digits == 0) return false;
    }
    if (i != n) return false;

    std::string norm;
    std::string_view text = item;
    if (copy) {
        norm.assign(item.substr(item[0] == '+' ? 1 : 0));
        for (char& c : norm)
            if (c == 'D' || c == 'd') c = 'e';
        text = norm;
    }
    double v = 0.0;
    const char* end = text.data() + text.size();
    const auto res = std::from_chars(text.data(), end, v);
    if (res.ptr != end) return false;
    // A value too small for a double reads as 0, as one just above the
    // smallest already rounds to it; a value too large stays refused.
    if (res.ec == std::errc::result_out_of_range && below_smallest_double(text)) v = 0.0;
    else if (res.ec != std::errc() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool parse_integer(std::string_view item, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
        negative = item[0] == '-';
        i = 1;
    }
    if (i == item.size()) return false;
    for (std::size_t j = i; j < item.size(); ++j)
        if (!is_digit(item[j])) return false;
    std::string norm = negative ? "-" : "";
    norm += item.substr(i);
    std::int32_t v = 0;
    const char* end = norm.data() + norm.size();
    const auto res = std::from_chars(norm.data(), end, v);
    if (res.ec != std::errc() || res.ptr != end) return false;
    value = v;
    return true;
}

namespace {

// The first item of a free-layout text: leading blanks and tabs skipped, then
// up to the next blank, tab or comma (or slash, where a slash ends an answer).
// Empty for a blank text or an empty first item.
std::string_view first_item(std::string_view text, bool slash_ends) {
    std::size_t i = 0;
    while (i < text.size() && is_blank_or_tab(text[i])) ++i;
    std::size_t j = i;
    while (j < text.size() && !is_blank_or_tab(text[j]) && text[j] != ',' &&
           !(slash_ends && text[j] == '/'))
        ++j;
    return text.substr(i, j - i);
}

}  // namespace

bool read_first_real(std::string_view text, double& value) {
    // Numbers in a measurement file are separated by blanks and commas only:
    // "12/3" is no number.
    const std::string_view item = first_item(text, false);
    return !item.empty() && parse_real(item, value);
}

OneNumber read_one_real(std::string_view text, double& value) {
    const std::string_view item = first_item(text, false);
    if (item.empty() || !parse_real(item, value)) return OneNumber::not_a_number;
    const std::size_t after = static_cast<std::size_t>(item.data() + item.size() - text.data());
    for (std::size_t i = after; i < text.size(); ++i)
        if (!is_blank_or_tab(text[i])) return OneNumber::more;
    return OneNumber::ok;
}

bool read_first_integer(std::string_view text, std::int32_t& value) {
    const std::string_view item = first_item(text, true);
    return !item.empty() && parse_integer(item, value);
}

}  // namespace orvalt

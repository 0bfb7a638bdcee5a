// Number parsing. std::from_chars keeps it independent of the locale.
#include "g_f/number_parsing.h"

#include <algorithm>
#include <array>
#include <cfloat>
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

// A plain decimal at the start of a text, nearly every position and time of
// a file: an optional sign, digits and an optional point, at most 15 digits
// in all. Its digits and the power of ten are then exact doubles, so one
// division, correctly rounded, gives what from_chars gives. Returns the
// length read, 0 for any other start (and where doubles are worked out in a
// wider format and rounded twice); the caller decides what may follow.
std::size_t plain_decimal(std::string_view text, double& value) {
    if constexpr (FLT_EVAL_METHOD != 0) {
        return 0;
    } else {
        const char* const begin = text.data();
        const char* const end = begin + text.size();
        const char* p = begin;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        std::uint64_t mantissa = 0;
        int digits = 0, fraction = -1;  // fraction: digits after the point, once met
        for (; p < end; ++p) {
            const auto d = static_cast<unsigned>(*p) - static_cast<unsigned>('0');
            if (d <= 9) {
                mantissa = mantissa * 10 + d;
                ++digits;
                if (fraction >= 0) ++fraction;
            } else if (*p == '.' && fraction < 0) {
                fraction = 0;
            } else {
                break;
            }
        }
        // An exponent, or more digits than a double holds exactly: not plain.
        if (digits == 0 || digits > 15 ||
            (p < end && (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd')))
            return 0;
        constexpr std::array<double, 16> powers = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double v = static_cast<double>(mantissa) / powers[fraction < 0 ? 0 : fraction];
        value = negative ? -v : v;
        return static_cast<std::size_t>(p - begin);
    }
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
    if (double v = 0.0; n > 0 && plain_decimal(item, v) == n) {
        value = v;
        return true;
    }
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

// Where the blanks and tabs at the start of a text end.
std::size_t skip_blanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank_or_tab(text[i])) ++i;
    return i;
}

}  // namespace

bool read_first_real(std::string_view text, double& value) {
    const std::size_t at = skip_blanks(text);
    double v = 0.0;
    if (const std::size_t n = plain_decimal(text.substr(at), v); n > 0) {
        const std::size_t after = at + n;
        if (after == text.size() || is_blank_or_tab(text[after]) || text[after] == ',') {
            value = v;
            return true;
        }
    }
    // Numbers in a measurement file are separated by blanks and commas only:
    // "12/3" is no number.
    const std::string_view item = first_item(text, false);
    return !item.empty() && parse_real(item, value);
}

OneNumber read_one_real(std::string_view text, double& value) {
    const std::size_t at = skip_blanks(text);
    double v = 0.0;
    if (const std::size_t n = plain_decimal(text.substr(at), v); n > 0) {
        if (skip_blanks(text.substr(at + n)) == text.size() - at - n) {
            value = v;
            return OneNumber::ok;
        }
    }
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

// Number layouts and number parsing, in one place each. std::to_chars and
// std::from_chars keep all of it independent of the locale.
#include "g_f/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

#include "g_f/chars.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Scratch text of a layout: on the stack for the layouts the program uses,
// on the heap only for an unusually large digit or exponent count.
class Scratch {
public:
    explicit Scratch(std::size_t size) {
        if (size > sizeof small_) {
            large_ = std::make_unique<char[]>(size);
            data_ = large_.get();
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    char* data() { return data_; }

private:
    char small_[128];
    std::unique_ptr<char[]> large_;
    char* data_ = small_;
};

// Writes text right-aligned in out[0..width); a text that cannot fit becomes
// a row of asterisks, so the field keeps its width whatever happens.
char* put_right_aligned(char* out, int width, std::string_view text) {
    if (width <= 0) return out;
    const auto w = static_cast<std::size_t>(width);
    if (text.size() > w) return std::fill_n(out, w, '*');
    out = std::fill_n(out, w - text.size(), ' ');
    return std::copy(text.begin(), text.end(), out);
}

std::string right_aligned(std::string_view text, int width) {
    std::string out(static_cast<std::size_t>(std::max(width, 0)), ' ');
    put_right_aligned(out.data(), width, text);
    return out;
}

// The s significant digits of |x| rounded to s digits (written to digits[0..s))
// and the decimal exponent X of the rounded value, so that |x| ~ d.ddd x 10^X.
void significant_digits(double ax, int s, char* digits, int& exponent) {
    const auto n = static_cast<std::size_t>(s);
    Scratch buf(n + 40);
    char* const text = buf.data();
    const char* const stop =
        std::to_chars(text, text + n + 40, ax, std::chars_format::scientific, s - 1).ptr;
    // The text is "d.ddd" ("d" alone when s is 1), "e", the exponent's sign
    // and at least two exponent digits.
    digits[0] = text[0];
    if (n > 1) std::memcpy(digits + 1, text + 2, n - 1);
    const char* p = text + (n > 1 ? n + 2 : 2);  // past the "e"
    const bool negative = *p++ == '-';
    int value = 0;
    for (; p < stop; ++p) value = value * 10 + (*p - '0');
    exponent = negative ? -value : value;
}

// "E+08", "E-01"; with two exponent digits an exponent beyond +-99 drops the
// "E" and keeps its sign and three digits.
char* put_exponent(char* out, int exponent, int e) {
    const char sign = exponent < 0 ? '-' : '+';
    char digits[16];
    const auto res = std::to_chars(digits, digits + sizeof digits, std::abs(exponent));
    const auto nd = static_cast<std::size_t>(res.ptr - digits);
    const auto ed = static_cast<std::size_t>(e);
    if (nd <= ed) {
        *out++ = 'E';
        *out++ = sign;
        out = std::fill_n(out, ed - nd, '0');
        return std::copy(digits, res.ptr, out);
    }
    if (nd == ed + 1) {
        *out++ = sign;
        return std::copy(digits, res.ptr, out);
    }
    return std::fill_n(out, ed + 2, '*');
}

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

std::string format_integer(std::int32_t v) {
    return right_aligned(std::to_string(v), digit_count(v));
}

std::string format_integer_width(std::int32_t v, int width) {
    const std::string text = std::to_string(v);
    if (width <= static_cast<int>(text.size())) return text;
    return right_aligned(text, width);
}

char* format_general_to(char* out, double x, int w, int s, int e) {
    if (w <= 0) return out;
    if (s < 1) s = 1;
    if (e < 1) e = 1;
    if (std::isnan(x)) return put_right_aligned(out, w, "NaN");
    if (std::isinf(x)) return put_right_aligned(out, w, x < 0 ? "-Infinity" : "Infinity");

    const int tail = e + 2;  // the blanks that stand in for the exponent in fixed form
    if (w < tail) return std::fill_n(out, w, '*');
    const auto n = static_cast<std::size_t>(s);
    // The text before right-alignment: sign, "0.", the digits, the exponent.
    Scratch text(2 * n + static_cast<std::size_t>(e) + 8);
    char* t = text.data();
    if (x == 0.0) {  // negative zero included
        *t++ = '0';
        *t++ = '.';
        t = std::fill_n(t, n - 1, '0');
        out = put_right_aligned(out, w - tail, std::string_view(text.data(), t - text.data()));
        return std::fill_n(out, tail, ' ');
    }

    // The digits go to the far end of the scratch text, out of the way.
    char* const digits = text.data() + n + static_cast<std::size_t>(e) + 8;
    int exponent = 0;
    significant_digits(std::fabs(x), s, digits, exponent);

    if (x < 0) *t++ = '-';
    // Fixed form when the rounded value lies in [0.1, 10^s).
    if (exponent >= -1 && exponent <= s - 1) {
        const auto k = static_cast<std::size_t>(exponent + 1);  // digits before the point
        if (k == 0) *t++ = '0';
        t = std::copy(digits, digits + k, t);
        *t++ = '.';
        t = std::copy(digits + k, digits + n, t);
        out = put_right_aligned(out, w - tail, std::string_view(text.data(), t - text.data()));
        return std::fill_n(out, tail, ' ');
    }
    *t++ = '0';
    *t++ = '.';
    t = std::copy(digits, digits + n, t);
    t = put_exponent(t, exponent + 1, e);
    return put_right_aligned(out, w, std::string_view(text.data(), t - text.data()));
}

std::string format_general(double x, int w, int s, int e) {
    std::string out(static_cast<std::size_t>(std::max(w, 0)), ' ');
    format_general_to(out.data(), x, w, s, e);
    return out;
}

std::string format_real13(double x) { return format_general(x, 20, 13); }
std::string format_real7(double x) { return format_general(x, 14, 7); }
std::string format_data_value(double x) { return format_general(x, 24, 15, 3); }

char* format_data_line_to(char* out, double x, double y, double e) {
    out = format_general_to(out, x, 24, 15, 3);
    *out++ = ' ';
    out = format_general_to(out, y, 24, 15, 3);
    *out++ = ' ';
    return format_general_to(out, e, 24, 15, 3);
}

std::string format_data_line(double x, double y, double e) {
    std::string line(data_line_length, ' ');
    format_data_line_to(line.data(), x, y, e);
    return line;
}

std::string& append_fixed(std::string& out, double x, int decimals) {
    if (!std::isfinite(x)) x = 0.0;
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    const char* const end = r.ptr;
    if (r.ec != std::errc()) return out += '0';
    // A value that rounds to zero is shown without its sign.
    const char* p = buf;
    if (*p == '-' && std::all_of(p + 1, end, [](char c) { return c == '0' || c == '.'; })) ++p;
    return out.append(p, end);
}

char* format_tenths_count_long_to(char* out, std::int32_t tenths) {
    return std::to_chars(out, out + 11, tenths).ptr;
}

char* format_tenths_to(char* out, double x) {
    if (!(x >= -1e9 && x <= 1e9)) x = x > 0.0 ? 1e9 : x < 0.0 ? -1e9 : 0.0;  // NaN too
    // Halves away from zero, as llround, without the library call.
    long long t = static_cast<long long>(x * 10.0 + (x < 0.0 ? -0.5 : 0.5));
    if (t < 0) {
        *out++ = '-';
        t = -t;
    }
    char digits[12];
    int n = 0;
    for (long long whole = t / 10; n == 0 || whole > 0; whole /= 10)
        digits[n++] = static_cast<char>('0' + whole % 10);
    while (n > 0) *out++ = digits[--n];
    *out++ = '.';
    *out++ = static_cast<char>('0' + t % 10);
    return out;
}

std::string format_shortest(double x) {
    if (!std::isfinite(x)) return "0";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

namespace {

std::string to_text(double x, std::chars_format form, int precision) {
    // The longest fixed text of a double has 309 digits before the point.
    std::string text(static_cast<std::size_t>(std::max(precision, 0)) + 330, ' ');
    const auto res =
        std::to_chars(text.data(), text.data() + text.size(), x, form, std::max(precision, 0));
    text.resize(static_cast<std::size_t>(res.ptr - text.data()));
    return text;
}

}  // namespace

std::string format_fixed(double x, int decimals) {
    return to_text(x, std::chars_format::fixed, decimals);
}

std::string format_exponent(double x, int decimals) {
    std::string text = to_text(x, std::chars_format::scientific, decimals);
    if (const std::size_t e = text.find('e'); e != std::string::npos) text[e] = 'E';
    return text;
}

std::string format_significant(double x, int significant) {
    return to_text(x, std::chars_format::general, std::max(significant, 1));
}

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

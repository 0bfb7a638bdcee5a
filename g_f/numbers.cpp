// Number layouts. std::to_chars keeps them independent of the locale.
#include "g_f/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace orvalt {

namespace {

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

}  // namespace

int digit_count(std::int32_t v) {
    if (v == 0) return 1;
    // The value goes through single precision on purpose: above 2^24 a value
    // just below a power of ten is carried up to it and counts one more. The
    // logarithm itself is taken in double precision, so every magnitude that
    // single precision holds exactly gets its exact digit count.
    const float magnitude = std::fabs(static_cast<float>(v));
    const double lg = std::log10(static_cast<double>(magnitude));
    int count = static_cast<int>(lg) + 1;
    if (v < 0) ++count;
    return count;
}

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

std::string format_with_su(double x, double su, int decimals) {
    x += 0.0;
    if (!(su > 0.0) || !std::isfinite(su)) {
        std::string text = format_fixed(x, decimals);
        if (text.find('.') != std::string::npos) {
            while (text.ends_with('0')) text.pop_back();
            if (text.ends_with('.')) text.pop_back();
        }
        return text + "(0)";
    }
    // The su's leading digits and the power of ten of the last one kept, read
    // off its decimal form ("1.6e+01": digits 16, last digit at 10^0).
    const auto rounded = [su](int precision, std::string& digits, int& last) {
        const std::string t = to_text(su, std::chars_format::scientific, precision);
        const std::size_t e = t.find('e');
        digits.clear();
        for (std::size_t i = 0; i < e; ++i)
            if (t[i] != '.') digits += t[i];
        int exponent = 0;
        std::from_chars(t.data() + e + (t[e + 1] == '+' ? 2 : 1), t.data() + t.size(), exponent);
        last = exponent - precision;
    };
    // A value that rounds to zero is written without its sign.
    const auto unsigned_zero = [](std::string text) {
        if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos)
            text.erase(0, 1);
        return text;
    };
    std::string digits;
    int last = 0;
    rounded(1, digits, last);
    if (digits > "19") rounded(0, digits, last);
    if (last <= 0) return unsigned_zero(format_fixed(x, -last)) + "(" + digits + ")";
    // The su's last digit lies left of the point: x rounded to it, the su
    // written whole.
    const double unit = std::pow(10.0, last);
    return unsigned_zero(format_fixed(std::nearbyint(x / unit) * unit, 0)) + "(" + digits +
           std::string(static_cast<std::size_t>(last), '0') + ")";
}

}  // namespace orvalt

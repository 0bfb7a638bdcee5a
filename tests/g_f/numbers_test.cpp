// Number layouts and parsing, and the text routines beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "g_f/case_blind_compare.h"
#include "g_f/number_parsing.h"
#include "g_f/numbers.h"
#include "g_f/text.h"
#include "tests/support.h"

namespace orvalt {
namespace {

TEST(FormatGeneral, LayoutsAtTheirBoundaries) {
    const std::pair<double, const char*> w14s7[] = {
        {12.5, "  12.50000    "}, {1234567, "  1234567.    "}, {12345678, " 0.1234568E+08"},
        {0.05, " 0.5000000E-01"}, {0, "  0.000000    "}, {-0.0, "  0.000000    "},
        // the choice between the forms is made on the value rounded to 7 digits
        {9999999.6, " 0.1000000E+08"}, {9999999.4, "  9999999.    "}, {9.99999996, "  10.00000    "},
        {0.09999999996, " 0.1000000    "}, {0.0999999, " 0.9999990E-01"}, {-12.5, " -12.50000    "},
        {-12345678, "-0.1234568E+08"}, {-0.5, "-0.5000000    "},
        // beyond +-99 the exponent keeps its sign and three digits without the E
        {1e-100, " 0.1000000E-99"}, {-1e-101, "-0.1000000-100"}, {1.797e308, " 0.1797000+309"},
        {std::nan(""), "           NaN"}, {-std::numeric_limits<double>::infinity(), "     -Infinity"}};
    for (const auto& [x, text] : w14s7) EXPECT_EQ(format_real7(x), text) << x;
    EXPECT_EQ(format_real13(-1.5406), " -1.540600000000    ");
    EXPECT_EQ(format_data_value(0.00123456789012345), "  0.123456789012345E-002");
    EXPECT_EQ(format_data_value(-1e300), " -0.100000000000000E+301");
    EXPECT_EQ(format_data_value(-123456789012345.0), "  -123456789012345.     ");
    EXPECT_EQ(format_data_line(10.0, -2.5, 0.001),
              "   10.0000000000000     " " " "  -2.50000000000000     " " " "  0.100000000000000E-002");
}

// Reads a general-notation text back; a three-digit exponent written
// without its "E" gets it back first.
double read_back(std::string text) {
    const std::size_t first = text.find_first_not_of(' ');
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const std::size_t sign = text.find_first_of("+-", 1);
    if (sign != std::string::npos && text[sign - 1] != 'E') text.insert(sign, "E");
    double v = 0;
    EXPECT_TRUE(parse_real(text, v)) << text;
    return v;
}

double rounded_to(double x, int s) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, s - 1);
    double v = 0;
    std::from_chars(buf, r.ptr, v);
    return v;
}

TEST(FormatGeneral, RandomValuesKeepTheWidthAndReadBackRounded) {
    std::mt19937_64 gen(20240117);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-40, 40);
    const std::array<int, 3> layouts[] = {{14, 7, 2}, {20, 13, 2}, {24, 15, 3}};
    for (int i = 0; i < 20000; ++i) {
        double x = mantissa(gen) * std::pow(10.0, exponent(gen));
        if (i % 4 == 0) {  // any bit pattern at all, subnormals, NaN and infinities included
            const std::uint64_t b = gen();
            std::memcpy(&x, &b, sizeof x);
        }
        for (const auto& [w, s, e] : layouts) {
            const std::string text = format_general(x, w, s, e);
            ASSERT_EQ(text.size(), static_cast<std::size_t>(w)) << x;
            if (std::isfinite(x)) {
                ASSERT_EQ(read_back(text), rounded_to(x, s)) << text;
            }
        }
    }
}

TEST(FormatInteger, MinimalWidthThroughTheSinglePrecisionDigitCount) {
    const std::pair<std::int32_t, int> counts[] = {
        {0, 1}, {-1, 2}, {9, 1}, {10, 2}, {-10, 3}, {999999, 6}, {1000000, 7}, {9999994, 7},
        {2147483647, 10}, {-2147483647 - 1, 11},
        // exact wherever single precision holds the value; one more just above 2^24 below 10^8
        {9999995, 7}, {16777216, 8}, {-9999999, 8}, {99999999, 9}};
    for (const auto& [v, n] : counts) EXPECT_EQ(digit_count(v), n) << v;
    EXPECT_EQ(format_integer(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(format_integer(99999999), " 99999999");
    EXPECT_EQ(format_integer_width(-12345, 3), "-12345");
}

// The pictures' tick labels and the scan table's figures: fixed decimals
// and the shortest form.
TEST(FormatPicture, FixedAndShortest) {
    std::string text;
    EXPECT_EQ(append_fixed(text, -0.001, 2), "0.00");
    EXPECT_EQ(append_fixed(text, 0.06, 2), "0.000.06");
    text.clear();
    EXPECT_EQ(append_fixed(text, HUGE_VAL, 0), "0");
    EXPECT_EQ(format_shortest(0.1 + 0.2), "0.30000000000000004");
}

// One case per rule: two digits of an su that reads 10 to 19, else one; the
// value rounded to the su's last digit; an su left of the point written
// whole; rounding that carries into a new digit; no su.
TEST(FormatWithSu, AsCrystallographersWriteIt) {
    const struct {
        double v, su;
        const char* text;
    } cases[] = {
        {2974.75, 15.74470810569, "2975(16)"},      // 15.7 -> two digits
        {18.1818181818182, 0.64282434653323, "18.2(6)"},  // 64 -> one digit
        {1013.33333333333, 2.59914513733, "1013(3)"},
        {5924, 76.9675256195754, "5920(80)"},       // su left of the point
        {12345, 96, "12300(100)"},                  // 96 rounds to 100: one digit
        {0.0123456, 0.00019, "0.01235(19)"},        // 19 keeps two
        {0.0123456, 0.000196, "0.0123(2)"},         // 19.6 rounds to 20: one
        {7.25, 1.0, "7.2(10)"},                     // 10 keeps two
        {-0.04, 0.2, "0.0(2)"},                     // a zero without its sign
        {0, 1.4142135623731, "0.0(14)"},
        {1234.5, 0.0, "1234.5(0)"},                 // no su: the value's own decimals
    };
    for (const auto& c : cases) EXPECT_EQ(format_with_su(c.v, c.su, 11), c.text) << c.v;
}

// Text from outside on one line: C0, DEL and C1 become "?", UTF-8 stays.
TEST(Text, OneLineKeepsTextOnItsLine) {
    EXPECT_EQ(one_line("/data/run\nX 1 2 3\r"), "/data/run?X 1 2 3?");
    EXPECT_EQ(one_line("a\x1b[31mb\x7f"), "a?[31mb?");
    EXPECT_EQ(one_line("\xc2\x9b" "2J \xc2\xa0"), "?2J \xc2\xa0");  // CSI goes, NBSP stays
    EXPECT_EQ(one_line("Größe/Jürgen"), "Größe/Jürgen");
}

TEST(Parse, NumberSyntaxAndFirstItems) {
    const std::pair<const char*, double> reals[] = {
        {"1.5", 1.5}, {".5", 0.5}, {"5.", 5.0}, {"-2e3", -2000.0}, {"1.0D0", 1.0}, {"1.5d-2", 0.015},
        // below the smallest double: 0; the smallest itself reads as itself
        {"1e-400", 0.0}, {"-0.0015D-99999999999", 0.0}, {"123456e-329", 0.0}, {"4.9e-324", 4.9e-324}};
    for (const auto& [text, v] : reals) {
        double got = -99;
        EXPECT_TRUE(parse_real(text, got) && got == v) << text;
    }
    double got = -99;
    for (const char* text : {"", ".", "e5", "1e", "1.5x", "nan", "inf", "1e400", "-0.001e312", "1000e306", " 1", "1,5", "0x10"})
        EXPECT_FALSE(parse_real(text, got)) << text;
    EXPECT_EQ(got, -99);  // untouched
    std::int32_t n = 0;
    EXPECT_TRUE(parse_integer("-2147483648", n) && n == -2147483647 - 1);
    for (const char* text : {"", "-", "2147483648", "1.5", "12abc", "1e3"})
        EXPECT_FALSE(parse_integer(text, n)) << text;
    // The first item of a free-layout text.
    EXPECT_TRUE(read_first_integer(" \t-12/3", n) && n == -12);
    EXPECT_TRUE(read_first_real("\t-3,4", got) && got == -3.0);
    EXPECT_TRUE(read_first_real("2.5D1 /", got) && got == 25.0);
    EXPECT_FALSE(read_first_integer(",5", n));
    for (const char* text : {",5", "   \t ", "abc 1", "1.5abc", "12/3"})
        EXPECT_FALSE(read_first_real(text, got)) << text;
}

// Plain decimals, nearly every position and time of a file, are read by a
// shortcut. It gives the bits from_chars gives, and it gives way to the
// general reading wherever more than a plain decimal stands, which leaves the
// value alone when it fails.
TEST(Parse, PlainDecimalsReadAsFromCharsReadsThem) {
    std::mt19937_64 rng(5);
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    for (int i = 0; i < 200000; ++i) {
        const auto digits = static_cast<int>(1 + rng() % 17);
        const auto point = static_cast<int>(rng() % static_cast<unsigned>(digits + 1));
        std::string s = rng() % 4 == 0 ? "-" : "";
        for (int k = 0; k < digits; ++k) {
            if (k == point) s += '.';
            s += static_cast<char>('0' + rng() % 10);
        }
        double expected = 0, got = -7;
        std::from_chars(s.data(), s.data() + s.size(), expected);
        ASSERT_TRUE(parse_real(s, got) && bits(got) == bits(expected)) << s;
        ASSERT_TRUE(read_first_real(" " + s + ",9", got) && bits(got) == bits(expected)) << s;
        ASSERT_TRUE(read_one_real("\t" + s + " ", got) == OneNumber::ok && bits(got) == bits(expected)) << s;
    }
    const struct {
        const char* text;
        bool first;
        OneNumber one;
        double value;  // what both leave in the value (-7: untouched)
    } cases[] = {
        {"12/3", false, OneNumber::not_a_number, -7}, {"1.2.3", false, OneNumber::not_a_number, -7},
        {"1e5x", false, OneNumber::not_a_number, -7}, {"7,8", true, OneNumber::more, 7},
        {"0.70 93170", true, OneNumber::more, 0.70},  {"2.5D1", true, OneNumber::ok, 25},
        {"+5", true, OneNumber::ok, 5},                {"-0", true, OneNumber::ok, -0.0}};
    for (const auto& c : cases) {
        double first = -7, one = -7;
        EXPECT_EQ(read_first_real(c.text, first), c.first) << c.text;
        EXPECT_EQ(read_one_real(c.text, one), c.one) << c.text;
        EXPECT_TRUE(bits(first) == bits(c.value) && bits(one) == bits(c.value)) << c.text;
    }
}

TEST(Text, CaseBlindCompareAndTrimmedLength) {
    test::Dialogue d;
    EXPECT_EQ(ovt_case_blind_compare(d.con, ".XRDML", ".xrdml"), 0);
    EXPECT_EQ(ovt_case_blind_compare(d.con, ".xrdm1", ".xrdml"), 1);
    // Only a..z map: '[' and '{', or an accented pair, lie 32 apart as letters do.
    EXPECT_EQ(ovt_case_blind_compare(d.con, "[", "{"), 1);
    EXPECT_EQ(ovt_case_blind_compare(d.con, "\xE9", "\xC9"), 1);
    EXPECT_EQ(d.text(), "");
    EXPECT_EQ(ovt_case_blind_compare(d.con, "ab", "abc"), -1);
    EXPECT_EQ(d.text(), " **ERROR in ovt$case_blind_compare\n **Strings are of unequal length\n");
    EXPECT_EQ(trimmed_length(std::string_view("  a b  \t\0", 10)), 5);
    // long padding, with a tab and a NUL among the blanks, and only blanks
    for (std::size_t n : {7u, 8u, 9u, 17u, 8192u}) {
        EXPECT_EQ(trimmed_length(std::string("x y") + std::string(n, ' ')), 3);
        EXPECT_EQ(trimmed_length(std::string("x y\t") + std::string(n, ' ') + '\0' + std::string(n, ' ')), 3);
        EXPECT_EQ(trimmed_length(std::string(n, ' ')), 0);
    }
}

}  // namespace
}  // namespace orvalt

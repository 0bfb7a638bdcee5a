#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "g_f/numbers.h"

namespace orvalt {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

TEST(FormatGeneral, LayoutsAtTheirBoundaries) {
    struct Case { double x; const char* w14s7; };
    const Case cases[] = {
        {12.5, "  12.50000    "},        {1234567, "  1234567.    "},
        {12345678, " 0.1234568E+08"},    {0.05, " 0.5000000E-01"},
        {0, "  0.000000    "},           {-0.0, "  0.000000    "},
        // the choice between the forms is made on the value rounded to 7 digits
        {9999999.6, " 0.1000000E+08"},   {9999999.4, "  9999999.    "},
        {9.99999996, "  10.00000    "},  {0.99999996, "  1.000000    "},
        {0.1, " 0.1000000    "},         {0.09999999996, " 0.1000000    "},
        {0.0999999, " 0.9999990E-01"},
        {-12.5, " -12.50000    "},       {-1234567, " -1234567.    "},
        {-12345678, "-0.1234568E+08"},   {-0.05, "-0.5000000E-01"},
        {-0.5, "-0.5000000    "},
        // beyond +-99 the exponent keeps its sign and three digits without the E
        {1e-100, " 0.1000000E-99"},      {1e100, " 0.1000000+101"},
        {-1e-101, "-0.1000000-100"},
        {std::numeric_limits<double>::max(), " 0.1797693+309"},
        {std::numeric_limits<double>::denorm_min(), " 0.4940656-323"},
        {std::nan(""), "           NaN"}, {inf, "      Infinity"}, {-inf, "     -Infinity"}};
    for (const Case& c : cases) EXPECT_EQ(format_real7(c.x), c.w14s7) << c.x;

    EXPECT_EQ(format_real13(1.5406), "  1.540600000000    ");
    EXPECT_EQ(format_real13(-1.5406), " -1.540600000000    ");
    EXPECT_EQ(format_real13(0), "  0.000000000000    ");
}

TEST(FormatGeneral, DataValuesAndLines) {
    EXPECT_EQ(format_data_value(0.00123456789012345), "  0.123456789012345E-002");
    EXPECT_EQ(format_data_value(-1e300), " -0.100000000000000E+301");
    EXPECT_EQ(format_data_value(-123456789012345.0), "  -123456789012345.     ");
    EXPECT_EQ(format_data_value(0), "   0.00000000000000     ");
    EXPECT_EQ(format_data_value(std::nan("")), "                     NaN");
    EXPECT_EQ(format_data_line(10.0, -2.5, 0.001),
              "   10.0000000000000     "
              " "
              "  -2.50000000000000     "
              " "
              "  0.100000000000000E-002");
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
    struct Layout { int w, s, e; };
    const Layout layouts[] = {{14, 7, 2}, {20, 13, 2}, {24, 15, 3}};
    for (int i = 0; i < 20000; ++i) {
        double x = mantissa(gen) * std::pow(10.0, exponent(gen));
        if (i % 4 == 0) {  // any bit pattern at all, subnormals, NaN and infinities included
            const std::uint64_t b = gen();
            std::memcpy(&x, &b, sizeof x);
        }
        for (const Layout& l : layouts) {
            const std::string text = format_general(x, l.w, l.s, l.e);
            ASSERT_EQ(text.size(), static_cast<std::size_t>(l.w)) << x;
            if (std::isfinite(x)) {
                ASSERT_EQ(read_back(text), rounded_to(x, l.s)) << text;
            }
        }
    }
}

TEST(FormatInteger, MinimalWidthThroughDigitCount) {
    EXPECT_EQ(format_integer(0), "0");
    EXPECT_EQ(format_integer(-1), "-1");
    EXPECT_EQ(format_integer(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(format_integer(9999999), "9999999");
    EXPECT_EQ(format_integer(99999999), " 99999999");
    EXPECT_EQ(format_integer_width(42, 5), "   42");
    EXPECT_EQ(format_integer_width(-12345, 3), "-12345");
}

TEST(Parse, RealsAndIntegersAcceptTheirSyntaxOnly) {
    const std::pair<const char*, double> reals[] = {
        {"1.5", 1.5}, {".5", 0.5}, {"5.", 5.0}, {"-2e3", -2000.0}, {"1.0D0", 1.0},
        {"+3", 3.0}, {"1.5d-2", 0.015}, {"1E+2", 100.0}, {"007", 7.0}};
    for (const auto& [text, v] : reals) {
        double got = -99;
        EXPECT_TRUE(parse_real(text, got) && got == v) << text;
    }
    for (const char* text : {"", ".", "+", "e5", "1e", "1e+", "1.5x", "nan", "inf", "Infinity",
                             "1e400", "-1D999", " 1", "1 ", "1,5", "0x10", "1.2.3", "+-1"}) {
        double got = -99;
        EXPECT_FALSE(parse_real(text, got)) << text;
        EXPECT_EQ(got, -99) << text;
    }

    const std::pair<const char*, std::int32_t> ints[] = {
        {"7", 7}, {"-12", -12}, {"+5", 5}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}, {"000000000000012", 12}};
    for (const auto& [text, v] : ints) {
        std::int32_t got = -99;
        EXPECT_TRUE(parse_integer(text, got) && got == v) << text;
    }
    for (const char* text : {"", "-", "+", "2147483648", "-2147483649", "1.5", "12abc", "1e3", " 1"}) {
        std::int32_t got = -99;
        EXPECT_FALSE(parse_integer(text, got)) << text;
        EXPECT_EQ(got, -99) << text;
    }
}

TEST(Parse, FirstItemOfAFreeLayoutText) {
    std::int32_t n = 0;
    EXPECT_TRUE(read_first_integer(" \t-12/3", n) && n == -12);
    for (const char* text : {",5", " ", "1.5", "12abc"}) EXPECT_FALSE(read_first_integer(text, n)) << text;

    const std::pair<const char*, double> good[] = {{"  1.5 2", 1.5}, {"\t-3,4", -3.0}, {"2.5D1 /", 25.0}};
    for (const auto& [text, v] : good) {
        double got = 0;
        EXPECT_TRUE(read_first_real(text, got) && got == v) << text;
    }
    for (const char* text : {",5", "   \t ", "", "abc 1", "1.5abc", "12/3"}) {
        double got = 9;
        EXPECT_FALSE(read_first_real(text, got)) << text;
        EXPECT_EQ(got, 9.0);
    }
}

}  // namespace
}  // namespace orvalt

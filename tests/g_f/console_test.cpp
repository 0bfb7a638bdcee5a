// The dialogue: questions, their defaults and refusals, and the program header.
#include <gtest/gtest.h>

#include <array>

#include "g_f/console.h"
#include "g_f/frame_chars.h"
#include "g_f/header.h"
#include "tests/support.h"

namespace orvalt {
namespace {

using test::Dialogue;
using test::stop_status;

std::string times(const std::string& s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

TEST(AskString, DefaultsCountsAndFieldLengths) {
    struct Case {
        std::string field, input;
        int flag;
        std::string want_field;
        int want_n;
        std::string want_out;
    };
    const std::string a250 = std::string(199, 'a') + std::string(51, 'b');
    const Case cases[] = {
        {"abc   ", "\n", 1, "abc   ", 3, " Give p (abc) > "},
        {"abc   ", "   \n", 1, "      ", 3, " Give p (abc) > "},
        {"abc   ", "new\r\n", 1, "new   ", 3, " Give p (abc) > "},
        {std::string(10, ' '), "\n", 1, std::string(10, ' '), 0, " Give p () > "},
        {"old ", "\n\nxy\n", 0, "xy  ", 2, times(" Give p > ", 3)},
        {"abcd", "\tabcdefgh \n", 1, "\tabc", 10, " Give p (abcd) > "},
        // the answer is seen through a 200-character buffer, but counted whole
        {std::string(300, 'o'), a250 + "\n", 0, a250.substr(0, 200) + std::string(100, ' '), 250,
         " Give p > "},
    };
    for (const Case& c : cases) {
        Dialogue d(c.input);
        std::string field = c.field;
        int n = -7;
        ask_string(d.con, field, "p", n, c.flag);
        EXPECT_EQ(field, c.want_field) << c.input;
        EXPECT_EQ(n, c.want_n) << c.input;
        EXPECT_EQ(d.text(), c.want_out) << c.input;
    }
}

TEST(AskInteger, AcceptedAnswersAndDefaults) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {"7", 7}, {"  -12", -12}, {"12 34", 12}, {"+5", 5}, {"12,3", 12}, {"12/", 12}, {"7\r", 7},
        {"-2147483648", -2147483647 - 1}, {"2147483647", 2147483647}, {"", 3},
        {",5", 3}, {"/", 3}, {"  , 8", 3},  // a leading separator keeps the value
        {std::string(78, ' ') + "1234", 12}};  // only 80 characters are seen
    for (const auto& [answer, expected] : cases) {
        Dialogue d(answer + "\n");
        std::int32_t v = 3;
        ask_integer(d.con, v, "n", 1);
        EXPECT_EQ(v, expected) << answer;
        EXPECT_EQ(d.text(), " Give n (3) > ") << answer;
    }
    for (const std::int32_t value : {-5, 99999999}) {  // the default as digit_count sizes it
        Dialogue d("\n");
        std::int32_t v = value;
        ask_integer(d.con, v, "n", 1);
        EXPECT_EQ(d.text(), value < 0 ? " Give n (-5) > " : " Give n ( 99999999) > ");
    }
    Dialogue d("\n 2\n");  // no default: an empty answer asks again
    std::int32_t v = 1;
    ask_integer(d.con, v, "n", 0);
    EXPECT_EQ(d.text() + std::to_string(v), " Give n >  Give n > 2");
}

TEST(AskInteger, RefusedAnswersRepeatTheQuestion) {
    const std::string refused[] = {"12abc", "1.5", "x", "F", " ", "\t", "2147483648", "-2147483649",
                                   "1*5", "-", "1e3", " \r", std::string(80, ' ') + "5"};
    for (const std::string& answer : refused) {
        Dialogue d(answer + "\n4\n");
        std::int32_t v = -5;
        ask_integer(d.con, v, "scan", 1);
        EXPECT_EQ(v, 4) << answer;
        EXPECT_EQ(d.text(), times(" Give scan (-5) > ", 2)) << answer;
    }
}

TEST(Ask, EndOfInputStops) {
    const std::string end = "\n **ERROR: End of input on the console\n";
    Dialogue d("\n"), e("abc\n");
    std::string field = "abc";
    int n = 0;
    std::int32_t v = 2;
    EXPECT_EQ(stop_status([&] { ask_string(d.con, field, "p", n, 0); }), 1);
    EXPECT_EQ(d.text(), " Give p >  Give p > " + end);
    EXPECT_EQ(stop_status([&] { ask_integer(e.con, v, "n", 1); }), 1);
    EXPECT_EQ(e.text(), " Give n (2) >  Give n (2) > " + end);
}

// The driver's banner, W = 41 with each frame character one column; 80 drawn, 81 refused.
TEST(ProgHeader, FrameAndWidths) {
    const auto& f = box_frame_chars();
#ifndef _WIN32
    EXPECT_EQ(f, (std::array<std::string, 6>{"\u250C", "\u2510", "\u2514", "\u2518", "\u2500", "\u2502"}));
#endif
    Dialogue d;
    std::int32_t unit = 0;
    prog_header(d.con, "ORVALT", "Read data from a .XRDML file", "A. N. Author", "23-1-14", 1, unit);
    EXPECT_EQ(unit, 6);
    EXPECT_EQ(d.text(), " " + f[0] + times(f[4], 39) + f[1] + "\n " +
                            f[5] + " ORVALT : Read data from a .XRDML file " + f[5] + "\n " +
                            f[5] + " A. N. Author" + std::string(18, ' ') + "23-1-14 " + f[5] + "\n " +
                            f[2] + times(f[4], 39) + f[3] + "\n\n");

    Dialogue d2;  // w1 = 10 + 3 + 63 = 76, W = 80
    prog_header(d2.con, std::string(10, 'n'), std::string(63, 'd'), "me", "today", 0, unit);
    const std::string edge = " " + std::string(80, '*') + "\n";
    EXPECT_EQ(d2.text(), edge + " * " + std::string(10, 'n') + " : " + std::string(63, 'd') + " *\n * me" +
                             std::string(69, ' ') + "today *\n" + edge + "\n");
    Dialogue d3;  // the second line decides: w2 = 77, W = 81
    const std::string author(70, 'a');
    EXPECT_EQ(stop_status([&] { prog_header(d3.con, "X", "Y", author, "bbbbbbb", 1, unit); }), 1);
    EXPECT_EQ(d3.text(), " **ERROR in prog_header : line is too long\n");
}

}  // namespace
}  // namespace orvalt

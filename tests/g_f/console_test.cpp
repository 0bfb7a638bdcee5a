#include <gtest/gtest.h>

#include "g_f/console.h"
#include "g_f/stop.h"
#include "support.h"

namespace orvalt {
namespace {

using test::Dialogue;
using test::stop_status;

std::string times(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
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
        {std::string(200, ' '), a250 + "\n", 1, a250.substr(0, 200), 250, " Give p () > "},
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

TEST(AskString, EndOfInputStops) {
    Dialogue d("\n");
    std::string field = "abc";
    int n = 0;
    EXPECT_EQ(stop_status([&] { ask_string(d.con, field, "p", n, 0); }), 1);
    EXPECT_EQ(d.text(), " Give p >  Give p > \n **ERROR: End of input on the console\n");
    EXPECT_EQ(field, "abc");
}

TEST(AskInteger, AcceptedAnswers) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {"7", 7}, {"  -12", -12}, {"12 34", 12}, {"+5", 5}, {"12,3", 12}, {"12/", 12},
        {"\t9", 9}, {"7\r", 7}, {"-2147483648", -2147483647 - 1}, {"2147483647", 2147483647},
        {",5", 3}, {"/", 3}, {"  , 8", 3},  // a leading separator keeps the value
        {std::string(78, ' ') + "1234", 12}};  // only 80 characters are seen
    for (const auto& [answer, expected] : cases) {
        Dialogue d(answer + "\n");
        std::int32_t v = 3;
        ask_integer(d.con, v, "n", 1);
        EXPECT_EQ(v, expected) << answer;
        EXPECT_EQ(d.text(), " Give n (3) > ") << answer;
    }
}

TEST(AskInteger, RefusedAnswersRepeatTheQuestion) {
    const std::string refused[] = {"12abc", "1.5", "x", "f3", "F", " ", "   ", "\t", "2147483648",
                                   "-2147483649", "1*5", "-", "1e3", " \r", std::string(80, ' ') + "5"};
    for (const std::string& answer : refused) {
        Dialogue d(answer + "\n4\n");
        std::int32_t v = -5;
        ask_integer(d.con, v, "scan", 1);
        EXPECT_EQ(v, 4) << answer;
        EXPECT_EQ(d.text(), times(" Give scan (-5) > ", 2)) << answer;
    }
}

TEST(AskInteger, DefaultDisplayNoDefaultAndEndOfInput) {
    const std::pair<std::int32_t, const char*> shown[] = {
        {0, " Give n (0) > "}, {-5, " Give n (-5) > "}, {99999999, " Give n ( 99999999) > "}};
    for (const auto& [value, question] : shown) {
        Dialogue d("\n");
        std::int32_t v = value;
        ask_integer(d.con, v, "n", 1);
        EXPECT_EQ(v, value);
        EXPECT_EQ(d.text(), question);
    }
    Dialogue d("\n 2\n");
    std::int32_t v = 1;
    ask_integer(d.con, v, "n", 0);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(d.text(), " Give n >  Give n > ");

    Dialogue e("abc\n");
    EXPECT_EQ(stop_status([&] { ask_integer(e.con, v, "n", 1); }), 1);
    EXPECT_EQ(e.text(), " Give n (2) >  Give n (2) > \n **ERROR: End of input on the console\n");
    EXPECT_EQ(v, 2);
}

TEST(SayRoutines, MessagesWithNumbers) {
    Dialogue d;
    say_integer(d.con, "count_scans: Number of scans in file = ", 12);
    say_integer(d.con, "v = ", -2147483647 - 1);
    say_real(d.con, "Wavelength = ", 1.5406);
    say_two_reals(d.con, "x from ", 12.5, " to ", 12345678);
    EXPECT_EQ(d.text(),
              " count_scans: Number of scans in file = 12\n"
              " v = -2147483648\n"
              " Wavelength =   1.540600000000    \n"
              " x from   12.50000     to  0.1234568E+08\n");
}

}  // namespace
}  // namespace orvalt

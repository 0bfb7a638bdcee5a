#include <gtest/gtest.h>

#include "g_f/header.h"
#include "g_f/platform.h"
#include "support.h"

namespace orvalt {
namespace {

using test::Dialogue;

std::string rep(const std::string& s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

TEST(ProgHeader, DriversBannerWithBoxFrame) {
    const auto& f = box_frame_chars();
#ifdef _WIN32
    const std::array<std::string, 6> expected{"\xDA", "\xBF", "\xC0", "\xD9", "\xC4", "\xB3"};
#else
    const std::array<std::string, 6> expected{"\u250C", "\u2510", "\u2514", "\u2518", "\u2500", "\u2502"};
#endif
    EXPECT_EQ(f, expected);
    Dialogue d;
    std::int32_t unit = 0;
    prog_header(d.con, "ORVALT", "Read data from a .XRDML file", "A. N. Author", "23-1-14", 1, unit);
    EXPECT_EQ(unit, 6);
    // W = 41 columns: each frame character is one
    EXPECT_EQ(d.text(), " " + f[0] + rep(f[4], 39) + f[1] + "\n" +
                            " " + f[5] + " ORVALT : Read data from a .XRDML file " + f[5] + "\n" +
                            " " + f[5] + " A. N. Author" + std::string(18, ' ') + "23-1-14 " + f[5] + "\n" +
                            " " + f[2] + rep(f[4], 39) + f[3] + "\n\n");
}

TEST(ProgHeader, WidthEightyIsDrawnEightyOneStops) {
    Dialogue d;  // w1 = 10 + 3 + 63 = 76, W = 80
    std::int32_t unit = 5;
    prog_header(d.con, std::string(10, 'n'), std::string(63, 'd'), "me", "today", 0, unit);
    EXPECT_EQ(unit, 5);
    const std::string edge = " " + std::string(80, '*') + "\n";
    EXPECT_EQ(d.text(), edge + " * " + std::string(10, 'n') + " : " + std::string(63, 'd') + " *\n" +
                            " * me" + std::string(69, ' ') + "today *\n" + edge + "\n");

    Dialogue d2;  // the second line decides: w2 = 77, W = 81
    unit = 0;
    EXPECT_EQ(test::stop_status([&] {
                  prog_header(d2.con, "X", "Y", std::string(70, 'a'), std::string(7, 'b'), 1, unit);
              }),
              1);
    EXPECT_EQ(d2.text(), " **ERROR in prog_header : line is too long\n");
    EXPECT_EQ(unit, 0);
}

TEST(ProgHeader, UnknownModeEmptyAndBlankPaddedTexts) {
    for (const std::int32_t mode : {2, -1}) {
        Dialogue d;
        std::int32_t unit = 0;
        prog_header(d.con, "", "", "", "", mode, unit);
        EXPECT_EQ(d.text(), " prog_header: Warning, unrecognised mode = " + std::to_string(mode) +
                                "\n *******\n *  :  *\n *     *\n *******\n\n");
    }
    Dialogue d;  // trailing blanks count: w1 = 8, w2 = 4, W = 12
    std::int32_t unit = 6;
    prog_header(d.con, "AB  ", "C", "D", "E  ", 0, unit);
    EXPECT_EQ(d.text(), " ************\n * AB   : C *\n * D    E   *\n ************\n\n");
}

}  // namespace
}  // namespace orvalt

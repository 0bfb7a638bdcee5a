#include <algorithm>
#include <gtest/gtest.h>

#include "g_f/text.h"
#include "support.h"

namespace orvalt {
namespace {

TEST(CaseBlindCompare, EqualApartFromCaseDifferentOrUnequalLength) {
    test::Dialogue d;
    EXPECT_EQ(ovt_case_blind_compare(d.con, ".XRDML", ".xrdml"), 0);
    EXPECT_EQ(ovt_case_blind_compare(d.con, ".xrdm1", ".xrdml"), 1);
    EXPECT_EQ(ovt_case_blind_compare(d.con, "", ""), 0);
    // Only a..z map: '[' and '{', or an accented pair, lie 32 apart as letters do.
    EXPECT_EQ(ovt_case_blind_compare(d.con, "[", "{"), 1);
    EXPECT_EQ(ovt_case_blind_compare(d.con, "\xE9", "\xC9"), 1);
    EXPECT_EQ(d.text(), "");

    EXPECT_EQ(ovt_case_blind_compare(d.con, "ab", "abc"), -1);
    EXPECT_EQ(d.text(), " **ERROR in ovt$case_blind_compare\n **Strings are of unequal length\n");
}

TEST(DigitCount, SinglePrecisionCount) {
    const std::pair<std::int32_t, int> cases[] = {
        {0, 1}, {7, 1}, {10, 2}, {-1, 2}, {-10, 3}, {99, 2}, {100, 3}, {999999, 6}, {1000000, 7},
        {9999994, 7}, {2147483647, 10}, {-2147483647 - 1, 11}, {1000000000, 10},
        // exact wherever single precision holds the value; one more just above 2^24 below 10^8
        {9999995, 7}, {16777216, 8}, {-9999999, 8}, {99999999, 9}};
    for (const auto& [v, n] : cases) EXPECT_EQ(digit_count(v), n) << v;
}

TEST(DigitCount, ExactAroundEveryPowerOfTenSinglePrecisionHolds) {
    for (std::int32_t p = 10, digits = 2; p <= 10000000; p *= 10, ++digits) {
        for (std::int32_t v = std::max(1, p - 50); v < p + 50; ++v) {
            const int expected = v < p ? digits - 1 : digits;
            EXPECT_EQ(digit_count(v), expected) << v;
            EXPECT_EQ(digit_count(-v), expected + 1) << -v;
        }
    }
}

TEST(TrimmedLength, SkipsBlanksTabsAndNuls) {
    EXPECT_EQ(trimmed_length(std::string_view("abc  \t\0", 7)), 3);
    EXPECT_EQ(trimmed_length("     "), 0);
    EXPECT_EQ(trimmed_length(""), 0);
    EXPECT_EQ(trimmed_length("  a b"), 5);
}

}  // namespace
}  // namespace orvalt

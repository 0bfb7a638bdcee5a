// Keyword scanning, element texts, number fields and ERRCHECK, and the line
// helpers of the passes held against the table-filling routines.
#include <gtest/gtest.h>

#include <random>

#include "g_f/numbers.h"
#include "support.h"

namespace orvalt::xrdml::test {
namespace {

bool search(std::string_view line, std::string_view keyword) {
    std::vector<std::int32_t> table;
    return KEYWORD_SEARCH(line, keyword, table);
}

TEST(Keywords, PrefixMatchOnFirstElementOnly) {
    EXPECT_TRUE(search("\t\t<intensities unit=\"counts\">1 2 3</intensities>", "intensities"));
    EXPECT_FALSE(search("<Intensities>1</Intensities>", "intensities"));
    EXPECT_TRUE(search("<counts>1</counts>", "counts"));
    EXPECT_TRUE(search("<countsExtra>1</countsExtra>", "counts"));
    EXPECT_FALSE(search("", "counts"));
    EXPECT_FALSE(search("                ", "counts"));
    EXPECT_FALSE(search("counts 1 2 3", "counts"));
    EXPECT_FALSE(search("<a><startPosition>1</startPosition>", "startPosition"));
    // The attributes belong to the compared text; the keyword may stop inside the tag.
    EXPECT_TRUE(search("<kAlpha1 unit=\"Angstrom\">1.54</kAlpha1>", "kAlpha1 unit=\"Angstrom\""));
    EXPECT_FALSE(search("<kAlpha1 unit=\"nm\">0.154</kAlpha1>", "kAlpha1 unit=\"Angstrom\""));
    // A keyword running past the end of the line does not match.
    EXPECT_FALSE(search("<count", "counts"));
}

TEST(Keywords, ElementText) {
    std::vector<std::int32_t> table;
    EXPECT_EQ(GET_VALUES_XRDML("<a x=\"1\">1.54</a>", table), "1.54");
    EXPECT_EQ(GET_VALUES_XRDML("<a></a>", table), "");
    EXPECT_EQ(GET_VALUES_XRDML("<a 1.54", table), "");            // no ">"
    EXPECT_EQ(GET_VALUES_XRDML("<a>1 2 3", table), "1 2 3");      // no closing "<"
    EXPECT_EQ(GET_VALUES_XRDML("x>1<y>2<", table), "1");
}

std::vector<std::int32_t> starts_of(std::string_view text) {
    std::vector<std::int32_t> s;
    const auto n = split_fields(text, s);
    return n == 0 ? std::vector<std::int32_t>{} : std::vector<std::int32_t>(s.begin(), s.begin() + n + 1);
}

TEST(Keywords, SplitFieldsExamples) {
    using V = std::vector<std::int32_t>;
    std::string text = "10 20  30";
    text.resize(80, ' ');
    EXPECT_EQ(starts_of(text), (V{1, 4, 8, 10}));
    EXPECT_EQ(starts_of(std::string(20, ' ')), V{});
    EXPECT_EQ(starts_of(""), V{});
    EXPECT_EQ(starts_of("\t\t"), V{});
    EXPECT_EQ(starts_of("5   "), (V{1, 2}));
    EXPECT_EQ(starts_of("1,2"), (V{1, 3, 4}));
    EXPECT_EQ(starts_of("1 ,2"), (V{1, 3, 4, 5}));  // the lone comma is a field of its own
    EXPECT_EQ(starts_of("\t7\t8\t"), (V{2, 4, 5}));
    EXPECT_EQ(starts_of("1 ,"), (V{1, 3, 3}));  // a last field of separators only is empty
}

TEST(Keywords, ErrcheckReportsAndStops) {
    Dialogue d;
    ReaderStatus ok;
    EXPECT_NO_THROW(ERRCHECK(d.con, ok));
    EXPECT_EQ(d.text(), "");

    ReaderStatus bad;
    bad.set(5, "Problem reading wavelength");
    EXPECT_EQ(bad.message.size(), 80u);
    try {
        ERRCHECK(d.con, bad);
        FAIL() << "no stop";
    } catch (const Stop& s) {
        EXPECT_EQ(s.status, 1);
    }
    EXPECT_EQ(d.text(), " ierr = 5\n Problem reading wavelength\n");

    bad.set(1, std::string(100, 'x'));
    EXPECT_EQ(bad.message, std::string(80, 'x'));
}

// Random lines built from the characters that matter, so that every branch of
// the two ways of testing a line is reached.
std::string random_line(std::mt19937& rng, std::string_view alphabet, std::size_t max_len) {
    std::string s(rng() % (max_len + 1), ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
}

TEST(Keywords, FastHelpersAgreeWithRoutines) {
    std::mt19937 rng(7);
    const std::string_view keywords[] = {"counts", "intensities", "ab", "a", "c<"};
    std::vector<std::int32_t> table;
    for (int i = 0; i < 20000; ++i) {
        std::string line = random_line(rng, "<>ab c\t", 12);
        if (i % 3 == 0) line.insert(rng() % (line.size() + 1), "<counts>");
        for (std::string_view kw : keywords)
            ASSERT_EQ(first_element(line).matches(kw), KEYWORD_SEARCH(line, kw, table))
                << '"' << line << "\" " << kw;
        ASSERT_EQ(element_text(line).text, GET_VALUES_XRDML(line, table)) << line;
    }
}

// read_number_fields against split_fields and one free-form read per field.
TEST(Keywords, NumberFieldsAgreeWithSplitAndRead) {
    std::mt19937 rng(11);
    std::vector<std::int32_t> starts;
    for (int i = 0; i < 20000; ++i) {
        const std::string text = random_line(rng, "0123456789  ,\t.-+eDx/", 24);
        std::vector<double> fast(40, -1.0);
        const FieldScan scan = read_number_fields(text, fast);
        const std::int32_t n = split_fields(text, starts);
        ASSERT_EQ(scan.count, n) << '"' << text << '"';
        std::int32_t first_bad = -1;
        for (std::int32_t k = 0; k < n; ++k) {
            const auto a = static_cast<std::size_t>(starts[static_cast<std::size_t>(k)] - 1);
            const auto b = static_cast<std::size_t>(starts[static_cast<std::size_t>(k) + 1] - 1);
            double v = 0;
            if (!read_first_real(std::string_view(text).substr(a, b - a), v)) {
                if (first_bad < 0) first_bad = k;
                continue;
            }
            ASSERT_EQ(v, fast[static_cast<std::size_t>(k)]) << '"' << text << "\" field " << k;
        }
        ASSERT_EQ(scan.first_bad, first_bad) << '"' << text << '"';
    }
}

TEST(Keywords, NumberFieldsReadOnlyWhatFits) {
    std::vector<double> out(2);
    const FieldScan scan = read_number_fields(" 1 2 3 x", out);
    EXPECT_EQ(scan.count, 4);
    EXPECT_EQ(scan.first_bad, -1);  // the bad field lies past the room given
    EXPECT_EQ(out, (std::vector<double>{1, 2}));
}

TEST(Keywords, CountShortcutIsParseReal) {
    for (std::string_view item : {"0", "007", "123456789012345", "1234567890123456", "18446744073709551616",
                                  "1.5", "+3", "-0", "1e3", "", "1a", "9x"}) {
        double fast = -7, slow = -7;
        const bool ok_fast = parse_count_or_real(item, fast);
        const bool ok_slow = parse_real(item, slow);
        EXPECT_EQ(ok_fast, ok_slow) << item;
        EXPECT_EQ(std::signbit(fast), std::signbit(slow)) << item;
        EXPECT_EQ(fast, slow) << item;
    }
}

}  // namespace
}  // namespace orvalt::xrdml::test

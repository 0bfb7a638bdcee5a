// The line helpers of the passes: the first element, element texts, number
// fields (held against a field-by-field reading) and count totals; ERRCHECK;
// the line reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

#include "g_f/line_reader.h"
#include "g_f/number_parsing.h"
#include "tests/support.h"
#include "tests/support/xrdml_passes.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {
namespace {

using namespace orvalt::test;

TEST(Keywords, PrefixMatchOnFirstElementOnly) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"\t\t<intensities unit=\"counts\">1 2 3</intensities>", "intensities", true},
        {"<Intensities>1</Intensities>", "intensities", false},
        {"<countsExtra>1</countsExtra>", "counts", true},
        {"                ", "counts", false},
        {"counts 1 2 3", "counts", false},
        {"<a><startPosition>1</startPosition>", "startPosition", false},
        // the attributes belong to the compared text; the keyword may stop inside the tag
        {"<kAlpha1 unit=\"Angstrom\">1.54</kAlpha1>", "kAlpha1 unit=\"Angstrom\"", true},
        {"<kAlpha1 unit=\"nm\">0.154</kAlpha1>", "kAlpha1 unit=\"Angstrom\"", false},
        {"<count", "counts", false}};  // a keyword running past the end of the line
    for (const auto& [line, keyword, found] : cases)
        EXPECT_EQ(first_element(line).matches(keyword), found) << line;

    const std::tuple<const char*, const char*, bool> texts[] = {
        {"<a x=\"1\">1.54</a>", "1.54", true},
        {"<a 1.54", "", false},            // no ">"
        {"<a>1 2 3", "1 2 3", false},      // no closing "<"
        {"<a>1<b>2</b></a>", "1", true}};  // up to the next "<"
    for (const auto& [line, text, closed] : texts) {
        EXPECT_EQ(element_text(line).text, text) << line;
        EXPECT_EQ(element_text(line).closed, closed) << line;
    }
}

// Fields separated by blanks, commas or tabs: how many, and which is the
// first that is no number.
TEST(Keywords, NumberFieldsOfAList) {
    std::string padded = "10 20  30";
    padded.resize(80, ' ');
    const std::tuple<std::string, std::vector<double>, std::int32_t> cases[] = {
        {padded, {10, 20, 30}, -1}, {std::string(20, ' '), {}, -1}, {"5   ", {5}, -1},
        {"1,2", {1, 2}, -1},        {"\t7\t8\t", {7, 8}, -1},
        {"1 ,2", {1, 0, 2}, 1},  // the lone comma is a field of its own
        {"1 ,", {1, 0}, 1}};     // a last field of separators only is empty
    for (const auto& [text, values, first_bad] : cases) {
        std::vector<double> read(8, 0.0);
        const FieldScan scan = read_number_fields(text, read);
        EXPECT_EQ(scan.count, static_cast<std::int32_t>(values.size())) << text;
        EXPECT_EQ(scan.first_bad, first_bad) << text;
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (static_cast<std::int32_t>(k) == first_bad) continue;
            EXPECT_EQ(read[k], values[k]) << text;
        }
    }
}

TEST(Keywords, ErrcheckReportsAndStops) {
    Dialogue d;
    ERRCHECK(d.con, ReaderStatus{});
    ReaderStatus bad;
    bad.set(5, "Problem reading wavelength");
    EXPECT_EQ(bad.message.size(), 80u);
    EXPECT_EQ(stop_status([&] { ERRCHECK(d.con, bad); }), 1);
    EXPECT_EQ(d.text(), " ierr = 5\n Problem reading wavelength\n");
}

// Random lines built from the characters that matter, so that every branch of
// the two ways of reading a list is reached.
std::string random_line(std::mt19937& rng, std::string_view alphabet, std::size_t max_len) {
    std::string s(rng() % (max_len + 1), ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
}

// read_number_fields against the fields found position by position and read
// one by one in free form; every other line mostly counts, of every length,
// next to each other.
TEST(Keywords, NumberFieldsAgreeWithAFieldByFieldReading) {
    std::mt19937 rng(7);
    std::vector<std::int32_t> starts;
    std::string counts_and_blanks;
    for (int k = 0; k < 50; ++k) counts_and_blanks += "0123456789  ";
    counts_and_blanks += 'x';
    for (int i = 0; i < 30000; ++i) {
        // Long lines of counts and blanks are read 64 bytes at a time: runs
        // of up to 10 digits across the blocks' edges, and now and then a
        // byte that sends the reading back to field by field.
        const std::string text =
            i % 3 == 0   ? random_line(rng, "0123456789  ,\t.-+eDx/", 24)
            : i % 3 == 1 ? random_line(rng, "0123456789012345678     \t,", 80)
                         : random_line(rng, counts_and_blanks, 400);
        std::vector<double> fast(100, -1.0);
        const FieldScan scan = read_number_fields(text, fast);
        const std::int32_t n = split_fields(text, starts);
        ASSERT_EQ(scan.count, n) << text;
        std::int32_t first_bad = -1;
        for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
            const auto a = static_cast<std::size_t>(starts[k] - 1);
            const auto b = static_cast<std::size_t>(starts[k + 1] - 1);
            double v = 0;
            if (!read_first_real(std::string_view(text).substr(a, b - a), v)) {
                if (first_bad < 0) first_bad = static_cast<std::int32_t>(k);
            } else {
                ASSERT_EQ(v, fast[k]) << text << " field " << k;
            }
        }
        ASSERT_EQ(scan.first_bad, first_bad) << text;
    }
    std::vector<double> room(2);  // fields past the room given are counted, not read
    EXPECT_EQ(read_number_fields(" 1 2 3 x", room).first_bad, -1);
    EXPECT_EQ(room, (std::vector<double>{1, 2}));
    for (std::string_view item : {"007", "1234567890123456", "18446744073709551616", "-0", "1e3", "9x"}) {
        double fast = -7, slow = -7;
        EXPECT_EQ(parse_count_or_real(item, fast), parse_real(item, slow)) << item;
        EXPECT_EQ(std::signbit(fast), std::signbit(slow)) << item;
        EXPECT_EQ(fast, slow) << item;
    }
}

// The totals of a list of counts, read a block at a time, against its fields
// read one by one: lists across block edges, counts of 1 to 9 digits with
// leading zeros, and now and then a byte that is no digit or blank.
TEST(Keywords, CountTotalsAgreeWithFields) {
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        std::string text(rng() % 3, ' ');
        const std::size_t length = rng() % 300;
        while (text.size() < length) {
            const std::size_t digits = rng() % 8 == 0 ? rng() % 9 + 1 : rng() % 5 + 1;
            for (std::size_t k = 0; k < digits; ++k) text += static_cast<char>('0' + rng() % 10);
            text.append(rng() % 4 == 0 ? 2 : 1, ' ');
        }
        if (i % 10 == 0 && !text.empty()) text[rng() % text.size()] = "\t,.x-"[rng() % 5];
        bool plain = text.find_first_not_of("0123456789 ") == std::string::npos;
        std::size_t run = 0;
        for (const char c : text) plain = plain && (run = c == ' ' ? 0 : run + 1) <= 8;
        const CountTotals totals = total_counts(text);
        ASSERT_EQ(totals.plain, plain && sizeof(std::size_t) == 8) << text;
        if (!totals.plain) continue;
        std::vector<double> values(text.size() + 1);
        const FieldScan scan = read_number_fields(text, values);
        values.resize(static_cast<std::size_t>(scan.count));
        ASSERT_EQ(totals.count, scan.count) << text;
        double sum = 0.0, maximum = 0.0;
        for (const double v : values) {
            sum += v;
            maximum = std::max(maximum, v);
        }
        ASSERT_EQ(static_cast<double>(totals.sum), sum) << text;
        ASSERT_EQ(static_cast<double>(totals.maximum), maximum) << text;
    }
}

std::vector<std::string> read_lines(const std::string& path) {
    LineReader r(path);
    std::vector<std::string> out;
    std::string_view line;
    while (r.next(line)) out.emplace_back(line);
    return out;
}

// Line ends, lines far longer than a block, and a CRLF split between two blocks.
TEST(LineReader, LineEndsAndBlockBoundaries) {
    TempDir dir;
    using V = std::vector<std::string>;
    EXPECT_EQ(read_lines(dir.write("empty", "")), V{});
    // a CR ends a line only before LF or at the end of the file
    EXPECT_EQ(read_lines(dir.write("cr", "a\rb\r\n\nc\r")), (V{"a\rb", "", "c"}));
    V expected;
    std::string bytes;
    std::vector<std::uint64_t> starts;  // where each line begins
    std::mt19937 rng(12345);
    const std::size_t block = LineReader::block_size;
    for (int i = 0; i < 400; ++i) {
        const std::size_t length = i % 97 == 0 ? block * 2 + rng() % 70000 : rng() % 3000;
        expected.emplace_back(length, static_cast<char>('a' + i % 26));
        starts.push_back(bytes.size());
        bytes += expected.back() + (i % 2 ? "\r\n" : "\n");
    }
    expected.emplace_back(2 * block - 1 - bytes.size() % block, 'y');  // its CR ends a block
    starts.push_back(bytes.size());
    bytes += expected.back() + "\r\n";
    expected.emplace_back(block + 7, 'z');  // a long last line without line end
    starts.push_back(bytes.size());
    bytes += expected.back();
    EXPECT_EQ(read_lines(dir.write("long", bytes)), expected);

    // Each line's offset; after a seek to one, the lines from there on.
    LineReader r(dir.file("long"));
    std::vector<std::uint64_t> offsets;
    std::string_view line;
    while (r.next(line)) offsets.push_back(r.line_offset());
    EXPECT_EQ(offsets, starts);
    for (const std::size_t i : {0, 1, 97, 98, 250, 400, 401}) {
        ASSERT_TRUE(r.seek(starts[i]));
        V rest;
        while (r.next(line)) rest.emplace_back(line);
        EXPECT_EQ(rest, V(expected.begin() + static_cast<std::ptrdiff_t>(i), expected.end())) << i;
    }
}

}  // namespace
}  // namespace orvalt::xrdml

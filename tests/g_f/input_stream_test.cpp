// Compressed input: the line reader hands out the same lines, offsets and
// seeks for a .gz or .bz2 file as for the plain text, and a damaged archive
// ends the reading with its fault.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "g_f/input_stream.h"
#include "g_f/line_reader.h"
#include "tests/compress_support.h"
#include "tests/support.h"

namespace orvalt {
namespace {

using namespace orvalt::test;
using Fault = InputStream::Fault;

struct Reading {
    std::vector<std::string> lines;
    std::vector<std::uint64_t> offsets;
    Fault fault = Fault::none;
};

Reading read_lines(LineReader& r) {
    Reading out;
    std::string_view line;
    while (r.next(line)) {
        out.lines.emplace_back(line);
        out.offsets.push_back(r.line_offset());
    }
    out.fault = r.fault();
    return out;
}

// Lines longer than the reader's block among short ones, CRLF and LF.
std::string sample_text() {
    std::mt19937 rng(7);
    std::string text;
    for (int i = 0; i < 300; ++i) {
        const std::size_t length = i % 101 == 50 ? LineReader::block_size + rng() % 5000 : rng() % 2000;
        text += std::string(length, static_cast<char>('a' + i % 26)) + (i % 2 ? "\r\n" : "\n");
    }
    return text + "last line without its end";
}

TEST(CompressedInput, SameLinesOffsetsAndSeeksAsThePlainText) {
    TempDir dir;
    const std::string text = sample_text();
    LineReader plain(dir.write("plain.xrdml", text));
    const Reading expected = read_lines(plain);
    ASSERT_EQ(expected.lines.size(), 301u);

    const std::pair<const char*, std::string> cases[] = {
        {"one.xrdml.gz", gzip(text)},
        {"two_members.xrdml.GZ", gzip(text.substr(0, 777777)) + gzip(text.substr(777777))},
        {"one.xrdml.bz2", bzip2(text)},
        {"two_streams.xrdml.Bz2", bzip2(text.substr(0, 123457)) + bzip2(text.substr(123457))},
        {"empty_member.xrdml.gz", gzip("") + gzip(text)}};
    for (const auto& [name, bytes] : cases) {
        LineReader r(dir.write(name, bytes));
        const Reading got = read_lines(r);
        EXPECT_EQ(got.fault, Fault::none) << name;
        EXPECT_TRUE(got.lines == expected.lines) << name;
        EXPECT_EQ(got.offsets, expected.offsets) << name;
        // Back and forth: each seek gives the lines from there on.
        for (const std::size_t i : {250, 3, 151, 300, 0}) {
            ASSERT_TRUE(r.seek(expected.offsets[i])) << name << " line " << i;
            const Reading rest = read_lines(r);
            EXPECT_TRUE(rest.lines == std::vector<std::string>(expected.lines.begin() + static_cast<std::ptrdiff_t>(i),
                                                               expected.lines.end()))
                << name << " from line " << i;
        }
        char head[8] = {};
        EXPECT_EQ(r.read_at(expected.offsets[1], head, sizeof head), sizeof head) << name;
        EXPECT_EQ(std::string(head, sizeof head), expected.lines[1].substr(0, 8)) << name;
        EXPECT_FALSE(r.seek(text.size() + 1)) << name;
    }
}

TEST(CompressedInput, DamagedArchivesEndTheReadingWithTheirFault) {
    TempDir dir;
    const std::string text = sample_text();
    const std::string gz = gzip(text), bz = bzip2(text);
    const auto flipped = [](std::string s, std::size_t at) {
        for (std::size_t i = at; i < at + 64; ++i) s[i] = static_cast<char>(s[i] ^ 0x5A);
        return s;
    };
    struct Case {
        const char* name;
        std::string bytes;
        Fault fault;
    };
    const Case cases[] = {
        {"cut.xrdml.gz", gz.substr(0, gz.size() / 2), Fault::truncated},
        {"cut_trailer.xrdml.gz", gz.substr(0, gz.size() - 4), Fault::truncated},
        {"header_only.xrdml.gz", gz.substr(0, 10), Fault::truncated},
        {"empty.xrdml.gz", "", Fault::truncated},
        {"flipped.xrdml.gz", flipped(gz, gz.size() / 3), Fault::corrupt},
        {"not_gzip.xrdml.gz", text, Fault::corrupt},
        {"trailing_garbage.xrdml.gz", gz + "garbage after the member", Fault::corrupt},
        {"cut.xrdml.bz2", bz.substr(0, bz.size() / 2), Fault::truncated},
        {"empty.xrdml.bz2", "", Fault::truncated},
        {"flipped.xrdml.bz2", flipped(bz, bz.size() / 3), Fault::corrupt},
        {"not_bzip2.xrdml.bz2", text, Fault::corrupt}};
    for (const Case& c : cases) {
        LineReader r(dir.write(c.name, c.bytes));
        const Reading got = read_lines(r);
        EXPECT_EQ(got.fault, c.fault) << c.name;
        std::size_t length = 0;
        r.seek(0);
        while (r.next_length(length)) {
        }
        EXPECT_EQ(r.fault(), c.fault) << c.name << " (lengths only)";
    }
}

// What may follow a gzip member: zero bytes (tape blocks, as gzip -t and zcat
// take them), nothing else. A bzip2 file gets no such allowance.
TEST(CompressedInput, ZeroPaddingAfterAGzipMemberEndsTheText) {
    TempDir dir;
    const std::string text = sample_text();
    LineReader plain(dir.write("plain.xrdml", text));
    const Reading expected = read_lines(plain);
    const std::string gz = gzip(text), zeros(70000, '\0');
    const std::pair<const char*, std::string> whole[] = {
        {"one_zero.xrdml.gz", gz + '\0'},
        {"blocks.xrdml.gz", gz + zeros + zeros + zeros + zeros},  // past one block of input
        {"two_members.xrdml.gz", gzip(text.substr(0, 5000)) + gzip(text.substr(5000)) + zeros}};
    for (const auto& [name, bytes] : whole) {
        LineReader r(dir.write(name, bytes));
        const Reading got = read_lines(r);
        EXPECT_EQ(got.fault, Fault::none) << name;
        EXPECT_TRUE(got.lines == expected.lines) << name;
        ASSERT_TRUE(r.seek(expected.offsets[200])) << name;
        EXPECT_EQ(read_lines(r).lines.size(), expected.lines.size() - 200) << name;
    }
    const std::pair<const char*, std::string> damaged[] = {
        {"zeros_then_garbage.xrdml.gz", gz + zeros + "x"},
        {"zeros_then_member.xrdml.gz", gz + zeros + gz},
        {"zeros_before.xrdml.gz", zeros + gz},
        {"zeros.xrdml.gz", zeros},
        {"padded.xrdml.bz2", bzip2(text) + zeros}};
    for (const auto& [name, bytes] : damaged) {
        LineReader r(dir.write(name, bytes));
        EXPECT_EQ(read_lines(r).fault, Fault::corrupt) << name;
    }
}

// A compressed text beyond the limit ends the reading at the limit, whole up
// to there; a plain file has none (its size is there to see).
TEST(CompressedInput, TextBeyondTheLimitEndsTheReading) {
    TempDir dir;
    const std::string text = sample_text();
    const std::string names[] = {dir.write("t.xrdml.gz", gzip(text)),
                                 dir.write("t.xrdml.bz2", bzip2(text))};
    for (const std::string& name : names) {
        const std::pair<std::uint64_t, Fault> limits[] = {
            {text.size(), Fault::none}, {text.size() - 1, Fault::too_large}, {0, Fault::too_large}};
        for (const auto& [limit, fault] : limits) {
            InputStream in;
            ASSERT_TRUE(in.open(name, limit));
            std::string got(text.size() + 10, '\0');
            const std::size_t n = in.read(got.data(), got.size());
            EXPECT_EQ(in.fault(), fault) << name << " " << limit;
            EXPECT_EQ(got.substr(0, n), text.substr(0, limit)) << name << " " << limit;
            EXPECT_EQ(in.read(got.data(), 1), 0u) << name << " " << limit;
        }
    }
    InputStream plain;
    ASSERT_TRUE(plain.open(dir.write("t.xrdml", text), 10));
    std::string got(text.size(), '\0');
    EXPECT_EQ(plain.read(got.data(), got.size()), text.size());
    EXPECT_EQ(plain.fault(), Fault::none);
}

TEST(CompressedInput, NamesAndFaultTexts) {
    EXPECT_EQ(compression_of("a.xrdml.gz"), Compression::gzip);
    EXPECT_EQ(compression_of("A.XRDML.BZ2"), Compression::bzip2);
    EXPECT_EQ(compression_of("a.xrdml"), Compression::none);
    EXPECT_EQ(compression_of("gz"), Compression::none);
    EXPECT_EQ(without_compression_suffix("run7.xrdml.Gz"), "run7.xrdml");
    EXPECT_EQ(without_compression_suffix("run7.xrdml.bz2"), "run7.xrdml");
    EXPECT_EQ(without_compression_suffix("run7.xrdml"), "run7.xrdml");
    // Every message fits the reader's 80-character message field.
    for (const Fault f : {Fault::read_error, Fault::corrupt, Fault::truncated, Fault::unsupported,
                          Fault::too_large})
        for (const Compression c : {Compression::gzip, Compression::bzip2})
            EXPECT_LE(fault_text(f, c).size(), 80u);
}

}  // namespace
}  // namespace orvalt

// Our Genie library on its own: the bytes it writes, the failures it reports
// and a reader that survives damaged files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "genie/g2file.h"
#include "genie/genie.h"
#include "tests/g_f/support.h"

namespace orvalt {
namespace {

using test::TempDir;

std::vector<unsigned char> bytes_of(const std::string& path) {
    const std::string s = test::read_all(path);
    return {s.begin(), s.end()};
}

void select(const std::string& path) {
    GF_SELECT_DESTINATION(path.data(), static_cast<std::int32_t>(path.size()), "G2", 2);
}

void put(const char* mode) { GF_PUT("ws", 2, "data", 4, 0, mode, 3, "Data points", 11); }

// A workspace "ws" with an int32 scalar and a float64 array of n values.
void fill(std::int32_t ntc, const std::vector<double>& y) {
    GF_ASSIGN_HANDLE("ws", 2, "fields()", 8);
    const std::int32_t scalar = 0, array = 1, n = static_cast<std::int32_t>(y.size());
    GF_TRANSFER("ws.ntc", 6, "<--", 3, "int32", 5, &ntc, scalar, scalar);
    GF_TRANSFER("ws.y", 4, "<--", 3, "float64[]", 9, y.data(), array, n);
}

// The stored form, spelt out: little-endian whatever the host.
TEST(GenieLibrary, WritesTheDocumentedBytes) {
    TempDir dir;
    const std::string path = dir.file("bytes.write");
    fill(0x01020304, {1.0});
    select(path + "   ");  // blanks after a name are padding
    put("new");
    GF_RELEASE_HANDLE("ws", 2);

    auto str = [](std::vector<unsigned char>& v, const std::string& s) {
        v.insert(v.end(), {static_cast<unsigned char>(s.size()), 0, 0, 0});
        v.insert(v.end(), s.begin(), s.end());
    };
    std::vector<unsigned char> body;
    str(body, "ws");
    str(body, "data");
    body.insert(body.end(), {0, 0, 0, 0});
    str(body, "Data points");
    body.insert(body.end(), {2, 0, 0, 0});
    str(body, "ws.ntc");
    str(body, "int32");
    body.insert(body.end(), {0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0x04, 0x03, 0x02, 0x01});
    str(body, "ws.y");
    str(body, "float64[]");
    body.insert(body.end(), {1, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0});
    body.insert(body.end(), {0, 0, 0, 0, 0, 0, 0xF0, 0x3F});  // 1.0
    std::vector<unsigned char> expected{0x89, 'G', '2', 'F', '\r', '\n', 0x1A, '\n', 1, 0, 0, 0};
    expected.insert(expected.end(), {static_cast<unsigned char>(body.size()), 0, 0, 0});
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(bytes_of(path), expected);
}

// Each refused call: one line on standard error, one more failure, no file.
TEST(GenieLibrary, RefusedCallsAreReportedAndCounted) {
    TempDir dir;
    const std::string path = dir.file("refused.write");
    const std::int32_t scalar = 0, value = 1;
    auto refused = [&](const std::function<void()>& call, const std::string& message) {
        const int before = genie_failure_count();
        testing::internal::CaptureStderr();
        call();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "genie: " + message + "\n");
        EXPECT_EQ(genie_failure_count(), before + 1);
    };
    refused([&] { GF_TRANSFER("nows.ntc", 8, "<--", 3, "int32", 5, &value, scalar, scalar); },
            "GF_TRANSFER \"nows.ntc\": no workspace of that name");
    GF_ASSIGN_HANDLE("ws", 2, "fields()", 8);
    refused([&] { GF_TRANSFER("ws.ntc", 6, "-->", 3, "int32", 5, &value, scalar, scalar); },
            "GF_TRANSFER \"ws.ntc\": direction \"-->\" is not supported");
    refused([&] { GF_TRANSFER("ws.ntc", 6, "<--", 3, "int64", 5, &value, scalar, scalar); },
            "GF_TRANSFER \"ws.ntc\": unknown type \"int64\"");
    refused([&] { GF_TRANSFER("ws.y", 4, "<--", 3, "float64[]", 9, nullptr, 1, 3); },
            "GF_TRANSFER \"ws.y\": no values given");
    refused([&] { GF_SELECT_DESTINATION(path.data(), 5, "G3", 2); },
            "GF_SELECT_DESTINATION: form \"G3\" is not supported");
    refused([&] { put("new"); }, "GF_PUT: no file selected for \"ws\"");
    select(path);
    refused([&] { put("old"); }, "GF_PUT: mode \"old\" is not supported; " + path + " not written");
    GF_RELEASE_HANDLE("ws", 2);
    refused([&] { put("new"); }, "GF_PUT: no workspace named \"ws\"");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(GenieLibrary, NoEntryIsAddedToAFileThatIsNotAGenieFile) {
    TempDir dir;
    const std::string path = dir.write("notes.txt", "some text the user keeps\n");
    const int before = genie_failure_count();
    fill(1, {1.0});
    select(path);
    testing::internal::CaptureStderr();
    put("   ");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "genie: cannot add an entry to " + path + ": it is not a Genie file (left unchanged)\n");
    EXPECT_EQ(genie_failure_count(), before + 1);
    EXPECT_EQ(test::read_all(path), "some text the user keeps\n");

    // An empty file is taken as a new one.
    const std::string empty = dir.write("empty.write", "");
    select(empty);
    put("   ");
    EXPECT_EQ(genie_failure_count(), before + 1);
    genie::File f;
    std::string error;
    EXPECT_TRUE(genie::read_file(empty, f, error)) << error;
    EXPECT_EQ(f.entries.size(), 1u);
    GF_RELEASE_HANDLE("ws", 2);
}

TEST(GenieLibrary, AWriteThatFailsOnCloseIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    const int before = genie_failure_count();
    fill(1, {1.0});
    select("/dev/full");
    testing::internal::CaptureStderr();
    put("new");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("genie: cannot write /dev/full: ") + std::strerror(ENOSPC) + "\n");
    EXPECT_EQ(genie_failure_count(), before + 1);
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    GF_RELEASE_HANDLE("ws", 2);
}

// Two entries, as a reader sees them on disk.
std::vector<unsigned char> two_entry_file(const TempDir& dir, std::size_t& first_end) {
    const std::string path = dir.file("two.write");
    fill(2, {1.0, 2.0});
    select(path);
    put("new");
    first_end = bytes_of(path).size();
    fill(3, {3.0, 4.0, 5.0});
    put("   ");
    GF_RELEASE_HANDLE("ws", 2);
    return bytes_of(path);
}

TEST(GenieReader, ReadsBackEveryEntry) {
    TempDir dir;
    std::size_t first_end = 0;
    const auto data = two_entry_file(dir, first_end);
    genie::File f;
    std::string error;
    ASSERT_TRUE(genie::parse_file(data, f, error)) << error;
    EXPECT_EQ(f.version, 1u);
    ASSERT_EQ(f.entries.size(), 2u);
    EXPECT_EQ(f.entries[1].find("ws.y")->float64s(), (std::vector<double>{3.0, 4.0, 5.0}));
    EXPECT_EQ(f.entries[1].find("ws.ntc")->int32s(), std::vector<std::int32_t>{3});
    EXPECT_EQ(f.entries[1].find("ws.nothing"), nullptr);
    // A decoder of the wrong type gives nothing rather than reinterpreted bytes.
    EXPECT_TRUE(f.entries[1].find("ws.y")->int32s().empty());
}

TEST(GenieReader, RefusesMissingAndForeignFiles) {
    TempDir dir;
    genie::File f;
    std::string error;
    EXPECT_FALSE(genie::read_file(dir.file("absent.write"), f, error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    EXPECT_FALSE(genie::read_file(dir.write("text.write", "Data from: x\n"), f, error));
    EXPECT_EQ(error, "not a Genie file (no Genie signature)");
    std::vector<unsigned char> v2{0x89, 'G', '2', 'F', '\r', '\n', 0x1A, '\n', 2, 0, 0, 0};
    EXPECT_FALSE(genie::parse_file(v2, f, error));
    EXPECT_EQ(error, "Genie file version 2 is not supported");
}

// Every cut of the file is refused, except where a whole entry ends.
TEST(GenieReader, EveryTruncationIsRefusedExceptAtEntryBoundaries) {
    TempDir dir;
    std::size_t first_end = 0;
    const auto data = two_entry_file(dir, first_end);
    for (std::size_t n = 0; n < data.size(); ++n) {
        const std::vector<unsigned char> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
        genie::File f;
        std::string error;
        const bool ok = genie::parse_file(cut, f, error);
        EXPECT_EQ(ok, n == genie::file_header_size || n == first_end) << "cut at " << n;
        if (!ok) {
            EXPECT_FALSE(error.empty());
        }
    }
}

// Damage anywhere must give a result or a message, never a read outside the
// data (the sanitizers watch this) or a huge allocation.
TEST(GenieReader, SurvivesDamageToAnyByte) {
    TempDir dir;
    std::size_t first_end = 0;
    const auto data = two_entry_file(dir, first_end);
    for (std::size_t i = 0; i < data.size(); ++i) {
        for (const unsigned b : {0x00u, 0x7Fu, 0xFFu}) {
            auto damaged = data;
            damaged[i] = static_cast<unsigned char>(b);
            genie::File f;
            std::string error;
            if (!genie::parse_file(damaged, f, error)) {
                EXPECT_FALSE(error.empty());
            }
        }
    }
    // A field that claims more values than its type and extent allow.
    auto bad = data;
    // ws.y ends the first entry: extent, value size, then two values.
    const std::size_t y_extent = first_end - 16 - 4 - 4;
    bad[y_extent] = 3;
    genie::File f;
    std::string error;
    EXPECT_FALSE(genie::parse_file(bad, f, error));
    EXPECT_NE(error.find("holds 16 bytes, its type and extent call for 24"), std::string::npos)
        << error;
}

}  // namespace
}  // namespace orvalt

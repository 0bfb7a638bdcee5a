// Our Genie library on its own: the bytes it writes, the calls it refuses,
// and a reader that survives damaged files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <tuple>

#include "genie/g2file.h"
#include "genie/genie.h"
#include "tests/support.h"
#include "tests/support/genie_files.h"

namespace orvalt {
namespace {

using test::TempDir;

void select(const std::string& path) {
    GF_SELECT_DESTINATION(path.data(), static_cast<std::int32_t>(path.size()), "G2", 2);
}
void put(const char* mode) { GF_PUT("ws", 2, "data", 4, 0, mode, 3, "Data points", 11); }

// A workspace "ws" with an int32 scalar and a float64 array.
void fill(std::int32_t ntc, const std::vector<double>& y) {
    GF_ASSIGN_HANDLE("ws", 2, "fields()", 8);
    GF_TRANSFER("ws.ntc", 6, "<--", 3, "int32", 5, &ntc, 0, 0);
    GF_TRANSFER("ws.y", 4, "<--", 3, "float64[]", 9, y.data(), 1, static_cast<std::int32_t>(y.size()));
}

std::vector<unsigned char> bytes_of(const std::string& path) {
    const std::string s = test::read_all(path);
    return {s.begin(), s.end()};
}

// Bytes read back as the reader reads a file.
bool parse(const TempDir& dir, const std::vector<unsigned char>& data, test::GenieFile& file,
           std::string& error) {
    return test::read_genie_file(dir.write("parsed.write", std::string(data.begin(), data.end())),
                                 file, error);
}

// The stored form as documented: little-endian whatever the host.
TEST(GenieLibrary, WritesTheDocumentedBytes) {
    TempDir dir;
    const std::string path = dir.file("bytes.write");
    const std::int32_t n = 0x01020304;  // not named ntc: a value that shows the byte order
    const float f = 1.0f;
    const double y = 1.0;
    GF_ASSIGN_HANDLE("ws", 2, "fields()", 8);
    GF_TRANSFER("ws.n", 4, "<--", 3, "int32", 5, &n, 0, 0);
    GF_TRANSFER("ws.f", 4, "<--", 3, "float32", 7, &f, 0, 0);
    GF_TRANSFER("ws.y", 4, "<--", 3, "float64[]", 9, &y, 1, 1);
    select(path + "   " + '\0' + std::string(20, ' '));  // blanks and NULs after a name are padding
    put("new");
    GF_RELEASE_HANDLE("ws", 2);
    std::vector<unsigned char> body;
    auto add = [&body](std::initializer_list<std::string> texts, std::initializer_list<unsigned char> raw) {
        for (const std::string& s : texts) {
            body.insert(body.end(), {static_cast<unsigned char>(s.size()), 0, 0, 0});
            body.insert(body.end(), s.begin(), s.end());
        }
        body.insert(body.end(), raw);
    };
    add({"ws", "data"}, {0, 0, 0, 0});
    add({"Data points"}, {3, 0, 0, 0});
    add({"ws.n", "int32"}, {0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0x04, 0x03, 0x02, 0x01});
    add({"ws.f", "float32"}, {0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0x80, 0x3F});
    add({"ws.y", "float64[]"}, {1, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
    std::vector<unsigned char> expected{0x89, 'G', '2', 'F', '\r', '\n', 0x1A, '\n', 1, 0, 0, 0,
                                        static_cast<unsigned char>(body.size()), 0, 0, 0};
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(bytes_of(path), expected);
    // The reader gives each value back in its own type.
    test::GenieFile file;
    std::string error;
    ASSERT_TRUE(test::read_genie_file(path, file, error)) << error;
    EXPECT_EQ(file.entries.at(0).find("ws.f")->float32s(), std::vector<float>{1.0f});
}

// A field set again keeps its place and takes the new values; a workspace
// name of any length is stored whole, in a new file and an added entry.
TEST(GenieLibrary, FieldSetAgainKeepsItsPlace) {
    TempDir dir;
    const std::string path = dir.file("again.write");
    for (const std::string& name : {std::string("ws"), std::string(300, 'w')}) {
        const auto n = static_cast<std::int32_t>(name.size());
        const std::int32_t one = 1, two = 2;
        const std::vector<double> y1 = {1.0}, y2 = {2.0, 3.0};
        GF_ASSIGN_HANDLE(name.data(), n, "fields()", 8);
        for (const auto& [field, value, type, rank, extent] :
             {std::tuple{".ntc", static_cast<const void*>(&one), "int32", 0, 0},
              std::tuple{".y", static_cast<const void*>(y1.data()), "float64[]", 1, 1},
              std::tuple{".ntc", static_cast<const void*>(&two), "int32", 0, 0},
              std::tuple{".y", static_cast<const void*>(y2.data()), "float64[]", 1, 2}}) {
            const std::string f = name + field;
            const std::string_view t = type;
            GF_TRANSFER(f.data(), static_cast<std::int32_t>(f.size()), "<--", 3, t.data(),
                        static_cast<std::int32_t>(t.size()), value, rank, extent);
        }
        select(path);
        GF_PUT(name.data(), n, "data", 4, 0, name == "ws" ? "new" : "   ", 3, "Data points", 11);
        GF_RELEASE_HANDLE(name.data(), n);
    }
    test::GenieFile file;
    std::string error;
    ASSERT_TRUE(test::read_genie_file(path, file, error)) << error;
    ASSERT_EQ(file.entries.size(), 2u);
    for (const auto& entry : file.entries) {
        ASSERT_EQ(entry.fields.size(), 2u);
        EXPECT_EQ(entry.fields[0].name, entry.workspace + ".ntc");
        EXPECT_EQ(entry.fields[0].int32s(), std::vector<std::int32_t>{2});
        EXPECT_EQ(entry.fields[1].float64s(), (std::vector<double>{2.0, 3.0}));
    }
    EXPECT_EQ(file.entries[1].workspace, std::string(300, 'w'));
}

// The file an entry was added to stays open for the next entry; each entry
// is whole in the file once the file is let go, and a file that was removed
// or changed in between is opened and checked again, as on the first append.
TEST(GenieLibrary, AFileKeptOpenTakesEntriesOnlyWhileUnchanged) {
    TempDir dir;
    const std::string path = dir.file("kept.write");
    const auto entries = [&] {
        test::GenieFile file;
        std::string error;
        return test::read_genie_file(path, file, error) ? file.entries.size() : 0u;
    };
    const std::vector<double> y = {1.0};
    fill(1, y);
    select(path);
    struct Case {
        const char* what;
        std::function<void()> between;  // after two entries, before the third
        std::size_t expected;           // entries in the file after the third
    };
    for (const Case& c : {Case{"let go", [] { genie_close_file(); }, 3},
                          Case{"removed", [&] { std::filesystem::remove(path); }, 1},
                          Case{"replaced", [&] { dir.write("kept.write", "notes\n"); }, 0}}) {
        put("new");
        put("   ");
        EXPECT_EQ(entries(), 2u) << c.what;
        c.between();
        testing::internal::CaptureStderr();
        put("   ");
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(entries(), c.expected) << c.what;
    }
    EXPECT_EQ(test::read_all(path), "notes\n");  // a file not ours is left alone
    genie_close_file();
    GF_RELEASE_HANDLE("ws", 2);
}

// Small entries added to a kept file gather in memory and go in by the
// megabyte: every one is in the file once it is let go, in order; a file
// changed under entries still waiting takes none of them, and says so.
TEST(GenieLibrary, EntriesGatheredForAKeptFileGoInWhole) {
    TempDir dir;
    const std::string path = dir.file("many.write");
    std::vector<double> y(1000);
    select(path);
    for (int k = 0; k < 300; ++k) {  // 300 entries of 8 kB: 2.4 MB
        y[0] = k;
        fill(1000, y);
        put(k == 0 ? "new" : "   ");
    }
    genie_close_file();
    test::GenieFile file;
    std::string error;
    ASSERT_TRUE(test::read_genie_file(path, file, error)) << error;
    ASSERT_EQ(file.entries.size(), 300u);
    for (int k : {0, 1, 150, 299})
        EXPECT_EQ(file.entries[static_cast<std::size_t>(k)].find("ws.y")->float64s()[0], k);
    // Two entries waiting (the second of a kept file went in at once), then
    // the file is written over by another program: they are dropped.
    put("new");
    put("   ");
    put("   ");
    put("   ");
    dir.write("many.write", "notes\n");
    const int before = genie_failure_count();
    testing::internal::CaptureStderr();
    put("   ");
    genie_close_file();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("it changed while entries were added"),
              std::string::npos);
    EXPECT_GT(genie_failure_count(), before);
    EXPECT_TRUE(test::read_all(path) == "notes\n");  // not shown: it may hold binary bytes
    GF_RELEASE_HANDLE("ws", 2);
}

// Each refused call: one line on standard error and one more failure; a file
// that is not ours is left alone.
TEST(GenieLibrary, RefusedCallsAreReportedAndCounted) {
    TempDir dir;
    const std::string notes = dir.write("notes.txt", "some text the user keeps\n");
    auto refused = [&](const std::function<void()>& call, const std::string& message) {
        const int before = genie_failure_count();
        testing::internal::CaptureStderr();
        call();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "genie: " + message + "\n");
        EXPECT_EQ(genie_failure_count(), before + 1);
    };
    GF_ASSIGN_HANDLE("ws", 2, "fields()", 8);
    refused([&] { GF_SELECT_DESTINATION("x.write", 7, "G3", 2); },
            "GF_SELECT_DESTINATION: form \"G3\" is not supported");
    refused([&] { put("new"); }, "GF_PUT: no file selected for \"ws\"");
    select(notes);
    refused([&] { put("   "); },
            "cannot add an entry to " + notes + ": it is not a Genie file (left unchanged)");
    EXPECT_EQ(test::read_all(notes), "some text the user keeps\n");
    if (std::filesystem::exists("/dev/full")) {  // a write that fails on closing
        select("/dev/full");
        refused([&] { put("new"); }, std::string("cannot write /dev/full: ") + std::strerror(ENOSPC));
    }
    GF_RELEASE_HANDLE("ws", 2);
}

TEST(GenieReader, RefusesForeignFilesAndSurvivesAnyDamage) {
    TempDir dir;
    test::GenieFile f;
    std::string error;
    EXPECT_FALSE(test::read_genie_file(dir.file("absent.write"), f, error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    EXPECT_FALSE(test::read_genie_file(dir.write("text.write", "Data from: x\n"), f, error));
    EXPECT_EQ(error, "not a Genie file: no Genie signature (at byte 0)");

    // Two entries; the file is cut at every length and each byte damaged in turn.
    const std::string path = dir.file("two.write");
    fill(2, {1.0, 2.0});
    select(path);
    put("new");
    const std::size_t first_end = bytes_of(path).size();
    fill(3, {3.0, 4.0, 5.0});
    put("   ");
    GF_RELEASE_HANDLE("ws", 2);
    const auto data = bytes_of(path);
    ASSERT_TRUE(parse(dir, data, f, error)) << error;
    ASSERT_EQ(f.entries.size(), 2u);
    EXPECT_EQ(f.entries[1].find("ws.y")->float64s(), (std::vector<double>{3.0, 4.0, 5.0}));
    for (std::size_t n = 0; n < data.size(); ++n) {  // refused except where the first entry ends
        const std::vector<unsigned char> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
        error.clear();
        const bool ok = parse(dir, cut, f, error);
        EXPECT_EQ(ok, n == first_end) << "cut at " << n;
        EXPECT_TRUE(ok || !error.empty());
    }
    // Damage must give a result or a message, never a read outside the data
    // (the sanitizers watch this) or a huge allocation.
    for (std::size_t i = 0; i < data.size(); ++i) {
        for (const int b : {0x00, 0x7F, 0xFF}) {
            auto damaged = data;
            damaged[i] = static_cast<unsigned char>(b);
            error.clear();
            EXPECT_TRUE(parse(dir, damaged, f, error) || !error.empty()) << i;
        }
    }
}

// One file per rule of the format, each otherwise sound: the reader refuses
// it and says where, at the first byte of the field the format's description
// names; the library refuses to write the same thing.
TEST(GenieReader, RefusesEveryFileThatBreaksARule) {
    struct F {
        std::string name, type;
        std::int32_t rank, extent;
        std::vector<unsigned char> values;
    };
    const auto u32 = [](std::vector<unsigned char>& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const auto file_of = [&](const std::vector<F>& fields) {
        std::vector<unsigned char> body;
        const auto str = [&](const std::string& t) {
            u32(body, static_cast<std::uint32_t>(t.size()));
            body.insert(body.end(), t.begin(), t.end());
        };
        str("ws");
        str("data");
        u32(body, 0);
        str("Data points");
        u32(body, static_cast<std::uint32_t>(fields.size()));
        for (const F& f : fields) {
            str(f.name);
            str(f.type);
            u32(body, static_cast<std::uint32_t>(f.rank));
            u32(body, static_cast<std::uint32_t>(f.extent));
            u32(body, static_cast<std::uint32_t>(f.values.size()));
            body.insert(body.end(), f.values.begin(), f.values.end());
        }
        std::vector<unsigned char> data(genie::file_signature.begin(), genie::file_signature.end());
        u32(data, genie::file_version);
        u32(data, static_cast<std::uint32_t>(body.size()));
        data.insert(data.end(), body.begin(), body.end());
        return data;
    };
    // The header, the entry length and the entry's own texts come first.
    const auto field_start = [](const std::vector<F>& fields, std::size_t j) {
        std::size_t at = genie::file_header_size + 4 + (4 + 2) + (4 + 4) + 4 + (4 + 11) + 4;
        for (std::size_t k = 0; k < j; ++k)
            at += 4 + fields[k].name.size() + 4 + fields[k].type.size() + 12 + fields[k].values.size();
        return at;
    };
    const std::vector<unsigned char> one(4, 1), two(8, 1), three_reals(24, 0), ten_reals(80, 0);
    const F ntc2{"ws.ntc", "int32", 0, 0, {2, 0, 0, 0}};
    const F ntc3{"ws.ntc", "int32", 0, 0, {3, 0, 0, 0}};
    const F y3{"ws.y", "float64[]", 1, 3, three_reals}, y10{"ws.y", "float64[]", 1, 10, ten_reals};
    const struct {
        std::vector<F> fields;
        std::size_t culprit;  // the field whose first byte is reported
        const char* why;
    } broken[] = {
        {{{"ws.n", "int32", 1, 1, one}}, 0, "type int32 at rank 1 with extent 1 (its rank is 0)"},
        {{{"ws.s", "string", 0, 0, {'a'}}}, 0, "type string at rank 0 with extent 0 (its rank is 1)"},
        {{{"ws.q", "quad", 7, -3, {}}}, 0, "unknown type \"quad\""},
        {{ntc2, {"ws.n", "int32", 0, 1, one}}, 1, "(a single value has extent 0)"},
        {{{"ws.a", "int32[]", 1, -3, {}}}, 0, "(an extent is 0 or more)"},
        {{{"ws.a", "int32[]", 1, 2, one}}, 0, "holds 4 bytes, its type and extent call for 8"},
        {{ntc2, y3}, 1, "ws.y holds 3 values, not ntc (2)"},
        {{y3, ntc2}, 0, "ws.y holds 3 values, not ntc (2)"},
        {{{"ws.ntc", "int32", 0, 0, {0xFF, 0xFF, 0xFF, 0xFF}}}, 0, "ws.ntc is not a single int32"},
        {{ntc2, {"ws.x", "int32[]", 1, 4, std::vector<unsigned char>(16)}}, 1, "ws.x holds 4 values"},
        {{ntc2, {"ws.nut", "int32", 0, 0, {3, 0, 0, 0}}, {"ws.ut", "int32[]", 1, 2, two}}, 2,
         "ws.ut holds 2 values, not nut (3)"},
        // A name twice is refused whichever of the two would keep the other rules.
        {{ntc3, y10, y3}, 2, "field 3: field \"ws.y\" appears twice (first as field 2)"},
        {{ntc3, y3, y10}, 2, "field 3: field \"ws.y\" appears twice (first as field 2)"},
        {{{"ws.note", "string", 1, 1, {'a'}}, {"ws.n", "int32", 0, 0, one}, {"ws.note", "int32", 0, 0, one}},
         2, "field \"ws.note\" appears twice (first as field 1)"},
    };
    test::GenieFile f;
    std::string error;
    TempDir dir;
    const F bins{"ws.x", "int32[]", 1, 3, std::vector<unsigned char>(12)};
    ASSERT_TRUE(parse(dir, file_of({ntc2, bins}), f, error)) << error;  // one x more than y
    for (const auto& b : broken) {
        error.clear();
        EXPECT_FALSE(parse(dir, file_of(b.fields), f, error)) << b.why;
        EXPECT_NE(error.find(b.why), std::string::npos) << error;
        EXPECT_TRUE(error.ends_with(" (at byte " + std::to_string(field_start(b.fields, b.culprit)) + ")"))
            << error;
    }
    // What concerns the entry as a whole is reported at its first byte.
    auto claims = file_of({ntc2});
    claims[53 - 4] = 0x7F;
    EXPECT_FALSE(parse(dir, claims, f, error));
    EXPECT_EQ(error, "entry 1: entry claims 127 fields, more than it can hold (at byte 12)");
    auto header_only = file_of({});
    header_only.resize(genie::file_header_size);
    EXPECT_FALSE(parse(dir, header_only, f, error));
    EXPECT_EQ(error, "the file holds no entry (at byte 12)");

    // The library takes none of these in the first place.
    const int before = genie_failure_count();
    testing::internal::CaptureStderr();
    const std::int32_t n = 2;
    GF_ASSIGN_HANDLE("ws", 2, "fields()", 8);
    GF_TRANSFER("ws.n", 4, "<--", 3, "int32", 5, &n, 1, 1);
    GF_TRANSFER("ws.s", 4, "<--", 3, "string", 6, "a", 0, 0);
    GF_TRANSFER("ws.n", 4, "<--", 3, "int32", 5, &n, 0, 1);
    fill(3, {1.0, 2.0});
    select(dir.file("bad.write"));
    put("new");
    GF_RELEASE_HANDLE("ws", 2);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(genie_failure_count(), before + 4);
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.write")));
}

// Labels and titles as g2dump --columns prints them: the markup as plain
// text, and whatever the text holds on one line.
TEST(GenieReader, LabelsAsPlainText) {
    const std::pair<std::string, std::string> cases[] = {
        {"Momentum Transfer Q (\\A\\u-1\\d)", "Momentum Transfer Q (1/angstrom)"},
        {"d-Spacing (\\A)                          ", "d-Spacing (angstrom)"},
        {"C:\\\\data\\\\run7.xrdml", "C:\\data\\run7.xrdml"},
        {"Area (cm\\u2\\d)", "Area (cm^2)"},
        {"\\u-1\\d alone", "^-1 alone"},
        {"I\\dhkl\\u and on", "I_hkl and on"},
        {"two\nlines\r", "two\\x0Alines\\x0D"},
        {std::string("tab\there\0x \0 ", 13) + std::string(3, '\0'), "tab\\x09here\\x00x"},
        {"\\Z stays, so does an end \\", "\\Z stays, so does an end \\"},
        {"Phi", "Phi"}};
    for (const auto& [markup, plain] : cases) EXPECT_EQ(genie::plain_text(markup), plain) << markup;
}

}  // namespace
}  // namespace orvalt

// The Genie writer end to end: what it hands to the library comes back
// through the reader field by field.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "g_f/genie_writer.h"
#include "g_f/text.h"
#include "genie/g2file.h"
#include "genie/genie.h"
#include "tests/g_f/support.h"

namespace orvalt {
namespace {

using test::Dialogue;
using test::TempDir;

// The driver's way of calling the writer: g2intinit values, then its labels.
struct Writer {
    G2IntGenDp h;
    Dialogue d;
    std::int32_t ierr = 77;

    Writer() {
        g2intinit(h);
        set_field(h.xlabel, "2-theta");
        set_field(h.ylabel, "Counts");
        h.ut[29] = 1.5406;
    }
    void write(const std::string& file, const std::vector<double>& x, const std::vector<double>& y,
               const std::vector<double>& e, std::int32_t ntc, std::int32_t nx, std::int32_t inew,
               std::int32_t iprint = 0) {
        write_g2int_ng(d.con, field(file, 200), h.filefield, h.xlabel, h.ylabel, h.user_name,
                       h.inst_name, h.title, h.time, h.history, x, y, e, h.ut, h.delta, h.fi, h.l1,
                       h.l2, h.efixed, h.twotheta, h.run_duration, ntc, nx, h.nut, h.emode,
                       h.ispec_no, h.irun_no, inew, iprint, ierr);
    }
};

genie::File read_back(const std::string& path) {
    genie::File f;
    std::string error;
    EXPECT_TRUE(genie::read_file(path, f, error)) << error;
    return f;
}

struct Expected {
    const char* name;
    const char* type;
    std::int32_t rank;
    std::int32_t extent;
};

TEST(GenieWriter, OneEntryHoldsTheTwentyFourFieldsInOrderWithTheirValues) {
    TempDir dir;
    const std::string path = dir.file("run7.write");
    activate_genie_session();
    deactivate_genie_session();  // as the driver does: the writer runs without a session
    const int failures = genie_failure_count();
    Writer w;
    w.write(path, {10.0, 10.5, 11.0}, {4.0, 9.0, 16.0}, {2.0, 3.0, 4.0}, 3, 3, 1);
    EXPECT_EQ(genie_failure_count(), failures);
    EXPECT_EQ(w.ierr, 77);
    EXPECT_EQ(w.d.text(), "");  // iprint 0: silent

    const auto file = read_back(path);
    ASSERT_EQ(file.entries.size(), 1u);
    const auto& e = file.entries[0];
    EXPECT_EQ(e.workspace, "h_block");
    EXPECT_EQ(e.kind, "data");
    EXPECT_EQ(e.index, 0);
    EXPECT_EQ(e.description, "Data points");

    const std::array<Expected, 24> table{{
        {"h_block.file", "string", 1, 80},       {"h_block.ntc", "int32", 0, 0},
        {"h_block.x", "float64[]", 1, 3},        {"h_block.y", "float64[]", 1, 3},
        {"h_block.e", "float64[]", 1, 3},        {"h_block.xlabel", "string", 1, 40},
        {"h_block.ylabel", "string", 1, 40},     {"h_block.spec_no", "string", 1, 10},
        {"h_block.delta", "float64", 0, 0},      {"h_block.user_name", "string", 1, 20},
        {"h_block.nut", "int32", 0, 0},          {"h_block.ut", "float64[]", 1, 30},
        {"h_block.run_no", "string", 1, 10},     {"h_block.emode", "int32", 0, 0},
        {"h_block.fi", "float64", 0, 0},         {"h_block.l1", "float64", 0, 0},
        {"h_block.l2", "float64", 0, 0},         {"h_block.efixed", "float64", 0, 0},
        {"h_block.twotheta", "float64", 0, 0},   {"h_block.run_duration", "float64", 0, 0},
        {"h_block.inst_name", "string", 1, 8},   {"h_block.title", "string", 1, 80},
        {"h_block.time", "string", 1, 20},       {"h_block.history", "string", 1, 200},
    }};
    ASSERT_EQ(e.fields.size(), table.size());
    for (std::size_t k = 0; k < table.size(); ++k) {
        SCOPED_TRACE(table[k].name);
        EXPECT_EQ(e.fields[k].name, table[k].name);
        EXPECT_EQ(e.fields[k].type, table[k].type);
        EXPECT_EQ(e.fields[k].rank, table[k].rank);
        EXPECT_EQ(e.fields[k].extent, table[k].extent);
    }

    auto real = [&](const char* name) { return e.find(name)->float64s().at(0); };
    auto text = [&](const char* name) { return e.find(name)->text(); };
    EXPECT_EQ(e.find("h_block.ntc")->int32s(), std::vector<std::int32_t>{3});
    EXPECT_EQ(e.find("h_block.x")->float64s(), (std::vector<double>{10.0, 10.5, 11.0}));
    EXPECT_EQ(e.find("h_block.y")->float64s(), (std::vector<double>{4.0, 9.0, 16.0}));
    EXPECT_EQ(e.find("h_block.e")->float64s(), (std::vector<double>{2.0, 3.0, 4.0}));
    std::vector<double> ut(30, 0.0);
    ut[29] = 1.5406;
    EXPECT_EQ(e.find("h_block.ut")->float64s(), ut);
    EXPECT_EQ(e.find("h_block.nut")->int32s(), std::vector<std::int32_t>{30});
    EXPECT_EQ(e.find("h_block.emode")->int32s(), std::vector<std::int32_t>{0});
    EXPECT_EQ(real("h_block.delta"), 0.0);
    EXPECT_EQ(real("h_block.fi"), 0.0);
    EXPECT_EQ(real("h_block.l1"), 10.0);
    EXPECT_EQ(real("h_block.l2"), 1.0);
    EXPECT_EQ(real("h_block.efixed"), 1.0);
    EXPECT_EQ(real("h_block.twotheta"), 90.0);
    EXPECT_EQ(real("h_block.run_duration"), 123.0);
    // Texts at their full declared length, trailing blanks and NULs kept.
    EXPECT_EQ(text("h_block.file"), std::string(80, '\0'));
    EXPECT_EQ(text("h_block.inst_name"), std::string(8, '\0'));
    EXPECT_EQ(text("h_block.xlabel"), field("2-theta", 40));
    EXPECT_EQ(text("h_block.ylabel"), field("Counts", 40));
    EXPECT_EQ(text("h_block.user_name"), field("user", 20));
    EXPECT_EQ(text("h_block.title"), field("title", 80));
    EXPECT_EQ(text("h_block.time"), field("now", 20));
    EXPECT_EQ(text("h_block.history"), field("none", 200));
    EXPECT_EQ(text("h_block.spec_no"), "1         ");
    EXPECT_EQ(text("h_block.run_no"), "12345     ");
}

TEST(GenieWriter, NewThenBlankModeGivesOneFileOfThreeEntries) {
    TempDir dir;
    const std::string path = dir.file("scans.write");
    dir.write("scans.write", "an older file of that name");  // "new" replaces it
    Writer w;
    w.write(path, {1.0}, {10.0}, {3.0}, 1, 1, 1);
    w.write(path, {2.0, 3.0}, {20.0, 30.0}, {4.0, 5.0}, 2, 2, 0);
    w.write(path, {4.0}, {40.0}, {6.0}, 1, 1, 0);
    const auto file = read_back(path);
    ASSERT_EQ(file.entries.size(), 3u);
    EXPECT_EQ(file.entries[0].find("h_block.y")->float64s(), std::vector<double>{10.0});
    EXPECT_EQ(file.entries[1].find("h_block.y")->float64s(), (std::vector<double>{20.0, 30.0}));
    EXPECT_EQ(file.entries[2].find("h_block.x")->float64s(), std::vector<double>{4.0});
    for (const auto& e : file.entries) EXPECT_EQ(e.fields.size(), 24u);

    // A further "new" starts the file again.
    w.write(path, {5.0}, {50.0}, {7.0}, 1, 1, 1);
    EXPECT_EQ(read_back(path).entries.size(), 1u);
}

TEST(GenieWriter, BlankModeOnAMissingFileCreatesIt) {
    TempDir dir;
    Writer w;
    w.write(dir.file("later.write"), {1.0}, {2.0}, {3.0}, 1, 1, 0);
    EXPECT_EQ(read_back(dir.file("later.write")).entries.size(), 1u);
}

TEST(GenieWriter, XGoesWithNxAndYAndEWithNtc) {
    TempDir dir;
    const std::string path = dir.file("hist.write");
    Writer w;
    // A histogram: one more boundary than values.
    w.write(path, {1.0, 2.0, 3.0, 4.0}, {5.0, 6.0, 7.0}, {0.5, 0.6, 0.7}, 3, 4, 1);
    const auto e = read_back(path).entries.at(0);
    EXPECT_EQ(e.find("h_block.x")->extent, 4);
    EXPECT_EQ(e.find("h_block.x")->float64s().size(), 4u);
    EXPECT_EQ(e.find("h_block.y")->extent, 3);
    EXPECT_EQ(e.find("h_block.e")->float64s(), (std::vector<double>{0.5, 0.6, 0.7}));
    EXPECT_EQ(e.find("h_block.ntc")->int32s(), std::vector<std::int32_t>{3});

    // Counts beyond the arrays handed over never read past them; an empty
    // spectrum gives empty arrays.
    w.write(path, {1.0}, {2.0}, {3.0}, 5, -1, 1);
    const auto f = read_back(path).entries.at(0);
    EXPECT_EQ(f.find("h_block.x")->extent, 0);
    EXPECT_EQ(f.find("h_block.y")->float64s(), std::vector<double>{2.0});
    EXPECT_EQ(f.find("h_block.ntc")->int32s(), std::vector<std::int32_t>{5});
    w.write(path, {}, {}, {}, 0, 0, 1);
    EXPECT_TRUE(read_back(path).entries.at(0).find("h_block.y")->float64s().empty());
}

TEST(GenieWriter, TextsAreTakenAtTheirDeclaredLengths) {
    TempDir dir;
    const std::string path = dir.file("texts.write");
    Writer w;
    w.h.title = std::string(100, 'T');         // longer than 80: cut
    w.h.history = "short";                     // shorter than 200: padded
    w.h.xlabel = field("Q (\\A\\u-1\\d)   ", 40);  // trailing blanks are kept
    w.write(path, {1.0}, {1.0}, {1.0}, 1, 1, 1);
    const auto e = read_back(path).entries.at(0);
    EXPECT_EQ(e.find("h_block.title")->text(), std::string(80, 'T'));
    EXPECT_EQ(e.find("h_block.history")->text(), field("short", 200));
    EXPECT_EQ(e.find("h_block.xlabel")->text(), field("Q (\\A\\u-1\\d)", 40));
}

TEST(GenieWriter, SpectrumAndRunNumbersStandLeftInTenCharacters) {
    TempDir dir;
    const std::string path = dir.file("numbers.write");
    Writer w;
    const std::vector<std::pair<std::int32_t, std::string>> cases{
        {1, "1         "},
        {12345, "12345     "},
        {0, "0         "},
        {-7, "-7        "},
        {99999999, " 99999999 "},  // the count carries one more, as everywhere else
        {2147483647, "2147483647"},
        {-999999999, "-999999999"},  // counted 11: the padding goes, the number stays whole
        {-2147483647 - 1, "**********"},  // 11 characters: no room, and no wrong number
    };
    for (const auto& [value, text] : cases) {
        SCOPED_TRACE(value);
        w.h.ispec_no = value;
        w.h.irun_no = value;
        w.write(path, {1.0}, {1.0}, {1.0}, 1, 1, 1);
        const auto e = read_back(path).entries.at(0);
        EXPECT_EQ(e.find("h_block.spec_no")->text(), text);
        EXPECT_EQ(e.find("h_block.run_no")->text(), text);
    }
}

TEST(GenieWriter, PrintFlagOneShowsTheDiagnostics) {
    TempDir dir;
    const std::string path = dir.file("diag.write");
    Writer w;
    w.write(path, {1.0}, {1.0}, {1.0}, 1, 1, 1, 1);
    const std::string expected = " **write_g2int_ng**\n"
                                 " g2file = " + path + "\n"
                                 " filefield = \n"
                                 " xlabel = " + field("2-theta", 40) + "\n"
                                 " ylabel = " + field("Counts", 40) + "\n"
                                 " user_name,inst_name = " + field("user", 20) +
                                 std::string(8, '\0') + "\n"
                                 " title = title\n"
                                 " time = " + field("now", 20) + "\n"
                                 " history = none\n"
                                 " ispec_no = 1\n"
                                 " irun_no = 12345\n"
                                 " **write_g2int_ng** (1)\n"
                                 " **write_g2int_ng** (2)\n"
                                 " **write_g2int_ng** (3)\n";
    EXPECT_EQ(w.d.text(), expected);

    Writer quiet;
    quiet.write(path, {1.0}, {1.0}, {1.0}, 1, 1, 1, 2);  // only 1 prints
    EXPECT_EQ(quiet.d.text(), "");
}

TEST(GenieWriter, SinglePrecisionTwinWritesFloat32Fields) {
    TempDir dir;
    const std::string path = dir.file("single.write");
    Dialogue d;
    std::int32_t ierr = 0;
    const std::vector<float> x{1.5f, 2.5f}, y{3.0f, 4.0f}, e{0.25f, 0.5f};
    std::array<float, 30> ut{};
    ut[29] = 1.5406f;
    write_g2int_ng(d.con, path, std::string(80, '\0'), "x", "y", "user", std::string(8, '\0'),
                   "title", "now", "none", x, y, e, ut, 0.f, 0.f, 10.f, 1.f, 1.f, 90.f, 123.f, 2, 2,
                   30, 0, 1, 12345, 1, 0, ierr);
    const auto entry = read_back(path).entries.at(0);
    ASSERT_EQ(entry.fields.size(), 24u);
    EXPECT_EQ(entry.find("h_block.x")->type, "float32[]");
    EXPECT_EQ(entry.find("h_block.l1")->type, "float32");
    EXPECT_EQ(entry.find("h_block.x")->float32s(), x);
    EXPECT_EQ(entry.find("h_block.ut")->float32s().at(29), 1.5406f);
    EXPECT_EQ(entry.find("h_block.run_duration")->float32s(), std::vector<float>{123.f});
    EXPECT_EQ(entry.find("h_block.xlabel")->text(), field("x", 40));
}

TEST(GenieWriter, AFileThatCannotBeWrittenIsReportedAndCounted) {
    TempDir dir;
    const std::string path = dir.file("no_such_folder/out.write");
    const int failures = genie_failure_count();
    Writer w;
    testing::internal::CaptureStderr();
    w.write(path, {1.0}, {1.0}, {1.0}, 1, 1, 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(genie_failure_count(), failures + 1);
    EXPECT_EQ(err, "genie: cannot write " + path + ": " + std::strerror(ENOENT) + "\n");
    EXPECT_EQ(w.d.text(), "");  // the writer itself says nothing
    EXPECT_EQ(w.ierr, 77);
}

}  // namespace
}  // namespace orvalt

// The Genie writer end to end: what it hands to the library comes back
// through the reader field by field.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "g_f/genie_writer.h"
#include "g_f/numbers.h"
#include "g_f/text.h"
#include "genie/g2file.h"
#include "tests/support.h"
#include "tests/support/genie_files.h"

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
    bool write(const std::string& file, const std::vector<double>& x, const std::vector<double>& y,
               const std::vector<double>& e, std::int32_t ntc, std::int32_t nx, std::int32_t inew) {
        return write_g2int_ng(d.con, field(file, 200), h.filefield, h.xlabel, h.ylabel, h.user_name,
                              h.inst_name, h.title, h.time, h.history, x, y, e, h.ut, h.delta, h.fi,
                              h.l1, h.l2, h.efixed, h.twotheta, h.run_duration, ntc, nx, h.nut,
                              h.emode, h.ispec_no, h.irun_no, inew, 0, ierr);
    }
};

// The file as written once the writer lets it go (entries added to a file
// kept open may wait in memory until then).
test::GenieFile read_back(const std::string& path) {
    EXPECT_TRUE(close_genie_file());
    test::GenieFile f;
    std::string error;
    EXPECT_TRUE(test::read_genie_file(path, f, error)) << error;
    return f;
}

// The fields in the order handed over: name, type, rank, extent (4 x values, 3 y and e values).
const std::tuple<const char*, const char*, std::int32_t, std::int32_t> table[] = {
    {"file", "string", 1, 80},        {"ntc", "int32", 0, 0},       {"x", "float64[]", 1, 4},
    {"y", "float64[]", 1, 3},         {"e", "float64[]", 1, 3},     {"xlabel", "string", 1, 40},
    {"ylabel", "string", 1, 40},      {"spec_no", "string", 1, 10}, {"delta", "float64", 0, 0},
    {"user_name", "string", 1, 20},   {"nut", "int32", 0, 0},       {"ut", "float64[]", 1, 30},
    {"run_no", "string", 1, 10},      {"emode", "int32", 0, 0},     {"fi", "float64", 0, 0},
    {"l1", "float64", 0, 0},          {"l2", "float64", 0, 0},      {"efixed", "float64", 0, 0},
    {"twotheta", "float64", 0, 0},    {"run_duration", "float64", 0, 0},
    {"inst_name", "string", 1, 8},    {"title", "string", 1, 80},   {"time", "string", 1, 20},
    {"history", "string", 1, 200}};

TEST(GenieWriter, OneEntryHoldsTheTwentyFourFieldsInOrderWithTheirValues) {
    TempDir dir;
    const std::string path = dir.file("run7.write");
    activate_genie_session();
    deactivate_genie_session();  // as the driver does: the writer runs without a session
    Writer w;
    w.h.title = std::string(100, 'T');                 // longer than 80: cut
    w.h.history = "short";                             // shorter than 200: padded
    w.h.xlabel = field("Q (\\A\\u-1\\d)   ", 40);  // trailing blanks are kept
    // A histogram.
    EXPECT_TRUE(w.write(path, {10.0, 10.5, 11.0, 11.5}, {4.0, 9.0, 16.0}, {2.0, 3.0, 4.0}, 3, 4, 1));
    EXPECT_EQ(w.d.text(), "");  // the writer prints nothing of its own
    const auto file = read_back(path);
    ASSERT_EQ(file.entries.size(), 1u);
    const auto& e = file.entries[0];
    EXPECT_EQ(e.workspace + " " + e.kind + " " + std::to_string(e.index) + " " + e.description,
              "h_block data 0 Data points");
    ASSERT_EQ(e.fields.size(), std::size(table));
    for (std::size_t k = 0; k < e.fields.size(); ++k) {
        const auto& [name, type, rank, extent] = table[k];
        const auto& f = e.fields[k];
        EXPECT_EQ(f.name + " " + f.type + " " + std::to_string(f.rank) + " " + std::to_string(f.extent),
                  std::string("h_block.") + name + " " + type + " " + std::to_string(rank) + " " +
                      std::to_string(extent));
    }

    auto values = [&](const char* name) { return e.find(std::string("h_block.") + name)->float64s(); };
    auto text = [&](const char* name) { return e.find(std::string("h_block.") + name)->text(); };
    EXPECT_EQ(e.find("h_block.ntc")->int32s(), std::vector<std::int32_t>{3});
    EXPECT_EQ(e.find("h_block.nut")->int32s(), std::vector<std::int32_t>{30});
    EXPECT_EQ(values("x"), (std::vector<double>{10.0, 10.5, 11.0, 11.5}));
    EXPECT_EQ(values("e"), (std::vector<double>{2.0, 3.0, 4.0}));
    EXPECT_EQ(values("ut")[29], 1.5406);
    for (const auto& [name, v] :
         {std::pair{"l1", 10.0}, {"l2", 1.0}, {"twotheta", 90.0}, {"run_duration", 123.0}})
        EXPECT_EQ(values(name), std::vector<double>{v}) << name;
    // Texts at their full declared length, trailing blanks and NULs kept.
    EXPECT_EQ(text("file") + text("inst_name"), std::string(88, '\0'));
    EXPECT_EQ(text("xlabel"), field("Q (\\A\\u-1\\d)", 40));
    EXPECT_EQ(text("user_name"), field("user", 20));
    EXPECT_EQ(text("title"), std::string(80, 'T'));
    EXPECT_EQ(text("history"), field("short", 200));
}

TEST(GenieWriter, NewThenBlankModeGivesOneFileOfThreeEntries) {
    TempDir dir;
    const std::string path = dir.write("scans.write", "an older file of that name");  // "new" replaces it
    Writer w;
    w.write(path, {1.0}, {10.0}, {3.0}, 1, 1, 1);
    w.write(path, {2.0, 3.0}, {20.0, 30.0}, {4.0, 5.0}, 2, 2, 0);
    w.write(path, {4.0}, {40.0}, {6.0}, 1, 1, 0);
    const auto file = read_back(path);
    ASSERT_EQ(file.entries.size(), 3u);
    EXPECT_EQ(file.entries[1].find("h_block.y")->float64s(), (std::vector<double>{20.0, 30.0}));
    EXPECT_EQ(file.entries[2].find("h_block.x")->float64s(), std::vector<double>{4.0});

    // Counts beyond the arrays handed over never read past them; the entry
    // they give (ntc 5, one y) breaks the format, so the library refuses it
    // and the file stays as it was.
    testing::internal::CaptureStderr();
    w.write(path, {5.0}, {50.0}, {7.0}, 5, -1, 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("h_block.y holds 1 values, not ntc (5)"),
              std::string::npos);
    EXPECT_EQ(read_back(path).entries.size(), 3u);
    w.write(path, {5.0}, {50.0}, {7.0}, 1, 1, 1);  // a further "new" starts the file again
    const auto again = read_back(path);
    ASSERT_EQ(again.entries.size(), 1u);
    EXPECT_EQ(again.entries[0].find("h_block.y")->float64s(), std::vector<double>{50.0});
    w.write(dir.file("later.write"), {1.0}, {2.0}, {3.0}, 1, 1, 0);  // blanks create a missing file
    EXPECT_EQ(read_back(dir.file("later.write")).entries.size(), 1u);
}

TEST(GenieWriter, SpectrumAndRunNumbersStandLeftInTenCharacters) {
    TempDir dir;
    const std::string path = dir.file("numbers.write");
    Writer w;
    const std::pair<std::int32_t, const char*> cases[] = {
        {1, "1         "}, {12345, "12345     "}, {0, "0         "}, {-7, "-7        "},
        {99999999, " 99999999 "},         // the count carries one more, as everywhere else
        {-999999999, "-999999999"},       // counted 11: the padding goes, the number stays whole
        {-2147483647 - 1, "**********"}};  // 11 characters: no room, and no wrong number
    for (const auto& [value, text] : cases) {
        w.h.ispec_no = value;
        w.h.irun_no = value;
        w.write(path, {1.0}, {1.0}, {1.0}, 1, 1, 1);
        const auto e = read_back(path).entries.at(0);
        EXPECT_EQ(e.find("h_block.spec_no")->text(), text) << value;
        EXPECT_EQ(e.find("h_block.run_no")->text(), text) << value;
    }
}

TEST(GenieWriter, AFileThatCannotBeWrittenIsReportedAndReturnsFalse) {
    TempDir dir;
    const std::string path = dir.file("no_such_folder/out.write");
    Writer w;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(w.write(path, {1.0}, {1.0}, {1.0}, 1, 1, 1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "genie: cannot write " + path + ": " + std::strerror(ENOENT) + "\n");
    EXPECT_EQ(w.d.text(), "");  // the writer itself says nothing
    EXPECT_EQ(w.ierr, 77);
}

// The dump tool lists every field of a file the library wrote.
TEST(G2dump, NamesEveryField) {
    TempDir dir;
    const std::string path = dir.file("dump.write"), listing = dir.file("dump.txt");
    Writer w;
    w.write(path, {10.0, 10.5, 11.0, 11.5}, {4.0, 9.0, 16.0}, {2.0, 3.0, 4.0}, 3, 4, 1);
    const std::string command = "\"" G2DUMP_EXE "\" \"" + path + "\" > \"" + listing + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string text = test::read_all(listing);
    EXPECT_NE(text.find("1 entry\nentry 1: workspace \"h_block\""), std::string::npos) << text;
    for (const auto& [name, type, rank, extent] : table)
        EXPECT_NE(text.find(std::string("  h_block.") + name + " (" + type), std::string::npos) << name;
    EXPECT_NE(text.find("  h_block.ntc (int32) = 3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  h_block.y (float64[], 3 values):\n    4 9 16\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  h_block.spec_no (string, 10 characters) = \"1         \"\n"), std::string::npos);
}

// g2dump as the format's description states it: its exit statuses, the
// layout --columns prints (labels as plain text, one line each whatever they
// hold) and the byte offset of each refusal.
TEST(G2dump, FollowsTheFormatDescription) {
    TempDir dir;
    Writer w;
    set_field(w.h.title, "C:\\\\data\\\\run.xrdml");
    set_field(w.h.xlabel, "Momentum Transfer Q (\\A\\u-1\\d)");
    w.write(dir.file("q.write"), {1.0, 2.0}, {4.0, 9.0}, {2.0, 3.0}, 2, 2, 1);
    set_field(w.h.xlabel, "two\nlines");
    w.write(dir.file("lf.write"), {1.0, 2.0}, {4.0, 9.0}, {2.0, 3.0}, 2, 2, 1);
    // Field 5, e, renamed as field 3, x.
    std::string dup = test::read_all(dir.file("q.write"));
    const std::size_t e_at = dup.find(std::string("\x09\0\0\0h_block.e", 13));
    dup.replace(e_at + 4, 9, "h_block.x");
    dir.write("dup.write", dup);
    dir.write("text.txt", "Data from: x\n");

    const struct {
        const char* args;
        int status;
        std::string out, err;  // what each must hold
    } cases[] = {
        {"q.write", 0, "Genie file q.write: version 1, 1 entry\n", ""},
        {"--columns q.write", 0,
         "# title: C:\\data\\run.xrdml\n# x: Momentum Transfer Q (1/angstrom)\n# y: Counts\n" +
             format_data_line(1.0, 4.0, 2.0) + "\n" + format_data_line(2.0, 9.0, 3.0) + "\n",
         ""},
        {"--columns lf.write", 0, "\n# x: two\\x0Alines\n# y: Counts\n", ""},
        {"dup.write", 1, "",
         "g2dump: dup.write: entry 1: field 5: field \"h_block.x\" appears twice (first as field 3)"
         " (at byte " + std::to_string(e_at) + ")\n"},
        {"text.txt", 1, "", "g2dump: text.txt: not a Genie file: no Genie signature (at byte 0)\n"},
        {"--columns 2 q.write", 1, "", "there is no entry 2, the file holds 1\n"},
        {"missing.write", 1, "", "g2dump: missing.write: "},
        {"--columns 0 q.write", 2, "", "\nUsage: g2dump"},
        {"q.write lf.write", 2, "", "g2dump: give one file\n"},
        {"--help", 0, "Exit status: 0 when all was printed", ""},
    };
    for (const auto& c : cases) {
        const std::string command = "cd \"" + dir.path().string() + "\" && \"" G2DUMP_EXE "\" " +
                                    c.args + " > out.txt 2> err.txt";
        const int rc = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, c.status) << c.args;
        const std::string out = test::read_all(dir.file("out.txt")), err = test::read_all(dir.file("err.txt"));
        EXPECT_NE(out.find(c.out), std::string::npos) << c.args << ":\n" << out;
        EXPECT_NE(err.find(c.err), std::string::npos) << c.args << ":\n" << err;
        EXPECT_EQ(err.empty(), c.status == 0) << c.args;
    }
}

}  // namespace
}  // namespace orvalt

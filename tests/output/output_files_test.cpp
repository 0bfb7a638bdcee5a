// The ASCII data file and the weights file, byte for byte, and their names.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "driver/ascii_files.h"
#include "g_f/new_files.h"
#include "g_f/file_system.h"
#include "g_f/text.h"
#include "tests/support.h"

namespace orvalt {
namespace {

using test::Dialogue;
using test::read_all;
using test::TempDir;

TEST(DefaultOutputName, ReplacesTheLastSixCharacters) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"run7.xrdml", ".weights", "run7.weights"},
        {"D:\\data\\s1.xrdml", ".dat", "D:\\data\\s1.dat"},
        {"run7.xrdml", ".dat      ", "run7.dat"},  // a padded field
        {"a.xrdml", ".dat", "a.dat"},              // seven: one character kept
        {".xrdml", ".dat", ".dat"},                // exactly six: the extension alone
        {"xrdml", ".dat", "xrdml.dat"},            // five: nothing dropped
        {"abc", ".dat", "abc.dat"}};
    for (const auto& [input, extension, name] : cases) EXPECT_EQ(default_output_name(input, extension), name);
}

// Writes an ASCII data file; ok tells what the writer returned.
struct AsciiRun {
    Dialogue d;
    bool ok = false;
    std::string write(const std::string& path, std::int32_t iscan, std::int32_t ny,
                      const std::vector<double>& x, const std::vector<double>& y,
                      const std::vector<double>& e) {
        ok = write_ascii_data_file(d.con, path, iscan, field("/data/run7.xrdml", 200), ny, x, y, e);
        return read_all(path);
    }
};

TEST(AsciiDataFile, HeaderLinesOnlyForSummedScans) {
    TempDir dir;
    const std::string path = dir.file("run7.dat");
    AsciiRun r;
    EXPECT_EQ(r.write(path, 0, 2, {10.0, 10.5}, {1234.5, 0.05}, {35.1354521815, 0.0}),
              "Data from: /data/run7.xrdml\nScan = 0\nNumber of points = 2\n"
              "   10.0000000000000         1234.50000000000         35.1354521815000     \n"
              "   10.5000000000000        0.500000000000000E-001    0.00000000000000     \n");
    EXPECT_TRUE(r.ok);
    const std::string created = " New file: " + full_file_name(path) + "\n";
    EXPECT_EQ(r.d.text(), " No pre-existing version of file exists\n" + created);

    for (const std::int32_t iscan : {1, -2}) {  // one scan, and the data prepared for gudrunX
        AsciiRun s;  // replaces the file
        EXPECT_EQ(s.write(path, iscan, 1, {1.0e15}, {-0.1}, {0.099999}),
                  "  0.100000000000000E+016  -0.100000000000000        0.999990000000000E-001\n");
        EXPECT_EQ(s.d.text(), " File found : " + full_file_name(path) + "\n" + created);
    }
}

TEST(AsciiDataFile, NoPointsShortArraysAndFailures) {
    TempDir dir;
    AsciiRun r;
    EXPECT_EQ(r.write(dir.file("zero.dat"), 0, 0, {}, {}, {}),
              "Data from: /data/run7.xrdml\nScan = 0\nNumber of points = 0\n");
    EXPECT_EQ(r.write(dir.file("zero1.dat"), 3, 0, {}, {}, {}), "");
    EXPECT_TRUE(r.ok && std::filesystem::exists(dir.file("zero1.dat")));
    // never reads past the arrays handed over
    EXPECT_EQ(r.write(dir.file("short.dat"), 1, 5, {1.0, 2.0}, {1.0, 2.0}, {1.0}),
              "   1.00000000000000         1.00000000000000         1.00000000000000     \n");

    AsciiRun failed;
    const std::string path = dir.file("missing_folder/run7.dat");
    failed.write(path, 0, 1, {1.0}, {2.0}, {3.0});
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NE(failed.d.text().find(" ** Error in open_new_file **\n"), std::string::npos);

    // only a regular file is written: a device is refused at the opening
    if (!std::filesystem::exists("/dev/full")) return;
    Dialogue full;
    const std::vector<double> v(1000, 1.0);
    EXPECT_FALSE(write_ascii_data_file(full.con, "/dev/full", 1, field("x", 200), 1000, v, v, v));
    EXPECT_NE(full.text().find(" ** Error in open_new_file **\n"), std::string::npos);
}

TEST(WeightsFile, OneLinePerScan) {
    TempDir dir;
    const std::string path = dir.file("run7.weights");
    Dialogue d;
    // Written, then put in place on its own (or with the data file).
    const auto weights = [&d](const std::string& name, std::int32_t n,
                              std::span<const std::int32_t> w) {
        OutputFile f;
        return write_weights_file(d.con, name, n, w, f) && put_weights_in_place(d.con, f, name);
    };
    EXPECT_TRUE(weights(path, 3, std::array<std::int32_t, 3>{1, 0, 1}));
    EXPECT_EQ(d.text(), " Saving weights to " + path + "\n\n");  // nothing from the opening
    EXPECT_EQ(read_all(path), "  1 1\n  2 0\n  3 1\n");

    std::array<std::int32_t, 200> all{};  // written again: replaced; 200 lines
    all.fill(1);
    EXPECT_TRUE(weights(path, 200, all));
    const std::string text = read_all(path);
    EXPECT_EQ(text.size(), 200u * 6u);
    EXPECT_NE(text.find("  1 1\n  2 1\n"), std::string::npos);
    EXPECT_NE(text.find("\n 99 1\n100 1\n"), std::string::npos);

    EXPECT_TRUE(weights(dir.file("none.weights"), 0, {}));
    EXPECT_EQ(read_all(dir.file("none.weights")), "");
    Dialogue failed;
    OutputFile f;
    EXPECT_FALSE(write_weights_file(failed.con, dir.file("gone/run7.weights"), 1,
                                    std::array<std::int32_t, 1>{1}, f));
    EXPECT_NE(failed.text().find(" ** Error in open_new_file **\n"), std::string::npos);

    // Until it is put in place, an older file stays as it was.
    OutputFile pending;
    ASSERT_TRUE(write_weights_file(d.con, path, 1, std::array<std::int32_t, 1>{0}, pending));
    EXPECT_EQ(read_all(path).size(), 200u * 6u);
    EXPECT_TRUE(put_weights_in_place(d.con, pending, path));
    EXPECT_EQ(read_all(path), "  1 0\n");
}

}  // namespace
}  // namespace orvalt

// The ASCII data file and the weights file, byte for byte, and their names.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/output_files.h"
#include "g_f/platform.h"
#include "g_f/text.h"
#include "tests/g_f/support.h"

namespace orvalt {
namespace {

using test::Dialogue;
using test::TempDir;

TEST(DefaultOutputName, ReplacesTheLastSixCharacters) {
    EXPECT_EQ(default_output_name("run7.xrdml", ".dat"), "run7.dat");
    EXPECT_EQ(default_output_name("run7.xrdml", ".write"), "run7.write");
    EXPECT_EQ(default_output_name("run7.xrdml", ".weights"), "run7.weights");
    EXPECT_EQ(default_output_name("D:\\data\\s1.xrdml", ".dat"), "D:\\data\\s1.dat");
    EXPECT_EQ(default_output_name("run7.xrdml", ".dat      "), "run7.dat");  // a padded field
    EXPECT_EQ(default_output_name(".xrdml", ".dat"), ".dat");  // exactly six: the extension alone
    EXPECT_EQ(default_output_name("abc", ".dat"), "abc.dat");  // fewer: nothing dropped
    EXPECT_EQ(default_output_name("", ".weights"), ".weights");
}

// Writes an ASCII data file and returns its contents.
struct AsciiRun {
    Dialogue d;
    bool ok = false;
    std::string write(const std::string& path, std::int32_t iscan, std::int32_t ny,
                      const std::vector<double>& x, const std::vector<double>& y,
                      const std::vector<double>& e) {
        write_only(path, iscan, ny, x, y, e);
        return test::read_all(path);
    }
    void write_only(const std::string& path, std::int32_t iscan, std::int32_t ny,
                    const std::vector<double>& x, const std::vector<double>& y,
                    const std::vector<double>& e) {
        ok = write_ascii_data_file(d.con, path, iscan, field("/data/run7.xrdml", 200), ny, x, y, e);
    }
};

TEST(AsciiDataFile, SummedScansGetTheThreeHeaderLines) {
    TempDir dir;
    const std::string path = dir.file("run7.dat");
    AsciiRun r;
    const std::string text =
        r.write(path, 0, 2, {10.0, 10.5}, {1234.5, 0.05}, {35.1354521815, 0.0});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(text,
              "Data from: /data/run7.xrdml\n"
              "Scan = 0\n"
              "Number of points = 2\n"
              "   10.0000000000000         1234.50000000000         35.1354521815000     \n"
              "   10.5000000000000        0.500000000000000E-001    0.00000000000000     \n");
    EXPECT_EQ(r.d.text(), " No pre-existing version of file exists\n New file: " +
                              full_file_name(path) + "\n");
}

TEST(AsciiDataFile, SingleScansAndGudrunDataHaveNoHeader) {
    TempDir dir;
    for (const std::int32_t iscan : {1, 12, -2}) {
        SCOPED_TRACE(iscan);
        AsciiRun r;
        EXPECT_EQ(r.write(dir.file("single.dat"), iscan, 1, {1.0e15}, {-0.1}, {0.099999}),
                  "  0.100000000000000E+016  -0.100000000000000     "
                  "   0.999990000000000E-001\n");
    }
}

TEST(AsciiDataFile, PointCountIsWrittenInTheDigitsItNeeds) {
    TempDir dir;
    const std::vector<double> v(1234, 1.0);
    AsciiRun r;
    const std::string text = r.write(dir.file("many.dat"), 0, 1234, v, v, v);
    EXPECT_NE(text.find("\nNumber of points = 1234\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 1234);
}

TEST(AsciiDataFile, NoPointsGiveTheHeaderAloneOrAnEmptyFile) {
    TempDir dir;
    AsciiRun summed;
    EXPECT_EQ(summed.write(dir.file("zero.dat"), 0, 0, {}, {}, {}),
              "Data from: /data/run7.xrdml\nScan = 0\nNumber of points = 0\n");
    AsciiRun single;
    EXPECT_EQ(single.write(dir.file("zero1.dat"), 3, 0, {}, {}, {}), "");
    EXPECT_TRUE(single.ok);
    EXPECT_TRUE(std::filesystem::exists(dir.file("zero1.dat")));
}

TEST(AsciiDataFile, AnExistingFileIsReplaced) {
    TempDir dir;
    const std::string path = dir.write("old.dat", std::string(5000, 'x') + "\n");
    AsciiRun r;
    EXPECT_EQ(r.write(path, 2, 1, {1.0}, {2.0}, {3.0}),
              "   1.00000000000000         2.00000000000000         3.00000000000000     \n");
    EXPECT_EQ(r.d.text(), " File found : " + full_file_name(path) + "\n New file: " +
                              full_file_name(path) + "\n");
}

TEST(AsciiDataFile, AFailedOpenSkipsTheWritesAndReturnsFalse) {
    TempDir dir;
    const std::string path = dir.file("missing_folder/run7.dat");
    AsciiRun r;
    r.write_only(path, 0, 1, {1.0}, {2.0}, {3.0});
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NE(r.d.text().find(" ** Error in open_new_file **\n"), std::string::npos);
}

TEST(AsciiDataFile, AFailedWriteIsReportedAndReturnsFalse) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    AsciiRun r;
    const std::vector<double> v(1000, 1.0);  // more than a buffer's worth
    r.write_only("/dev/full", 1, 1000, v, v, v);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.d.text().find(" **ERROR in write_ascii_data_file: could not write /dev/full\n"),
              std::string::npos);
}

TEST(AsciiDataFile, NeverReadsPastTheArrays) {
    TempDir dir;
    AsciiRun r;
    const std::string text = r.write(dir.file("short.dat"), 1, 5, {1.0, 2.0}, {1.0, 2.0}, {1.0});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST(WeightsFile, OneLinePerScanUnderTheInputName) {
    TempDir dir;
    const std::string input = dir.file("run7.xrdml");
    Dialogue d;
    std::string output_name(200, ' ');
    const std::array<std::int32_t, 200> weight{1, 0, 1};
    EXPECT_TRUE(write_weights_file(d.con, output_name, input, 3, weight));
    const std::string path = dir.file("run7.weights");
    EXPECT_EQ(output_name, field(path, 200));
    EXPECT_EQ(d.text(), " Saving weights to " + path + "\n\n");  // nothing from the opening
    EXPECT_EQ(test::read_all(path), "  1 1\n  2 0\n  3 1\n");

    // Written again: replaced, and three-digit scan numbers fill the field.
    std::array<std::int32_t, 200> all{};
    all.fill(1);
    Dialogue again;
    EXPECT_TRUE(write_weights_file(again.con, output_name, input, 200, all));
    const std::string text = test::read_all(path);
    EXPECT_EQ(text.substr(0, 12), "  1 1\n  2 1\n");
    EXPECT_NE(text.find("\n 99 1\n100 1\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 6), "200 1\n");
    EXPECT_EQ(text.size(), 200u * 6u);
}

TEST(WeightsFile, NoScansGiveAnEmptyFileAndAFailedOpenGivesFalse) {
    TempDir dir;
    Dialogue d;
    std::string output_name(200, ' ');
    EXPECT_TRUE(write_weights_file(d.con, output_name, dir.file("none.xrdml"), 0, {}));
    EXPECT_EQ(test::read_all(dir.file("none.weights")), "");

    Dialogue failed;
    EXPECT_FALSE(write_weights_file(failed.con, output_name, dir.file("gone/run7.xrdml"), 1,
                                    std::array<std::int32_t, 1>{1}));
    EXPECT_EQ(failed.text().rfind(" Saving weights to " + dir.file("gone/run7.weights") + "\n\n", 0),
              0u);
    EXPECT_NE(failed.text().find(" ** Error in open_new_file **\n"), std::string::npos);
}

}  // namespace
}  // namespace orvalt

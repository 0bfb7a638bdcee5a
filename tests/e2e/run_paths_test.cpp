// Whole runs of the program along its main paths: transcript, files, exit status.
#include "e2e_support.h"

#include <cmath>
#include <tuple>

#include "tests/support/genie_files.h"

namespace e2e {
namespace {

const std::string census_std =
    " count_scans: kAlpha1 =   1.540600000000    \n"
    " count_scans: kAlpha2 =   1.544400000000    \n"
    " count_scans: ratioKAlpha2KAlpha1 =  0.5000000000000    \n"
    " count_scans: Wavelength =   1.541866666667    \n";

const std::vector<Scan> three_scans = {
    {10.0, 14.0, 2.0, "10 20 30 40 50"},
    {10.0, 14.0, 4.0, "100 200 300 400 400"},
    {10.0, 14.0, 2.0, "1 2 3 4 5"},
};

std::vector<std::vector<double>> numbers_of(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream items(line);
        std::vector<double> row;
        for (double v; items >> v;) row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

void expect_near_rel(double actual, double expected) {
    EXPECT_NEAR(actual, expected, 1e-13 * std::max(1.0, std::fabs(expected)));
}

TEST_F(Orvalt, TypicalRunLoadsOneScanAsCountsPerSecondInQ) {
    const std::string file = xrdml_text(three_scans);
    write("three.xrdml", file);
    const Result r = run("three.xrdml\n2\n1\n2\n1\n\n");
    const std::string expected =
        header() + " Give full name of input file (Na_Mg_mirror.xrdml) > " +
        " File found : <DIR>/three.xrdml\n" + census_lines(file) + census_std +
        " count_scans: Number of scans in file = 3\n" + menu +
        " Give scan number to load, or negative option from list (0) > \n"
        " Give 0 for counts, or 1 for counts per second (1) > " +
        units_menu + " Give units option (1) > " + output_menu +
        " Give output file option (2) > \n"
        " orvaltdata1: Scan found: 2\n"
        " orvaltdata1: ny = 5\n"
        " orvalt: Number of points = 5\n"
        " orvalt: First point x =   10.00000     y =   25.00000    \n"
        " orvalt: Last point  x =   14.00000     y =   100.0000    \n"
        " Give full name of output file (three.dat) > "
        " No pre-existing version of file exists\n"
        " New file: <DIR>/three.dat\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("orvalt.tmp"),
              "three.xrdml\n           2\n           1\n           2\n           1\n");

    const auto rows = numbers_of(read("three.dat"));
    ASSERT_EQ(rows.size(), 5u);
    const double counts[] = {100, 200, 300, 400, 400};
    for (int k = 0; k < 5; ++k) {  // Q itself: QAndDSpacingOfReferenceReflections
        ASSERT_EQ(rows[k].size(), 3u);
        expect_near_rel(rows[k][1], counts[k] / 4.0);
        expect_near_rel(rows[k][2], std::sqrt(counts[k]) / 4.0);
    }
}

TEST_F(Orvalt, SingleScanAsCountsInTwoThetaHasExactDataLines) {
    write("s.xrdml", xrdml_text({{10.0, 20.0, 2.0, "25 16"}}));
    const Result r = run("s.xrdml\n1\n0\n1\n1\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("s.dat"),
              "   10.0000000000000         25.0000000000000         5.00000000000000     \n"
              "   20.0000000000000         16.0000000000000         4.00000000000000     \n");
}

// Q and d against the values a crystallographer checks. With copper's
// K-alpha1 alone (1.540598 angstrom, ratio 0) silicon's (111) reflection
// stands at 2-theta 28.442 degrees, d = 3.1356 angstrom, and LaB6's (100) at
// 21.358 degrees, d = 4.1569 angstrom; Q = 2 pi / d. Angles to 0.001 degree
// move d by up to 0.0001 angstrom, so d is held to 0.0002 angstrom and Q to
// the same share of its value. With K-alpha2 (1.544426) at ratio 0.5 the
// mean wavelength is 1.541874 angstrom, which d equals at 2-theta 60 degrees
// (sin 30 = 1/2; at 90 degrees d = 1.541874 / sqrt 2 = 1.090270). d-spacing
// reverses the spectrum: d rises down the file, and each count and error
// keeps its d.
TEST_F(Orvalt, QAndDSpacingOfReferenceReflections) {
    struct Case {
        Wavelengths w;
        double two_theta[2];
        double d[2];  // angstrom, of the two points
        double tolerance;
    };
    const Case cases[] = {
        {{"1.540598", "1.544426", "0"}, {21.358, 28.442}, {4.1569, 3.1356}, 2e-4},
        {{"1.540598", "1.544426", "0.5"}, {60.0, 90.0}, {1.541874, 1.090270}, 1e-6},
    };
    const double two_pi = 6.283185307179586;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.d[0]);
        write("r.xrdml", xrdml_text({{c.two_theta[0], c.two_theta[1], 1.0, "10 20"}}, c.w));
        fs::remove(dir / "r.dat");
        ASSERT_EQ(run("r.xrdml\n1\n0\n2\n1\n\n").status, 0);
        auto rows = numbers_of(read("r.dat"));
        ASSERT_EQ(rows.size(), 2u);
        for (std::size_t k = 0; k < 2; ++k) {
            const double q = two_pi / c.d[k];
            EXPECT_NEAR(rows[k][0], q, q * c.tolerance / c.d[k]) << "Q of point " << k + 1;
        }
        fs::remove(dir / "r.dat");
        ASSERT_EQ(run("r.xrdml\n1\n0\n3\n1\n\n").status, 0);
        rows = numbers_of(read("r.dat"));
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_NEAR(rows[0][0], c.d[1], c.tolerance);
        EXPECT_NEAR(rows[1][0], c.d[0], c.tolerance);
        EXPECT_EQ(rows[0][1], 20);
        EXPECT_EQ(rows[1][1], 10);
        expect_near_rel(rows[0][2], std::sqrt(20.0));
        expect_near_rel(rows[1][2], std::sqrt(10.0));
    }
}

TEST_F(Orvalt, DSpacingAtZeroTwoThetaStopsBeforeTheNameQuestion) {
    write("s.xrdml", xrdml_text({{0.0, 2.0, 1.0, "1 4 9"}}));
    write("orvalt.tmp", "old\n");
    const Result r = run("s.xrdml\n1\n0\n3\n1\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(" **ERROR in orvalt: d-spacing is undefined at 2-theta = 0\n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("full name of output file"), std::string::npos);
    EXPECT_FALSE(exists("s.dat"));
    EXPECT_EQ(read("orvalt.tmp"), "old\n");
}

// A negative 2-theta would make a negative d-spacing: refused as 2-theta = 0
// is, naming the first such point (in file order), before anything is
// written; Q takes it, as a negative Q.
TEST_F(Orvalt, DSpacingAtNegativeTwoThetaIsRefused) {
    const std::tuple<double, double, std::string> cases[] = {
        {-10.0, -6.0, "point 1 is at -10"}, {-2.0, 2.0, "point 1 is at -2"}, {6.0, -2.0, "point 3 is at -2"}};
    for (const auto& [start, end, point] : cases) {
        write("s.xrdml", xrdml_text({{start, end, 1.0, "1 4 9"}}));
        write("orvalt.tmp", "old\n");
        const std::string why =
            "**ERROR in orvalt: d-spacing is undefined at negative 2-theta (" + point + ")\n";
        const Result dialogue = run("s.xrdml\n1\n0\n3\n1\n\n");
        EXPECT_EQ(dialogue.status, 1) << point;
        EXPECT_NE(dialogue.out.find(" " + why), std::string::npos) << dialogue.out;
        EXPECT_EQ(read("orvalt.tmp"), "old\n");
        const Result cli = run("", "", "--units d --format ascii s.xrdml");
        EXPECT_EQ(cli.status, 1) << point;
        EXPECT_NE(cli.err.find("s.xrdml: " + why), std::string::npos) << cli.err;
        EXPECT_FALSE(exists("s.dat")) << point;
        EXPECT_EQ(run("", "", "--units q --format ascii s.xrdml").status, 0) << point;
        fs::remove(dir / "s.dat");
    }
}

TEST_F(Orvalt, SummingScansOfDifferentLengthsAndTimes) {
    // Scan 2 is shorter; points it does not reach carry scan 1's time only.
    write("sum.xrdml", xrdml_text({{10.0, 13.0, 2.0, "10 20 30 40"},
                                   {10.0, 11.0, 3.0, "5 5"}}));
    const Result r = run("sum.xrdml\n0\n0\n1\n1\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" orvalt: x-axis spacing =   1.000000000000    \n"), std::string::npos);
    const std::string dat = read("sum.dat");
    ASSERT_EQ(mask(dat, dir.string())
                  .rfind("Data from: <DIR>/sum.xrdml\nScan = 0\nNumber of points = 4\n", 0),
              0u)
        << dat;
    const auto rows = numbers_of(dat.substr(dat.find("points = 4\n") + 11));
    ASSERT_EQ(rows.size(), 4u);
    // Counts as one scan of scan 1's counting time: (c1 + c2) / (t1 + t2) * t1.
    expect_near_rel(rows[0][1], (10.0 + 5.0) / 5.0 * 2.0);
    expect_near_rel(rows[0][2], std::sqrt(15.0) / 5.0 * 2.0);
    expect_near_rel(rows[2][1], 30.0 / 2.0 * 2.0);
    expect_near_rel(rows[3][0], 13.0);
}

TEST_F(Orvalt, SummingRefusesIncompatibleStartPoints) {
    // Starts up to 0.0001 apart are the same point, also where the binary
    // difference is a hair above it (10.0004 - 10.0003 is 1.0000000000015e-4).
    const std::tuple<double, double, int> cases[] = {
        {10.0, 10.00005, 0}, {10.0003, 10.0004, 0}, {10.0003, 10.00041, 1}};
    for (const auto& [first, second, status] : cases) {
        write("a.xrdml", xrdml_text({{first, first + 2.0, 1.0, "1 2 3"},
                                     {second, second + 2.0, 1.0, "1 2 3"}}));
        EXPECT_EQ(run("a.xrdml\n0\n1\n1\n1\n\n").status, status) << second;
    }
    write("b.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}, {10.0002, 12.0002, 1.0, "1 2 3"}}));
    write("orvalt.tmp", "kept\n");
    const Result r = run("b.xrdml\n0\n1\n1\n1\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(" Scans appear to have incompatible start points\n"), std::string::npos);
    EXPECT_EQ(read("orvalt.tmp"), "kept\n");
    EXPECT_FALSE(exists("b.dat"));
}

// Starts up to 0.0001 apart make one grid, which starts where the first scan
// summed starts: scan 1, or without it (gudrunX) the first included one.
TEST_F(Orvalt, ASumStartsWhereItsFirstScanStarts) {
    write("a.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"},
                                 {10.00005, 12.00005, 1.0, "1 2 3"},
                                 {10.00009, 12.00009, 1.0, "1 2 3"}}));
    const std::pair<const char*, double> cases[] = {
        {"--sum --format ascii", 10.0}, {"--gudrun", 10.0}, {"--gudrun --exclude 1", 10.00005}};
    for (const auto& [args, start] : cases) {
        ASSERT_EQ(run("", "", std::string(args) + " a.xrdml").status, 0) << args;
        std::vector<std::vector<double>> rows;
        for (const auto& row : numbers_of(read("a.dat")))
            if (row.size() == 3) rows.push_back(row);
        ASSERT_EQ(rows.size(), 3u) << args;
        expect_near_rel(rows[0][0], start);
        expect_near_rel(rows[2][0], start + 2.0);
    }
}

TEST_F(Orvalt, SummingRefusesIncompatibleSpacings) {
    std::string c101, c102;
    for (int i = 0; i < 101; ++i) c101 += "1 ";
    c102 = c101 + "1";
    write("c.xrdml", xrdml_text({{10.0, 20.0, 1.0, c101}, {10.0, 20.0, 1.0, c102}}));
    const Result r = run("c.xrdml\n0\n1\n1\n1\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(" Scans appear to have incompatible spacings\n"), std::string::npos);
    EXPECT_FALSE(exists("c.dat"));
}

TEST_F(Orvalt, GudrunBranchExcludesScansAndWritesWeights) {
    const std::string file = xrdml_text(three_scans);
    write("g.xrdml", file);
    const Result r = run("g.xrdml\n-2\n2\n0\n\n\n");
    EXPECT_EQ(r.status, 0);
    const std::string weights_table =
        " Weights...\n Scan   1 has weight 1\n Scan   2 has weight 0\n Scan   3 has weight 1\n";
    const std::string expected_tail =
        " Give scan number to load, or negative option from list (0) > \n"
        " Give scan number to exclude, or 0 to continue (0) > " +
        weights_table + " Give scan number to exclude, or 0 to continue (0) > " +
        weights_table +
        " Saving weights to g.weights\n"
        "\n\n"
        " orvalt: x-axis units are 2-theta\n" +
        output_menu + " Give output file option (1) > \n" +
        " orvalt: First included scan = 1\n"
        " orvalt: x-axis spacing =   1.000000000000    \n"
        " orvalt: Number of points = 5\n"
        " orvalt: First point x =   10.00000     y =   2.750000    \n"
        " orvalt: Last point  x =   14.00000     y =   13.75000    \n"
        " Give full name of output file (g.dat) > "
        " No pre-existing version of file exists\n"
        " New file: <DIR>/g.dat\n";
    ASSERT_GE(r.out.size(), expected_tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - expected_tail.size()), expected_tail) << r.out;
    EXPECT_EQ(read("g.weights"), "  1 1\n  2 0\n  3 1\n");
    const auto rows = numbers_of(read("g.dat"));
    ASSERT_EQ(rows.size(), 5u);
    expect_near_rel(rows[0][1], (10.0 + 1.0) / 4.0);
    EXPECT_EQ(read("orvalt.tmp"),
              "g.xrdml\n          -2\n           1\n           1\n           1\n");
}

// With scan 1 excluded, the first included scan gives the grid: its start
// and its spacing (scan 1's are other), and the report names it.
TEST_F(Orvalt, GudrunBranchWithoutScanOneTakesTheGridOfTheFirstIncluded) {
    write("g.xrdml", xrdml_text({{10.0, 14.0, 2.0, "7 7 7"},
                                 {10.0, 14.0, 2.0, "4 8 12 16 20"},
                                 {10.0, 14.0, 2.0, "4 8 12 16 20"}}));
    const Result r = run("g.xrdml\n-2\n1\n0\n1\n\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(" orvalt: First included scan = 2\n"
                         " orvalt: x-axis spacing =   1.000000000000    \n"),
              std::string::npos)
        << r.out;
    const auto rows = numbers_of(read("g.dat"));
    ASSERT_EQ(rows.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        expect_near_rel(rows[k][0], 10.0 + k);
        expect_near_rel(rows[k][1], (8.0 + 8.0 * k) / 4.0);
        expect_near_rel(rows[k][2], std::sqrt(8.0 + 8.0 * k) / 4.0);
    }
}

// Counts per second with a counting time that is not a power of two: every
// value and error divided by it (1.5 s), in one scan and in separate scans.
TEST_F(Orvalt, CountsPerSecondOfACountingTimeOfOneAndAHalfSeconds) {
    write("t.xrdml", xrdml_text({{10.0, 12.0, 1.5, "2 5 8"}}));
    ASSERT_EQ(run("t.xrdml\n1\n1\n1\n1\n\n").status, 0);
    const auto rows = numbers_of(read("t.dat"));
    ASSERT_EQ(rows.size(), 3u);
    const double c[] = {2, 5, 8};
    for (int k = 0; k < 3; ++k) {
        expect_near_rel(rows[k][1], c[k] / 1.5);
        expect_near_rel(rows[k][2], std::sqrt(c[k]) / 1.5);
    }
    // To the bit, in the Genie file of the separate scans: y is c / 1.5 and e
    // sqrt(c) / 1.5, which their products with the rounded 1 / 1.5 are not
    // (for 5 counts the value, for 2 and 8 the error differ in the last bit).
    ASSERT_EQ(run("t.xrdml\n-3\n1\n\n").status, 0);
    orvalt::test::GenieFile file;
    std::string error;
    ASSERT_TRUE(orvalt::test::read_genie_file((dir / "t.write").string(), file, error)) << error;
    ASSERT_EQ(file.entries.size(), 1u);
    const auto y = file.entries[0].find("h_block.y")->float64s();
    const auto e = file.entries[0].find("h_block.e")->float64s();
    ASSERT_EQ(e.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(y[k], c[k] / 1.5) << k;
        EXPECT_EQ(e[k], std::sqrt(c[k]) / 1.5) << k;
    }
}

// Separate scans in counts per second: each entry divided by its own scan's
// counting time.
TEST_F(Orvalt, SeparateScansTakeEachScansOwnCountingTime) {
    const double times[] = {1.0, 2.0, 4.0};
    write("t.xrdml", xrdml_text({{10.0, 12.0, times[0], "8 8 8"},
                                 {10.0, 12.0, times[1], "8 8 8"},
                                 {10.0, 12.0, times[2], "8 8 8"}}));
    ASSERT_EQ(run("", "", "--separate t.xrdml").status, 0);
    orvalt::test::GenieFile file;
    std::string error;
    ASSERT_TRUE(orvalt::test::read_genie_file((dir / "t.write").string(), file, error)) << error;
    ASSERT_EQ(file.entries.size(), 3u);
    for (std::size_t s = 0; s < 3; ++s) {
        const auto y = file.entries[s].find("h_block.y")->float64s();
        const auto e = file.entries[s].find("h_block.e")->float64s();
        ASSERT_EQ(y.size(), 3u);
        EXPECT_EQ(y[0], 8.0 / times[s]) << "entry " << s + 1;
        EXPECT_EQ(e[2], std::sqrt(8.0) / times[s]) << "entry " << s + 1;
    }
}

TEST_F(Orvalt, GudrunBranchStopsWhenEveryScanIsExcluded) {
    write("g.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}, {10.0, 12.0, 1.0, "1 2 3"}}));
    const Result r = run("g.xrdml\n-2\n1\n1\n7\n-1\n2\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(" Error: All scans have been excluded\n"), std::string::npos);
    EXPECT_FALSE(exists("g.weights"));
    EXPECT_FALSE(exists("orvalt.tmp"));
}

TEST_F(Orvalt, SeparateScansGoIntoOneGenieFile) {
    write("sep.xrdml", xrdml_text(three_scans));
    const Result r = run("sep.xrdml\n-3\n0\n\n");
    EXPECT_EQ(r.status, 0);
    const std::string tail =
        " Give 0 for counts, or 1 for counts per second (1) > \n"
        " orvalt: x-axis units are 2-theta\n"
        " orvalt: Output file is a Genie binary file\n"
        "\n"
        " Give full name of output file (sep.write) > "
        " orvaltdata1: Scan found: 1\n orvaltdata1: ny = 5\n"
        " orvalt: First and last x-values =   10.00000     and   14.00000    \n"
        " orvaltdata1: Scan found: 2\n orvaltdata1: ny = 5\n"
        " orvalt: First and last x-values =   10.00000     and   14.00000    \n"
        " orvaltdata1: Scan found: 3\n orvaltdata1: ny = 5\n"
        " orvalt: First and last x-values =   10.00000     and   14.00000    \n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
    EXPECT_TRUE(exists("sep.write"));
    EXPECT_EQ(read("orvalt.tmp"),
              "sep.xrdml\n          -3\n           0\n           1\n           2\n");
}

TEST_F(Orvalt, LongGenieNameIsShortenedInTheOutputStage) {
    write("s.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}}));
    // 80 characters are kept as typed; 81 are cut to 80.
    const std::tuple<std::string, std::string> limits[] = {
        {std::string(74, 'k') + ".write", std::string(74, 'k') + ".write"},
        {std::string(75, 'c') + ".write", std::string(74, 'c') + ".write"}};
    for (const auto& [typed, written] : limits) {
        const Result r = run("s.xrdml\n1\n0\n1\n2\n" + typed + "\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.find("WARNING: Output file name exceeds") == std::string::npos,
                  typed == written)
            << r.out;
        EXPECT_TRUE(exists(written)) << typed.size();
    }
    const std::string long_name = std::string(86, 'n') + ".write";  // 92 characters
    const Result r = run("s.xrdml\n1\n0\n1\n2\n" + long_name + "\n");
    EXPECT_EQ(r.status, 0);
    const std::string shortened = std::string(74, 'n') + ".write";
    EXPECT_NE(r.out.find("> \n WARNING: Output file name exceeds 80 characters and will be "
                         "truncated to\n " + shortened + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(exists(shortened));
}

TEST_F(Orvalt, ExitAndNoOutputLeaveRememberedAnswersAlone) {
    write("s.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}}));
    write("orvalt.tmp", "s.xrdml\n1\n0\n1\n1\n");
    Result r = run("\n-1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("orvalt.tmp"), "s.xrdml\n1\n0\n1\n1\n");
    r = run("\n\n\n\n0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("orvalt.tmp"), "s.xrdml\n1\n0\n1\n1\n");
    EXPECT_FALSE(exists("s.dat"));
}

}  // namespace
}  // namespace e2e

// The scan table: what each scan moves, where the other axes stand, its
// points, counting time, total and largest count; and its layout.
#include <gtest/gtest.h>

#include "driver/listing.h"
#include "tests/support.h"
#include "xrdml/reader.h"
#include "xrdml/scan_table.h"

namespace orvalt::xrdml {
namespace {

std::string real(const std::string& name) { return std::string(ORVALT_TEST_DATA) + "/xrdml/" + name; }

// The table of a file as --list reads it: along with the survey.
ScanTable listed(const std::string& file) {
    ScanTableReader lister;
    ScanCensus census;
    ScanParameters par;
    EXPECT_TRUE(survey_file(file, ReaderStatus{}, census, par, 0, nullptr,
                            [&](std::string_view line) { lister.take(line); })
                    .opened);
    return lister.finish();
}

TEST(ScanTable, RealFiles) {
    struct Case {
        std::string file;
        std::size_t scans;
        std::string axis;  // of scan 1
        double start, end;
        std::int32_t points;
        double time, total, maximum;
        std::string other;  // another axis of scan 1 and where it stands (or starts)
        double other_at;
        bool other_moves;
    };
    const std::vector<Case> cases = {
        {std::string(ORVALT_SOURCE_DIR) + "/examples/Na_Mg_mirror.xrdml", 4, "2Theta", 5, 120, 2301,
         2, 13541816, 30806, "Omega", 5, false},
        {real("empyrean.xrdml"), 1, "2Theta", 30.05, 41.75, 196, 0.44, 1814, 22, "Z", 9.391, false},
        {real("om2th_counts_attenuated.xrdml"), 1, "2Theta", 26.025, 79.995, 1800, 0.5, 65529, 14602,
         "Omega", 12.856, true},
        {real("polefig_Ge113.xrdml"), 91, "Phi", -179.7, 179.7, 1199, 2, 12726, 25, "2Theta", 53.686,
         false},
        {real("rsm_401_scans.xrdml"), 401, "2Theta", 67.67550446, 69.58109554, 255, 2, 481, 7,
         "Omega", 33.0546, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ScanTable t = listed(c.file);
        EXPECT_DOUBLE_EQ(t.k_alpha1, 1.540598);
        ASSERT_EQ(t.scans.size(), c.scans);
        const ScanRow& s = t.scans.front();
        EXPECT_EQ(s.axis, c.axis);
        ASSERT_NE(s.read_axis(), nullptr);
        EXPECT_DOUBLE_EQ(s.read_axis()->start, c.start);
        EXPECT_DOUBLE_EQ(s.read_axis()->end, c.end);
        EXPECT_EQ(s.points, c.points);
        EXPECT_DOUBLE_EQ(s.counting_time, c.time);
        EXPECT_EQ(s.total, c.total);
        EXPECT_EQ(s.maximum, c.maximum);
        const auto other = std::find_if(s.positions.begin(), s.positions.end(),
                                        [&](const AxisPositions& p) { return p.axis == c.other; });
        ASSERT_NE(other, s.positions.end());
        EXPECT_DOUBLE_EQ(other->start, c.other_at);
        EXPECT_EQ(other->moves, c.other_moves);
    }
}

TEST(ScanTable, CommentedScanIsNotListedAndLayoutAligns) {
    test::TempDir dir;
    const std::string file = dir.write("t.xrdml",
        "<kAlpha1 unit=\"Angstrom\">1.5</kAlpha1>\n"
        "<positions axis=\"Omega\" unit=\"deg\">\n<startPosition>1</startPosition>\n"
        "<endPosition>3</endPosition>\n</positions>\n"
        "<positions axis=\"Chi\" unit=\"deg\"><commonPosition>45</commonPosition></positions>\n"
        "<commonCountingTime unit=\"seconds\">10</commonCountingTime>\n"
        "<counts unit=\"counts\">1 2 30</counts>\n"
        "<!-- a scan left out\n<intensities>5 5</intensities>\n-->\n"
        "<positions axis=\"2Theta\" unit=\"deg\">\n<listPositions>10 11 12 13</listPositions>\n"
        "</positions>\n<intensities unit=\"counts\">100 2000 3 4</intensities>\n");
    const ScanTable t = listed(file);
    ASSERT_EQ(t.scans.size(), 2u);
    EXPECT_EQ(t.scans[0].axis, "Omega");
    EXPECT_EQ(t.scans[0].total, 33);
    EXPECT_EQ(t.scans[1].axis, "2Theta");
    EXPECT_EQ(t.scans[1].read_axis()->end, 13);
    EXPECT_FALSE(t.scans[1].has_counting_time);
    EXPECT_EQ(format_scan_list("t.xrdml", t, 1.5),
              "t.xrdml: 2 scans\n"
              "  wavelength K-alpha1 1.5, mean 1.5 angstrom\n"
              "  scan  axis        start  end  points  step  time (s)  total counts  max counts  other axes\n"
              "     1  Omega deg       1    3       3     1        10            33          30  Chi 45 deg\n"
              "     2  2Theta deg     10   13       4     1         -          2107        2000\n");
}

}  // namespace
}  // namespace orvalt::xrdml

// The scan table: what each scan moves, where the other axes stand, its
// points, counting time, total and largest count, conditions and start
// time; what a conversion would refuse of a list; and its layout.
#include <gtest/gtest.h>

#include "driver/listing.h"
#include "tests/support.h"
#include "tests/support/xrdml_passes.h"
#include "xrdml/reader.h"
#include "xrdml/scan_table.h"

namespace orvalt::xrdml {
namespace {

std::string real(const std::string& name) { return std::string(ORVALT_TEST_DATA) + "/xrdml/" + name; }

// The table of a file as --list reads it: along with the survey.
struct Listed {
    ScanTable table;
    ScanCensus census;
    ScanParameters par;
    bool census_ok = false;
    std::string text(const std::string& name) const {
        return format_scan_list(name, table, census, par, census_ok);
    }
};
Listed listed(const std::string& file) {
    ScanTableReader lister;
    Listed l;
    SurveyOptions options;
    options.each_line = [&](std::string_view line, const FirstElement& first) {
        lister.take(line, first);
    };
    const FileSurvey s = survey_file(file, ReaderStatus{}, l.census, l.par, options);
    EXPECT_TRUE(s.opened);
    l.census_ok = s.census_status.ierr == 0;
    l.table = lister.finish();
    return l;
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
        {real("insitu_48_listed_positions.xrdml"), 48, "2Theta", 36.70652469, 40.04067531, 255,
         16.946, 94328, 1108, "Z", 4.759, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Listed l = listed(c.file);
        EXPECT_DOUBLE_EQ(l.table.k_alpha1.value, 1.540598);
        ASSERT_EQ(l.table.lists.size(), c.scans);
        ASSERT_EQ(l.par.facts.size(), c.scans);
        const ScanFacts& s = l.par.facts.front();
        const ListTotals& t = l.table.lists.front();
        EXPECT_EQ(s.axis, c.axis);
        ASSERT_NE(s.read_axis(), nullptr);
        EXPECT_DOUBLE_EQ(s.read_axis()->start, c.start);
        EXPECT_DOUBLE_EQ(s.read_axis()->end, c.end);
        EXPECT_EQ(t.points, c.points);
        EXPECT_DOUBLE_EQ(s.counting_time, c.time);
        EXPECT_EQ(t.total, c.total);
        EXPECT_EQ(t.maximum, c.maximum);
        const auto other = std::find_if(s.positions.begin(), s.positions.end(),
                                        [&](const AxisPositions& p) { return p.axis == c.other; });
        ASSERT_NE(other, s.positions.end());
        EXPECT_DOUBLE_EQ(other->start, c.other_at);
        EXPECT_EQ(other->moves, c.other_moves);
    }
    // The in-situ series: every scan at 294 K, its own start time; the
    // measurement names no crystal monochromator in the incident beam (its
    // graphite one stands before the detector).
    const Listed insitu = listed(real("insitu_48_listed_positions.xrdml"));
    EXPECT_EQ(insitu.census.beam.intended, "K-Alpha");
    EXPECT_EQ(insitu.census.beam.monochromator, "");
    ASSERT_EQ(insitu.par.facts[47].conditions.size(), 1u);
    EXPECT_EQ(kelvin(insitu.par.facts[47].conditions[0]), 294.0);
    EXPECT_EQ(insitu.par.facts[47].start_time, "2017-01-10T14:14:27-05:00");
    EXPECT_EQ(listed(real("simpack_xrd_AlGaAs.xrdml")).census.beam.monochromator,
              "Inc. beam Monochr. 4xGe220 Cu sym. LF");
}

// A conversion keeps of each scan's facts only what it writes; the beam's
// facts and the count of lists are the same at every level.
TEST(ScanTable, FactsKeptAsARunAsksThem) {
    struct Case {
        FactsKept kept;
        bool positions;  // each scan's axes kept
    };
    const Case cases[] = {
        {FactsKept::beam, false}, {FactsKept::conditions, false}, {FactsKept::all, true}};
    for (const std::string& file : {real("insitu_48_listed_positions.xrdml"),
                                    real("om2th_counts_attenuated.xrdml")}) {
        const Listed whole = listed(file);
        for (const Case& c : cases) {
            SCOPED_TRACE(file + " " + std::to_string(static_cast<int>(c.kept)));
            ScanCensus census;
            ScanParameters par;
            SurveyOptions options;
            options.facts = c.kept;
            survey_file(file, ReaderStatus{}, census, par, options);
            EXPECT_EQ(census.beam.monochromator, whole.census.beam.monochromator);
            EXPECT_EQ(census.beam.intended, whole.census.beam.intended);
            EXPECT_EQ(census.cut_scan, whole.census.cut_scan);
            EXPECT_EQ(par.start_position, whole.par.start_position);
            if (c.kept == FactsKept::beam || whole.par.facts.size() != 48) {
                EXPECT_EQ(par.facts.size(), c.kept == FactsKept::beam ? 0 : whole.par.facts.size());
                continue;
            }
            ASSERT_EQ(par.facts.size(), 48u);
            const ScanFacts& last = par.facts.back();
            EXPECT_EQ(last.conditions.size(), whole.par.facts.back().conditions.size());
            EXPECT_EQ(last.start_time, whole.par.facts.back().start_time);
            EXPECT_EQ(last.counting_time, whole.par.facts.back().counting_time);
            EXPECT_EQ(last.positions.empty(), !c.positions);
        }
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
    Listed l = listed(file);
    ASSERT_EQ(l.table.lists.size(), 2u);
    EXPECT_EQ(l.par.facts[0].axis, "Omega");
    EXPECT_EQ(l.table.lists[0].total, 33);
    EXPECT_EQ(l.par.facts[1].axis, "2Theta");
    EXPECT_EQ(l.par.facts[1].read_axis()->end, 13);
    EXPECT_FALSE(l.par.facts[1].has_counting_time);
    l.census.wavelength = 1.5;
    l.census_ok = true;
    EXPECT_EQ(l.text("t.xrdml"),
              "t.xrdml: 2 scans\n"
              "  wavelength K-alpha1 1.5, K-alpha2 missing, ratio K-alpha2/K-alpha1 missing, mean "
              "1.5 angstrom\n"
              "  scan  axis        start  end  points  step  time (s)  total counts  max counts  other axes\n"
              "     1  Omega deg       1    3       3     1        10            33          30  Chi 45 deg\n"
              "     2  2Theta deg     10   13       4     1         -          2107        2000\n");
}

// What the table says of a list agrees with what a conversion makes of it:
// a field that is no number, a negative count, a total beyond the range of
// numbers, fewer counts than listed positions, a list cut by the end of the
// file; and of wavelengths that are missing or no numbers.
TEST(ScanTable, SaysWhatAConversionRefuses) {
    struct Case {
        std::string list;   // the counts list's line, or a whole scan
        std::string total;  // as the table shows it
        std::string note;
    };
    const std::string positions = "<positions axis=\"2Theta\" unit=\"deg\">\n"
                               "<listPositions>10 10.5 11.5 13</listPositions>\n</positions>\n";
    const Case cases[] = {
        {"<counts>1 NaN inf 3</counts>", "-", "point 2 is no number"},
        {"<counts>1,x</counts>", "-", "point 2 is no number"},
        {"<counts>4 -2 1</counts>", "3", "point 2 is negative"},
        {"<counts>1e308 1e308</counts>", "-", "total beyond the range of numbers"},
        {positions + "<counts>1 2</counts>", "3", "partial: 2 counts for 4 listed positions"},
        {positions + "<counts>1 2 3 4 5</counts>", "15", "5 counts for 4 listed positions"},
        {"<counts>1 2", "-", "cut short: the file ends in its list"},
        {"<counts>1 2 3 4 5 6 7 8 9 10 11 12</counts>", "78", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        test::TempDir dir;
        const Listed l = listed(dir.write("t.xrdml", "<kAlpha1 unit=\"Angstrom\">x</kAlpha1>\n" +
                                                         c.list + "\n"));
        const std::string text = l.text("t.xrdml");
        EXPECT_NE(text.find("wavelength K-alpha1 not a number, K-alpha2 missing,"),
                  std::string::npos);
        const std::string row = text.substr(text.rfind("\n     1") + 1);
        EXPECT_NE(row.find("  " + c.total + "  "), std::string::npos) << row;
        if (!c.note.empty()) {
            EXPECT_TRUE(row.ends_with(c.note + "\n")) << row;
        }
    }
}

}  // namespace
}  // namespace orvalt::xrdml

// The intensities: one scan, the sum of the included scans, and REVERSEARRAY.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>

#include "tests/support.h"
#include "xrdml/reader.h"
#include "xrdml/scan_offsets.h"

namespace orvalt::xrdml {
namespace {

using namespace orvalt::test;

std::string counting(int n) {
    std::string s = "1";
    for (int i = 2; i <= n; ++i) s += " " + std::to_string(i);
    return s;
}

struct Read {
    ReaderStatus status;
    std::vector<double> y = std::vector<double>(mn, -1.0), e = std::vector<double>(mn, -1.0);
    std::vector<std::int32_t> npts = std::vector<std::int32_t>(max_scans, -3);
    std::int32_t ny = -5;
    std::string out;
    std::vector<double> first(std::ptrdiff_t n) const { return {y.begin(), y.begin() + n}; }
};

Read load(const std::string& text, std::int32_t scan, std::int32_t verbose = 1) {
    TempDir dir;
    Dialogue d;
    Read r;
    ORVALTDATA1(d.con, dir.write("f.xrdml", text), r.status, r.y, r.e, mn, r.ny, scan, verbose);
    r.out = d.text();
    return r;
}

Read sum(const std::string& text, std::int32_t nscans, std::vector<std::int32_t> weight = {}) {
    TempDir dir;
    Dialogue d;
    Read r;
    weight.resize(max_scans, 1);
    ORVALTDATATOT(d.con, dir.write("f.xrdml", text), r.status, r.y, r.e, mn, r.npts, weight, r.ny, nscans, 1);
    r.out = d.text();
    return r;
}

TEST(SingleScan, LoadsTheChosenScan) {
    Read r = load(xrdml_file({"1 2 3", "4\t9,16  ", "7"}, "\r\n"), 2);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.out, " orvaltdata1: Scan found: 2\n orvaltdata1: ny = 3\n");
    EXPECT_EQ(r.first(4), (std::vector<double>{4, 9, 16, -1}));
    EXPECT_EQ(std::vector<double>(r.e.begin(), r.e.begin() + 4), (std::vector<double>{2, 3, 4, -1}));
    EXPECT_EQ(load(xrdml_file({"1", ""}), 2, 0).ny, 0);  // an empty list is no failure

    r = load(xrdml_file({"1 2 3", "4"}), 3);  // beyond the last scan
    EXPECT_EQ(r.status.ierr, 1);
    EXPECT_EQ(message(r.status), "The file ends after scan 2, before scan 3");
    r = load("no such file", 0);
    EXPECT_EQ(r.status.ierr, 14);
    EXPECT_EQ(message(r.status), "Unexpected scan number received by orvaltdata1");
    EXPECT_EQ(r.ny, -5);
}

TEST(SingleScan, PointLimit) {
    Read r = load(xrdml_file({counting(mn)}), 1);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.y[mn - 1], mn);

    r = load(xrdml_file({counting(mn + 1)}), 1);
    EXPECT_EQ(r.status.ierr, 9);
    EXPECT_EQ(message(r.status), "Too many data points");
    EXPECT_EQ(r.out, " orvaltdata1: Scan found: 1\n orvaltdata1: ny = 25001\n"
                     " Number of data points ny = 25001\n Maximum allowed number of points mn = 25000\n");
    EXPECT_EQ(r.y[0], -1.0);  // nothing written
}

// A field that is no number or a list wrapped over lines fails both reads,
// naming the point and the scan; a list the file ends in is cut short.
TEST(BothReads, BadIntensities) {
    auto with = [](std::vector<std::string> more) {
        std::vector<std::string> ls = wavelength_lines;
        ls.push_back("<intensities unit=\"counts\">1</intensities>");
        ls.insert(ls.end(), more.begin(), more.end());
        return lines(ls);
    };
    const std::string bad = "Problem reading intensities: ";
    std::vector<std::tuple<std::string, std::int32_t, std::string>> files = {
        {with({"<intensities unit=\"counts\">1 2 3", "4 5 6</intensities>"}), 10,
         bad + "scan 2's list does not close on its line"},
        {with({"<intensities"}), 23, "Scan 2 is cut short: the file ends inside its list"},
        {with({"<intensities unit=\"counts\">1 2 3"}), 23,
         "Scan 2 is cut short: the file ends inside its list"}};
    for (const auto& [list, point] : {std::pair{"1 x 3", 2}, {"1 , 3", 2}, {"1 nan", 2}, {"Inf", 1},
                                      {"1 2 ,", 3}})
        files.emplace_back(xrdml_file({"1", list}), 10,
                           bad + "point " + std::to_string(point) + " of scan 2 is not a number");
    for (const auto& [f, ierr, text] : files) {
        for (const Read& r : {load(f, 2), sum(f, 2)}) {
            EXPECT_EQ(r.status.ierr, ierr) << f;
            EXPECT_EQ(message(r.status), text);
        }
    }
    EXPECT_EQ(sum(std::get<0>(files.back()), 2, {1, 0}).status.ierr, 0);  // an excluded scan is not read
    const Read r = load(with({"\t<intensities unit=\"counts\"/>"}), 2);  // an empty element tag
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.ny, 0);
}

// A file of counts scans; `around[k]` holds the lines put before and after
// the counts line of scan k within its dataPoints.
std::string attenuated_file(const std::vector<std::string>& counts,
                            const std::vector<std::pair<std::string, std::string>>& around,
                            const std::string& list_element = "counts") {
    std::vector<std::string> ls = wavelength_lines;
    for (std::size_t k = 0; k < counts.size(); ++k) {
        auto scan = scan_lines("10", "20", "1", counts[k], list_element);
        const auto list = scan.begin() + 10;
        if (!around[k].second.empty()) scan.insert(list + 1, around[k].second);
        if (!around[k].first.empty()) scan.insert(scan.begin() + 10, around[k].first);
        ls.insert(ls.end(), scan.begin(), scan.end());
    }
    ls.push_back("</xrdMeasurements>");
    return lines(ls);
}

std::string factors(const std::string& list) {
    return "\t\t\t<beamAttenuationFactors>" + list + "</beamAttenuationFactors>";
}

// Counts through an attenuator: c*f with error sqrt(c)*f, factors before or
// after the counts of their own dataPoints; a sum adds c*f and c*f*f.
TEST(BothReads, AttenuationFactors) {
    const std::string f1 = factors("1 2 1"), f2 = factors("1.5 1 4");
    // scan 1: no factors (scan 2's are not its own); scan 2: factors before; scan 3: after
    const std::string file = attenuated_file({"25 25 25", "4 9 16", "1 4 9"},
                                             {{"", ""}, {f1, ""}, {"", f2}});
    EXPECT_EQ(load(file, 1).first(3), (std::vector<double>{25, 25, 25}));
    Read r = load(file, 2);
    EXPECT_EQ(r.first(3), (std::vector<double>{4, 18, 16}));
    EXPECT_EQ(std::vector<double>(r.e.begin(), r.e.begin() + 3), (std::vector<double>{2, 6, 4}));
    r = load(file, 3);
    EXPECT_EQ(r.first(3), (std::vector<double>{1.5, 4, 36}));
    EXPECT_EQ(r.e[2], 12);
    r = sum(file, 3);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.first(3), (std::vector<double>{25 + 4 + 1.5, 25 + 18 + 4, 25 + 16 + 36}));
    EXPECT_EQ(r.e[1], std::sqrt(25 + 9 * 4 + 4.0));
    EXPECT_EQ(r.e[2], std::sqrt(25 + 16 + 9 * 16.0));
    // Scan 3 alone, its factors after the last scan read: the pass reads on for them.
    EXPECT_EQ(sum(file, 3, {0, 0, 1}).first(3), (std::vector<double>{1.5, 4, 36}));

    // Intensities are corrected already; factors of 1 change no bit.
    EXPECT_EQ(load(attenuated_file({"4 9"}, {{factors("3 3"), ""}}, "intensities"), 1).first(2),
              (std::vector<double>{4, 9}));
    const std::string plain = xrdml_file({"3 5"});
    const std::string ones = attenuated_file({"3 5"}, {{factors("1.00 1.00"), ""}});
    for (const auto& [a, b] : {std::pair{load(plain, 1), load(ones, 1)}, {sum(plain, 1), sum(ones, 1)}}) {
        EXPECT_EQ(a.first(2), b.first(2));
        EXPECT_EQ(std::vector<double>(a.e.begin(), a.e.begin() + 2),
                  std::vector<double>(b.e.begin(), b.e.begin() + 2));
    }

    const std::pair<const char*, std::string> bad_factors[] = {
        {"1", "scan 1 has 1 for its 2 counts"},
        {"1 2 3", "scan 1 has 3 for its 2 counts"},
        {"1 0", "factor 2 of scan 1 is not a positive number"},
        {"1 -2", "factor 2 of scan 1 is not a positive number"},
        {"1 x", "factor 2 of scan 1 is not a positive number"},
        {"1e400 1", "factor 1 of scan 1 is not a positive number"}};
    for (const auto& [bad, why] : bad_factors) {
        const std::string f = attenuated_file({"3 5"}, {{"", factors(bad)}});
        for (const Read& rr : {load(f, 1), sum(f, 1)}) {
            EXPECT_EQ(rr.status.ierr, 17) << bad;
            EXPECT_EQ(message(rr.status), "Problem reading attenuation factors: " + why);
        }
    }
}

TEST(SummedScans, AddsIncludedScansFromTheirFirstPoint) {
    const Read r = sum(xrdml_file({"10 20 30", "1 2", "1000", "5 5 5 5"}), 4, {1, 1, 0, 2});
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.ny, 3);
    EXPECT_EQ(r.first(4), (std::vector<double>{11, 22, 30, 0}));
    EXPECT_EQ(r.e[0], std::sqrt(11.0));
    EXPECT_EQ(r.e[3], -1.0);
    // Excluded scans are counted but leave npts alone.
    EXPECT_EQ(std::vector<std::int32_t>(r.npts.begin(), r.npts.begin() + 5),
              (std::vector<std::int32_t>{3, 2, -3, -3, -3}));
}

TEST(SummedScans, ScanCountAndLimits) {
    std::vector<std::string> ls = wavelength_lines;
    const auto scan = scan_lines("1", "2", "1", "4 4", "counts");
    ls.insert(ls.end(), scan.begin(), scan.end());
    ls.push_back("<intensities>x</intensities>");  // past nscans: never read
    Read r = sum(lines(ls), 1);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.first(2), (std::vector<double>{4, 4}));
    r = sum(xrdml_file({"1", ""}), 3);
    EXPECT_EQ(r.status.ierr, 1);
    EXPECT_EQ(message(r.status), "The file ends after scan 2, before scan 3");

    r = sum(xrdml_file({"1 2", counting(mn + 1), "3"}), 3);
    EXPECT_EQ(r.status.ierr, 9);
    EXPECT_EQ(r.npts[1], mn + 1);
    EXPECT_EQ(r.first(3), (std::vector<double>{1, 2, 0}));  // the scans before it are summed
    r = sum(xrdml_file({counting(mn), counting(mn)}), 2);
    EXPECT_EQ(r.status.ierr, 0);
    EXPECT_EQ(r.y[mn - 1], 2.0 * mn);
    // Scans past the per-scan tables are counted, never included.
    EXPECT_EQ(sum(xrdml_file(std::vector<std::string>(203, "1 1")), 203).y[0], max_scans);
}

// Loading one scan after the other starts at the line of the scan before;
// a file that changed is read from the top again.
TEST(SingleScan, RemembersWhereTheScansBegin) {
    TempDir dir;
    const std::string path = dir.write("f.xrdml", xrdml_file({"1 2", "3 4", "5 6"}));
    ScanOffsets offsets;
    auto load_with = [&](std::int32_t scan) {
        Dialogue d;
        Read r;
        ORVALTDATA1(d.con, path, r.status, r.y, r.e, mn, r.ny, scan, 1, offsets);
        r.out = d.text();
        return r;
    };
    for (std::int32_t s : {1, 2, 3, 2}) {
        const Read r = load_with(s);
        EXPECT_EQ(r.status.ierr, 0);
        EXPECT_EQ(r.out, " orvaltdata1: Scan found: " + std::to_string(s) + "\n orvaltdata1: ny = 2\n");
        EXPECT_EQ(r.first(2), (std::vector<double>{2.0 * s - 1, 2.0 * s}));
    }
    EXPECT_EQ(offsets.known(), 3);
    Read r = load_with(4);  // the end-of-file report as from the top
    EXPECT_EQ(r.status.ierr, 1);
    EXPECT_EQ(message(r.status), "The file ends after scan 3, before scan 4");
    // ... also when the last line read is the remembered one.
    const std::string last = dir.write("last.xrdml", lines({"<counts>1 2</counts>", "<counts>3</counts>"}, "\r\n"));
    ScanOffsets at_end;
    for (std::int32_t s : {1, 2, 3}) {
        Dialogue d;
        r = Read();
        ORVALTDATA1(d.con, last, r.status, r.y, r.e, mn, r.ny, s, 1, at_end);
    }
    EXPECT_EQ(message(r.status), "The file ends after scan 2, before scan 3");

    // The same size and time, but the lines moved: no intensity line where
    // scan 3's was.
    const auto time = std::filesystem::last_write_time(path);
    std::string moved = "     " + xrdml_file({"1 2", "3 4", "5 6"});
    moved.erase(moved.rfind("</xrdMeasurements>"), 5);
    ASSERT_EQ(moved.size(), std::filesystem::file_size(path));
    dir.write("f.xrdml", moved);
    std::filesystem::last_write_time(path, time);
    r = load_with(3);
    EXPECT_EQ(r.first(2), (std::vector<double>{5, 6}));
    // A file of another size: the offsets are forgotten.
    dir.write("f.xrdml", xrdml_file({"10 20", "30 40 50"}));
    r = load_with(2);
    EXPECT_EQ(r.ny, 3);
    EXPECT_EQ(r.first(3), (std::vector<double>{30, 40, 50}));
    EXPECT_EQ(offsets.known(), 2);
    // ... also when the pass before left the file open right after scan 1.
    load_with(1);
    dir.write("f.xrdml", xrdml_file({"10 20", "7 8 9 10"}));
    r = load_with(2);
    EXPECT_EQ(r.first(4), (std::vector<double>{7, 8, 9, 10}));
}

// Loading scan after scan from the remembered lines gives what a read from
// the top gives, whatever lies between the scans: attenuation factors before
// or after a list (also with no dataPoints around them), a comment that an
// intensity line leaves open.
TEST(SingleScan, RememberedLinesReadAsFromTheTop) {
    const std::string f1 = factors("2 2"), f2 = factors("3 3");
    std::string bare =
        attenuated_file({"1 1", "2 2", "3 3", "4 4"}, {{f1, ""}, {f2, ""}, {"", f1}, {"", ""}});
    for (std::size_t p = bare.find("dataPoints"); p != std::string::npos; p = bare.find("dataPoints"))
        bare.erase(bare.rfind('\n', p) + 1, bare.find('\n', p) - bare.rfind('\n', p));
    // The comment opened on scan 1's line hides scan 2's (the line that closes it).
    std::string commented = xrdml_file({"1 2", "3 4", "5 6"});
    commented.insert(commented.find("</intensities>") + 14, "<!-- a note");
    commented.insert(commented.find("</intensities>", commented.find("a note")) + 14, " -->");
    const std::string framed = attenuated_file({"1 1", "2 2", "3 3"}, {{f1, ""}, {"", f2}, {f1, ""}});
    for (const std::string& text : {bare, commented, framed}) {
        TempDir dir;
        const std::string path = dir.write("f.xrdml", text);
        ScanOffsets offsets;
        for (std::int32_t s = 1; s <= 4; ++s) {
            Dialogue d;
            Read r;
            ORVALTDATA1(d.con, path, r.status, r.y, r.e, mn, r.ny, s, 1, offsets);
            const Read top = load(text, s);
            EXPECT_EQ(r.status.ierr, top.status.ierr) << s;
            EXPECT_EQ(r.first(2), top.first(2)) << s;
            EXPECT_EQ(std::vector<double>(r.e.begin(), r.e.begin() + 2),
                      std::vector<double>(top.e.begin(), top.e.begin() + 2)) << s;
        }
    }
}

TEST(Reverse, ReversesTheFirstN) {
    std::vector<double> a = {1, 2, 3, 4};
    REVERSEARRAY(a, 0);
    EXPECT_EQ(a, (std::vector<double>{1, 2, 3, 4}));
    REVERSEARRAY(a, 3);
    EXPECT_EQ(a, (std::vector<double>{3, 2, 1, 4}));
}

}  // namespace
}  // namespace orvalt::xrdml

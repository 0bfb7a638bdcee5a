// What the dialogue's limits and the start/end positions left out: listed
// positions, scans of any length and files of any number of scans on the
// command line, the wavelength chosen, partial and cut measurements, each
// scan's conditions. Each new way in has its table of hostile cases.
#include <sys/wait.h>

#include <cmath>
#include <map>

#include "e2e_support.h"
#include "tests/compress_support.h"

namespace e2e {
namespace {

// One scan: the lines of its 2Theta positions block, its counts list and
// what follows its dataPoints within the scan.
struct ScanSpec {
    std::string positions;
    std::string counts;
    std::string after = "";
    std::string time = "1";
};

std::string listed(const std::string& list) { return "<listPositions>" + list + "</listPositions>"; }
std::string start_end(const std::string& start, const std::string& end) {
    return "<startPosition>" + start + "</startPosition>\n\t\t\t\t\t<endPosition>" + end +
           "</endPosition>";
}
std::string temperature(const std::string& values, const std::string& unit = "K") {
    return "\t\t\t<nonAmbientPoints type=\"Temperature\" unit=\"" + unit +
           "\">\n\t\t\t\t<nonAmbientValues>" + values + "</nonAmbientValues>\n\t\t\t</nonAmbientPoints>";
}

// A measurement laid out as the instruments write it; `beam` stands in its
// incident beam path; without `whole` it ends after its last line given.
std::string measurement(const std::vector<ScanSpec>& scans, const std::string& beam = "",
                        bool whole = true) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xrdMeasurements status=\"Aborted\">\n"
                    "\t<xrdMeasurement measurementType=\"Repeated scan\" status=\"Aborted\">\n"
                    "\t\t<usedWavelength intended=\"K-Alpha\">\n"
                    "\t\t\t<kAlpha1 unit=\"Angstrom\">1.5405980</kAlpha1>\n"
                    "\t\t\t<kAlpha2 unit=\"Angstrom\">1.5444260</kAlpha2>\n"
                    "\t\t\t<ratioKAlpha2KAlpha1>0.5000</ratioKAlpha2KAlpha1>\n"
                    "\t\t</usedWavelength>\n\t\t<incidentBeamPath>\n" + beam +
                    "\t\t</incidentBeamPath>\n";
    int k = 0;
    for (const ScanSpec& scan : scans) {
        s += "\t\t<scan appendNumber=\"0\" scanAxis=\"2Theta\" status=\"Completed\">\n"
             "\t\t\t<header>\n\t\t\t\t<startTimeStamp>2017-01-10T13:5" + std::to_string(k) +
             ":33-05:00</startTimeStamp>\n\t\t\t\t<endTimeStamp>2017-01-10T13:5" +
             std::to_string(k) + ":57-05:00</endTimeStamp>\n\t\t\t</header>\n"
             "\t\t\t<dataPoints>\n\t\t\t\t<positions axis=\"2Theta\" unit=\"deg\">\n\t\t\t\t\t" +
             scan.positions + "\n\t\t\t\t</positions>\n"
             "\t\t\t\t<commonCountingTime unit=\"seconds\">" + scan.time +
             "</commonCountingTime>\n\t\t\t\t<intensities unit=\"counts\">" + scan.counts;
        if (!whole && &scan == &scans.back()) return s;  // cut inside its list
        s += "</intensities>\n\t\t\t</dataPoints>\n" + (scan.after.empty() ? "" : scan.after + "\n") +
             "\t\t</scan>\n";
        ++k;
    }
    if (whole) s += "\t</xrdMeasurement>\n</xrdMeasurements>\n";
    return s;
}

// The x, y and e of each data line of a text (lines of other kinds passed over).
std::vector<std::array<double, 3>> points_of(const std::string& text) {
    std::vector<std::array<double, 3>> points;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream items(line);
        std::array<double, 3> p{};
        if (!line.starts_with('#') && items >> p[0] >> p[1] >> p[2]) points.push_back(p);
    }
    return points;
}

std::string format(double v) {
    std::ostringstream s;
    s.precision(15);
    s << v;
    return s.str();
}

class Beyond : public Orvalt {
protected:
    bool has(const std::string& text, const std::string& part) const {
        return text.find(part) != std::string::npos;
    }
};

// Listed positions: x as listed in every output, summed point by point where
// the scans share them, each fault named with its scan.
TEST_F(Beyond, ListedPositions) {
    const std::string uneven = listed("10 10.5 11.5 13");
    const std::string even = listed("10 11 12 13.00005");
    struct Case {
        const char* what;
        std::vector<ScanSpec> scans;
        std::string args;
        int status;
        std::string said;  // in standard error, or on success the x written
    };
    const Case cases[] = {
        {"uneven, shared", {{uneven, "1 2 3 4"}, {uneven, "1 2 3 4"}}, "", 0, "10 10.5 11.5 13"},
        {"even, shared", {{even, "1 2 3 4"}, {even, "4 3 2 1"}}, "", 0, "10 11 12 13.00005"},
        {"start/end and a list", {{start_end("10", "13"), "1 1 1 1"}, {even, "1 1 1 1"}}, "", 0,
         "10 11 12 13"},
        {"one scan, uneven", {{uneven, "1 2 3 4"}}, "--scan 1 --counts", 0, "10 10.5 11.5 13"},
        {"scans differ", {{uneven, "1 2 3 4"}, {listed("10 10.7 11.5 13"), "1 2 3 4"}}, "", 1,
         "Scans appear to have incompatible positions: scan 2 differs from scan 1 at point 2 "
         "(10.7 against 10.5)"},
        {"a longer scan extends the grid", {{listed("10 10.5"), "1 2"}, {uneven, "1 2 3 4"}}, "", 0,
         "10 10.5 11.5 13"},
        {"not a number", {{listed("10 x 12"), "1 2 3"}}, "", 1,
         "Problem reading x-axis: position 2 of scan 1's listPositions is not a number"},
        {"empty", {{listed(""), "1 2 3"}}, "", 1,
         "Problem reading x-axis: scan 1's listPositions holds no positions"},
        {"not closed", {{"<listPositions>10 11 12", "1 2 3"}}, "", 1,
         "Problem reading x-axis: scan 1's listPositions does not close on its line"},
        {"more counts than positions", {{listed("10 11 12"), "1 2 3 4"}}, "", 1,
         "Problem reading x-axis: Scan 1 holds 4 counts for its 3 listed positions"},
        {"fewer counts (partial)", {{uneven, "1 2 3 4"}, {uneven, "5 6"}}, "", 1,
         "Scan 2 is partial: 2 counts for its 4 listed positions; --partial takes it as far as "
         "it goes"},
        {"fewer counts, taken", {{uneven, "1 2 3 4"}, {uneven, "5 6"}}, "--partial", 0,
         "10 10.5 11.5 13"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("l.xrdml", measurement(c.scans));
        fs::remove(dir / "l.dat");
        const Result r = run("", "", "-q --format ascii " + c.args + " l.xrdml");
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status != 0) {
            EXPECT_TRUE(has(r.err, c.said)) << r.err;
            EXPECT_FALSE(exists("l.dat"));
            continue;
        }
        std::string x;
        for (const auto& p : points_of(read("l.dat"))) x += (x.empty() ? "" : " ") + format(p[0]);
        EXPECT_EQ(x, c.said);
    }
    // A list of 200,000 positions, more than the dialogue takes.
    std::string positions, counts;
    for (int k = 0; k < 200000; ++k) {
        positions += (k ? " " : "") + format(10 + k * 0.0001);
        counts += k ? " 7" : "7";
    }
    write("l.xrdml", measurement({{listed(positions), counts}}));
    ASSERT_EQ(run("", "", "-q --scan 1 --counts --format xye l.xrdml").status, 0);
    const auto points = points_of(read("l.xye"));
    ASSERT_EQ(points.size(), 200000u);
    EXPECT_EQ(format(points.back()[0]), "29.9999");

    // The dialogue converts listed positions too, x as listed.
    write("l.xrdml", measurement({{uneven, "1 2 3 4"}, {uneven, "2 2 2 2"}}));
    const Result r = run("l.xrdml\n0\n0\n1\n1\n\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r.out, " orvalt: x-axis spacing =   1.000000000000    \n"
                           " orvalt: Number of points = 4\n"
                           " orvalt: First point x =   10.00000     y =   1.500000    \n"
                           " orvalt: Last point  x =   13.00000     y =   3.000000    \n"))
        << r.out;
}

// A point of a sum is divided by the counting times of the scans that reach
// it: scans of three lengths and four times, each point its own set.
TEST_F(Beyond, APointOfASumTakesTheTimesOfTheScansThatReachIt) {
    const std::vector<ScanSpec> scans = {{start_end("10", "13"), "10 20 30 40", "", "0.1"},
                                         {start_end("10", "11"), "7 7", "", "0.3"},
                                         {start_end("10", "12"), "1 2 3", "", "0.7"},
                                         {start_end("10", "13"), "5 5 5 5", "", "1.3"}};
    write("t.xrdml", measurement(scans));
    ASSERT_EQ(run("", "", "-q --format ascii t.xrdml").status, 0);
    const std::string expected[] = {format((10.0 + 7 + 1 + 5) / (0.1 + 0.3 + 0.7 + 1.3)),
                                    format((20.0 + 7 + 2 + 5) / (0.1 + 0.3 + 0.7 + 1.3)),
                                    format((30.0 + 3 + 5) / (0.1 + 0.7 + 1.3)),
                                    format((40.0 + 5) / (0.1 + 1.3))};
    const auto points = points_of(read("t.dat"));
    ASSERT_EQ(points.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(format(points[k][1]), expected[k]) << k;
}

// The real in-situ series: 48 scans of listed positions at 294 K. The
// dialogue sums them now (its transcript below); the command line writes
// each scan's temperature and times where the formats have a place for them.
TEST_F(Beyond, InSituSeriesOfListedPositions) {
    const std::string name = "insitu_48_listed_positions.xrdml";
    fs::copy_file(fs::path(ORVALT_TEST_DATA) / "xrdml" / name, dir / name);
    const Result r = run(name + "\n0\n1\n1\n1\nsum.dat\n");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string transcript =
        " count_scans: Number of scans in file = 48\n" + std::string(menu) +
        " Give scan number to load, or negative option from list (0) > \n"
        " Give 0 for counts, or 1 for counts per second (1) > " + units_menu +
        " Give units option (1) > " + output_menu + " Give output file option (2) > \n"
        " orvalt: x-axis spacing =  0.1312657724409E-01\n"
        " orvalt: Number of points = 255\n"
        " orvalt: First point x =   36.70652     y =   7.309985    \n"
        " orvalt: Last point  x =   40.04068     y =   9.171289    \n"
        " Give full name of output file (insitu_48_listed_positions.dat) > ";
    EXPECT_TRUE(has(r.out, transcript)) << r.out;
    const auto sum = points_of(read("sum.dat"));
    ASSERT_EQ(sum.size(), 255u);
    EXPECT_EQ(format(sum[1][0]), "36.71964394");  // as listed, not spread evenly

    ASSERT_EQ(run("", "", "-q --separate --format xye insitu_48_listed_positions.xrdml").status, 0);
    const std::string xye = read("insitu_48_listed_positions_48.xye");
    EXPECT_TRUE(has(xye, "# Scans: scan 48 of 48\n") && has(xye, "# Temperature: 294 K\n"
                         "# Time: 2017-01-10T14:14:27-05:00 to 2017-01-10T14:14:51-05:00\n"));
    ASSERT_EQ(run("", "", "-q --format cif insitu_48_listed_positions.xrdml").status, 0);
    EXPECT_TRUE(has(read("insitu_48_listed_positions.cif"), "\n_diffrn_ambient_temperature 294\n"));
    // Separate scans in a Genie file: the start in its time field, all of it
    // in its history.
    ASSERT_EQ(run("", "", "-q --separate insitu_48_listed_positions.xrdml").status, 0);
    const std::string genie = read_bytes("insitu_48_listed_positions.write");
    EXPECT_TRUE(has(genie, "2017-01-10T13:54:33 "));
    EXPECT_TRUE(has(genie, "start 2017-01-10T13:54:33-05:00; end 2017-01-10T13:54:57-05:00; "
                           "Temperature: 294 K "));
    const std::string list = run("", "", "--list insitu_48_listed_positions.xrdml").out;
    EXPECT_TRUE(has(list, "  intended K-Alpha\n")) << list;
    EXPECT_TRUE(has(list, "     255  listed    16.946         94328        1108  294 K       "
                          "2017-01-10T13:54:33-05:00  Omega 19.1 deg, Z 4.759 mm\n"))
        << list;
}

// Each scan's conditions in the .xye comments and the CIF's temperature
// (kelvin); a sum says what its scans share, or their mean temperature.
TEST_F(Beyond, ConditionsOfEachScan) {
    const std::string list = start_end("10", "12");
    const std::string pressure =
        "\t\t\t<nonAmbientPoints type=\"Pressure\" unit=\"bar\">\n\t\t\t\t<nonAmbientValues>2"
        "</nonAmbientValues>\n\t\t\t</nonAmbientPoints>";
    struct Case {
        std::vector<std::string> after;  // of each scan
        std::string args;
        std::string said;   // the .xye line, or "" for none
        std::string cif;    // _diffrn_ambient_temperature, or "" for none
    };
    const Case cases[] = {
        {{temperature("294")}, "--scan 1", "# Temperature: 294 K\n", "294"},
        {{temperature("21", "C")}, "--scan 1", "# Temperature: 21 C\n", "294.15"},
        {{temperature("290 300")}, "--scan 1", "# Temperature: 295 (290 to 300) K\n", "295"},
        {{pressure}, "--scan 1", "# Pressure: 2 bar\n", ""},
        {{temperature("warm")}, "--scan 1", "", ""},
        {{temperature("294"), temperature("294")}, "--sum", "# Temperature: 294 K\n", "294"},
        {{temperature("290"), temperature("300")}, "--sum",
         "# Temperature: 295 K, the mean of the scans summed\n", "295"},
        {{temperature("290"), ""}, "--sum", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after.front() + " " + c.args);
        std::vector<ScanSpec> scans;
        for (const std::string& after : c.after) scans.push_back({list, "1 2 3", after});
        write("t.xrdml", measurement(scans));
        ASSERT_EQ(run("", "", "-q --format xye " + c.args + " t.xrdml").status, 0);
        const std::string xye = read("t.xye");
        if (c.said.empty()) {
            EXPECT_FALSE(has(xye, "Temperature") || has(xye, "Pressure")) << xye;
        } else {
            EXPECT_TRUE(has(xye, "# y: counts per second\n" + c.said + "# Time: ")) << xye;
        }
        ASSERT_EQ(run("", "", "-q --format cif " + c.args + " t.xrdml").status, 0);
        const std::string cif = read("t.cif");
        EXPECT_EQ(has(cif, "_diffrn_ambient_temperature"), !c.cif.empty()) << cif;
        if (!c.cif.empty()) {
            EXPECT_TRUE(has(cif, "\n_diffrn_ambient_temperature " + c.cif + "\n")) << cif;
        }
    }
}

// --wavelength: its values, and what each makes of a file whose incident
// beam passes a crystal monochromator.
TEST_F(Beyond, TheWavelengthChosen) {
    const std::string usage =
        "Usage: orvalt [OPTIONS] FILE.xrdml...\nRun 'orvalt --help' for the options.\n";
    const std::string mono =
        "\t\t\t<monochromator id=\"1\" name=\"Hybrid monochr. 2xGe(220) Cu asym.\" hybrid=\"true\">\n"
        "\t\t\t\t<crystal type=\"Asymmetric\" shape=\"Flat\">Ge</crystal>\n\t\t\t</monochromator>\n";
    write("m.xrdml", measurement({{start_end("20", "40"), "4 9 16"}}, mono));
    struct Case {
        std::string value;
        int status;
        std::string err;  // its first line
    };
    const Case values[] = {
        {"mean", 0, "m.xrdml: **WARNING: the incident beam passes a crystal monochromator "
                    "(Hybrid monochr. 2xGe(220) Cu asym.), which lets K-alpha1 alone through, but "
                    "the wavelength used is the mean of K-alpha1 and K-alpha2; --wavelength "
                    "kalpha1 takes K-alpha1"},
        {"kalpha1", 0, ""},
        {"1.5", 0, ""},
        {"7E-1", 0, ""},
        {"0", 2, "orvalt: --wavelength: '0' is no wavelength: mean, kalpha1 or a number of angstrom"},
        {"-1.54", 2, "orvalt: --wavelength: '-1.54' is no wavelength"},
        {"1,54", 2, "orvalt: --wavelength: '1,54' is no wavelength"},
        {"1e400", 2, "orvalt: --wavelength: '1e400' is no wavelength"},
        {"nan", 2, "orvalt: --wavelength: 'nan' is no wavelength"},
        {"inf", 2, "orvalt: --wavelength: 'inf' is no wavelength"},
        {"KAlpha1", 2, "orvalt: --wavelength: 'KAlpha1' is no wavelength"},
        {"''", 2, "orvalt: --wavelength: '' is no wavelength"},
    };
    for (const Case& c : values) {
        SCOPED_TRACE(c.value);
        const Result r = run("", "", "--units d --format ascii --wavelength " + c.value + " m.xrdml");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(r.err.starts_with(c.err)) << r.err;
        if (c.status == 2) {
            EXPECT_TRUE(r.err.ends_with(usage)) << r.err;
        }
    }
    EXPECT_EQ(run("", "", "--list --wavelength kalpha1 m.xrdml").status, 2);
    // Only where the wavelength is used does the mean earn a warning.
    EXPECT_EQ(run("", "", "--format xye m.xrdml").err, "");
    EXPECT_NE(run("", "", "--format fxye m.xrdml").err, "");

    // d from K-alpha1 alone, and the CIF lists that one wavelength.
    ASSERT_EQ(run("", "", "-q --scan 1 --units d --wavelength kalpha1 --format cif m.xrdml").status, 0);
    const std::string cif = read("m.cif");
    EXPECT_TRUE(has(cif, "\n_diffrn_radiation_wavelength 1.540598\n")) << cif;
    EXPECT_FALSE(has(cif, "loop_\n_diffrn_radiation_wavelength_id")) << cif;
    EXPECT_TRUE(has(cif, "K-alpha1 alone.")) << cif;
    ASSERT_EQ(run("", "", "-q --scan 1 --units d --wavelength kalpha1 --format ascii m.xrdml").status, 0);
    const auto d = points_of(read("m.dat"));
    ASSERT_EQ(d.size(), 3u);
    const double theta = 20.0 * std::acos(-1.0) / 360.0;  // the lowest 2-theta, 20 degrees
    EXPECT_NEAR(d.back()[0], 1.540598 / (2 * std::sin(theta)), 1e-12);
    ASSERT_EQ(run("", "", "-q --scan 1 --units q --wavelength 1.5 --format fxye -o q.xye m.xrdml").status, 2);
    ASSERT_EQ(run("", "", "-q --scan 1 --wavelength 1.5 --format fxye m.xrdml").status, 0);
    EXPECT_TRUE(has(read("m.fxye"), "# Wavelength (Angstrom) = 1.5, as given "));
    const std::string list = run("", "", "--list m.xrdml").out;
    EXPECT_TRUE(has(list, "  intended K-Alpha; crystal monochromator in the incident beam: "
                          "Hybrid monochr. 2xGe(220) Cu asym.\n"))
        << list;
}

// An aborted measurement: its complete scans convert; a partial last scan
// (fewer counts than listed positions, or a list the file ends in) is
// refused by name, or taken as far as it goes with --partial; a file cut
// short says so.
TEST_F(Beyond, AbortedAndCutMeasurements) {
    const std::string four = listed("10 11 12 13");
    const std::string partial = measurement({{four, "1 2 3 4"}, {four, "5 6"}});
    const std::string cut_in_list = measurement({{four, "1 2 3 4"}, {four, "5 6 7"}}, "", false);
    std::string cut_after_scan = measurement({{four, "1 2 3 4"}});
    cut_after_scan.erase(cut_after_scan.find("\t</xrdMeasurement>"));
    const std::string refused_partial =
        "a.xrdml: Scan 2 is partial: 2 counts for its 4 listed positions; --partial takes it as "
        "far as it goes\n";
    const std::string refused_cut =
        "a.xrdml: Scan 2 is cut short: the file ends inside its list; --partial takes it as far "
        "as it goes\n";
    const std::string cut_warning = "a.xrdml: **WARNING: the file ends before </xrdMeasurements>: "
                                    "it was cut short";
    struct Case {
        const std::string* text;
        std::string args;
        int status;
        std::string err;   // standard error begins with it
        std::size_t points;  // of the file written
    };
    const Case cases[] = {
        {&partial, "--scan 1", 0, "", 4},
        {&partial, "--scan 2", 1, refused_partial, 0},
        {&partial, "--scan 2 --partial", 0, "", 2},
        {&partial, "--sum", 1, refused_partial, 0},
        {&partial, "--sum --partial", 0, "", 4},
        // no pattern file is written of scans that cannot all be read
        {&partial, "--separate --format xye", 1, refused_partial, 0},
        {&partial, "--separate --format xye --partial", 0, "", 6},
        {&cut_in_list, "--scan 1", 0, cut_warning + ", inside scan 2\n", 4},
        {&cut_in_list, "--scan 2", 1, cut_warning + ", inside scan 2\n" + refused_cut, 0},
        // the last number of a cut list may be cut itself: it is not taken
        {&cut_in_list, "--scan 2 --partial", 0, cut_warning, 2},
        {&cut_in_list, "--sum --partial", 0, cut_warning, 4},
        {&cut_after_scan, "--sum", 0, cut_warning + "\n", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + " of " + c.text->substr(c.text->size() - 40));
        write("a.xrdml", *c.text);
        for (const char* f : {"a.dat", "a_1.xye", "a_2.xye"}) fs::remove(dir / f);
        const std::string format = c.args.find("xye") == std::string::npos ? " --format ascii" : "";
        const Result r = run("", "", "--counts " + c.args + format + " a.xrdml");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << r.err;
        // A separate scan's .xye is a file of its own.
        std::size_t points = 0;
        for (const char* f : {"a.dat", "a_1.xye", "a_2.xye"})
            if (exists(f)) points += points_of(read(f)).size();
        EXPECT_EQ(points, c.points);
    }
    // The dialogue says the same, without the option it does not have.
    write("a.xrdml", partial);
    const Result r = run("a.xrdml\n2\n0\n1\n1\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.out, " ierr = 23\n Scan 2 is partial: 2 counts for its 4 listed positions\n"))
        << r.out;
}

// No limit of points or scans on the command line; the dialogue keeps its
// own and says the command line converts such files. Memory grows with one
// scan, not with the file.
TEST_F(Beyond, ScansOfAnyLengthAndFilesOfAnyNumberOfScans) {
    std::string counts;
    for (int k = 0; k < 25001; ++k) counts += k ? " 9" : "9";
    write("long.xrdml", xrdml_text({{10.0, 12.0, 1.0, counts}}));
    const Result d = run("long.xrdml\n1\n0\n1\n1\n\n");
    EXPECT_TRUE(has(d.out, " ierr = 9\n Too many data points\n Scan 1 holds 25001 points, more than 25000; the "
                           "command line takes any number (orvalt --help)\n"))
        << d.out;
    ASSERT_EQ(run("", "", "-q --scan 1 --counts --format ascii long.xrdml").status, 0);
    EXPECT_EQ(points_of(read("long.dat")).size(), 25001u);

    // 1,001 scans of 2 points: every branch and the scan table.
    std::vector<Scan> scans(1001, Scan{10.0, 11.0, 1.0, "1 2"});
    scans[1000].counts = "5 6";
    write("many.xrdml", xrdml_text(scans));
    const Result refused = run("many.xrdml\n0\n1\n1\n1\n\n");
    EXPECT_TRUE(has(refused.out, " ierr = 16\n Too many scans in file (maximum 200)\n The file "
                                 "holds 1001 scans; the command line takes any number (orvalt "
                                 "--help)\n"))
        << refused.out;
    struct Case {
        std::string args;
        std::string file;
        std::size_t lines;  // data lines written
    };
    const Case cases[] = {
        {"--scan 1001 --counts --format ascii", "many.dat", 2},
        {"--sum --format ascii", "many.dat", 2},
        {"--gudrun --exclude 1000,1001", "many.dat", 2},
        {"--separate --format xye", "many_1001.xye", 2},  // a file a scan
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run("", "", "-q " + c.args + " many.xrdml");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(points_of(read(c.file)).size(), c.lines);
    }
    EXPECT_TRUE(exists("many_0001.xye"));
    const std::string weights = read("many.weights");
    EXPECT_TRUE(weights.ends_with("\n999 1\n1000 0\n1001 0\n")) << weights.substr(weights.size() - 40);
    EXPECT_EQ(points_of(read("many.dat")).front()[1], 1.0);  // scan 1001's 5 left out
    ASSERT_EQ(run("", "", "-q --separate many.xrdml").status, 0);
    const Result list = run("", "", "--list --plot many.xrdml");
    EXPECT_EQ(list.status, 0);
    EXPECT_TRUE(has(list.out, "\n  1001  2Theta deg")) << list.out.substr(list.out.size() - 300);
    EXPECT_TRUE(exists("many.svg"));
#ifdef NO_UNNAMED_FILES_LIB
    // Without unnamed files (NFS, vfat) the run holds 1,001 named temporaries at once.
    if (!windows_program()) {
        const std::string no_unnamed = std::string("LD_PRELOAD=\"") + NO_UNNAMED_FILES_LIB +
                                       "\" ASAN_OPTIONS=verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS} ";
        const Result named = run("", no_unnamed, "-q --separate --format xye many.xrdml");
        EXPECT_EQ(named.status, 0) << named.err;
        EXPECT_EQ(points_of(read("many_1001.xye")).size(), 2u);
    }
#endif
}

#ifndef _WIN32
// The most memory a run of the program held (kB), as GNU time tells from a
// process of its own (a child of this process would count what this one
// holds); -1 without GNU time.
long peak_kb(const fs::path& dir, const std::string& args, int& status) {
    const std::string cmd = "cd \"" + dir.string() + "\" && ASAN_OPTIONS=quarantine_size_mb=1 "
                            "/usr/bin/time -f %M -o peak.txt " + program_command() + " " + args +
                            " > out.txt 2> err.txt";
    const int raw = std::system(cmd.c_str());
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream peak(dir / "peak.txt");
    long kb = -1;
    return peak >> kb ? kb : -1;
}
#endif

// The scan table of lists of any size keeps to the memory of the line it
// reads (a list of 30 million comma-separated counts took 312 MB), and
// whatever an attribute holds keeps it to a line of the table (a unit of
// 3 MB made a table of 600 MB).
TEST_F(Beyond, TheScanTableOfHugeListsAndAttributes) {
#ifdef _WIN32
    GTEST_SKIP() << "the peak memory of a process is measured on Linux";
#else
    if (!outside_program().empty()) GTEST_SKIP() << "measures the program built here";
    if (!fs::exists("/usr/bin/time")) GTEST_SKIP() << "GNU time measures the memory";
    std::string list(60 << 20, ',');
    for (std::size_t k = 0; k < list.size(); k += 2) list[k] = '1';
    list.back() = '1';
    write("comma.xrdml", measurement({{start_end("10", "20"), list}}));
    list.clear();
    list.shrink_to_fit();
    int status = -1;
    // The line itself takes 60 MiB; the sanitizers' own memory comes on top.
#if defined(__SANITIZE_ADDRESS__)
    constexpr long limit_kb = 160 << 10;
#else
    constexpr long limit_kb = 100 << 10;
#endif
    const long comma_kb = peak_kb(dir, "--list comma.xrdml", status);
    EXPECT_GT(comma_kb, 0);
    EXPECT_LT(comma_kb, limit_kb);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(has(read("out.txt"), "  31457280  3.178914489e-07         1      31457290          11"))
        << read("out.txt");

    // The unit of scan 1's 2Theta axis: every row of the table was as wide.
    std::string text = measurement(std::vector<ScanSpec>(200, ScanSpec{start_end("10", "20"), "1 2 3"}));
    text.replace(text.find("unit=\"deg\"") + 6, 3, std::string(3 << 20, 'u'));
    write("unit.xrdml.gz", orvalt::test::gzip(text));
    const long unit_kb = peak_kb(dir, "--list unit.xrdml.gz", status);
    EXPECT_GT(unit_kb, 0);
    EXPECT_LT(unit_kb, limit_kb);
    EXPECT_EQ(status, 0);
    EXPECT_LT(fs::file_size(dir / "out.txt"), 100000u);
    EXPECT_TRUE(has(read("out.txt"), "     1  2Theta " + std::string(61, 'u') + "...     10"));
#endif
}

}  // namespace
}  // namespace e2e

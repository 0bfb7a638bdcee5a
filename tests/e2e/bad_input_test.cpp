// Bad input of every kind: broken measurement files, broken remembered
// answers, output that cannot be written, a console that runs dry. Each run
// must end with a clear message and the right exit status, and lose nothing:
// no partial output file, "orvalt.tmp" unchanged where the run fails.
#include "e2e_support.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <sstream>

#include "g_f/console.h"
#include "g_f/input_files.h"
#include "g_f/new_files.h"
#include "g_f/processes.h"
#include "g_f/stop.h"
#include "tests/support/genie_files.h"
#include "xrdml/reader.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace e2e {
namespace {

// What an earlier run left behind; a failing run must not touch it.
const std::string remembered =
    "kept.xrdml\n           1\n           1\n           1\n           1\n";

const std::vector<Scan> two_scans = {{10.0, 12.0, 2.0, "1 2 3"}, {10.0, 12.0, 2.0, "4 5 6"}};

// Answers: scan 1 as counts in 2-theta to an ASCII file; all scans summed
// into a Genie file.
const std::string single_to_ascii = "1\n0\n1\n1\n\n";
const std::string sum_to_genie = "0\n0\n1\n2\n\n";

std::string points(int n, const std::string& separator = " ") {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i > 0) s += separator;
        s += std::to_string(i % 97 + 1);
    }
    return s;
}

class BadInput : public Orvalt {
protected:
    void SetUp() override {
        Orvalt::SetUp();
        write("orvalt.tmp", remembered);
    }

    bool has(const Result& r, const std::string& text) const {
        return r.out.find(text) != std::string::npos;
    }

    // Every file of the folder that a run may have written (not the inputs).
    std::set<std::string> written() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name != "orvalt.tmp" && !name.ends_with(".xrdml")) names.insert(name);
        }
        return names;
    }

    // A run that failed: status 1, the message shown, nothing written and
    // the remembered answers as they were.
    void expect_failed(const Result& r, const std::string& message) const {
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(has(r, message)) << r.out;
        EXPECT_EQ(written(), std::set<std::string>{});
        EXPECT_EQ(read("orvalt.tmp"), remembered);
    }

    // Runs `name` with `answers` after the file name and expects the failure.
    void expect_refused(const std::string& name, const std::string& answers,
                        const std::string& message) {
        SCOPED_TRACE(name + " with " + answers);
        expect_failed(run(name + "\n" + answers), message);
    }

    // Runs shell text in the scratch folder (for runs started side by side).
    void shell(const std::string& text) const {
        const std::string cmd = "cd \"" + dir.string() + "\" || exit 1; " + text;
        EXPECT_EQ(std::system(cmd.c_str()), 0) << text;
    }

    // Runs the program with `limit_blocks` of 512 bytes as the largest file it
    // may write: a write past it fails as on a full disk. The program ignores
    // SIGXFSZ itself; Wine cannot, so there the shell ignores it for it.
    Result run_with_file_limit(const std::string& answers, int limit_blocks) const {
        return run(answers, file_limit(limit_blocks));
    }
};

// --- broken measurement files ----------------------------------------------------------

TEST_F(BadInput, EmptyFileAndBinaryGarbage) {
    write("empty.xrdml", "");
    const Result r = run("empty.xrdml\n0\n");
    const std::string no_wavelength =
        " ierr = 5\n Problem reading wavelength: the file has no kAlpha1 in Angstrom\n";
    expect_failed(r, no_wavelength);
    EXPECT_TRUE(has(r, census_lines(""))) << r.out;

    // Bytes of every value, NUL and markup characters included, few line ends.
    std::string garbage;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        garbage += static_cast<char>(seed >> 24);
    }
    write("garbage.xrdml", garbage);
    expect_refused("garbage.xrdml", sum_to_genie, no_wavelength);

    // Garbage from the middle of the second scan's list on: that list is
    // refused.
    std::string half = xrdml_text(two_scans);
    half = half.substr(0, half.find("4 5 6")) + garbage.substr(0, 5000);
    write("half.xrdml", half);
    expect_refused("half.xrdml", "2\n0\n1\n1\n\n",
                   " ierr = 10\n Problem reading intensities: scan 2's list does not close on its "
                   "line\n");
}

TEST_F(BadInput, TruncatedInsideAnIntensityLine) {
    std::string text = xrdml_text(two_scans);
    text = text.substr(0, text.find("4 5 6") + 3);  // the file ends in "4 5"
    write("cut.xrdml", text);
    // The sum and the cut scan are refused, as cut short...
    const std::string cut = " ierr = 23\n Scan 2 is cut short: the file ends inside its list\n";
    for (const std::string& answers : {sum_to_genie, std::string("2\n0\n1\n1\n\n")})
        expect_refused("cut.xrdml", answers, cut);
    // ...and the separate scans keep the scan read before the cut.
    Result r = run("cut.xrdml\n-3\n0\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, cut + " **ERROR in orvalt: cut.write "
                             "holds 1 entry, the scans before scan 2, which stopped the run\n"))
        << r.out;
    EXPECT_EQ(written(), std::set<std::string>{"cut.write"});
    EXPECT_EQ(read("orvalt.tmp"), remembered);
    fs::remove(dir / "cut.write");
    // ...while the whole scan before the cut still converts.
    r = run("cut.xrdml\n" + single_to_ascii);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(exists("cut.dat"));
    write("orvalt.tmp", remembered);

    // Cut before the second scan's list: the file holds one whole scan.
    text = text.substr(0, text.rfind("\t\t\t\t<intensities"));
    write("short.xrdml", text);
    r = run("short.xrdml\n" + sum_to_genie);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, " count_scans: Number of scans in file = 1\n"));
}

TEST_F(BadInput, LinesOfSeveralMegabytes) {
    // A 4 MB comment line before the scans, and 25000 points spread over a
    // 5 MB intensity line.
    std::string text = xrdml_text({{10.0, 12.0, 2.0, points(25000, std::string(200, ' '))}});
    const std::size_t first_line_end = text.find('\n') + 1;
    text.insert(first_line_end, "<!--" + std::string(4 << 20, 'x') + "-->\n");
    write("long.xrdml", text);
    const Result r = run("long.xrdml\n" + single_to_ascii);
    EXPECT_EQ(r.status, 0) << r.out.substr(0, 2000);
    EXPECT_TRUE(has(r, census_lines(text)));
    EXPECT_TRUE(has(r, " orvaltdata1: ny = 25000\n"));
    const std::string data = read("long.dat");
    EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), 25000);
    EXPECT_NE(read("orvalt.tmp"), remembered);
}

TEST_F(BadInput, ScanOf25001Points) {
    write("big.xrdml", xrdml_text({{10.0, 12.0, 2.0, points(25001)}}));
    const std::string refusal =
        " Number of data points ny = 25001\n"
        " Maximum allowed number of points mn = 25000\n"
        " ierr = 9\n Too many data points\n"
        " Scan 1 holds 25001 points, more than 25000; the command line takes any number (orvalt --help)\n";
    expect_refused("big.xrdml", single_to_ascii, " orvaltdata1: ny = 25001\n" + refusal);
    expect_refused("big.xrdml", "-3\n0\n\n", " orvaltdata1: ny = 25001\n" + refusal);
    expect_refused("big.xrdml", sum_to_genie, refusal);
}

TEST_F(BadInput, MissingOrBlankParameters) {
    struct Case {
        std::string element;   // the line's element, as the file writes it
        std::string replacement;  // what stands instead of the line (empty: no line)
        std::string message;
    };
    // Every refusal names the element, and the scan where it stands.
    const std::string x_axis = " ierr = 4\n Problem reading x-axis: scan 2's ";
    // The pass looks for the missing element up to the file's end.
    const std::string missing = " ierr = 1\n Scan 2 has no ";
    const std::string wavelength = " ierr = 5\n Problem reading wavelength: ";
    const std::vector<Case> cases = {
        {"<kAlpha1", "\t\t\t<kAlpha1 unit=\"Angstrom\"></kAlpha1>\n",
         wavelength + "kAlpha1 is not a number\n"},
        {"<kAlpha1", "", wavelength + "the file has no kAlpha1 in Angstrom\n"},
        {"<kAlpha2", "\t\t\t<kAlpha2 unit=\"Angstrom\"> </kAlpha2>\n",
         wavelength + "kAlpha2 is not a number\n"},
        {"<kAlpha2", "", wavelength + "the file has no kAlpha2 in Angstrom\n"},
        {"<ratioKAlpha2KAlpha1", "\t\t\t<ratioKAlpha2KAlpha1>\t</ratioKAlpha2KAlpha1>\n",
         wavelength + "ratioKAlpha2KAlpha1 is not a number\n"},
        {"<ratioKAlpha2KAlpha1", "", wavelength + "the file has no ratioKAlpha2KAlpha1\n"},
        {"<kAlpha1", "\t\t\t<kAlpha1 unit=\"Angstrom\">1.54x</kAlpha1>\n",
         wavelength + "kAlpha1 is not a number\n"},
        {"<startPosition", "\t\t\t\t\t<startPosition></startPosition>\n",
         x_axis + "startPosition is not a number\n"},
        {"<startPosition", "", missing + "startPosition (or listPositions)\n"},
        {"<endPosition", "\t\t\t\t\t<endPosition>twelve</endPosition>\n",
         x_axis + "endPosition is not a number\n"},
        {"<commonCountingTime",
         "\t\t\t\t<commonCountingTime unit=\"seconds\"> </commonCountingTime>\n",
         " ierr = 6\n Problem reading counting time: scan 2's commonCountingTime is not a "
         "number\n"},
        {"<commonCountingTime", "", missing + "commonCountingTime in seconds\n"},
    };
    for (const Case& c : cases) {
        // The second scan's element, so the first scan's values are no help.
        std::string text = xrdml_text(two_scans);
        std::size_t at = text.find(c.element);
        if (c.element.starts_with("<start") || c.element.starts_with("<end") ||
            c.element.starts_with("<common"))
            at = text.find(c.element, at + 1);
        const std::size_t begin = text.rfind('\n', at) + 1;
        const std::size_t end = text.find('\n', at) + 1;
        text.replace(begin, end - begin, c.replacement);
        write("p.xrdml", text);
        expect_refused("p.xrdml", single_to_ascii, c.message);
    }
}

TEST_F(BadInput, IntensitiesThatAreNotNumbers) {
    for (const auto& [counts, point] : {std::pair{"1 two 3", 2}, {"1 NaN 3", 2}, {"1 inf 3", 2},
                                        {"1 2 3e999", 3}, {"1 0x10 3", 2}, {"1 2 +", 3},
                                        {"1 - 3", 2}}) {
        write("i.xrdml", xrdml_text({{10.0, 12.0, 2.0, "1 2 3"}, {10.0, 12.0, 2.0, counts}}));
        for (const std::string& answers : {std::string("2\n0\n1\n1\n\n"), sum_to_genie})
            expect_refused("i.xrdml", answers + counts,
                           " ierr = 10\n Problem reading intensities: point " +
                               std::to_string(point) + " of scan 2 is not a number\n");
    }
}

TEST_F(BadInput, IntensitiesSplitOverTwoLines) {
    write("split.xrdml", xrdml_text({{10.0, 12.0, 2.0, "1 2 3\n\t\t\t\t\t4 5 6"}}));
    for (const std::string& answers : {single_to_ascii, sum_to_genie, std::string("-3\n0\n\n")})
        expect_refused("split.xrdml", answers,
                       " ierr = 10\n Problem reading intensities: scan 1's list does not close on "
                       "its line\n");
}

// The per-scan tables hold 200 scans: a file of more is refused as soon as
// its census is reported; 200 scans are summed (200 x 1 count per point
// over 200 seconds).
TEST_F(BadInput, TwoHundredScansAtMost) {
    std::vector<Scan> scans(201, Scan{10.0, 12.0, 1.0, "1 2 3"});
    write("s201.xrdml", xrdml_text(scans));
    scans.pop_back();
    write("s200.xrdml", xrdml_text(scans));
    fs::copy_file(fs::path(ORVALT_TEST_DATA) / "xrdml" / "rsm_401_scans.xrdml",
                  dir / "rsm_401_scans.xrdml");
    const struct {
        std::string file;
        int scans;
        bool refused;
    } cases[] = {{"s201", 201, true}, {"rsm_401_scans", 401, true}, {"s200", 200, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Result r = run(c.file + ".xrdml\n0\n1\n1\n1\n\n");
        EXPECT_TRUE(has(r, " count_scans: Number of scans in file = " + std::to_string(c.scans) + "\n"))
            << r.out;
        if (c.refused) {
            expect_failed(r, " ierr = 16\n Too many scans in file (maximum 200)\n The file holds " +
                                 std::to_string(c.scans) +
                                 " scans; the command line takes any number (orvalt --help)\n");
        } else {
            EXPECT_EQ(r.status, 0) << r.out;
            EXPECT_TRUE(exists(c.file + ".dat"));
        }
    }
}

// --- the remembered answers ------------------------------------------------------------

TEST_F(BadInput, UnreadableOrGarbledRememberedAnswers) {
    write("s.xrdml", xrdml_text(two_scans));

    // Garbage: the defaults are offered; a failed run leaves it as it was.
    const std::string garbage("\x01\xff\x00zz\n\n\x80 7 7\r\n", 13);
    write("orvalt.tmp", garbage);
    Result r = run("\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, " Give full name of input file (Na_Mg_mirror.xrdml) > "));
    EXPECT_EQ(read("orvalt.tmp"), garbage);
    r = run("s.xrdml\n5\n-1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r, " Give scan number to load, or negative option from list (0) > "));
    EXPECT_EQ(read("orvalt.tmp"), garbage);
    // A run that converts replaces it.
    r = run("s.xrdml\n" + single_to_ascii);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("orvalt.tmp"), "s.xrdml\n           1\n           0\n           1\n           1\n");

    // A folder of that name can be neither read nor replaced: the defaults are
    // offered, the data file is written, and the failed save is reported.
    fs::remove(dir / "orvalt.tmp");
    fs::remove(dir / "s.dat");
    fs::create_directory(dir / "orvalt.tmp");
    r = run("s.xrdml\n" + single_to_ascii);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r, " Give full name of input file (Na_Mg_mirror.xrdml) > "));
    EXPECT_TRUE(has(r, " ** Error in open_new_file **\n")) << r.out;
    EXPECT_TRUE(fs::is_directory(dir / "orvalt.tmp"));
    const std::string data = read("s.dat");
    EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), 3);
}

// --- output that cannot be written -----------------------------------------------------

TEST_F(BadInput, OutputFolderThatDoesNotExist) {
    write("s.xrdml", xrdml_text(two_scans));
    // ASCII: the open fails with its report.
    Result r = run("s.xrdml\n1\n0\n1\n1\nno/such/folder/s.dat\n");
    expect_failed(r, " ** Error in open_new_file **\n");
    EXPECT_TRUE(has(r, " File = no/such/folder/s.dat\n"));
    // Genie, one spectrum and separate scans.
    for (const std::string& answers :
         {std::string("0\n0\n1\n2\nno/such/folder/s.write\n"), std::string("-3\n0\nno/s.write\n")}) {
        r = run("s.xrdml\n" + answers);
        expect_failed(r, " **ERROR in orvalt: Could not write no/");
    }
    // gudrunX preparation: the weights file goes next to the input file.
    fs::create_directory(dir / "sub");
    write("sub/g.xrdml", xrdml_text(two_scans));
    r = run("sub/g.xrdml\n-2\n0\n1\nno/such/g.dat\n");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r, " ** Error in open_new_file **\n"));
    EXPECT_EQ(read("orvalt.tmp"), remembered);
}

TEST_F(BadInput, OutputFileThatMayNotBeReplacedIsKept) {
    // Root may write anything, so the program runs as an ordinary user here.
    if (windows_program()) GTEST_SKIP() << "file owners are a Linux matter here";
    if (std::system("[ \"$(id -u)\" = 0 ] && command -v runuser > /dev/null") != 0)
        GTEST_SKIP() << "needs root and runuser to run the program as another user";
    write("s.xrdml", xrdml_text(two_scans));
    write("s.dat", "precious\n");
    write("s.write", "precious\n");
    // The scratch folder and a copy of the program are open to the other user,
    // wherever the build lives.
    fs::copy_file(ORVALT_EXE, dir / "orvalt_copy");
    fs::permissions(dir, fs::perms::all);
    for (const char* name : {"s.dat", "s.write"})
        fs::permissions(dir / name, fs::perms::owner_read | fs::perms::group_read |
                                        fs::perms::others_read);
    // The tests after this one run the program they ran before it.
    const char* given = std::getenv("ORVALT_EXE_CMD");
    const bool had = given != nullptr;
    const std::string before = had ? given : "";
    ::setenv("ORVALT_EXE_CMD", ("runuser -u nobody -- " + (dir / "orvalt_copy").string()).c_str(), 1);
    Result r = run("s.xrdml\n" + single_to_ascii);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r, " ** Error in open_new_file **\n")) << r.out;
    r = run("s.xrdml\n" + sum_to_genie);
    // A -d folder the user cannot reach is said to be so, not to be missing.
    fs::create_directories(dir / "locked/in");
    fs::permissions(dir / "locked", fs::perms::none);
    const Result unreachable = run("", "", "-d locked/in s.xrdml");
    fs::permissions(dir / "locked", fs::perms::owner_all);
    if (had) ::setenv("ORVALT_EXE_CMD", before.c_str(), 1);
    else ::unsetenv("ORVALT_EXE_CMD");
    EXPECT_EQ(unreachable.status, 2);
    EXPECT_TRUE(unreachable.err.starts_with("orvalt: -d locked/in: Permission denied\n"))
        << unreachable.err;
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r, " **ERROR in orvalt: Could not write s.write: Permission denied\n")) << r.out;
    EXPECT_EQ(read("s.dat"), "precious\n");
    EXPECT_EQ(read("s.write"), "precious\n");
    EXPECT_EQ(read("orvalt.tmp"), remembered);
}

// --- the console runs dry --------------------------------------------------------------

TEST_F(BadInput, EndOfInputAtEveryQuestion) {
    write("s.xrdml", xrdml_text(two_scans));
    // Every prefix of complete dialogues, each cut after a whole answer.
    const std::vector<std::string> dialogues = {
        "gone.xrdml\ns.xrdml\n1\n0\n1\n1\ns.dat\n",  // single scan, ASCII
        "s.xrdml\n-2\n1\n0\n1\ns.dat\n",            // gudrunX preparation
        "s.xrdml\n-3\n0\ns.write\n",                // separate scans
    };
    for (const std::string& full : dialogues) {
        for (std::size_t end = full.find('\n'); end + 1 < full.size();
             end = full.find('\n', end + 1)) {
            const std::string answers = full.substr(0, end + 1);
            SCOPED_TRACE(answers);
            const Result r = run(answers);
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(r.out.ends_with("> \n **ERROR: End of input on the console\n")) << r.out;
            // The weights file is written before the units question.
            for (const std::string& f : written())
                EXPECT_TRUE(f == "s.weights" && full.find("-2") != std::string::npos) << f;
            EXPECT_EQ(read("orvalt.tmp"), remembered);
            fs::remove(dir / "s.weights");
        }
        // The whole dialogue converts.
        EXPECT_EQ(run(full).status, 0) << full;
        fs::remove(dir / "s.dat");
        fs::remove(dir / "s.write");
        fs::remove(dir / "s.weights");
        write("orvalt.tmp", remembered);
    }
    // No input at all, and a line without its line end as the last answer.
    expect_failed(run(""), " **ERROR: End of input on the console\n");
    const Result r = run("s.xrdml\n1\n0\n1\n1\ns.dat");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(exists("s.dat"));
}

// --- names: taken as typed or refused; never a file the run reads -----------------------

const std::string refused_same =
    " The output file must not be the input file, orvalt.tmp or the weights file\n";
const std::string refused_kind = " The output file must be a regular file\n";
const std::string refused_control = " A file name must not hold control characters\n";

TEST_F(BadInput, OutputNamesThatAreRefusedAndAskedAgain) {
    const std::string input = xrdml_text(two_scans);
    write("s.xrdml", input);
    fs::create_directories(dir / "sub");
    fs::create_directory(dir / "folder.dat");
    // A 73-character folder: an 86-character Genie name in it would be
    // shortened to a bare ".write" there.
    const std::string deep(73, 'd');
    fs::create_directory(dir / deep);
    struct Case {
        std::string answers;  // up to the output name question
        std::string name;     // refused, then "ok.out" is given
        std::string refusal;
    };
    const std::string ascii = "1\n0\n1\n1\n", genie = "0\n0\n1\n2\n", separate = "-3\n0\n";
    std::vector<Case> cases = {
        {ascii, "s.xrdml", refused_same},
        {genie, "sub/../s.xrdml", refused_same},  // another spelling
        {separate, "s.xrdml", refused_same},
        {ascii, "orvalt.tmp", refused_same},
        {"-2\n0\n1\n", "s.weights", refused_same},
        {ascii, "folder.dat", refused_kind},
        {ascii, std::string("out.dat\0evil", 12), refused_control},
        {ascii, "out.dat\t", refused_control},  // a trailing tab is part of the name
        {ascii, std::string(4097, 'n'), " The file name is too long (at most 4096 characters)\n"},
        {genie, deep + "/" + std::string(12, 'x') + ".write",
         " " + deep + "/.write\n The shortened file name is not a usable file name\n"},
    };
    // A hard link is the input under another name; so, where names ignore
    // letter case, is another spelling.
    fs::create_hard_link(dir / "s.xrdml", dir / "hard.dat");
    cases.push_back({ascii, "hard.dat", refused_same});
    cases.push_back({separate, "hard.dat", refused_same});
    if (windows_program()) cases.push_back({genie, "S.XRDML", refused_same});
#ifndef _WIN32
    if (!windows_program()) {
        fs::create_symlink("s.xrdml", dir / "link.dat");
        ASSERT_EQ(::mkfifo((dir / "fifo.dat").c_str(), 0644), 0);
        cases.push_back({ascii, "link.dat", refused_same});
        cases.push_back({separate, "link.dat", refused_same});
        cases.push_back({ascii, "fifo.dat", refused_kind});
    }
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers + c.name.substr(0, 100));
        const Result r = run("s.xrdml\n" + c.answers + c.name + "\nok.out\n");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(has(r, c.refusal + " Give full name of output file (s.")) << r.out;
        EXPECT_EQ(read_bytes("s.xrdml"), input);
        EXPECT_TRUE(exists("ok.out"));
        EXPECT_TRUE(fs::is_directory(dir / "folder.dat"));
        fs::remove(dir / "ok.out");
        fs::remove(dir / "s.weights");
    }
#ifndef _WIN32
    if (windows_program()) return;
    // A link to an "orvalt.tmp" that does not exist yet reaches it all the same.
    fs::remove(dir / "orvalt.tmp");
    fs::create_symlink("orvalt.tmp", dir / "tmplink.dat");
    const Result r = run("s.xrdml\n" + ascii + "tmplink.dat\nok.out\n");
    EXPECT_TRUE(has(r, refused_same)) << r.out;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("orvalt.tmp"), "s.xrdml\n           1\n           0\n           1\n           1\n");
#endif
}

TEST_F(BadInput, InputNamesThatAreRefusedOrNotFound) {
    write("s.xrdml", xrdml_text(two_scans));
    fs::create_directory(dir / "folder.xrdml");
    // Refused names: asked again at once.
    for (const std::string& name : {std::string("s.xrdml\t"), std::string("s\0.xrdml", 8)}) {
        const Result r = run(name + "\ns.xrdml\n-1\n");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(has(r, "> " + refused_control + " Give full name of input file (")) << r.out;
    }
    Result r = run(std::string(4091, 'i') + "\ns.xrdml\n-1\n");
    EXPECT_TRUE(has(r, " The file name is too long (at most 4090 characters)\n")) << r.out;
    // What is not a regular file is not found; nothing waits on a FIFO.
    std::vector<std::string> not_files = {"folder.xrdml"};
#ifndef _WIN32
    if (!windows_program()) {
        ASSERT_EQ(::mkfifo((dir / "fifo.xrdml").c_str(), 0644), 0);
        not_files.push_back("fifo.xrdml");
    }
#endif
    for (const std::string& name : not_files) {
        r = run(name + "\ns.xrdml\n-1\n");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(has(r, " Failure locating file " + name + "\n Give file name or return to stop > "))
            << r.out;
    }
}

TEST_F(BadInput, RememberedAnswersThatCannotBeUsed) {
    write("s.xrdml", xrdml_text(two_scans));
    const std::string defaults = " Give full name of input file (Na_Mg_mirror.xrdml) > ";
    // A name no one could type, a name longer than its field: the defaults.
    for (const std::string& tmp :
         {std::string("s\0.xrdml\n 1\n 1\n 1\n 1\n", 22), std::string(5000, 's') + "\n 1\n 1\n 1\n 1\n"}) {
        write("orvalt.tmp", tmp);
        const Result r = run("s.xrdml\n-1\n");
        EXPECT_TRUE(has(r, defaults)) << r.out.substr(0, 500);
    }
#ifndef _WIN32
    if (windows_program()) return;
    // A FIFO: absent at the start (nothing waits), not written at the end.
    fs::remove(dir / "orvalt.tmp");
    ASSERT_EQ(::mkfifo((dir / "orvalt.tmp").c_str(), 0644), 0);
    const Result r = run("s.xrdml\n" + single_to_ascii);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r, defaults));
    EXPECT_TRUE(has(r, " ** Error in open_new_file **\n"));
    EXPECT_TRUE(fs::is_fifo(dir / "orvalt.tmp"));
    // A link to the measurement: read as garbage, and never written.
    fs::remove(dir / "orvalt.tmp");
    fs::create_symlink("s.xrdml", dir / "orvalt.tmp");
    const std::string input = read_bytes("s.xrdml");
    const Result linked = run("s.xrdml\n" + single_to_ascii);
    EXPECT_EQ(linked.status, 1);
    EXPECT_TRUE(has(linked, " **ERROR in orvalt: orvalt.tmp reaches a file of this run; not written\n"));
    EXPECT_EQ(read_bytes("s.xrdml"), input);
#endif
}

// --- output files appear whole or not at all -------------------------------------------

// Temporaries the program may have left in the folder.
std::vector<std::string> temporaries(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().starts_with(".orvalt-")) found.push_back(e.path().string());
    return found;
}

TEST_F(BadInput, ReplacedFilesKeepTheirPlaceAndTheirPermissions) {
    write("s.xrdml", xrdml_text(two_scans));
    write("s.dat", "precious\n");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(dir / "s.dat", mode);
    Result r = run("s.xrdml\n" + single_to_ascii);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read("s.dat").size(), 3 * 75u);
    if (!windows_program()) {
        EXPECT_EQ(fs::status(dir / "s.dat").permissions(), mode);
    }
#ifndef _WIN32
    if (windows_program()) return;
    // A link is written through: it stays a link, its target gets the data.
    fs::create_directory(dir / "store");
    fs::create_symlink("store/target.write", dir / "s.write");
    write("orvalt.tmp", remembered);
    r = run("s.xrdml\n" + sum_to_genie);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::is_symlink(dir / "s.write"));
    EXPECT_TRUE(read_bytes("store/target.write").starts_with("\x89G2F"));
    EXPECT_EQ(temporaries(dir), std::vector<std::string>{});
#endif
}

TEST_F(BadInput, FailedWritesLeaveTheOlderFile) {
    // 3000 points make files far larger than the 8 KB the run may write;
    // 20 points an ASCII file of 1.5 KB, which under a 1 KB limit fails only
    // when the file is closed (all of it waits in the stream's buffer).
    write("s.xrdml", xrdml_text({{10.0, 40.0, 2.0, points(3000)}, {10.0, 40.0, 2.0, points(3000)}}));
    write("t.xrdml", xrdml_text({{10.0, 40.0, 2.0, points(20)}}));
    write("s.dat", "precious\n");
    write("s.write", "precious\n");
    const std::tuple<std::string, std::string, int> runs[] = {
        {"s.xrdml\n", single_to_ascii, 16},
        {"s.xrdml\n", sum_to_genie, 16},
        {"s.xrdml\n", "-3\n0\n\n", 16},
        // (The dialogue's transcript is larger than 1 KB: the command line
        // writes only what fails.)
        {"", "--scan 1 --counts --format ascii -o s.dat t.xrdml", 2},
    };
    for (const auto& [input, answers, limit] : runs) {
        SCOPED_TRACE(input + answers);
        const Result r = input.empty() ? run("", file_limit(limit), answers)
                                       : run_with_file_limit(input + answers, limit);
        if (input.empty()) {
            EXPECT_EQ(r.status, 1);
            // (Under Wine the reason of a POSIX limit has no Windows name.)
            EXPECT_TRUE(r.err.starts_with("t.xrdml: **ERROR in write_ascii_data_file: could not "
                                          "write s.dat: "))
                << r.err;
            if (!windows_program()) {
                EXPECT_EQ(r.err, "t.xrdml: **ERROR in write_ascii_data_file: could not write s.dat: "
                                 "File too large\nt.xrdml: not converted\n");
            }
            EXPECT_EQ(read("s.dat"), "precious\n");
            EXPECT_EQ(temporaries(dir), std::vector<std::string>{});
            continue;
        }
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(has(r, "ould not write s.")) << r.out;
        EXPECT_EQ(read("s.dat"), "precious\n");
        EXPECT_EQ(read("s.write"), "precious\n");
        EXPECT_EQ(read("orvalt.tmp"), remembered);
        EXPECT_EQ(temporaries(dir), std::vector<std::string>{});
    }
}

#ifndef _WIN32
TEST_F(BadInput, RunsWritingOneNameAtOnceEachLeaveAWholeFile) {
    write("s.xrdml", xrdml_text({{10.0, 40.0, 2.0, points(20000)}, {10.0, 40.0, 2.0, points(20000)}}));
    write("a.txt", "s.xrdml\n-3\n0\ns.write\n");
    write("b.txt", "s.xrdml\n1\n0\n1\n2\ns.write\n");
    shell(program_command() + " < a.txt > a.out 2>&1 & " + program_command() +
          " < b.txt > b.out 2>&1; b=$?; wait $!; echo $? $b > statuses");
    EXPECT_EQ(read("statuses"), "0 0\n");
    // Whichever came last, the file is one run's whole output.
    const std::string bytes = read_bytes("s.write");
    orvalt::test::GenieFile file;
    std::string error;
    ASSERT_TRUE(orvalt::test::read_genie_file((dir / "s.write").string(), file, error)) << error;
    EXPECT_TRUE(file.entries.size() == 1 || file.entries.size() == 2) << file.entries.size();
    EXPECT_EQ(temporaries(dir), std::vector<std::string>{});
}

TEST_F(BadInput, InterruptionsWhileWritingLeaveNoTemporary) {
    // 150 separate scans: the Genie temporary stands for a while, and the
    // lines of the scans fill the console's buffer more than once meanwhile.
    std::vector<Scan> scans(150, Scan{10.0, 40.0, 1.0, points(5000)});
    write("s.xrdml", xrdml_text(scans));
    write("s.write", "precious\n");
    // The program runs in the foreground (a background job would ignore
    // Ctrl-C), and is interrupted once it is writing: its first scans have
    // reached the console (a temporary without a name cannot be seen).
    const std::string interrupt_when_writing =
        "rm -f run.out; (for i in $(seq 1 3000); do grep -q 'First and last' run.out 2>/dev/null "
        "&& break; sleep 0.01; done; kill -$SIG $(cat pid)) & sh -c 'echo $$ > pid; exec " +
        program_command() + " < in.txt > run.out 2>&1'; echo $? > run.status; wait";
    write("in.txt", "s.xrdml\n-3\n0\n\n");
    // Every signal a user or the system sends: each handled one ends the run
    // with its line; -KILL cannot be handled, and leaves nothing all the same.
    const std::tuple<const char*, int, bool> signals[] = {
        {"INT", 130, true}, {"TERM", 143, true}, {"HUP", 129, true}, {"QUIT", 131, true},
        {"KILL", 137, false}};
    for (const auto& [sig, status, line] : signals) {
        SCOPED_TRACE(sig);
        // Windows knows Ctrl-C (Wine makes it of SIGINT); a process ended
        // from outside otherwise cannot act on it.
        if (windows_program() && std::string(sig) != "INT" && std::string(sig) != "KILL") continue;
        shell(std::string("SIG=") + sig + "; " + interrupt_when_writing);
        EXPECT_EQ(read("run.status"), std::to_string(status) + "\n");
        if (line) {
            EXPECT_TRUE(read("run.out").ends_with(" **ERROR in orvalt: Run interrupted\n"));
        }
        EXPECT_TRUE(read("s.write") == "precious\n");
        EXPECT_EQ(read("orvalt.tmp"), remembered);
        if (windows_program() && !line) {
            // Where every temporary has a name, the next run writing into the
            // folder removes those of runs that no longer exist.
            write("one.xrdml", xrdml_text(two_scans));
            EXPECT_EQ(run("", "", "--scan 1 one.xrdml").status, 0);
        }
        EXPECT_EQ(temporaries(dir), std::vector<std::string>{});
    }
    // The console pipe closed under the program: SIGPIPE at its next line
    // (on Windows the program writes on, its files whole).
    if (windows_program()) return;
    shell("bash -c '" + program_command() +
          " < in.txt | grep -q \"First and last\"; echo ${PIPESTATUS[0]} > run.status'");
    EXPECT_EQ(read("run.status"), "141\n");
    EXPECT_TRUE(read("s.write") == "precious\n");
    EXPECT_EQ(temporaries(dir), std::vector<std::string>{});

    // The command line's line goes to standard error, with its errors.
    // (It writes no progress: it is caught holding its temporary open.)
    shell("rm -f pid; (for i in $(seq 1 3000); do ls -l /proc/$(cat pid 2>/dev/null)/fd "
          "2>/dev/null | grep -q '(deleted)' && break; sleep 0.01; done; kill -TERM $(cat pid)) "
          "& sh -c 'echo $$ > pid; exec " + program_command() +
          " --separate s.xrdml > cli.out 2> run.out'; echo $? > run.status; wait");
    EXPECT_EQ(read("run.status"), "143\n");
    EXPECT_EQ(read("cli.out"), "");
    EXPECT_EQ(read("run.out"), "\n **ERROR in orvalt: Run interrupted\n");
    EXPECT_TRUE(read("s.write") == "precious\n");
}
#endif

// An input changed while the run reads it (replaced under its name, written
// over, or only touched) between the first reading and the conversion: the
// run stops with a clear line and writes nothing, in every branch.
TEST_F(BadInput, InputChangedWhileTheRunReadsIt) {
    const std::vector<Scan> before = {{10.0, 12.0, 2.0, "1 2 3"}, {10.0, 12.0, 2.0, "4 5 6"}};
    const std::vector<Scan> after = {{20.0, 30.0, 8.0, "7 8 9"}, {20.0, 30.0, 8.0, "9 9 9"}};
    write("new.xrdml", xrdml_text(after));
    const std::pair<const char*, const char*> changes[] = {
        {"replaced", "cp new.xrdml next && mv next s.xrdml"},
        {"written over", "cat new.xrdml > s.xrdml"},
        {"touched", "touch -d '2001-01-01' s.xrdml"},
    };
    const std::string answers[] = {"1\n0\n1\n1\n\n", "0\n0\n1\n2\n\n", "-3\n0\n\n",
                                   "-2\n1\n0\n1\n\n"};
    for (const auto& [how, change] : changes) {
        for (const std::string& rest : answers) {
            SCOPED_TRACE(std::string(how) + ", answers " + rest);
            write("s.xrdml", xrdml_text(before));
            write("rest.txt", rest);
            // The input's name, then the change once the scan menu shows.
            shell("rm -f run.out; { printf 's.xrdml\\n'; for i in $(seq 1 3000); do grep -q 'Give scan number "
                  "to load' run.out 2>/dev/null && break; sleep 0.01; done; " +
                  std::string(change) + "; cat rest.txt; } | " + program_command() +
                  " > run.out 2>&1; echo $? > run.status");
            EXPECT_EQ(read("run.status"), "1\n");
            const std::string out = read("run.out");
            EXPECT_NE(out.find(" ierr = 21\n XRDML file changed while it was being read\n"),
                      std::string::npos)
                << out;
            std::set<std::string> left = written();
            left.erase("run.out");
            left.erase("run.status");
            left.erase("rest.txt");
            left.erase("new.xrdml");
            EXPECT_EQ(left, std::set<std::string>{});
            EXPECT_EQ(read("orvalt.tmp"), remembered);
        }
    }
}

// Where a temporary must have a name (Windows; a file system without
// unnamed files), a run killed outright leaves it: the next run writing into
// its folder removes those of this program and this machine whose process is
// gone, and no other.
TEST_F(BadInput, TemporariesOfRunsThatAreGoneAreRemoved) {
    write("s.xrdml", xrdml_text(two_scans));
    std::string upper = orvalt::machine_name();  // as Windows spells its name
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const std::vector<std::string> gone = {".orvalt-" + orvalt::machine_name() + "-99999999-0.part",
                                           ".orvalt-" + upper + "-99999999-1.part"};
    const std::vector<std::string> kept = {
        ".orvalt-" + orvalt::machine_name() + "-" + std::to_string(::getpid()) + "-0.part",
        ".orvalt-elsewhere-99999999-0.part", ".orvalt-99999999-0.part", ".orvalt-notes.txt"};
    for (const auto& name : gone) write(name, "left by a killed run\n");
    for (const auto& name : kept) write(name, "not ours to remove\n");
    EXPECT_EQ(run("", "", "--scan 1 s.xrdml").status, 0);
    int removed = 0;
    for (const auto& name : gone) removed += exists(name) ? 0 : 1;
    // The Linux build names its machine as the system does; the Windows build
    // as Windows does (one of the two forms).
    EXPECT_EQ(removed, upper == orvalt::machine_name() ? 2 : 1);
    for (const auto& name : kept) {
        if (windows_program() && name.find(std::to_string(::getpid())) != std::string::npos) continue;
        EXPECT_TRUE(exists(name)) << name;
    }
}

// --- only finite numbers; bounded memory -----------------------------------------------

// Values no spectrum may hold are refused in every branch alike: a point
// that is not finite, a negative count (summed or not), a scan of no points,
// a wavelength that is not a positive number wherever it is used or written
// (Q, d-spacing, the header of every Genie file).
TEST_F(BadInput, SpectraThatCannotBeRightAreNotWritten) {
    struct Case {
        std::vector<Scan> scans;
        Wavelengths w;
        std::string answers;
        std::string message;
    };
    const std::string point = " **ERROR in orvalt: Point ";
    const std::string negative = " ierr = 22\n Negative count at point ";
    const std::string no_points = " **ERROR in orvalt: Scan 2 holds no points\n";
    const std::string wavelength = " **ERROR in orvalt: Wavelength is not a positive number\n";
    const Scan good{10.0, 12.0, 2.0, "1 2 3"};
    const std::string gudrun = "-2\n0\n1\n\n", separate = "-3\n1\n\n";
    const std::vector<Case> cases = {
        {{{10.0, 12.0, 2.0, "1 2 1e308"}, {10.0, 12.0, 2.0, "1 2 1e308"}}, {}, sum_to_genie,
         point + "3 of the spectrum is not a finite number\n"},
        {{{10.0, 12.0, 1e-320, "1 2 3"}}, {}, "-3\n1\n\n", point + "1 of the spectrum is not a finite number\n"},
        // d-spacing reverses the spectrum: the point is counted as written.
        {{{10.0, 12.0, 1e-320, "0 0 3"}}, {}, "1\n1\n3\n1\n\n",
         point + "1 of the spectrum is not a finite number\n"},
        // Negative counts, in one scan or in a sum where others outweigh them.
        {{{10.0, 12.0, 2.0, "1 -4 3"}}, {}, single_to_ascii, negative + "2 of scan 1\n"},
        {{good, {10.0, 12.0, 2.0, "-1 -1 -1"}}, {}, sum_to_genie, negative + "1 of scan 2\n"},
        {{good, {10.0, 12.0, 2.0, "5 -1 5"}}, {}, gudrun, negative + "2 of scan 2\n"},
        {{{10.0, 12.0, 2.0, "-1 2 3"}, good}, {}, separate, negative + "1 of scan 1\n"},
        // A scan of no points.
        {{good, {10.0, 12.0, 2.0, ""}}, {}, "2\n0\n1\n1\n\n", no_points},
        {{good, {10.0, 12.0, 2.0, ""}}, {}, "2\n0\n1\n2\n\n", no_points},
        {{good, {10.0, 12.0, 2.0, ""}}, {}, sum_to_genie, no_points},
        {{good, {10.0, 12.0, 2.0, ""}}, {}, separate, no_points},
        // Wavelengths: for Q, and for any Genie file.
        {{good}, {"0", "0", "0.5"}, "1\n0\n2\n1\n\n", wavelength},
        {{good}, {"-1.5406", "1.5444", "0.5"}, sum_to_genie, wavelength},
        {{good}, {"1.5406", "0", "0"}, "1\n0\n1\n2\n\n", wavelength},
        {{good}, {"1.5406", "1.5444", "-1"}, separate,
         " **ERROR in orvalt: The ratio of the wavelengths is negative\n"},
        {{good}, {"1.5406", "1.5444", "-0.5"}, "-2\n0\n2\n\n",
         " **ERROR in orvalt: The ratio of the wavelengths is negative\n"},
    };
    for (const Case& c : cases) {
        write("f.xrdml", xrdml_text(c.scans, c.w));
        if (!c.answers.starts_with("-2")) {
            expect_refused("f.xrdml", c.answers, c.message);
            continue;
        }
        // The gudrunX weights stay, as specified; nothing else is written.
        const Result r = run("f.xrdml\n" + c.answers);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(has(r, c.message)) << r.out;
        EXPECT_EQ(written(), std::set<std::string>{"f.weights"});
        fs::remove(dir / "f.weights");
    }
    // 2-theta in an ASCII file does not use the wavelength: it goes on.
    write("f.xrdml", xrdml_text({good}, {"1.5406", "0", "-1"}));
    EXPECT_EQ(run("f.xrdml\n" + single_to_ascii).status, 0);
    EXPECT_TRUE(exists("f.dat"));
}

TEST_F(BadInput, MeasurementLineOverSixtyFourMebibytes) {
    std::string text = xrdml_text(two_scans);
    text.insert(text.find('\n') + 1, "<!--" + std::string((64 << 20) - 6, 'x') + "-->\n");
    write("long.xrdml", text);
    expect_refused("long.xrdml", single_to_ascii, " ierr = 18\n Line too long in XRDML file\n");
}

TEST(BadInputPasses, EveryPassReportsAFileThatIsGone) {
    namespace xr = orvalt::xrdml;
    const orvalt::test::TempDir folder("orvalt_e2e_gone");
    const std::string name = folder.file("no_such_file.xrdml");
    std::istringstream in;
    std::ostringstream out;
    orvalt::Console con{in, out};

    std::int32_t nrec = 0, maxlen = 0;
    try {
        orvalt::inqfilerec(con, name, 99, 1, nrec, maxlen);
        ADD_FAILURE() << "inqfilerec went on";
    } catch (const orvalt::Stop& stop) {
        EXPECT_EQ(stop.status, 1);
    }
    EXPECT_EQ(out.str(), " **ERROR in inqfilerec: cannot open " + name + "\n");

    const std::string gone = "The file cannot be opened any more";
    auto expect_gone = [&](const xr::ReaderStatus& status, const char* pass) {
        EXPECT_EQ(status.ierr, 1) << pass;
        EXPECT_EQ(status.message, gone + std::string(80 - gone.size(), ' ')) << pass;
    };
    xr::ReaderStatus status;
    std::vector<double> y(xr::mn), e(xr::mn);
    std::int32_t ny = 0;
    xr::ORVALTDATA1(con, name, status, y, e, xr::mn, ny, 1, 1);
    expect_gone(status, "one scan");

    std::vector<std::int32_t> weight(2, 1), npts(2, 0);
    status = {};
    xr::ORVALTDATATOT(con, name, status, y, e, xr::mn, npts, weight, ny, 2, 1);
    expect_gone(status, "sum");
}

}  // namespace
}  // namespace e2e

// ORVALT with arguments: the same files as the dialogue, refused arguments,
// a folder with a bad file, --help and --version.
#include "e2e_support.h"
#include "formats/format_table.h"
#include "tests/support.h"
#include "tests/support/genie_files.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <map>
#include <regex>

namespace e2e {
namespace {

// Every file in the scratch folder but `keep`, by name, with its bytes; the
// files are removed.
std::map<std::string, std::string> take_outputs(const fs::path& dir, const std::string& keep) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name == keep || name == "orvalt.tmp") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        files[name] = s.str();
        f.close();
        fs::remove(entry.path());
    }
    fs::remove(dir / "orvalt.tmp");
    return files;
}

std::vector<std::string> data_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}

// The arguments and the dialogue's answers after the input name that mean the same.
struct Case {
    const char* args;
    const char* answers;
};
const Case cases[] = {
    {"", "0\n1\n1\n2\n\n"},                                              // the defaults
    {"--scan 1 --counts --units q --format ascii", "1\n0\n2\n1\n\n"},    // one scan
    {"--sum --counts --units d --format ascii", "0\n0\n3\n1\n\n"},       // sum with header lines
    {"--gudrun --exclude 1", "-2\n1\n0\n1\n\n"},                         // one scan excluded
    {"--gudrun --format genie", "-2\n0\n2\n\n"},
    {"--separate --counts", "-3\n0\n\n"},
};

// A separate-scans Genie file of the command line with the times and
// conditions of each entry (which the dialogue's entries never hold) left
// out, as the dialogue writes them.
std::string without_conditions(const fs::path& path) {
    orvalt::test::GenieFile file;
    std::string error;
    if (!orvalt::test::read_genie_file(path.string(), file, error)) return error;
    std::string out;
    for (const orvalt::genie::Entry& entry : file.entries)
        for (const orvalt::genie::Field& f : entry.fields)
            if (f.name != "h_block.time" && f.name != "h_block.history")
                out += f.name + "=" + std::string(f.bytes.begin(), f.bytes.end()) + ";";
    return out;
}

// Every real measurement through every branch, both ways: the same files,
// byte for byte (but for the times of separate scans, which only the command
// line writes), or the dialogue refuses one over its limits, which the
// command line converts. The command line may warn of a crystal
// monochromator where the mean wavelength is used.
TEST_F(Orvalt, CommandLineWritesWhatTheDialogueWrites) {
    std::vector<fs::path> inputs{fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml"};
    for (const auto& entry : fs::directory_iterator(fs::path(ORVALT_TEST_DATA) / "xrdml"))
        if (entry.path().extension() == ".xrdml") inputs.push_back(entry.path());
    int converted = 0;
    for (const fs::path& input : inputs) {
        const std::string name = input.filename().string();
        fs::copy_file(input, dir / name, fs::copy_options::overwrite_existing);
        for (const Case& c : cases) {
            SCOPED_TRACE(name + " [" + c.args + "]");
            const Result dialogue = run(name + "\n" + c.answers);
            const auto expected = take_outputs(dir, name);
            const bool separate = std::string_view(c.args).starts_with("--separate");
            std::string cli_genie;
            const Result cli = run("", "", std::string(c.args) + " " + name);
            if (separate && cli.status == 0)
                cli_genie = without_conditions(dir / (input.stem().string() + ".write"));
            const auto written = take_outputs(dir, name);
            if (dialogue.out.find(" ierr = 9\n") != std::string::npos ||
                dialogue.out.find(" ierr = 16\n") != std::string::npos) {
                EXPECT_EQ(cli.status, 0) << cli.err;  // over the dialogue's limits
                continue;
            }
            EXPECT_EQ(cli.status, dialogue.status == 0 ? 0 : 1) << cli.err;
            ASSERT_EQ(written.size(), expected.size()) << cli.err;
            for (const auto& [file, bytes] : expected) {
                ASSERT_TRUE(written.contains(file)) << file;
                if (separate && file.ends_with(".write")) {
                    write("dialogue.write", bytes);
                    EXPECT_EQ(cli_genie, without_conditions(dir / "dialogue.write")) << file;
                    fs::remove(dir / "dialogue.write");
                } else {
                    EXPECT_TRUE(written.at(file) == bytes) << file << " differs";
                }
            }
            if (cli.status == 0) {
                ++converted;
                EXPECT_EQ(cli.out.substr(0, name.size() + 2), name + ": ");
                if (!cli.err.empty()) {
                    EXPECT_NE(cli.err.find("crystal monochromator"), std::string::npos) << cli.err;
                }
            } else {
                EXPECT_EQ(cli.out, "");
                EXPECT_NE(cli.err.find(name + ": not converted\n"), std::string::npos) << cli.err;
            }
        }
        fs::remove(dir / name);
    }
    EXPECT_GE(converted, 12);  // two files of several scans through every branch at least
}

// A file of scans of the same grid, counts lists or intensities; `before`
// and `after` hold lines put around the list of scan k (from 0).
std::string sum_file(const std::vector<std::string>& lists, const std::string& element,
                     const std::map<std::size_t, std::string>& before,
                     const std::map<std::size_t, std::string>& after, bool closed = true) {
    std::vector<std::string> ls = orvalt::test::wavelength_lines;
    for (std::size_t k = 0; k < lists.size(); ++k) {
        auto scan = orvalt::test::scan_lines("10", "12", "2", lists[k], element);
        const auto list = scan.begin() + 10;
        if (after.contains(k)) scan.insert(list + 1, after.at(k));
        if (before.contains(k)) scan.insert(scan.begin() + 10, before.at(k));
        ls.insert(ls.end(), scan.begin(), scan.end());
    }
    if (closed) ls.push_back("</xrdMeasurements>");
    return orvalt::test::lines(ls);
}

// The command line sums in the census's own reading of the file; the
// dialogue reads the file a second time for it. Both give the same file, or
// refuse it with the same reason, whatever the lists hold.
TEST_F(Orvalt, ASumMadeInTheCensusReadingIsTheSumReadAgain) {
    const std::string f1 = "\t\t\t<beamAttenuationFactors>1 2 1</beamAttenuationFactors>";
    const std::string f2 = "\t\t\t<beamAttenuationFactors>1.5 1 4</beamAttenuationFactors>";
    const std::vector<std::string> three = {"25 25 25", "4 9 16", "1 4 9"};
    // The last scan's counts end the file: the end of the file ends its dataPoints.
    std::string cut = sum_file(three, "counts", {}, {}, false);
    cut.erase(cut.rfind("\t\t</dataPoints>"));
    // The second scan inside a comment is no scan.
    std::string commented = sum_file(three, "intensities", {}, {});
    const std::size_t second = commented.find("\t<scan ", commented.find("\t<scan ") + 1);
    commented.insert(commented.find("\t</scan>\n", second) + 9, "-->\n");
    commented.insert(second, "<!-- left out\n");
    const struct {
        const char* what;
        std::string file;
    } files[] = {
        {"factors before and after", sum_file(three, "counts", {{1, f1}}, {{2, f2}})},
        {"factors after the last list", sum_file(three, "counts", {}, {{2, f2}})},
        {"a file that ends with its last list", cut},
        {"a list inside a comment", commented},
        {"a list that does not close on its line",
         sum_file({"1 2", "3 4\n5 6", "7 8"}, "intensities", {}, {})},
        {"a negative count", sum_file({"1 2", "3 -4"}, "counts", {}, {})},
        {"a field that is no number", sum_file({"1 2", "3 x"}, "intensities", {}, {})},
        {"too few factors", sum_file({"1 2", "3 4"}, "counts", {{1, f1}}, {})},
    };
    const Case sums[] = {cases[2], cases[3]};
    for (const auto& [what, file] : files) {
        for (const Case& c : sums) {
            SCOPED_TRACE(std::string(what) + " [" + c.args + "]");
            write("s.xrdml", file);
            const Result dialogue = run("s.xrdml\n" + std::string(c.answers));
            const auto expected = take_outputs(dir, "s.xrdml");
            const Result cli = run("", "", std::string(c.args) + " s.xrdml");
            const auto written = take_outputs(dir, "s.xrdml");
            ASSERT_EQ(cli.status, dialogue.status == 0 ? 0 : 1) << cli.err << dialogue.out;
            EXPECT_TRUE(written == expected);
            if (cli.status == 0) continue;
            const std::string said = cli.err.substr(0, cli.err.find('\n'));
            EXPECT_NE(dialogue.out.find(said.substr(said.find(": ") + 2)), std::string::npos)
                << said << "\n" << dialogue.out;
        }
    }
}

// g2dump --columns reads a Genie file as the ASCII data file of the same run;
// the separate scans come as one block each, separated by an empty line.
TEST_F(Orvalt, GenieColumnsEqualTheAsciiDataFile) {
    fs::copy_file(fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml", dir / "s.xrdml");
    const auto columns = [&](const std::string& args) {
        const std::string cmd = "cd \"" + dir.string() + "\" && \"" G2DUMP_EXE "\" --columns " +
                                args + " > columns.txt";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return read("columns.txt");
    };
    ASSERT_EQ(run("", "", "--scan 3 --units q --format ascii s.xrdml").status, 0);
    ASSERT_EQ(run("", "", "--scan 3 --units q -o s3.write s.xrdml").status, 0);
    const std::string one = columns("s3.write");
    EXPECT_EQ(data_lines(one), data_lines(read("s.dat")));
    EXPECT_EQ(one.substr(0, one.find('\n') + 1), "# title: s.xrdml\n");

    ASSERT_EQ(run("", "", "--separate --counts s.xrdml").status, 0);
    ASSERT_EQ(run("", "", "--scan 2 --counts --format ascii -o s2.dat s.xrdml").status, 0);
    const std::string all = columns("s.write");
    EXPECT_EQ(std::count(all.begin(), all.end(), '#'), 4 * 3);
    EXPECT_NE(all.find("\n\n# title"), std::string::npos);
    EXPECT_EQ(data_lines(columns("2 s.write")), data_lines(read("s2.dat")));
}

// g2dump reads only regular files, checks the signature before anything
// else, and holds one entry at a time: a file of 120 MB is read in the memory
// of one of its entries (it was read whole, twice its size).
TEST_F(Orvalt, G2dumpReadsRegularGenieFilesEntryByEntry) {
    // Its exit status, and the most memory it held (kB).
    long max_kb = 0;
    const auto g2dump = [this, &max_kb](const std::string& args) {
        const std::string cmd = "cd \"" + dir.string() + "\" && ASAN_OPTIONS=quarantine_size_mb=1 "
                                "exec timeout 60 \"" G2DUMP_EXE "\" " + args + " > dump.out 2> dump.err";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        max_kb = usage.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(::mkfifo((dir / "fifo.write").c_str(), 0644), 0);
    EXPECT_EQ(g2dump("fifo.write"), 1);
    EXPECT_EQ(read("dump.err"), "g2dump: fifo.write: not a regular file\n");
    EXPECT_EQ(g2dump("/dev/zero"), 1);
    EXPECT_EQ(read("dump.err"), "g2dump: /dev/zero: not a regular file\n");
    write("zeros.write", std::string(1 << 20, '\0'));
    EXPECT_EQ(g2dump("--columns zeros.write"), 1);
    EXPECT_EQ(read("dump.err"), "g2dump: zeros.write: not a Genie file: no Genie signature (at byte 0)\n");

    // One entry of 25000 points (600 KB), then the same entry 210 times.
    std::string counts;
    for (int i = 0; i < 25000; ++i) counts += std::to_string(i % 1000) + " ";
    write("big.xrdml", xrdml_text({{10.0, 60.0, 1.0, counts}}));
    ASSERT_EQ(run("", "", "--scan 1 big.xrdml").status, 0);
    const std::string one = read_bytes("big.write");
    const std::string entry = one.substr(12);
    {
        std::ofstream f(dir / "big.write", std::ios::binary);
        f << one.substr(0, 12);
        for (int k = 0; k < 210; ++k) f << entry;
    }
    ASSERT_GT(fs::file_size(dir / "big.write"), 120u << 20);
    EXPECT_EQ(g2dump("--columns 210 big.write"), 0) << read("dump.err");
    EXPECT_LT(max_kb, 100 * 1024) << "kB at most";
    const std::string cols = read("dump.out");
    EXPECT_EQ(std::count(cols.begin(), cols.end(), '\n'), 25000 + 3);
    // A damaged last entry is said to be, and nothing is printed before.
    fs::resize_file(dir / "big.write", fs::file_size(dir / "big.write") - 1);
    EXPECT_EQ(g2dump("big.write"), 1);
    EXPECT_EQ(read("dump.out"), "");
    EXPECT_NE(read("dump.err").find("entry 210: runs past the end of the file"), std::string::npos)
        << read("dump.err");
    fs::remove(dir / "big.write");
}

// Two gudrunX preparations of one file at once, with different exclusions:
// the data file and the weights file always come from one run (they are put
// in place together, the folder held against the other run meanwhile).
TEST_F(Orvalt, TwoGudrunRunsAtOnceLeaveAPairOfOneRun) {
    std::vector<Scan> scans;
    for (int s = 0; s < 4; ++s) {
        std::string counts;
        for (int i = 0; i < 20000; ++i) counts += std::to_string((i * (s + 3)) % 5000 + 1) + " ";
        scans.push_back({10.0, 60.0, 1.0 + s, counts});
    }
    write("s.xrdml", xrdml_text(scans));
    const std::string a = "--gudrun --exclude 1 s.xrdml", b = "--gudrun --exclude 2 s.xrdml";
    ASSERT_EQ(run("", "", a).status, 0);
    const std::string dat_a = read_bytes("s.dat"), weights_a = read_bytes("s.weights");
    ASSERT_EQ(run("", "", b).status, 0);
    const std::string dat_b = read_bytes("s.dat"), weights_b = read_bytes("s.weights");
    ASSERT_NE(dat_a, dat_b);
    int mixed = 0;
    for (int trial = 0; trial < 20; ++trial) {
        const std::string cmd = "cd \"" + dir.string() + "\" && { " + program_command() + " " + a +
                                " & " + program_command() + " " + b + "; wait; } > /dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const std::string dat = read_bytes("s.dat"), weights = read_bytes("s.weights");
        const bool one_run = (dat == dat_a && weights == weights_a) || (dat == dat_b && weights == weights_b);
        if (!one_run) ++mixed;
    }
    EXPECT_EQ(mixed, 0) << "trials of 20 that left a pair from two runs";
}

// Arguments that cannot go together are refused before any file is read:
// status 2, the usage line on standard error, nothing written.
TEST_F(Orvalt, RefusedArgumentsTouchNoFile) {
    write("a.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}}));
    write("b.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}}));
    const char* refused[] = {
        "--units q --gudrun a.xrdml", "--units d --separate a.xrdml",
        "--counts --gudrun a.xrdml",  "--format ascii --separate a.xrdml",
        "--exclude 2 a.xrdml",        "-o x.dat a.xrdml b.xrdml",
        "--bogus a.xrdml",            "--scan 1 --sum a.xrdml",
        "--scan 0 a.xrdml",           "--exclude 2,x --gudrun a.xrdml",
        "--units Q a.xrdml",          "--counts --cps a.xrdml",
        "-d no_such_folder a.xrdml",  "--sum",
    };
    for (const char* args : refused) {
        const Result r = run("", "", args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find("\nUsage: orvalt [OPTIONS] FILE.xrdml...\n"), std::string::npos)
            << args << ": " << r.err;
        std::vector<std::string> present;
        for (const auto& entry : fs::directory_iterator(dir))
            present.push_back(entry.path().filename().string());
        std::sort(present.begin(), present.end());
        EXPECT_EQ(present, (std::vector<std::string>{"a.xrdml", "b.xrdml"})) << args;
    }
}

// Trailing blanks are not part of a name: every file is named, written and
// reported without them.
TEST_F(Orvalt, TrailingBlanksAreNotPartOfAName) {
    write("ab", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}}));
    const Result r = run("", "", "--gudrun 'ab  '");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "ab.weights"));
    EXPECT_NE(r.out.find(" and ab.weights"), std::string::npos) << r.out;
}

// Every file is tried: the bad ones are named on standard error, the others
// converted, and the status says that not all went through.
TEST_F(Orvalt, AFolderWithBadFilesConvertsTheOthers) {
    // The Windows build names its files with backslashes.
    const auto cli = [this](const std::string& args) {
        Result r = run("", "", args);
        if (windows_program()) {
            std::replace(r.out.begin(), r.out.end(), '\\', '/');
            std::replace(r.err.begin(), r.err.end(), '\\', '/');
        }
        return r;
    };
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    const std::string good = xrdml_text({{10.0, 12.0, 2.0, "4 9 16"}});
    write("in/a.xrdml", good);
    write("in/b.xrdml", "<intensities>1 2 3</intensities>\n");
    write("in/c.xrdml", good);
    write("in/d.xrdml", good);
    const Result all = cli("-d out in/*.xrdml in/missing");
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.out,
              "in/a.xrdml: sum of 1 scan, counts per second, 2-theta -> out/a.write\n"
              "in/c.xrdml: sum of 1 scan, counts per second, 2-theta -> out/c.write\n"
              "in/d.xrdml: sum of 1 scan, counts per second, 2-theta -> out/d.write\n");
    std::istringstream err(all.err);
    for (std::string line; std::getline(err, line);)
        EXPECT_TRUE(line.starts_with("in/b.xrdml: ") || line.starts_with("in/missing: ")) << line;
    EXPECT_NE(all.err.find("in/missing: no such file: in/missing.xrdml\n"), std::string::npos);
    EXPECT_TRUE(exists("out/a.write") && exists("out/c.write") && exists("out/d.write"));
    EXPECT_FALSE(exists("out/b.write") || exists("orvalt.tmp") || exists("in/a.write"));

    // -q drops the lines of the converted files; a scan the file lacks, an
    // output that is the input, or one written twice are refused per file.
    const Result quiet = cli("-q --scan 2 in/a.xrdml");
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, "");
    EXPECT_NE(quiet.err.find("in/a.xrdml: **ERROR in orvalt: there is no scan 2: the file holds "
                             "1 scans\n"),
              std::string::npos)
        << quiet.err;
    const Result over = cli("-o in/a.xrdml in/a.xrdml");
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(read("in/a.xrdml"), good);
    fs::create_directories(dir / "in/sub");
    write("in/sub/a.xrdml", good);
    const Result twice = cli("-q -d out in/a.xrdml in/sub/a.xrdml");
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.err, "in/sub/a.xrdml: will not write out/a.write again: this run has "
                         "written it already\n");
}

// The command line's own refusals and reports, one case per rule: what goes
// to standard error is the run's warnings and errors, never its progress.
TEST_F(Orvalt, CommandLineReportsOnlyWarningsAndErrors) {
    const std::string good = xrdml_text({{10.0, 12.0, 2.0, "4 9 16"}});
    write("a.dat", good);
    write("a", good);
    write("run1", good);
    write("abcdef", good);
    write("-x.xrdml", good);
    write("n\nl", good);
    write("none.xrdml", xrdml_text({}));
    write("junk.xrdml", "hello\n");
    write("empty.xrdml", xrdml_text({{10.0, 12.0, 2.0, ""}}));
    std::string twice_k1 = good;
    twice_k1.insert(twice_k1.find("<kAlpha1"), "<kAlpha1 unit=\"Angstrom\">1.5</kAlpha1>\n");
    write("w.xrdml", twice_k1);
    std::string comma = good;
    comma.replace(comma.find("1.5406"), 6, "0,7093170");
    write("comma.xrdml", comma);
    std::string long_line = good;
    long_line.insert(long_line.find('\n') + 1, "<!--" + std::string(200000, 'x') + "-->\n");
    write("long.xrdml", long_line);
    std::string cut = xrdml_text({{10.0, 12.0, 2.0, "1 2 3"}, {10.0, 12.0, 2.0, "4 5 6"}});
    write("cut.xrdml", cut.substr(0, cut.find("4 5 6") + 3));
    fs::create_directories(dir / "converted");
    fs::create_directories(dir / "folder.xrdml");
    const std::string usage =
        "Usage: orvalt [OPTIONS] FILE.xrdml...\nRun 'orvalt --help' for the options.\n";
    struct Expect {
        std::string args;
        int status;
        std::string err;      // all of standard error
        const char* written;  // a file the run leaves, or ""
    };
    const Expect rules[] = {
        // Default names come from the file name alone, then go to the folder.
        {"-d converted run1", 0, "", "converted/run1.write"},
        {"-d converted abcdef", 0, "", "converted/abcdef.write"},
        // An output is never an input of the same run.
        {"--format ascii a.dat a", 1, "a: will not write a.dat: it is an input of this run\n", ""},
        {"-o a.dat a.dat", 1, "a.dat: will not write a.dat: it is the input file\n", ""},
        // A file without scans has nothing to write separately either.
        {"--separate none.xrdml", 1,
         "none.xrdml: **ERROR in orvalt: The file holds no scans\nnone.xrdml: not converted\n", ""},
        // Warnings go to standard error unless -q, the long-record one too.
        {"w.xrdml", 0,
         "w.xrdml: **WARNING: Unexpected number of kAlpha1 values in file = 2\n", "w.write"},
        {"-q w.xrdml", 0, "", "w.write"},
        {"long.xrdml", 0, "long.xrdml: **WARNING** Excessively long record(s) encountered\n",
         "long.write"},
        {"-q long.xrdml", 0, "", "long.write"},
        // The rules of every name: control characters refused wherever they
        // stand (shown as escapes), trailing blanks not part of a name.
        {"'n\nl'", 1, "n\\nl: A file name must not hold control characters\n", ""},
        {"-o 'x\t.dat' a", 2, "orvalt: -o x\\t.dat: A file name must not hold control characters\n" + usage,
         ""},
        {"-o 'x\n.dat' a", 2, "orvalt: -o x\\n.dat: A file name must not hold control characters\n" + usage,
         ""},
        {"--format ascii -o 'blank.dat  ' a", 0, "", "blank.dat"},
        // An unknown option is said to be one, with the way to name such a file.
        {"-x.xrdml", 2,
         "orvalt: unknown option -x.xrdml; a file whose name begins with '-' is named after "
         "'--', as in: orvalt -- -x.xrdml\n" + usage,
         ""},
        {"-- -x.xrdml", 0, "", "-x.write"},
        // What is not a regular file is said to be so; what is not XRDML too.
        {"folder.xrdml", 1, "folder.xrdml: not a regular file (a folder, FIFO or device): nothing is read\n",
         ""},
        {"junk.xrdml", 1,
         "junk.xrdml: not an XRDML file (it holds no xrdMeasurement element)\n"
         "junk.xrdml: not converted\n",
         ""},
        // A one-value element with a second number; a scan of no points.
        {"comma.xrdml", 1,
         "comma.xrdml: More than one number where one is expected: kAlpha1\n"
         "comma.xrdml: not converted\n",
         ""},
        {"--scan 1 --format ascii empty.xrdml", 1,
         "empty.xrdml: **ERROR in orvalt: Scan 1 holds no points\nempty.xrdml: not converted\n", ""},
        // A separate-scans file cut short by an unreadable scan says what it
        // holds; --partial takes the cut scan as far as it goes.
        {"--separate cut.xrdml", 1,
         "cut.xrdml: **WARNING: the file ends before </xrdMeasurements>: it was cut short, "
         "inside scan 2\n"
         "cut.xrdml: Scan 2 is cut short: the file ends inside its list; --partial takes it as "
         "far as it goes\n"
         "cut.xrdml: **ERROR in orvalt: cut.write holds 1 entry, the scans before scan 2, which "
         "stopped the run\n"
         "cut.xrdml: not converted\n",
         "cut.write"},
        {"-q --separate --partial -o cutp.write cut.xrdml", 0, "", "cutp.write"},
    };
    for (const Expect& c : rules) {
        const Result r = run("", "", c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
        if (*c.written) {
            EXPECT_TRUE(exists(c.written)) << c.args;
        }
    }
    EXPECT_EQ(read("a.dat"), good);
    EXPECT_FALSE(exists("converte.write") || exists("converted/.write"));
}

// Outputs that are one file under two names: decided by the file's identity
// (device and inode; volume serial and file index on Windows), not by its
// spelling. A hard link to an input is the input; where names ignore letter
// case (Windows), Run and run are one file, and the second is refused.
TEST_F(Orvalt, OneFileUnderTwoNamesIsWrittenOnce) {
    const std::string x = xrdml_text({{10.0, 12.0, 2.0, "4 9 16"}});
    const std::string y = xrdml_text({{10.0, 12.0, 2.0, "1 1 1"}});
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    fs::create_directories(dir / "out");
    write("x/Run.xrdml", x);
    write("y/run.xrdml", y);
    fs::create_hard_link(dir / "x/Run.xrdml", dir / "hard.dat");
    const auto cli = [this](const std::string& args) {
        Result r = run("", "", args);
        std::replace(r.err.begin(), r.err.end(), '\\', '/');
        return r;
    };
    Result r = cli("--format ascii -o hard.dat x/Run.xrdml");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x/Run.xrdml: will not write hard.dat: it is the input file\n");
    EXPECT_EQ(read("hard.dat"), x);

    r = cli("-d out x/Run.xrdml y/run.xrdml");
    if (windows_program()) {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "y/run.xrdml: will not write out/run.write again: this run has written "
                         "it already\n");
        EXPECT_EQ(r.out.find("y/run.xrdml"), std::string::npos) << r.out;
    } else {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(exists("out/run.write"));
    }
    // Whatever the system, out/Run.write holds x's data: it was not overwritten.
    const std::string cmd = "cd \"" + dir.string() + "\" && \"" G2DUMP_EXE "\" --columns out/Run.write > cols.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_NE(read("cols.txt").find("8.00000000000000"), std::string::npos) << read("cols.txt");
}

// A batch whose writes fail (a file size limit: the write fails with the
// system's reason instead of ending the run) goes on with the next file; a
// file that could not be written is not "written already" for a later one.
TEST_F(Orvalt, FailedWritesInABatchSayWhyAndTheBatchGoesOn) {
    fs::create_directories(dir / "in/sub");
    fs::create_directories(dir / "out");
    std::string many;
    for (int i = 0; i < 3000; ++i) many += std::to_string(i % 97 + 1) + " ";
    write("in/big.xrdml", xrdml_text({{10.0, 40.0, 2.0, many}}));
    write("in/sub/big.xrdml", xrdml_text({{10.0, 40.0, 2.0, many}}));
    write("in/small.xrdml", xrdml_text({{10.0, 12.0, 2.0, "4 9 16"}}));
    // No "trap '' XFSZ": the program itself must not die of the limit.
    for (const std::string format : {"ascii", "genie"}) {
        SCOPED_TRACE(format);
        const std::string ext = format == "ascii" ? ".dat" : ".write";
        Result r = run("", file_limit(16), "--format " + format +
                                                  " -d out in/big.xrdml in/sub/big.xrdml in/small.xrdml");
        std::replace(r.err.begin(), r.err.end(), '\\', '/');
        std::replace(r.out.begin(), r.out.end(), '\\', '/');
        EXPECT_EQ(r.status, 1);
        const std::string routine = format == "ascii" ? "write_ascii_data_file" : "orvalt";
        const std::string what = format == "ascii" ? "could" : "Could";
        // (Under Wine the limit is a POSIX one the Windows C library has no
        // name for: some reason is given, not that one.)
        const std::string reason = windows_program() ? "" : "File too large\n" ;
        for (const std::string input : {"in/big.xrdml", "in/sub/big.xrdml"})
            EXPECT_NE(r.err.find(input + ": **ERROR in " + routine + ": " + what +
                                 " not write out/big" + ext + ": " + reason),
                      std::string::npos)
                << r.err;
        EXPECT_EQ(r.err.find("written it already"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(".part"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("in/small.xrdml: "), std::string::npos) << r.out;
        EXPECT_FALSE(exists("out/big" + ext));
        EXPECT_TRUE(exists("out/small" + ext));
        for (const auto& e : fs::directory_iterator(dir / "out"))
            EXPECT_FALSE(e.path().filename().string().starts_with(".orvalt-")) << e.path();
    }
}

// A refusal naming a long argument on a standard error that a file size
// limit cuts short ends with its status, 2, not by SIGXFSZ.
TEST_F(Orvalt, RefusalCutByAFileSizeLimitEndsWithItsStatus) {
    EXPECT_EQ(run("", file_limit(1), "-o " + std::string(4097, 'l') + " a.xrdml").status, 2);
}

// An --exclude list with an empty place (",,", a comma at an end) is no list
// of scan numbers: refused as such, the list named, never the next argument.
TEST_F(Orvalt, ExcludeListsWithAnEmptyPlaceAreRefused) {
    write("a.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}, {10.0, 12.0, 1.0, "1 2 3"},
                                 {10.0, 12.0, 1.0, "1 2 3"}}));
    for (const std::string list : {",,", "2,,3", ",", "2,", ",2"}) {
        const Result r = run("", "", "--gudrun --exclude '" + list + "' a.xrdml");
        EXPECT_EQ(r.status, 2) << list;
        EXPECT_EQ(r.err.rfind("orvalt: --exclude: '" + list + "' has an empty place: scan numbers "
                              "are separated by single commas, as in 2,5\n", 0),
                  0u)
            << list << r.err;
        EXPECT_FALSE(exists("a.weights")) << list;
    }
    const Result r = run("", "", "--gudrun --exclude 1,3 --exclude=2 a.xrdml");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("a.xrdml: Error: All scans have been excluded\n"), std::string::npos) << r.err;
    EXPECT_EQ(run("", "", "--gudrun --exclude 3,1 a.xrdml").status, 0);
    EXPECT_EQ(read("a.weights"), "  1 0\n  2 1\n  3 0\n");
}

// Axis names and units come from the file: on the summary line and in the
// scan table they are shown with their control characters escaped (ESC, CR,
// BEL, the C1 CSI U+009B and a lone 0x9B byte), never as sequences a
// terminal would act on.
TEST_F(Orvalt, TextFromTheFileReachesTheTerminalEscaped) {
    std::string text = xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}});
    const auto replace = [&text](const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    replace("axis=\"2Theta\" unit=\"deg\"", "axis=\"Phi\x1b[2J\x1b]0;owned\x07\" unit=\"deg\r\xc2\x9b\x31m\"");
    replace("axis=\"Omega\" unit=\"deg\"", "axis=\"Chi\x9b\x32J\" unit=\"\x7f\"");
    write("a.xrdml", text);
    const auto plain = [](const std::string& t) {
        for (std::size_t i = 0; i < t.size(); ++i) {
            const auto c = static_cast<unsigned char>(t[i]);
            if ((c < 32 && c != '\n') || c == 127 || c == 0x9b) return false;
            if (c == 0xc2 && i + 1 < t.size() && static_cast<unsigned char>(t[i + 1]) < 0xa0)
                return false;
        }
        return true;
    };
    // The scan table keeps a file's texts with their control characters as
    // "?" already; what is left (C1 in UTF-8) is escaped as messages are.
    const struct {
        const char* args;
        const char* axis;
    } runs[] = {{"--format ascii a.xrdml", "Phi\\x1B[2J\\x1B]0;owned\\x07"},
                 {"--list a.xrdml", "Phi?[2J?]0;owned? deg?\\xC2\\x9B1m"},
                 {"--units q a.xrdml", "Phi\\x1B[2J\\x1B]0;owned\\x07"}};
    for (const auto& c : runs) {
        const Result r = run("", "", c.args);
        EXPECT_TRUE(plain(r.out)) << c.args << ": " << r.out;
        EXPECT_TRUE(plain(r.err)) << c.args << ": " << r.err;
        EXPECT_NE((r.out + r.err).find(c.axis), std::string::npos) << c.args << r.out << r.err;
    }
}

// A picture that cannot be written once the data file is in place (here a
// file size limit the data file and the weights stay under, the picture of
// 60 scans not) is reported as such: the files in place are named as
// written, status 1, never "not converted".
TEST_F(Orvalt, APictureThatFailsAfterTheDataFileSaysSo) {
    write("a.xrdml", xrdml_text(std::vector<Scan>(60, {10.0, 12.0, 1.0, "1 2 3"})));
    const Result r = run("", file_limit(8), "--gudrun --plot a.xrdml");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("a.xrdml: a.dat and a.weights written, but not the picture a.svg\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("not converted"), std::string::npos) << r.err;
    EXPECT_EQ(data_lines(read("a.dat")).size(), 3u);
    EXPECT_FALSE(exists("a.svg"));
}

// Each output is staged beside itself: a folder on another file system than
// the current one takes the data file, the weights and the picture.
TEST_F(Orvalt, OutputsOnAnotherFileSystem) {
    struct stat here {}, shm {};
    if (::stat(dir.c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev)
        GTEST_SKIP() << "/dev/shm is no other file system here";
    const orvalt::test::TempDir other("orvalt_e2e_other_file_system", "/dev/shm");
    write("a.xrdml", xrdml_text({{10.0, 12.0, 1.0, "1 2 3"}, {10.0, 12.0, 1.0, "4 5 6"}}));
    const Result r = run("", "", "--gudrun --plot -d " + other.path().string() + " a.xrdml");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* name : {"a.dat", "a.weights", "a.svg"})
        EXPECT_TRUE(fs::is_regular_file(other.path() / name)) << name;
}

// --help shows an example of every branch; --version the version that
// CMakeLists.txt sets, which the README names too.
// Every row of the table of output formats reaches the user: the help names
// it, --format takes it, and the file comes under the row's extension.
TEST_F(Orvalt, EveryOutputFormatOfTheTableIsOfferedAndWritten) {
    const Result help = run("", "", "--help");
    fs::copy_file(fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml", dir / "s.xrdml");
    for (const orvalt::FormatRow& row : orvalt::output_formats()) {
        const std::string name(row.name);
        SCOPED_TRACE(name);
        EXPECT_NE(help.out.find(name), std::string::npos);
        const Result r = run("", "", "-q --format " + name + " s.xrdml");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_regular_file(dir / ("s" + std::string(row.extension))));
    }
}

TEST_F(Orvalt, HelpAndVersion) {
    const Result help = run("", "", "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("128 + n"), std::string::npos);
    EXPECT_NE(help.out.find("orvalt -- -run7.xrdml"), std::string::npos);
    for (const char* example : {"orvalt run7.xrdml", "orvalt --scan 2", "orvalt --gudrun --exclude",
                                "orvalt --separate", "orvalt -d "})
        EXPECT_NE(help.out.find(example), std::string::npos) << example;

    std::ifstream lists(fs::path(ORVALT_SOURCE_DIR) / "CMakeLists.txt");
    std::smatch m;
    std::string text((std::istreambuf_iterator<char>(lists)), {});
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(project\(orvalt VERSION ([0-9.]+))")));
    const Result version = run("", "", "-V");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "orvalt " + m[1].str());
    EXPECT_NE(version.out.find("\nbuilt for "), std::string::npos);
    std::ifstream readme(fs::path(ORVALT_SOURCE_DIR) / "README.md");
    std::string readme_text((std::istreambuf_iterator<char>(readme)), {});
    EXPECT_NE(readme_text.find("version " + m[1].str()), std::string::npos);
}

}  // namespace
}  // namespace e2e

// ORVALT with arguments: the same files as the dialogue, refused arguments,
// a folder with a bad file, --help and --version.
#include "e2e_support.h"

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

// Every real measurement (except the one of more scans than the program
// takes) through every branch, both ways: the same files, byte for byte.
TEST_F(Orvalt, CommandLineWritesWhatTheDialogueWrites) {
    std::vector<fs::path> inputs{fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml"};
    for (const auto& entry : fs::directory_iterator(fs::path(ORVALT_TEST_DATA) / "xrdml"))
        if (entry.path().extension() == ".xrdml" && entry.path().stem() != "rsm_401_scans")
            inputs.push_back(entry.path());
    int converted = 0;
    for (const fs::path& input : inputs) {
        const std::string name = input.filename().string();
        fs::copy_file(input, dir / name, fs::copy_options::overwrite_existing);
        for (const Case& c : cases) {
            SCOPED_TRACE(name + " [" + c.args + "]");
            const Result dialogue = run(name + "\n" + c.answers);
            const auto expected = take_outputs(dir, name);
            const Result cli = run("", "", std::string(c.args) + " " + name);
            const auto written = take_outputs(dir, name);
            EXPECT_EQ(cli.status, dialogue.status == 0 ? 0 : 1) << cli.err;
            ASSERT_EQ(written.size(), expected.size()) << cli.err;
            for (const auto& [file, bytes] : expected) {
                ASSERT_TRUE(written.contains(file)) << file;
                EXPECT_TRUE(written.at(file) == bytes) << file << " differs";
            }
            if (cli.status == 0) {
                ++converted;
                EXPECT_EQ(cli.out.substr(0, name.size() + 2), name + ": ");
                EXPECT_EQ(cli.err, "");
            } else {
                EXPECT_EQ(cli.out, "");
                EXPECT_NE(cli.err.find(name + ": not converted\n"), std::string::npos) << cli.err;
            }
        }
        fs::remove(dir / name);
    }
    EXPECT_GE(converted, 12);  // two files of several scans through every branch at least
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
    write("none.xrdml", xrdml_text({}));
    std::string twice_k1 = good;
    twice_k1.insert(twice_k1.find("<kAlpha1"), "<kAlpha1 unit=\"Angstrom\">1.5</kAlpha1>\n");
    write("w.xrdml", twice_k1);
    fs::create_directories(dir / "converted");
    struct Expect {
        const char* args;
        int status;
        const char* err;      // all of standard error
        const char* written;  // a file the run leaves, or ""
    };
    const Expect rules[] = {
        // Default names come from the file name alone, then go to the folder.
        {"-d converted run1", 0, "", "converted/run1.write"},
        // An output is never an input of the same run.
        {"--format ascii a.dat a", 1,
         "a: will not write a.dat: it is an input of this run\n", ""},
        // A file without scans has nothing to write separately either.
        {"--separate none.xrdml", 1,
         "none.xrdml: **ERROR in orvalt: The file holds no scans\nnone.xrdml: not converted\n", ""},
        // Warnings go to standard error unless -q.
        {"w.xrdml", 0,
         "w.xrdml: **WARNING: Unexpected number of kAlpha1 values in file = 2\n", "w.write"},
        {"-q w.xrdml", 0, "", "w.write"},
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
}

// --help shows an example of every branch; --version the version that
// CMakeLists.txt sets, which the README names too.
TEST_F(Orvalt, HelpAndVersion) {
    const Result help = run("", "", "--help");
    EXPECT_EQ(help.status, 0);
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

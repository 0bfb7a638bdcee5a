// Names as users give them: in any script, in quotes, with wildcards, device
// names, another spelling of the weights file; and a batch interrupted at
// any moment. Where a rule is the Windows console's own, the Linux build
// (whose names may hold quotes) is not asked.
#include <gemmi/cif.hpp>

#include "e2e_support.h"
#include "tests/plot/picture.h"

namespace e2e {
namespace {

class Names : public Orvalt {
protected:
    void copy_sample(const fs::path& to) const {
        fs::create_directories((dir / to).parent_path());
        fs::copy_file(fs::path(ORVALT_SOURCE_DIR) / "examples/Na_Mg_mirror.xrdml", dir / to,
                      fs::copy_options::overwrite_existing);
    }
    // The command that starts g2dump: the Windows one beside the Windows orvalt.
    static std::string g2dump_command() {
        const char* cmd = std::getenv("G2DUMP_EXE_CMD");
        return cmd != nullptr ? cmd : "\"" G2DUMP_EXE "\"";
    }
    // A name as one word of the shell: in single quotes, or in double
    // quotes when it holds one (and no '"', '$', '`' or '\\').
    static std::string quoted(const std::string& name) {
        if (name.find('\'') == std::string::npos) return "'" + name + "'";
        return "\"" + name + "\"";
    }
    Result shell_run(const std::string& text) const {
        const std::string cmd = "cd \"" + dir.string() + "\" && { " + text + "; } > out.txt 2> err.txt";
        Result r;
        r.status = WEXITSTATUS(std::system(cmd.c_str()));
        r.out = read("out.txt");
        r.err = read("err.txt");
        return r;
    }
};

// Latin, Greek and CJK names reach the file system as given: inputs, outputs
// (-o, -d, typed), a folder, orvalt.tmp.
TEST_F(Names, EveryScriptInTheDialogueAndOnTheCommandLine) {
    const std::string names[] = {"Messung_Größe_é", "αβγ_δ", "中文_測定"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        copy_sample(name + ".xrdml");
        const Result cli = run("", "", "--format ascii '" + name + ".xrdml' -o '" + name + "-1.dat'");
        EXPECT_EQ(cli.status, 0) << cli.err;
        EXPECT_NE(cli.out.find("-> " + name + "-1.dat"), std::string::npos) << cli.out;
        EXPECT_TRUE(exists(name + "-1.dat"));

        copy_sample(name + "/" + name + ".xrdml");
        const Result in_folder =
            run("", "", "-d '" + name + "' '" + name + "/" + name + ".xrdml'");
        EXPECT_EQ(in_folder.status, 0) << in_folder.err;
        EXPECT_TRUE(exists(name + "/" + name + ".write"));

        const Result typed = run(name + ".xrdml\n0\n1\n1\n1\n" + name + "-2.dat\n");
        EXPECT_EQ(typed.status, 0) << typed.out;
        EXPECT_NE(typed.out.find("File found : <DIR>/" + name + ".xrdml"), std::string::npos);
        EXPECT_NE(read(name + "-2.dat").find(name + ".xrdml\nScan = 0\n"), std::string::npos);
        EXPECT_TRUE(read("orvalt.tmp").starts_with(name + ".xrdml"));
        // Remembered and offered again: Return everywhere converts it again.
        EXPECT_EQ(run("\n\n\n\n\n\n").status, 0);
        EXPECT_TRUE(exists(name + ".dat"));
    }
}

// A name dragged into a Windows console arrives in double quotes.
TEST_F(Names, QuotedNamesOnWindows) {
    if (!windows_program()) GTEST_SKIP() << "a Linux name may hold quotes";
    copy_sample("my run.xrdml");
    const Result typed = run("\"my run.xrdml\"\n0\n1\n1\n1\n\"out put.dat\"\n");
    EXPECT_EQ(typed.status, 0) << typed.out;
    EXPECT_TRUE(exists("out put.dat"));
    const Result cli = run("", "", "'\"my run.xrdml\"' -o '\"its out.write\"'");
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_TRUE(exists("its out.write"));
}

// cmd and PowerShell leave wildcards to the program; a quoted one stays as it is.
TEST_F(Names, WildcardsOnWindows) {
    if (!windows_program()) GTEST_SKIP() << "the Linux shell expands wildcards";
    copy_sample("data/a.xrdml");
    copy_sample("data/b.xrdml");
    fs::create_directories(dir / "out");
    const Result r = run("", "", "-d out 'data/*.xrdml'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists("out/a.write") && exists("out/b.write"));
}

// Devices are not files: not read by g2dump, not offered as an output.
TEST_F(Names, DevicesAreRefused) {
    std::vector<std::string> devices{"COM1", "con.write", "nul", "prn.txt"};
    if (!windows_program()) {
        ASSERT_EQ(std::system(("mkfifo \"" + (dir / "fifo.write").string() + "\"").c_str()), 0);
        devices = {"fifo.write"};
    }
    for (const std::string& device : devices) {
        SCOPED_TRACE(device);
        const Result g = shell_run("timeout 60 " + g2dump_command() + " '" + device + "' < /dev/null");
        EXPECT_EQ(g.status, 1);
        EXPECT_EQ(g.err, "g2dump: " + device + ": not a regular file\n");
    }
    if (!windows_program()) return;
    copy_sample("s.xrdml");
    const Result r = run("s.xrdml\n0\n1\n1\n1\nnul.dat\n\\nul\ns.dat\n");
    EXPECT_EQ(r.status, 0) << r.out;
    const std::string refusal = " The output file must be a regular file\n";
    std::size_t refusals = 0;
    for (std::size_t p = r.out.find(refusal); p != std::string::npos; p = r.out.find(refusal, p + 1))
        ++refusals;
    EXPECT_EQ(refusals, 2u) << r.out;
}

// A name past Windows' path limit is refused with that reason.
TEST_F(Names, PathLimitOnWindows) {
    if (!windows_program()) GTEST_SKIP() << "Linux names have no 260-character limit";
    copy_sample("s.xrdml");
    const std::string part(120, 'x');
    fs::create_directories(dir / part / part / part);
    const Result r =
        run("", "", "--format ascii -o " + part + "/" + part + "/" + part + "/s.dat s.xrdml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("longer than Windows allows"), std::string::npos) << r.err;
}

// The gudrunX data never overwrite the weights, however the name is spelt.
TEST_F(Names, DataFileNeverTheWeights) {
    copy_sample("run.xrdml");
    write("run.weights", "kept\n");
    fs::create_hard_link(dir / "run.weights", dir / "link.weights");
    std::vector<std::string> spellings{"link.weights"};
    if (windows_program()) spellings.push_back("RUN.WEIGHTS");
    for (const std::string& name : spellings) {
        const Result r = run("", "", "--gudrun -o " + name + " run.xrdml");
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find("would both be"), std::string::npos) << r.err;
        EXPECT_EQ(read("run.weights"), "kept\n");
    }
}

// A batch interrupted at any moment of its work ends at once: status 130
// (or 0 with every file written, when it had finished), no temporary left,
// never a hang. The moment is counted from its first file, past the start
// of the process (Wine's own start ends quietly on a Ctrl-C).
TEST_F(Names, InterruptedBatchNeverHangs) {
    std::string inputs;
    for (int k = 0; k < 12; ++k) {
        copy_sample("in" + std::to_string(k) + ".xrdml");
        inputs += " in" + std::to_string(k) + ".xrdml";
    }
    const int runs = windows_program() ? 24 : 20;
    for (int k = 0; k < runs; ++k) {
        SCOPED_TRACE(k);
        for (int n = 0; n < 12; ++n) fs::remove(dir / ("in" + std::to_string(n) + ".write"));
        const std::string delay = std::to_string(0.03 * (k % 20));
        shell_run("rm -f pid; (for i in $(seq 1 3000); do ls -A | grep -q '^[.]orvalt-\\|write$' && break; "
                  "sleep 0.005; done; "
                  "sleep " + delay + "; kill -INT $(cat pid)) 2>/dev/null & "
                  "timeout -s KILL 120 sh -c 'echo $$ > pid; exec " + program_command() +
                  " --separate" + inputs + " < /dev/null'; echo $? > status; wait");
        const std::string status = read("status");
        int written = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            EXPECT_FALSE(name.starts_with(".orvalt-")) << name;
            written += name.ends_with(".write");
        }
        EXPECT_TRUE(status == "130\n" || (status == "0\n" && written == 12)) << status << written;
    }
}

// Names that a CIF reader would take for its own words or that begin with
// what no plain CIF value may: every file reads, its block's id as written.
TEST_F(Names, CifOfEveryNameReads) {
    const std::string names[] = {"data_01", "loop_x", "save_", "global_", "stop_", "LOOP_Y",
                                 "Data_z",  "Échantillon", "α", "_x", " x", "(x", "#x", "'x",
                                 "[x",      "$x",      "x"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        copy_sample(name + ".xrdml");
        for (const char* choice : {"--sum", "--separate"}) {
            const Result r =
                run("", "", std::string(choice) + " --format cif -o out.cif " + quoted(name + ".xrdml"));
            ASSERT_EQ(r.status, 0) << r.err;
            try {
                gemmi::cif::Document doc = gemmi::cif::read_file((dir / "out.cif").string());
                ASSERT_EQ(doc.blocks.size(), std::string(choice) == "--sum" ? 1u : 4u);
                for (gemmi::cif::Block& b : doc.blocks) {
                    const std::string* id = b.find_value("_pd_block_id");
                    ASSERT_NE(id, nullptr);
                    EXPECT_EQ(gemmi::cif::as_string(*id), b.name + "|ORVALT");
                }
            } catch (const std::exception& e) {
                ADD_FAILURE() << choice << ": gemmi refuses it: " << e.what();
            }
        }
    }
}

// Names whose bytes are no XML characters make pictures every reader reads;
// on Windows, where such bytes name nothing, the characters a name can hold.
TEST_F(Names, PictureOfEveryNameIsXml) {
    std::vector<std::string> names = {"\xef\xbf\xbe", "\xef\xbf\xbf", "a&b", "\xc2\x9b" "2J"};
    if (!windows_program()) {
        for (const char* bytes :
             {"\xed\xa0\x80", "\xe0\x80\xaf", "\xf4\x90\x80\x80", "\xff", "<c>[2J"})
            names.push_back(bytes);
    } else {
        std::cout << "[ NOTE     ] names that are no UTF-8 or hold < or > are not tried on "
                     "Windows, where no file can be named so\n";
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        copy_sample(name + ".xrdml");
        const Result r = run("", "", "--plot " + quoted(name + ".xrdml"));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(orvalt::test::xml_error(read_bytes(name + ".svg")), "");
        // g2dump draws the Genie file, whose title is the input's name.
        const Result g = shell_run(g2dump_command() + " --plot " + quoted(name + ".write"));
        EXPECT_EQ(g.status, 0) << g.err;
        EXPECT_EQ(orvalt::test::xml_error(read_bytes(name + ".svg")), "");
        if (std::system("xmllint --version >/dev/null 2>&1") == 0) {
            const std::string cmd = "xmllint --noout " + quoted((dir / (name + ".svg")).string());
            EXPECT_EQ(std::system(cmd.c_str()), 0);
        }
    }
}

// A picture in a folder of any name and of an input of any name, beside the
// output, under the input's own name; g2dump's alike.
TEST_F(Names, PicturesOfNonAsciiNamesAndFolders) {
    copy_sample("Jürgen/Größe.xrdml");
    fs::create_directory(dir / "Ausgabe_ä");
    Result r = run("", "", "--plot 'Jürgen/Größe.xrdml'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists("Jürgen/Größe.svg"));
    r = run("", "", "-d Ausgabe_ä --plot 'Jürgen/Größe.xrdml'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists("Ausgabe_ä/Größe.svg"));
    r = run("", "", "-d Ausgabe_ä --list --plot 'Jürgen/Größe.xrdml'");
    EXPECT_EQ(r.status, 0) << r.err;
    fs::remove(dir / "Ausgabe_ä/Größe.svg");
    const Result g = shell_run(g2dump_command() + " --plot 'Ausgabe_ä/Größe.write'");
    EXPECT_EQ(g.status, 0) << g.err;
    EXPECT_TRUE(exists("Ausgabe_ä/Größe.svg"));
    // Nothing under a name of the text read in another code page.
    for (const auto& e : fs::recursive_directory_iterator(dir))
        EXPECT_EQ(e.path().string().find("\xc3\x83"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace e2e

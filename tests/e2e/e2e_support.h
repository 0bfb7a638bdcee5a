// Support for the end-to-end tests: a scratch folder per test, synthetic
// XRDML files, and runs of the built program with scripted answers.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace e2e {

namespace fs = std::filesystem;

struct Scan {
    double start;
    double end;
    double time;
    std::string counts;  // the intensity list as it stands in the file
};

struct Wavelengths {
    std::string ka1 = "1.5406";
    std::string ka2 = "1.5444";
    std::string ratio = "0.5";
};

// An XRDML text laid out like the instruments write it: tabs, one element per line.
inline std::string xrdml_text(const std::vector<Scan>& scans, const Wavelengths& w = {},
                              const std::string& eol = "\n") {
    std::ostringstream s;
    s.precision(17);
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" << eol
      << "<xrdMeasurements status=\"Completed\">" << eol
      << "\t<xrdMeasurement measurementType=\"Scan\">" << eol
      << "\t\t<usedWavelength intended=\"K-Alpha 1\">" << eol
      << "\t\t\t<kAlpha1 unit=\"Angstrom\">" << w.ka1 << "</kAlpha1>" << eol
      << "\t\t\t<kAlpha2 unit=\"Angstrom\">" << w.ka2 << "</kAlpha2>" << eol
      << "\t\t\t<ratioKAlpha2KAlpha1>" << w.ratio << "</ratioKAlpha2KAlpha1>" << eol
      << "\t\t</usedWavelength>" << eol;
    for (const Scan& scan : scans) {
        s << "\t\t<scan appendNumber=\"0\" status=\"Completed\">" << eol
          << "\t\t\t<dataPoints>" << eol
          << "\t\t\t\t<positions axis=\"2Theta\" unit=\"deg\">" << eol
          << "\t\t\t\t\t<startPosition>" << scan.start << "</startPosition>" << eol
          << "\t\t\t\t\t<endPosition>" << scan.end << "</endPosition>" << eol
          << "\t\t\t\t</positions>" << eol
          << "\t\t\t\t<positions axis=\"Omega\" unit=\"deg\">" << eol
          << "\t\t\t\t\t<commonPosition>15.0</commonPosition>" << eol
          << "\t\t\t\t</positions>" << eol
          << "\t\t\t\t<commonCountingTime unit=\"seconds\">" << scan.time
          << "</commonCountingTime>" << eol
          << "\t\t\t\t<intensities unit=\"counts\">" << scan.counts << "</intensities>" << eol
          << "\t\t\t</dataPoints>" << eol
          << "\t\t</scan>" << eol;
    }
    s << "\t</xrdMeasurement>" << eol << "</xrdMeasurements>" << eol;
    return s.str();
}

struct Result {
    int status = -1;
    std::string out;  // standard output with the scratch folder's path masked as <DIR>
    std::string err;
};

class Orvalt : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              (std::string("orvalt_e2e_") + info->test_suite_name() + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }

    void write(const std::string& name, const std::string& content) const {
        std::ofstream f(dir / name, std::ios::binary);
        f << content;
    }
    std::string read(const std::string& name) const {
        std::ifstream f(dir / name, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    }
    bool exists(const std::string& name) const { return fs::exists(dir / name); }

    static std::string mask(std::string text, const std::string& path) {
        for (std::size_t p = text.find(path); p != std::string::npos; p = text.find(path, p))
            text.replace(p, path.size(), "<DIR>");
        return text;
    }

    // Runs the program in the scratch folder with `answers` as its standard input.
    Result run(const std::string& answers) const {
        write("stdin.txt", answers);
        const std::string cmd = "cd \"" + dir.string() + "\" && \"" ORVALT_EXE
                                "\" < stdin.txt > stdout.txt 2> stderr.txt";
        const int rc = std::system(cmd.c_str());
        Result r;
#ifdef _WIN32
        r.status = rc;
#else
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
        r.out = mask(read("stdout.txt"), dir.string());
        r.err = read("stderr.txt");
        fs::remove(dir / "stdin.txt");
        fs::remove(dir / "stdout.txt");
        fs::remove(dir / "stderr.txt");
        return r;
    }
};

// The header every run opens with.
inline std::string header() {
    std::string h = " \u250c";
    for (int i = 0; i < 39; ++i) h += "\u2500";
    h += "\u2510\n";
    h += " \u2502 ORVALT : Read data from a .XRDML file \u2502\n";
    h += " \u2502 The ORVALT developers         23-1-14 \u2502\n";
    h += " \u2514";
    for (int i = 0; i < 39; ++i) h += "\u2500";
    h += "\u2518\n\n";
    return h;
}

// Lines and longest line of a text, as the record census reports them.
inline std::string census_lines(const std::string& text) {
    int n = 0;
    std::size_t longest = 0, len = 0;
    for (char c : text) {
        if (c == '\n') {
            ++n;
            longest = std::max(longest, len);
            len = 0;
        } else if (c != '\r') {
            ++len;
        }
    }
    return " inqfilerec: Number of records in file = " + std::to_string(n) +
           "\n inqfilerec: Maximum record length = " + std::to_string(longest) + "\n";
}

inline const char* menu =
    "\n Options...\n -3) Load all scans separately\n -2) Prepare data file for gudrunX\n"
    " -1) Exit\n  0) Load all scans (and convert to Q or d if required)\n";
inline const char* units_menu =
    "\n Output x-axis units options...\n 1) 2-theta\n 2) Momentum transfer, Q\n 3) d-spacing\n";
inline const char* output_menu =
    "\n Output file options...\n 0) no output file\n 1) ascii file\n 2) Genie binary file\n";

}  // namespace e2e

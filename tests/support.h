// Shared pieces of the unit tests: a console over string streams, a scratch
// folder that is removed again (tests/scratch_folder.h), and small XRDML texts.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/synthetic_xrdml.h"
#include "g_f/console.h"
#include "g_f/stop.h"
#include "tests/scratch_folder.h"

namespace orvalt::test {

struct Dialogue {
    explicit Dialogue(const std::string& input = "") : in(input) {}
    std::istringstream in;
    std::ostringstream out;
    Console con{in, out};
    std::string text() const { return out.str(); }
};

// The status of the Stop that f throws; -1 when it returns.
inline int stop_status(const std::function<void()>& f) {
    try {
        f();
    } catch (const Stop& s) {
        return s.status;
    }
    return -1;
}

inline std::string read_all(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The 80-character message field of a reader status, without its padding.
inline std::string message(const auto& status) {
    const auto end = status.message.find_last_not_of(' ');
    return status.message.substr(0, end == std::string::npos ? 0 : end + 1);
}

inline std::string real_file(const std::string& name) {
    return std::string(ORVALT_TEST_DATA) + "/xrdml/" + name;
}

// Lines joined with LF (or the given line end), the last one ended too.
inline std::string lines(const std::vector<std::string>& ls, const std::string& eol = "\n") {
    std::string s;
    for (const auto& l : ls) s += l + eol;
    return s;
}

inline const std::vector<std::string> wavelength_lines = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
    "<xrdMeasurements>",
    "\t<usedWavelength intended=\"K-Alpha 1\">",
    "\t\t<kAlpha1 unit=\"Angstrom\">1.5406</kAlpha1>",
    "\t\t<kAlpha2 unit=\"Angstrom\">1.5444</kAlpha2>",
    "\t\t<ratioKAlpha2KAlpha1>0.5</ratioKAlpha2KAlpha1>",
    "\t</usedWavelength>",
};

// One scan as the instruments lay it out: tabs, one element per line.
inline std::vector<std::string> scan_lines(const std::string& start, const std::string& end,
                                           const std::string& time, const std::string& counts,
                                           const std::string& list_element = "intensities") {
    return bench::xrdml_scan_lines({.attributes = "appendNumber=\"0\" scanAxis=\"2Theta\"",
                                    .start = start,
                                    .end = end,
                                    .omega = "15.0",
                                    .time = time,
                                    .counts = counts,
                                    .list_element = list_element},
                                   1);
}

// A whole file of scans with the given intensity lists.
inline std::string xrdml_file(const std::vector<std::string>& counts,
                              const std::string& eol = "\n") {
    std::vector<std::string> ls = wavelength_lines;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const auto more = scan_lines(std::to_string(10 + i), std::to_string(20 + i),
                                     std::to_string(1 + i), counts[i]);
        ls.insert(ls.end(), more.begin(), more.end());
    }
    ls.push_back("</xrdMeasurements>");
    return lines(ls, eol);
}

}  // namespace orvalt::test

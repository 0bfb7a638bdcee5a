// The structure the includes draw: every header pairs with its source into
// one unit, and no unit reaches itself again through what it includes; the
// libraries (genie, g_f, xrdml, plot, formats) include nothing of the programs
// (driver, programs, bench), and a library none of the folders that build
// on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each unit ("g_f/text" for g_f/text.h and g_f/text.cpp) with the units it
// includes.
using Graph = std::map<std::string, std::set<std::string>>;

const std::vector<std::string> folders = {"genie", "g_f",      "xrdml",   "plot",
                                          "formats", "driver", "programs", "python", "bench"};

Graph include_graph(const fs::path& root) {
    Graph g;
    for (const std::string& folder : folders) {
        for (const auto& entry : fs::directory_iterator(root / folder)) {
            const fs::path p = entry.path();
            if (p.extension() != ".h" && p.extension() != ".cpp") continue;
            const std::string unit = folder + "/" + p.stem().string();
            auto& edges = g[unit];
            std::ifstream in(p);
            for (std::string line; std::getline(in, line);) {
                if (!line.starts_with("#include \"")) continue;
                const std::size_t end = line.find('"', 10);
                const fs::path included(line.substr(10, end - 10));
                if (!included.has_parent_path()) continue;  // generated headers
                const std::string to = (included.parent_path() / included.stem()).string();
                if (to != unit) edges.insert(to);
            }
        }
    }
    return g;
}

std::string folder_of(const std::string& unit) { return unit.substr(0, unit.find('/')); }

// Depth first from `at`: true when it meets a unit still open on `path`,
// which then ends with the loop.
bool find_loop(const Graph& g, const std::string& at, std::map<std::string, int>& state,
               std::vector<std::string>& path) {
    state[at] = 1;
    path.push_back(at);
    if (const auto it = g.find(at); it != g.end()) {
        for (const std::string& next : it->second) {
            if (state[next] == 1) {
                path.push_back(next);
                return true;
            }
            if (state[next] == 0 && find_loop(g, next, state, path)) return true;
        }
    }
    path.pop_back();
    state[at] = 2;
    return false;
}

std::string loop_in(const Graph& g) {
    std::map<std::string, int> state;
    for (const auto& [unit, edges] : g) {
        std::vector<std::string> path;
        if (state[unit] == 0 && find_loop(g, unit, state, path)) {
            // The path ends with the loop: from the unit met again to itself.
            const auto start = std::find(path.begin(), path.end(), path.back());
            std::string text;
            for (auto u = start; u != path.end(); ++u) text += (text.empty() ? "" : " -> ") + *u;
            return text;
        }
    }
    return {};
}

TEST(Structure, NoUnitIncludesItselfAgain) {
    EXPECT_EQ(loop_in(include_graph(ORVALT_SOURCE_DIR)), "");
}

TEST(Structure, FoldersBuildOnlyOnThoseBelowThem) {
    // Each folder and the ones it may include; a program's folder includes
    // no other program's.
    const std::map<std::string, std::set<std::string>> allowed = {
        {"genie", {}},
        {"g_f", {"genie"}},
        {"xrdml", {"g_f", "genie"}},
        {"plot", {"g_f", "genie"}},
        {"formats", {"g_f", "genie"}},
        {"driver", {"xrdml", "plot", "formats", "g_f", "genie"}},
        {"programs", {"plot", "g_f", "genie"}},
        {"python", {"driver", "xrdml", "plot", "formats", "g_f", "genie"}},
        {"bench", {"driver", "xrdml", "plot", "formats", "g_f", "genie"}},
    };
    for (const auto& [unit, edges] : include_graph(ORVALT_SOURCE_DIR)) {
        const std::string from = folder_of(unit);
        for (const std::string& to : edges) {
            const std::string folder = folder_of(to);
            EXPECT_TRUE(folder == from || allowed.at(from).contains(folder))
                << unit << " includes " << to;
        }
    }
}

}  // namespace

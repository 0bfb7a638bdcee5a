// Shared pieces of the g_f tests: a console over string streams and a
// temporary folder that is removed again.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "g_f/console.h"
#include "g_f/stop.h"

namespace orvalt::test {

struct Dialogue {
    explicit Dialogue(const std::string& input = "") : in(input) {}
    std::istringstream in;
    std::ostringstream out;
    Console con{in, out};
    std::string text() const { return out.str(); }
};

class TempDir {
public:
    TempDir() {
        static std::atomic<int> serial{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("orvalt_gf_" + std::to_string(stamp) + "_" + std::to_string(serial++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream f(path_ / name, std::ios::binary);
        f << bytes;
        return file(name);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
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

}  // namespace orvalt::test

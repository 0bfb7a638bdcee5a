// Scratch folders of the tests: each one new and of its own, so that any
// number of suites (in other clones, beside a benchmark) run side by side in
// the one temporary folder without touching each other's files.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace orvalt::test {

// A new, empty folder in the temporary folder (or in `base`) named `stem` and
// a random suffix. create_directory makes it only where the name is free, as
// mkdtemp does, and that works under any system: a name already taken is
// tried again with another suffix.
inline std::filesystem::path new_scratch_folder(const std::string& stem,
                                                const std::filesystem::path& in = {}) {
    namespace fs = std::filesystem;
    // random_device may be a fixed sequence on some runtimes: the clock is mixed in.
    thread_local std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    const fs::path base = in.empty() ? fs::temp_directory_path() : in;
    std::error_code ec;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[20];
        std::snprintf(suffix, sizeof suffix, "_%016llx", static_cast<unsigned long long>(random()));
        const fs::path folder = base / (stem + suffix);
        if (fs::create_directory(folder, ec)) return folder;
        if (ec && !fs::exists(folder)) break;  // the temporary folder takes none
        ec = std::make_error_code(std::errc::file_exists);
    }
    throw fs::filesystem_error("no new scratch folder for " + stem, base, ec);
}

// A scratch folder for one test, removed with everything in it at the end.
class TempDir {
public:
    explicit TempDir(const std::string& stem = "orvalt_test", const std::filesystem::path& in = {})
        : path_(new_scratch_folder(stem, in)) {}
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

}  // namespace orvalt::test

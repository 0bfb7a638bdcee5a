#include "tests/support/genie_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvalt::test {

bool read_genie_file(const std::string& path, GenieFile& file, std::string& error) {
    file = GenieFile{};
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    genie::FileReader reader;
    if (!reader.open(f, error)) return false;
    for (genie::Entry e; reader.next(e, error);) file.entries.push_back(std::move(e));
    if (!error.empty()) {
        file = GenieFile{};
        return false;
    }
    return true;
}

}  // namespace orvalt::test

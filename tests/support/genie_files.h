// A whole Genie file read into memory, entry by entry, through the reader
// g2dump uses (genie::FileReader): for tests that look at what was written.
#pragma once

#include <string>
#include <vector>

#include "genie/g2file.h"

namespace orvalt::test {

struct GenieFile {
    std::vector<genie::Entry> entries;
};

// False with `error` saying why: the file cannot be read, or which rule its
// contents break and at which byte offset, as the reader reports it.
bool read_genie_file(const std::string& path, GenieFile& file, std::string& error);

}  // namespace orvalt::test

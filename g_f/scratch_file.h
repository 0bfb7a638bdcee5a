// A file of the run's own in the system's temporary folder, written once and
// read back by name while the run lasts (the decompressed text of a
// compressed input), then removed.
#pragma once

#include <cstdio>
#include <string>

namespace orvalt {

// The temporary folder is shared: the file is made under no name that
// another user could have chosen or foreseen and linked elsewhere (unnamed
// where the system allows, Linux O_TMPFILE, else a new name of this process,
// created exclusively, a link never followed), readable by this user alone
// (permission bits 0600). An interruption removes it, as every temporary.
class ScratchFile {
public:
    ScratchFile() = default;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() { abandon(); }

    // Makes a new file in the system's temporary folder, open for writing
    // through stream(). False with the system's error number.
    bool create(int& error);
    std::FILE* stream() const { return stream_; }
    // Ends the writing; false when a write failed (the file is then of no use).
    bool close_stream();
    // The name under which the file is opened again to be read.
    const std::string& temporary_name() const { return reading_name_; }
    // Removes the file, at once.
    void abandon();
    bool active() const { return !reading_name_.empty(); }

private:
    std::string reading_name_;  // empty when there is none
    std::string named_;         // its name on disk, when it has one
    std::FILE* stream_ = nullptr;
    int anchor_ = -1;  // keeps an unnamed file alive
};

}  // namespace orvalt

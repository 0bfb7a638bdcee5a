// How every file is written: under a temporary name, put in place whole.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace orvalt {

// The one way a file is written: under a new, exclusively created
// temporary name in the target's folder (the folder of the file a link
// points to), put in place of the target at once and whole by commit(). Any
// other end (abandon(), the destructor, an interruption) removes the
// temporary and leaves an existing target as it was.
class StagedFile {
public:
    StagedFile() = default;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    ~StagedFile() { abandon(); }

    // Creates the temporary for `target`; `text` chooses the platform's line
    // ends. False with the system's error number when it cannot be made, when
    // the target may not be written, or when the target is not a regular file.
    bool create(std::string_view target, bool text, int& error);
    bool is_open() const { return stream_ != nullptr; }
    std::FILE* stream() const { return stream_; }
    // Where the data go until commit(); another writer (the Genie library)
    // may fill it by name once close_stream() has been called.
    const std::string& temporary_name() const { return temporary_; }
    // False when a write through stream() failed.
    bool close_stream();
    // Flushes, closes and moves the temporary over the target, which keeps
    // its permission bits. False with the error number (the temporary then
    // removed, the target untouched).
    bool commit(int& error);
    void abandon();
    bool active() const { return !temporary_.empty(); }
    // Ends the run if an interruption came while another writer held the
    // temporary open; to be called whenever that writer has let it go.
    void check_interruption() const;

private:
    std::string target_, temporary_;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
};

}  // namespace orvalt

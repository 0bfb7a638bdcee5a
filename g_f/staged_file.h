// How every file is written: under a temporary, put in place whole.
#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace orvalt {

// The name of this process's temporary number `number` in `folder` (empty:
// the current folder), ".orvalt-HOST-PID-N.part".
std::string temporary_name_in(const std::filesystem::path& folder, unsigned long number);
// Removes the temporaries in `folder` of runs of this program on this machine
// that were killed before they could remove them; once per folder and process.
void remove_stale_temporaries(const std::filesystem::path& folder);
// Lets a temporary go: closes its stream and the descriptor that keeps an
// unnamed one alive, and removes a named one; each is left empty.
void drop_temporary(std::FILE*& stream, int& anchor, std::string& named);
// A new temporary of this process in `folder`, created exclusively under the
// next free temporary name of this process (`name`) and watched for interruptions from
// before it exists (create_exclusive tells `text` and `owner_only`). nullptr
// with `error` when none can be made.
std::FILE* create_named_temporary(const std::filesystem::path& folder, bool text, bool owner_only,
                                  std::string& name, int& error);

// The one way a file is written: into a new temporary in the target's folder
// (the folder of the file a link points to), put in place of the target at
// once and whole by commit(). Any other end (abandon(), the destructor, an
// interruption) drops the temporary and leaves an existing target as it was.
//
// Where the system offers a file without a name (Linux O_TMPFILE), the
// temporary is one: a process killed outright leaves nothing behind. Only
// for the moment of commit() does it get a name (".orvalt-HOST-PID-N.part"),
// and elsewhere it has one from the start. Such named temporaries of this
// program whose process no longer runs on this machine are removed when a
// file is next written into their folder.
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
    // The name under which another writer (the Genie library) opens and fills
    // the temporary, once close_stream() has been called.
    const std::string& temporary_name() const { return temporary_; }
    // The file this one will replace.
    const std::string& target() const { return target_; }
    // False when a write through stream() failed (then `error` is set, where
    // the system gave a reason).
    bool close_stream();
    bool close_stream(int& error);
    // Flushes, closes and moves the temporary over the target, which keeps
    // its permission bits. False with the error number (the temporary then
    // removed, the target untouched). With `before`, that file is put in
    // place first and the two together, with their folders held against
    // other runs doing the same (FolderLock): a pair of files from one run.
    // `before` is put in place even when this one fails.
    bool commit(int& error, StagedFile* before = nullptr);
    // Puts every one of `files` in place, none unless each is whole: all are
    // closed, checked and named first, then moved one after the other with
    // their folders held against other runs (FolderLock). False with the
    // error number of the first failure; the files not yet moved are then
    // removed, and an older file of their names stays.
    static bool commit_all(std::span<StagedFile* const> files, int& error);
    void abandon();
    bool active() const { return !target_.empty(); }
    // Whether the last commit() put this file in place.
    bool put_in_place() const { return in_place_; }
    // Ends the run if an interruption came while another writer held the
    // temporary open; to be called whenever that writer has let it go.
    void check_interruption() const;

private:
    // Everything of commit() but the move: closed, checked, named, given
    // the target's permission bits.
    bool prepare(int& error);
    bool move_into_place(int& error);

    std::string target_;     // empty when nothing is staged
    std::string temporary_;  // as temporary_name() gives it
    std::string named_;      // the temporary's name on disk, once it has one
    std::FILE* stream_ = nullptr;
    int anchor_ = -1;  // keeps an unnamed temporary alive
    bool failed_ = false;
    int error_ = 0;
    bool in_place_ = false;
};

}  // namespace orvalt

// Calls on the file system: what a name stands for, opening, creating,
// replacing and removing files. Where the platforms differ, the difference
// stays inside file_system.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt {

// The one owner of an open stream: closes it when dropped. Where the close
// itself can fail a write, it is done by hand and checked.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The path a name stands for. Names are held as UTF-8 text on every
// platform (on Windows the program's code page is UTF-8), while the
// library's own conversion of narrow text there follows another code page.
std::filesystem::path path_of(std::string_view name);

// The name a user meant by a typed or given name. A name dragged into a
// Windows console arrives in double quotes, which no Windows name can hold:
// there, a name in a pair of surrounding quotes that does not exist as
// written is taken without them. Elsewhere the name as it stands.
std::string name_meant(std::string_view name);

// The absolute, normalised form of a file name.
std::string full_file_name(std::string_view name);

// Where a write to `name` lands: the file at the end of a chain of links
// (which may not exist yet), else the name itself.
std::filesystem::path write_target(const std::filesystem::path& name);

// What a name stands for, links followed.
enum class FileKind { missing, regular, other };
FileKind file_kind(std::string_view name);

// True when `name` names an existing regular file (links followed). A
// folder, FIFO, device or socket is not a file the program reads or writes.
bool file_exists(std::string_view name);

// What tells one existing file from every other, however it is named:
// device and inode, or on Windows volume serial and file index.
struct FileId {
    unsigned long long volume = 0;
    unsigned long long index = 0;
    bool operator==(const FileId&) const = default;
    auto operator<=>(const FileId&) const = default;
};
// False when `name` reaches no existing file.
bool file_id(std::string_view name, FileId& id);

// What an open file is at one moment: which file, its size and its last
// modification. A file replaced under its name, or written to, differs.
struct FileStamp {
    FileId id;
    unsigned long long size = 0;
    long long modified = 0;  // nanoseconds (POSIX) or 100-ns ticks (Windows)
    bool operator==(const FileStamp&) const = default;
};
// False when the system cannot tell.
bool file_stamp(std::FILE* file, FileStamp& stamp);
// Whether the regular file `path` is still what `stamp` says.
bool still_the_same(const std::string& path, const FileStamp& stamp);

// True when both names reach one existing file, however spelt (links,
// another path to it). False when either is missing.
bool same_existing_file(std::string_view a, std::string_view b);

// True when two full file names name the same place: letter case aside on
// Windows, whose file names ignore it.
bool same_spelling(std::string_view a, std::string_view b);

// True when an existing file may not be written by this process (read-only
// bit, permissions); `error` is then the system's error number.
bool write_forbidden(const std::string& path, int& error);

// Opens a file for reading only when it is a regular file, without ever
// waiting on a FIFO or device; nullptr otherwise.
std::FILE* open_regular_for_reading(const std::string& path);

// Moves the read position of `file` to `offset` bytes from its start.
bool seek_to(std::FILE* file, unsigned long long offset);

// Creates `path` for writing (`text`: with the platform's line ends); fails
// (nullptr, `error` set) when anything of that name exists already.
std::FILE* create_exclusive(const std::string& path, bool text, int& error);

// Gives `path` the permission bits of `model` (nothing where the platform
// has none beyond the read-only bit).
void copy_permission_bits(const std::string& model, const std::string& path);

// Moves `from` over `to`, replacing it at once; false with `error` set.
bool replace_file(const std::string& from, const std::string& to, int& error);

// Removes a file; true when it is gone.
bool remove_file(const std::string& path);

// The system's reason for an error number, as a user reads it: on Windows
// also a file in use by another program and a name past the path limit.
std::string error_text(int error);

// A number that differs between processes running at once.
unsigned long process_number();

// Whether a process of that number runs on this machine now (true when the
// system cannot tell).
bool process_exists(unsigned long number);

// This machine's name, as far as a file name may hold it: letters, digits,
// '.' and '-' (other characters become '_'); "host" when it has none.
const std::string& machine_name();

// A file without a name in `folder`, open for writing, where the system offers
// one (Linux O_TMPFILE): it vanishes with the process unless it is given a
// name by name_unnamed(). -1 (with `error`) where it cannot be made.
int create_unnamed(const std::string& folder, int& error);
// Gives the unnamed file open as `fd` the new name `path` (which must not
// exist). False with `error`.
bool name_unnamed(int fd, const std::string& path, int& error);
// The name under which another writer opens the unnamed file `fd` of this
// process again ("/proc/self/fd/N"); empty where there is none.
std::string reopening_name(int fd);
// Gives the file open as `fd` the permission bits of `model`.
void copy_permission_bits_to(const std::string& model, int fd);
// Another descriptor of the same open file, or -1; closes one.
int duplicate_descriptor(int fd);
// A stream for writing on the descriptor, which it then owns; nullptr on failure.
std::FILE* stream_of_descriptor(int fd);
void close_descriptor(int fd);

// Holds the folders of the named files against other processes doing the
// same, while it lives: the files put in place together under it come from
// one process. (An advisory lock: only processes that ask for it wait.)
class FolderLock {
public:
    explicit FolderLock(std::initializer_list<std::string_view> files);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    std::vector<std::intptr_t> held_;
};

}  // namespace orvalt

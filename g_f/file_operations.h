// Operations on files by name: opening one to read, creating, replacing
// and removing one, and the system's reasons when they fail. Where the
// platforms differ, the difference stays inside file_operations.cpp.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace orvalt {

// The one owner of an open stream: closes it when dropped. Where the close
// itself can fail a write, it is done by hand and checked.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file for reading only when it is a regular file, without ever
// waiting on a FIFO or device; nullptr otherwise.
std::FILE* open_regular_for_reading(const std::string& path);

// Moves the read position of `file` to `offset` bytes from its start.
bool seek_to(std::FILE* file, unsigned long long offset);

// At most the first `limit` bytes of a regular file; false when it is not
// one or cannot be read.
bool read_file_start(const std::string& path, std::size_t limit, std::string& bytes);

// True when an existing file may not be written by this process (read-only
// bit, permissions); `error` is then the system's error number.
bool write_forbidden(const std::string& path, int& error);

// Creates `path` for writing (`text`: with the platform's line ends); fails
// (nullptr, `error` set) when anything of that name exists already, a link
// included (which is never followed). With `owner_only` only this user may
// read it (permission bits 0600; on Windows the user's own temporary folder
// keeps it so).
std::FILE* create_exclusive(const std::string& path, bool text, int& error,
                            bool owner_only = false);

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

}  // namespace orvalt

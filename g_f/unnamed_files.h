// Files without a name, where the system offers them (Linux O_TMPFILE): a
// file being written that vanishes with the process unless it is given a
// name, and the descriptors through which it is reached. Elsewhere each
// call fails or does nothing, and the caller names its files from the start.
#pragma once

#include <cstdio>
#include <string>

namespace orvalt {

// A file without a name in `folder`, open for writing: it vanishes with the
// process unless it is given a name by name_unnamed(). With `owner_only`
// only this user may read it (permission bits 0600). -1 (with `error`)
// where it cannot be made.
int create_unnamed(const std::string& folder, int& error, bool owner_only = false);
// An unnamed file made by create_unnamed, open for writing through `stream`,
// kept alive by a second descriptor `anchor` once the stream is closed, and
// opened again (by this process) under `reopening_name`.
struct UnnamedFile {
    std::FILE* stream = nullptr;
    int anchor = -1;
    std::string reopening_name;
};
// False with `error` where none can be made (ENOTSUP where the system or the
// folder has none).
bool open_unnamed(const std::string& folder, bool owner_only, UnnamedFile& file, int& error);
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

}  // namespace orvalt

// Which file a name reaches or a stream has open, however it is named, and
// whether it is still the same file as before.
#pragma once

#include <compare>
#include <cstdio>
#include <string>
#include <string_view>

namespace orvalt {

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

}  // namespace orvalt

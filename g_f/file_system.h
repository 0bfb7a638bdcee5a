// Names on the file system: the path a name stands for, the name a user
// meant, full names, where a write lands and what kind of thing a name
// reaches. Where the platforms differ, the difference stays inside
// file_system.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvalt {

// The path a name stands for. Names are held as UTF-8 text on every
// platform (on Windows the program's code page is UTF-8), while the
// library's own conversion of narrow text there follows another code page.
std::filesystem::path path_of(std::string_view name);

// A path as the program holds names: UTF-8 text on every platform (the
// inverse of path_of).
std::string name_of(const std::filesystem::path& path);

// The name a user meant by a typed or given name. A name dragged into a
// Windows console arrives in double quotes, which no Windows name can hold:
// there, a name in a pair of surrounding quotes that does not exist as
// written is taken without them. Elsewhere the name as it stands.
std::string name_meant(std::string_view name);

// The absolute, normalised form of a file name.
std::string full_file_name(std::string_view name);

// True when two full file names name the same place: letter case aside on
// Windows, whose file names ignore it.
bool same_spelling(std::string_view a, std::string_view b);

// Where a write to `name` lands: the file at the end of a chain of links
// (which may not exist yet), else the name itself.
std::filesystem::path write_target(const std::filesystem::path& name);

// What a name stands for, links followed.
enum class FileKind { missing, regular, other };
FileKind file_kind(std::string_view name);

// True when `name` names an existing regular file (links followed). A
// folder, FIFO, device or socket is not a file the program reads or writes.
bool file_exists(std::string_view name);

}  // namespace orvalt

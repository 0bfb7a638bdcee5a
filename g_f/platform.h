// Everything that differs between the platforms ORVALT ships on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace orvalt {

// The six frame characters of a box-drawing header, in the order top-left,
// top-right, bottom-left, bottom-right, horizontal, vertical: CP437 bytes on
// Windows, UTF-8 box-drawing characters elsewhere. Each counts as one column.
const std::array<std::string, 6>& box_frame_chars();

// copy[i] = in[i] and roots[i] = the square root of in[i] for i < n, in one
// pass with vector instructions wider than the build's own where the
// processor has them (on 64-bit x86 hosts); false, with nothing done, where
// it does not. A square root is correctly rounded whatever the instructions,
// so the bits are those of std::sqrt.
bool copy_and_roots_wide(const double* in, double* copy, double* roots, std::size_t n);

// The absolute, normalised form of a file name.
std::string full_file_name(std::string_view name);

// What a name stands for, links followed.
enum class FileKind { missing, regular, other };
FileKind file_kind(std::string_view name);

// True when `name` names an existing regular file (links followed). A
// folder, FIFO, device or socket is not a file the program reads or writes.
bool file_exists(std::string_view name);

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

// A number that differs between processes running at once.
unsigned long process_number();

// The temporaries being written are watched: an interruption (Ctrl-C,
// SIGTERM, SIGHUP, a closed console pipe; on Windows the console's control
// events) removes them, prints one line and ends the program with 128 + the
// signal number. At most a few are watched at once; paths are copied.
void watch_temporary(const std::string& path);
void unwatch_temporary(const std::string& path);
// Installs the handlers at the start of a run; a later run in the same
// process installs them again to the same effect.
void handle_interruptions();
// Ends the run here if an interruption is waiting for a temporary to be let
// go (Windows: a file open elsewhere cannot be removed); else returns.
void end_if_interrupted();
// Whether one is waiting so (never elsewhere than on Windows).
bool interruption_waiting();

}  // namespace orvalt

// Our own Genie library: the calls the writer makes, with the argument lists
// of the outside library (each text followed by its length), plus a reader for
// the files it writes. The file layout is described in docs/genie-file-format.md.
//
// Texts are passed as a pointer and a length and taken at exactly that length
// (trailing blanks and NUL bytes included); every other argument is passed by
// reference. No call returns a result: a call the library cannot carry out
// prints one line on standard error and is counted (genie_failure_count).
// Like the library it stands in for, it keeps its own state: the session flag,
// the workspaces, the selected destination and the failure count. It is not
// meant for use from several threads.
#pragma once

#include <cstdint>

namespace orvalt {

// Starts a session. The two integers are accepted and left as they are.
void GF_ACTIVATE_SESSION(const char* name, std::int32_t name_length, std::int32_t& option1,
                         std::int32_t& option2);

// Ends the session and lets go of a file kept open. Workspaces and the
// destination stay: the calls below work with or without an active session.
void GF_DEACTIVATE_SESSION();

// Creates the empty workspace `handle` (an existing one of that name is
// emptied). `type` names the kind of workspace; any text is accepted.
void GF_ASSIGN_HANDLE(const char* handle, std::int32_t handle_length, const char* type,
                      std::int32_t type_length);

// Sets one field of a workspace: `field` is "workspace.name". The direction
// must be "<--" (from the program into the workspace). Type names: "string",
// "int32", "float32", "float64", each optionally followed by "[]". `value`
// points to rank 0: one element; rank 1: `extent` elements (for "string" the
// extent is the length in characters). Setting a field again replaces its
// value and keeps its place.
void GF_TRANSFER(const char* field, std::int32_t field_length, const char* direction,
                 std::int32_t direction_length, const char* type, std::int32_t type_length,
                 const void* value, const std::int32_t& rank, const std::int32_t& extent);

// Makes `file` (trailing blanks and NULs not part of the name) the target of
// the next GF_PUT. The form must be "G2".
void GF_SELECT_DESTINATION(const char* file, std::int32_t file_length, const char* form,
                           std::int32_t form_length);

// Writes the workspace `handle` as one entry of the selected file. `kind`,
// `index` and `description` are stored with the entry. Mode "new" creates
// the file (replacing an older one); three blanks add the entry at the end,
// creating the file when it is absent. A file that exists but is not a Genie
// file of this library is left untouched. The file an entry was added to
// stays open for the next one (see genie_close_file), and the entries added
// to it then gather in memory until a megabyte of them goes to the file in
// one write: every entry is whole in the file once the file is let go (a
// file changed by another writer in between takes none of those waiting).
void GF_PUT(const char* handle, std::int32_t handle_length, const char* kind,
            std::int32_t kind_length, const std::int32_t& index, const char* mode,
            std::int32_t mode_length, const char* description, std::int32_t description_length);

// Discards the workspace `handle`.
void GF_RELEASE_HANDLE(const char* handle, std::int32_t handle_length);

// Lets go of the file that GF_PUT keeps open after adding an entry, so that
// the file can be moved or removed; so do GF_DEACTIVATE_SESSION, an entry
// for another file or a new file, and the end of the process. An entry is
// added to a file kept open only while the file under its name has the size
// the library left it with; otherwise the file is opened and checked again.
// A failure to close counts as a failed call.
void genie_close_file();

// Number of calls so far that failed (an entry not written, a field refused).
int genie_failure_count();

// The system's error number of the last GF_PUT or genie_close_file that
// failed on a write (0 when the last one failed otherwise, or did not fail).
int genie_last_error();

}  // namespace orvalt

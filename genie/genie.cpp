// The library calls: workspaces filled field by field, then written as one
// entry of a Genie file (layout in docs/genie-file-format.md).
#include "genie/genie.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "genie/g2file.h"

namespace orvalt {

namespace {

// Names are UTF-8 text; read as UTF-8 they reach the file a narrow call
// (fopen) reaches on every platform, which the library's own narrow reading
// does not on Windows.
std::filesystem::path fs_path(const std::string& name) {
    try {
        return std::filesystem::path(std::u8string(name.begin(), name.end()));
    } catch (const std::exception&) {
        return std::filesystem::path(name);
    }
}

// Room kept free at the front of a workspace's body for the entry's head and
// the file header; an entry whose head is longer is copied out to be written.
constexpr std::size_t head_room = 256;

// One field of a workspace: what the rules of an entry look at, and where
// its record (name, type, rank, extent, byte count, values) lies in the body.
// The name and type are read from the record itself: a writer sets tens of
// fields an entry, and none of them then costs memory of its own.
struct FieldSlot {
    std::uint32_t name_size = 0;
    std::uint32_t type_size = 0;
    std::int32_t rank = 0;
    std::int32_t extent = 0;
    std::size_t start = 0;  // of the record in the body
    std::size_t size = 0;   // of the whole record
    std::size_t values = 0; // bytes of values, at the record's end
};

// The fields are kept as the file stores them, one record after the other
// behind the head room, so that the entry goes out from here in one piece:
// the values are copied once, from the caller into the workspace.
struct Workspace {
    std::string type;
    std::vector<unsigned char> body;
    std::vector<FieldSlot> fields;

    std::string_view text_at(std::size_t at, std::uint32_t size) const {
        return {reinterpret_cast<const char*>(body.data()) + at, size};
    }
    // The record begins with the name's length and the name, then the type's.
    std::string_view name_of(const FieldSlot& f) const { return text_at(f.start + 4, f.name_size); }
    std::string_view type_of(const FieldSlot& f) const {
        return text_at(f.start + 8 + f.name_size, f.type_size);
    }
};

struct Library {
    bool session_active = false;
    std::map<std::string, Workspace, std::less<>> workspaces;
    std::string destination;
    bool destination_selected = false;
    // The file the last entry was added to, kept open for the next one, and
    // its size after that entry. Entries added to it wait in `waiting` until
    // a block of them has gathered or the file is let go: many small entries
    // go to the system in one write, each still whole (appending_size counts
    // them; the file on disk holds appending_size less waiting.size()).
    genie::FilePtr appending;
    std::string appending_path;
    std::uintmax_t appending_size = 0;
    std::vector<unsigned char> waiting;
    int failures = 0;
    int last_error = 0;
    // A released workspace's body, kept for the next one: a writer fills
    // workspace after workspace of about the same size.
    std::vector<unsigned char> spare;
    std::vector<FieldSlot> spare_fields;
    // The fields of the entry being put, as the rules of an entry see them.
    std::vector<genie::FieldView> views;
};

Library& library() {
    static Library lib;
    return lib;
}

void report_failure(const std::string& message) {
    std::cerr << "genie: " << message << '\n';
    ++library().failures;
}

std::string_view text_argument(const char* p, std::int32_t n) {
    if (p == nullptr || n <= 0) return {};
    return {p, static_cast<std::size_t>(n)};
}

// Names arrive as fixed-length fields: their trailing blanks and NULs are
// padding, not part of the name.
std::string_view name_argument(const char* p, std::int32_t n) {
    auto s = text_argument(p, n);
    // A file name comes in a field of thousands of characters, nearly all
    // blanks: those go eight at a time.
    constexpr std::string_view eight_blanks = "        ";
    while (s.size() >= 8 && s.substr(s.size() - 8) == eight_blanks) s.remove_suffix(8);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return s;
}

std::string quoted(std::string_view s) {
    // Built by appending: the concatenation form draws a false -Wrestrict
    // warning from GCC 12 in optimised builds.
    std::string q;
    q.reserve(s.size() + 2);
    q += '"';
    q += s;
    q += '"';
    return q;
}

// Little-endian, whatever the host's byte order: the bytes are put
// together first and appended in one piece.
void put_u32(std::vector<unsigned char>& out, std::uint32_t v) {
    const std::array<unsigned char, 4> b = {
        static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    out.insert(out.end(), b.begin(), b.end());
}
void put_u64(std::vector<unsigned char>& out, std::uint64_t v) {
    put_u32(out, static_cast<std::uint32_t>(v));
    put_u32(out, static_cast<std::uint32_t>(v >> 32));
}
void put_string(std::vector<unsigned char>& out, std::string_view s) {
    put_u32(out, static_cast<std::uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

// Above this a workspace's body is not kept for the next one.
constexpr std::size_t max_kept_bytes = std::size_t{8} << 20;

// Appends `count` elements of the type (of `size` bytes each) in their
// stored form, read from the caller's memory without assuming any alignment.
void append_values(std::vector<unsigned char>& out, std::string_view type, std::size_t size,
                   const void* value, std::size_t count) {
    const auto* src = static_cast<const unsigned char*>(value);
    if constexpr (std::endian::native == std::endian::little) {
        // The stored form is the host's own: the bytes go over as they are.
        if (count > 0) out.insert(out.end(), src, src + count * size);
        return;
    }
    // Elsewhere each value is put together byte by byte.
    const bool is_int32 = type.starts_with("int32");
    const bool is_float32 = type.starts_with("float32");
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* p = src + i * size;
        if (size == 1) {
            out.push_back(*p);
        } else if (is_int32) {
            std::int32_t v;
            std::memcpy(&v, p, 4);
            put_u32(out, std::bit_cast<std::uint32_t>(v));
        } else if (is_float32) {
            float v;
            std::memcpy(&v, p, 4);
            put_u32(out, std::bit_cast<std::uint32_t>(v));
        } else {
            double v;
            std::memcpy(&v, p, 8);
            put_u64(out, std::bit_cast<std::uint64_t>(v));
        }
    }
}

// Appends one field's record as the file stores it; `size` is the size of
// one element of the type.
void append_record(std::vector<unsigned char>& out, std::string_view name, std::string_view type,
                   std::size_t size, std::int32_t rank, std::int32_t extent, const void* value,
                   std::size_t count) {
    put_string(out, name);
    put_string(out, type);
    put_u32(out, std::bit_cast<std::uint32_t>(rank));
    put_u32(out, std::bit_cast<std::uint32_t>(extent));
    put_u32(out, static_cast<std::uint32_t>(count * size));
    append_values(out, type, size, value, count);
}

// The entry's head: its length, the workspace name, kind, index,
// description and field count. False when the entry is too large for the
// layout's 32-bit lengths.
bool encode_head(std::string_view handle, const Workspace& ws, std::string_view kind,
                 std::int32_t index, std::string_view description,
                 std::vector<unsigned char>& out) {
    // Worked out in 64 bits so that no sum wraps on a 32-bit host.
    const std::uint64_t body = std::uint64_t{4} + handle.size() + 4 + kind.size() + 4 + 4 +
                               description.size() + 4 + (ws.body.size() - head_room);
    if (body > std::numeric_limits<std::uint32_t>::max()) return false;
    out.clear();
    put_u32(out, static_cast<std::uint32_t>(body));
    put_string(out, handle);
    put_string(out, kind);
    put_u32(out, std::bit_cast<std::uint32_t>(index));
    put_string(out, description);
    put_u32(out, static_cast<std::uint32_t>(ws.fields.size()));
    return true;
}

// Also remembered as the last failure's error number.
std::string system_reason(int err) {
    library().last_error = err;
    return err != 0 ? std::strerror(err) : "write error";
}

using Bytes = std::span<const unsigned char>;

enum class Written { all, not_opened, cut_short };

// Writes `bytes` to the file opened with `mode` and closes it; on failure
// gives the system's reason. A file that could not be opened was not
// touched; one cut short holds part of what was written.
// With `keep`, a file written whole is handed back open in `kept` instead
// of being closed.
Written write_all(const std::string& path, const char* mode, Bytes bytes, std::string& reason,
                  genie::FilePtr* kept = nullptr) {
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (f == nullptr) {
        reason = system_reason(errno);
        return Written::not_opened;
    }
    // An entry goes to the system in one piece: cut into the stream's small
    // blocks it costs the system markedly more to take. Unbuffered, the
    // entry is in the file once fwrite returns.
    std::setvbuf(f, nullptr, _IONBF, 0);
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = errno;
    if (written && kept != nullptr) {
        kept->reset(f);
        return Written::all;
    }
    // fclose flushes: a full disk may only show here.
    const bool closed = std::fclose(f) == 0;
    if (err == 0) err = errno;
    if (written && closed) return Written::all;
    // A short write that names no reason, or only the one the C runtime left
    // from opening over an existing file (Windows), ran out of room.
    if (!written && (err == 0 || err == EEXIST)) err = ENOSPC;
    reason = system_reason(err);
    return Written::cut_short;
}

// Entries gather up to this many bytes before they are written.
constexpr std::size_t waiting_block = std::size_t{1} << 20;

// Whether the file kept open is on disk what has been written of it (its
// entries waiting aside): no other writer has changed it.
bool kept_file_unchanged() {
    const auto& lib = library();
    std::error_code ec;
    return std::filesystem::file_size(fs_path(lib.appending_path), ec) ==
               lib.appending_size - lib.waiting.size() &&
           !ec;
}

enum class Flush { done, changed, failed };

// Writes the entries waiting for the file kept open, with the reason when
// that fails (they are still waiting then), or when the file was changed
// under them (then none goes in, and none is waiting any more).
Flush write_waiting(std::string& reason) {
    auto& lib = library();
    if (lib.waiting.empty() || !lib.appending) return Flush::done;
    if (!kept_file_unchanged()) {
        lib.appending_size -= lib.waiting.size();
        lib.waiting.clear();
        reason = "it changed while entries were added to it";
        return Flush::changed;
    }
    errno = 0;
    if (std::fwrite(lib.waiting.data(), 1, lib.waiting.size(), lib.appending.get()) ==
        lib.waiting.size()) {
        lib.waiting.clear();
        return Flush::done;
    }
    reason = system_reason(errno);
    return Flush::failed;
}

// Lets go of the file kept open; after a failed write it is cut back to the
// whole entries before those that failed (a file changed by another writer
// is not ours to cut).
void let_go_of_kept(Flush flush) {
    auto& lib = library();
    const std::uintmax_t whole = lib.appending_size - lib.waiting.size();
    lib.waiting.clear();
    std::FILE* f = lib.appending.release();
    const std::string path = std::move(lib.appending_path);
    lib.appending_path.clear();
    if (f != nullptr) std::fclose(f);
    std::error_code ec;
    if (flush == Flush::failed) std::filesystem::resize_file(fs_path(path), whole, ec);
}

// Closes the file kept open, the entries waiting for it written first; false
// with the reason when that fails.
bool close_appending(std::string& reason) {
    auto& lib = library();
    if (!lib.appending) return true;
    const Flush flush = write_waiting(reason);
    if (flush != Flush::done) {
        let_go_of_kept(flush);
        return false;
    }
    std::FILE* f = lib.appending.release();
    lib.appending_path.clear();
    errno = 0;
    if (std::fclose(f) == 0) return true;
    reason = system_reason(errno);
    return false;
}

void close_appending_or_report() {
    const std::string path = library().appending_path;
    std::string reason;
    if (!close_appending(reason)) report_failure("cannot write " + path + ": " + reason);
}

// Adds the entry to the file kept open, if that is `path` and nothing has
// changed its size since. False when it is not; otherwise the entry was
// written, or the failure reported and the file cut back to where it was.
bool append_to_kept(const std::string& path, Bytes entry) {
    auto& lib = library();
    if (!lib.appending) return false;
    // The file on disk is checked against what has been written of it when
    // an entry is the first to wait, and again before those waiting go in.
    if (lib.appending_path != path || (lib.waiting.empty() && !kept_file_unchanged())) {
        close_appending_or_report();
        return false;
    }
    // A large entry goes out at once, after those waiting: copying it would
    // cost more than its write.
    const bool large = entry.size() >= waiting_block / 4;
    if (!large) {
        lib.waiting.insert(lib.waiting.end(), entry.begin(), entry.end());
        lib.appending_size += entry.size();
        if (lib.waiting.size() < waiting_block) return true;
    }
    // As for a file opened for the entry: the failure is reported and the
    // part of the entries that got in is cut off.
    std::string reason;
    Flush flush = write_waiting(reason);
    if (flush == Flush::done && large) {
        errno = 0;
        if (std::fwrite(entry.data(), 1, entry.size(), lib.appending.get()) == entry.size()) {
            lib.appending_size += entry.size();
            return true;
        }
        reason = system_reason(errno);
        flush = Flush::failed;
    } else if (flush == Flush::done) {
        return true;
    }
    let_go_of_kept(flush);
    report_failure("cannot write " + path + ": " + reason);
    return true;
}

enum class Existing { absent, empty, genie_file, other, unreadable };

// What stands at `path` now, for an entry to be added.
Existing inspect(const std::string& path, std::string& reason) {
    errno = 0;
    genie::FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        if (errno == ENOENT) return Existing::absent;
        reason = system_reason(errno);
        return Existing::unreadable;
    }
    unsigned char head[genie::file_header_size];
    errno = 0;
    const std::size_t n = std::fread(head, 1, sizeof head, f.get());
    if (std::ferror(f.get())) {
        reason = system_reason(errno);
        return Existing::unreadable;
    }
    if (n == 0) return Existing::empty;
    if (n < sizeof head || std::memcmp(head, genie::file_signature.data(), 8) != 0)
        return Existing::other;
    const std::uint32_t version = genie::get_u32(head + genie::file_signature.size());
    return version == genie::file_version ? Existing::genie_file : Existing::other;
}

std::array<unsigned char, genie::file_header_size> file_header() {
    std::array<unsigned char, genie::file_header_size> out{};
    std::memcpy(out.data(), genie::file_signature.data(), genie::file_signature.size());
    for (int k = 0; k < 4; ++k)
        out[genie::file_signature.size() + static_cast<std::size_t>(k)] =
            static_cast<unsigned char>(genie::file_version >> (8 * k));
    return out;
}

// `whole` is the file header followed by the entry, which is `entry`.
void write_entry(const std::string& path, bool create, Bytes whole, Bytes entry) {
    if (!create && append_to_kept(path, entry)) return;
    close_appending_or_report();
    std::string reason;
    if (!create) {
        switch (inspect(path, reason)) {
            case Existing::absent: create = true; break;
            case Existing::empty: create = true; break;
            case Existing::genie_file: break;
            case Existing::other:
                report_failure("cannot add an entry to " + path +
                               ": it is not a Genie file (left unchanged)");
                return;
            case Existing::unreadable:
                report_failure("cannot add an entry to " + path + ": " + reason);
                return;
        }
    }
    if (create) {
        const Written w = write_all(path, "wb", whole, reason);
        if (w == Written::all) return;
        // No half-written file stays behind (a device or the like is left
        // alone); a file that could not even be opened is not ours to remove.
        std::error_code ec;
        if (w == Written::cut_short && std::filesystem::is_regular_file(fs_path(path), ec))
            std::filesystem::remove(fs_path(path), ec);
        report_failure("cannot write " + path + ": " + reason);
        return;
    }
    std::error_code ec;
    const auto old_size = std::filesystem::file_size(fs_path(path), ec);
    auto& lib = library();
    // Kept open only when its size is known, as the next entry is checked by it.
    const Written w = write_all(path, "ab", entry, reason, ec ? nullptr : &lib.appending);
    if (w == Written::all) {
        if (lib.appending) {
            lib.appending_path = path;
            lib.appending_size = old_size + entry.size();
        }
        return;
    }
    // Cut off whatever part of the entry got in, so the entries before it
    // stay readable.
    if (w == Written::cut_short && !ec) std::filesystem::resize_file(fs_path(path), old_size, ec);
    report_failure("cannot write " + path + ": " + reason);
}

}  // namespace

void GF_ACTIVATE_SESSION(const char*, std::int32_t, std::int32_t&, std::int32_t&) {
    library().session_active = true;
}

void GF_DEACTIVATE_SESSION() {
    library().session_active = false;
    close_appending_or_report();
}

void GF_ASSIGN_HANDLE(const char* handle, std::int32_t handle_length, const char* type,
                      std::int32_t type_length) {
    const auto name = name_argument(handle, handle_length);
    if (name.empty()) {
        report_failure("GF_ASSIGN_HANDLE: empty workspace name");
        return;
    }
    auto& lib = library();
    auto& ws = lib.workspaces[std::string(name)];
    ws.type = std::string(name_argument(type, type_length));
    ws.fields.clear();
    if (ws.fields.capacity() == 0) ws.fields.swap(lib.spare_fields);
    if (ws.body.capacity() == 0) ws.body.swap(lib.spare);
    ws.body.assign(head_room, 0);
}

void GF_TRANSFER(const char* field, std::int32_t field_length, const char* direction,
                 std::int32_t direction_length, const char* type, std::int32_t type_length,
                 const void* value, const std::int32_t& rank, const std::int32_t& extent) {
    const auto name = name_argument(field, field_length);
    const auto type_name = name_argument(type, type_length);
    // Said only of a call refused: a writer makes many thousands that are not.
    const auto where = [&name] { return "GF_TRANSFER " + quoted(name) + ": "; };
    const auto dot = name.find('.');
    auto& spaces = library().workspaces;
    const auto ws = dot == std::string_view::npos ? spaces.end() : spaces.find(name.substr(0, dot));
    if (ws == spaces.end()) {
        report_failure(where() + "no workspace of that name");
        return;
    }
    if (text_argument(direction, direction_length) != "<--") {
        report_failure(where() + "direction " + quoted(text_argument(direction, direction_length)) +
                       " is not supported");
        return;
    }
    // Only what the file format allows is taken (docs/genie-file-format.md).
    if (const auto problem = genie::field_shape_problem(type_name, rank, extent); !problem.empty()) {
        report_failure(where() + problem + " is not supported");
        return;
    }
    const auto size = genie::element_size(type_name);
    const auto count = static_cast<std::size_t>(genie::element_count(rank, extent));
    if (static_cast<std::uint64_t>(count) * *size > std::numeric_limits<std::uint32_t>::max()) {
        report_failure(where() + "too many values");
        return;
    }
    if (count > 0 && value == nullptr) {
        report_failure(where() + "no values given");
        return;
    }
    auto& body = ws->second.body;
    auto& fields = ws->second.fields;
    const std::size_t values = count * *size;
    const auto type_size = static_cast<std::uint32_t>(type_name.size());
    for (auto& old : fields) {
        if (old.name_size != name.size() || ws->second.name_of(old) != name) continue;
        // The new record takes the old one's place; those after it move.
        std::vector<unsigned char> record;
        append_record(record, name, type_name, *size, rank, extent, value, count);
        const auto at = body.begin() + static_cast<std::ptrdiff_t>(old.start);
        body.insert(body.erase(at, at + static_cast<std::ptrdiff_t>(old.size)), record.begin(),
                    record.end());
        for (auto& later : fields) {
            if (later.start > old.start) later.start = later.start - old.size + record.size();
        }
        old.type_size = type_size;
        old.rank = rank;
        old.extent = extent;
        old.size = record.size();
        old.values = values;
        return;
    }
    const std::size_t start = body.size();
    append_record(body, name, type_name, *size, rank, extent, value, count);
    fields.push_back({static_cast<std::uint32_t>(name.size()), type_size, rank, extent, start,
                      body.size() - start, values});
}

void GF_SELECT_DESTINATION(const char* file, std::int32_t file_length, const char* form,
                           std::int32_t form_length) {
    auto& lib = library();
    lib.destination_selected = false;
    const auto name = name_argument(file, file_length);
    const auto form_name = name_argument(form, form_length);
    if (form_name != "G2") {
        report_failure("GF_SELECT_DESTINATION: form " + quoted(form_name) + " is not supported");
        return;
    }
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        report_failure("GF_SELECT_DESTINATION: " + quoted(name) + " is not a usable file name");
        return;
    }
    lib.destination = std::string(name);
    lib.destination_selected = true;
}

void GF_PUT(const char* handle, std::int32_t handle_length, const char* kind,
            std::int32_t kind_length, const std::int32_t& index, const char* mode,
            std::int32_t mode_length, const char* description, std::int32_t description_length) {
    auto& lib = library();
    lib.last_error = 0;
    const auto name = name_argument(handle, handle_length);
    const auto ws = lib.workspaces.find(name);
    if (ws == lib.workspaces.end()) {
        report_failure("GF_PUT: no workspace named " + quoted(name));
        return;
    }
    if (!lib.destination_selected) {
        report_failure("GF_PUT: no file selected for " + quoted(name));
        return;
    }
    const auto mode_word = name_argument(mode, mode_length);
    if (!mode_word.empty() && mode_word != "new") {
        report_failure("GF_PUT: mode " + quoted(mode_word) + " is not supported; " +
                       lib.destination + " not written");
        return;
    }
    auto& body = ws->second.body;
    std::vector<genie::FieldView>& views = lib.views;
    views.clear();
    for (const auto& f : ws->second.fields)
        views.push_back({ws->second.name_of(f), ws->second.type_of(f), f.rank, f.extent,
                         Bytes(body).subspan(f.start + f.size - f.values, f.values)});
    if (const auto problem = genie::data_entry_problem(name, views); !problem.empty()) {
        report_failure("GF_PUT: " + problem + "; " + lib.destination + " not written");
        return;
    }
    std::vector<unsigned char> head;
    if (!encode_head(name, ws->second, text_argument(kind, kind_length), index,
                     text_argument(description, description_length), head)) {
        report_failure("cannot write " + lib.destination + ": the entry is too large");
        return;
    }
    // The head and the file header go into the room before the fields; a
    // head too long for it has the entry copied out behind it.
    const auto header = file_header();
    std::vector<unsigned char> copied;
    Bytes whole;
    if (header.size() + head.size() <= head_room) {
        const std::size_t begin = head_room - head.size() - header.size();
        std::memcpy(body.data() + begin, header.data(), header.size());
        std::memcpy(body.data() + begin + header.size(), head.data(), head.size());
        whole = Bytes(body).subspan(begin);
    } else {
        copied.assign(header.begin(), header.end());
        copied.insert(copied.end(), head.begin(), head.end());
        copied.insert(copied.end(), body.begin() + head_room, body.end());
        whole = copied;
    }
    write_entry(lib.destination, mode_word == "new", whole, whole.subspan(header.size()));
}

void GF_RELEASE_HANDLE(const char* handle, std::int32_t handle_length) {
    auto& spaces = library().workspaces;
    const auto ws = spaces.find(name_argument(handle, handle_length));
    if (ws == spaces.end()) return;
    // Its body serves the next workspace, unless it is very large.
    auto& spare = library().spare;
    if (ws->second.body.capacity() <= max_kept_bytes && ws->second.body.capacity() > spare.capacity())
        spare.swap(ws->second.body);
    ws->second.fields.clear();
    library().spare_fields.swap(ws->second.fields);
    spaces.erase(ws);
}

void genie_close_file() {
    library().last_error = 0;
    close_appending_or_report();
}

int genie_failure_count() { return library().failures; }

int genie_last_error() { return library().last_error; }

}  // namespace orvalt

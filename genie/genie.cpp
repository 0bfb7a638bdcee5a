// The library calls: workspaces filled field by field, then written as one
// entry of a Genie file (layout in docs/genie-file-format.md).
#include "genie/genie.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "genie/g2file.h"

namespace orvalt {

namespace {

struct Workspace {
    std::string type;
    std::vector<genie::Field> fields;
};

struct Library {
    bool session_active = false;
    std::map<std::string, Workspace, std::less<>> workspaces;
    std::string destination;
    bool destination_selected = false;
    int failures = 0;
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
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return s;
}

std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Little-endian, byte by byte, whatever the host's byte order.
void put_u32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<unsigned char>(v >> (8 * k)));
}
void put_u64(std::vector<unsigned char>& out, std::uint64_t v) {
    for (int k = 0; k < 8; ++k) out.push_back(static_cast<unsigned char>(v >> (8 * k)));
}
void put_string(std::vector<unsigned char>& out, std::string_view s) {
    put_u32(out, static_cast<std::uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

// The values of one field in their stored form: `count` elements of the type,
// read from the caller's memory without assuming any alignment.
std::vector<unsigned char> encode_values(std::string_view type, const void* value,
                                         std::size_t count) {
    const auto* src = static_cast<const unsigned char*>(value);
    std::vector<unsigned char> out;
    const auto size = *genie::element_size(type);
    out.reserve(count * size);
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
    return out;
}

// One entry, as it stands in the file; false when it is too large for the
// layout's 32-bit lengths.
bool encode_entry(std::string_view handle, const Workspace& ws, std::string_view kind,
                  std::int32_t index, std::string_view description,
                  std::vector<unsigned char>& out) {
    std::vector<unsigned char> body;
    put_string(body, handle);
    put_string(body, kind);
    put_u32(body, std::bit_cast<std::uint32_t>(index));
    put_string(body, description);
    put_u32(body, static_cast<std::uint32_t>(ws.fields.size()));
    for (const auto& f : ws.fields) {
        put_string(body, f.name);
        put_string(body, f.type);
        put_u32(body, std::bit_cast<std::uint32_t>(f.rank));
        put_u32(body, std::bit_cast<std::uint32_t>(f.extent));
        put_u32(body, static_cast<std::uint32_t>(f.bytes.size()));
        body.insert(body.end(), f.bytes.begin(), f.bytes.end());
        if (static_cast<std::uint64_t>(body.size()) > std::numeric_limits<std::uint32_t>::max())
            return false;
    }
    put_u32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return true;
}

std::string system_reason(int err) { return err != 0 ? std::strerror(err) : "write error"; }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Writes `bytes` to the file opened with `mode` and closes it; on failure
// returns the system's reason.
bool write_all(const std::string& path, const char* mode, const std::vector<unsigned char>& bytes,
               std::string& reason) {
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (f == nullptr) {
        reason = system_reason(errno);
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = errno;
    // fclose flushes: a full disk may only show here.
    const bool closed = std::fclose(f) == 0;
    if (err == 0) err = errno;
    if (written && closed) return true;
    reason = system_reason(err);
    return false;
}

enum class Existing { absent, empty, genie_file, other, unreadable };

// What stands at `path` now, for an entry to be added.
Existing inspect(const std::string& path, std::string& reason) {
    errno = 0;
    FilePtr f(std::fopen(path.c_str(), "rb"));
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
    const std::uint32_t version = static_cast<std::uint32_t>(head[8]) |
                                  static_cast<std::uint32_t>(head[9]) << 8 |
                                  static_cast<std::uint32_t>(head[10]) << 16 |
                                  static_cast<std::uint32_t>(head[11]) << 24;
    return version == genie::file_version ? Existing::genie_file : Existing::other;
}

std::vector<unsigned char> file_header() {
    std::vector<unsigned char> out(genie::file_signature.begin(), genie::file_signature.end());
    put_u32(out, genie::file_version);
    return out;
}

void write_entry(const std::string& path, bool create, const std::vector<unsigned char>& entry) {
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
        auto bytes = file_header();
        bytes.insert(bytes.end(), entry.begin(), entry.end());
        if (!write_all(path, "wb", bytes, reason)) {
            // No half-written file stays behind (a device or the like is left alone).
            std::error_code ec;
            if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
            report_failure("cannot write " + path + ": " + reason);
        }
        return;
    }
    std::error_code ec;
    const auto old_size = std::filesystem::file_size(path, ec);
    if (!write_all(path, "ab", entry, reason)) {
        // Cut off whatever part of the entry got in, so the entries before it
        // stay readable.
        if (!ec) std::filesystem::resize_file(path, old_size, ec);
        report_failure("cannot write " + path + ": " + reason);
    }
}

}  // namespace

void GF_ACTIVATE_SESSION(const char*, std::int32_t, std::int32_t&, std::int32_t&) {
    library().session_active = true;
}

void GF_DEACTIVATE_SESSION() { library().session_active = false; }

void GF_ASSIGN_HANDLE(const char* handle, std::int32_t handle_length, const char* type,
                      std::int32_t type_length) {
    const auto name = name_argument(handle, handle_length);
    if (name.empty()) {
        report_failure("GF_ASSIGN_HANDLE: empty workspace name");
        return;
    }
    auto& ws = library().workspaces[std::string(name)];
    ws.type = std::string(name_argument(type, type_length));
    ws.fields.clear();
}

void GF_TRANSFER(const char* field, std::int32_t field_length, const char* direction,
                 std::int32_t direction_length, const char* type, std::int32_t type_length,
                 const void* value, const std::int32_t& rank, const std::int32_t& extent) {
    const auto name = name_argument(field, field_length);
    const auto type_name = name_argument(type, type_length);
    const std::string where = "GF_TRANSFER " + quoted(name) + ": ";
    const auto dot = name.find('.');
    auto& spaces = library().workspaces;
    const auto ws = dot == std::string_view::npos ? spaces.end() : spaces.find(name.substr(0, dot));
    if (ws == spaces.end()) {
        report_failure(where + "no workspace of that name");
        return;
    }
    if (text_argument(direction, direction_length) != "<--") {
        report_failure(where + "direction " + quoted(text_argument(direction, direction_length)) +
                       " is not supported");
        return;
    }
    const auto size = genie::element_size(type_name);
    if (!size) {
        report_failure(where + "unknown type " + quoted(type_name));
        return;
    }
    if (rank != 0 && (rank != 1 || extent < 0)) {
        report_failure(where + "rank " + std::to_string(rank) + " and extent " +
                       std::to_string(extent) + " are not supported");
        return;
    }
    const auto count = static_cast<std::size_t>(genie::element_count(rank, extent));
    if (static_cast<std::uint64_t>(count) * *size > std::numeric_limits<std::uint32_t>::max()) {
        report_failure(where + "too many values");
        return;
    }
    if (count > 0 && value == nullptr) {
        report_failure(where + "no values given");
        return;
    }
    genie::Field f{std::string(name), std::string(type_name), rank, extent,
                   encode_values(type_name, value, count)};
    for (auto& old : ws->second.fields) {
        if (old.name == f.name) {
            old = std::move(f);
            return;
        }
    }
    ws->second.fields.push_back(std::move(f));
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
    std::vector<unsigned char> entry;
    if (!encode_entry(name, ws->second, text_argument(kind, kind_length), index,
                      text_argument(description, description_length), entry)) {
        report_failure("cannot write " + lib.destination + ": the entry is too large");
        return;
    }
    write_entry(lib.destination, mode_word == "new", entry);
}

void GF_RELEASE_HANDLE(const char* handle, std::int32_t handle_length) {
    auto& spaces = library().workspaces;
    const auto ws = spaces.find(name_argument(handle, handle_length));
    if (ws != spaces.end()) spaces.erase(ws);
}

int genie_failure_count() { return library().failures; }

}  // namespace orvalt

// The Genie file layout (docs/genie-file-format.md) and a reader for it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt::genie {

// The one owner of an open stream in this library: closes it when dropped.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The first eight bytes of every file, then the version as a 32-bit integer.
inline constexpr std::array<unsigned char, 8> file_signature{0x89, 'G', '2', 'F',
                                                             '\r', '\n', 0x1A, '\n'};
inline constexpr std::uint32_t file_version = 1;
inline constexpr std::size_t file_header_size = 12;

// A 32-bit value from its four stored bytes, least significant first.
inline std::uint32_t get_u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Size in bytes of one element of a type name ("float64[]" as "float64"), or
// nullopt for a name this library does not know. Asked of every field of
// every entry written: inline, the answer needs no memory on the way, and
// the length picks the one name to compare.
inline std::optional<std::size_t> element_size(std::string_view type_name) {
    if (type_name.ends_with("[]")) type_name.remove_suffix(2);
    const char* t = type_name.data();
    switch (type_name.size()) {
        case 5: if (std::memcmp(t, "int32", 5) == 0) return 4; break;
        case 6: if (std::memcmp(t, "string", 6) == 0) return 1; break;
        case 7:
            if (std::memcmp(t, "float64", 7) == 0) return 8;
            if (std::memcmp(t, "float32", 7) == 0) return 4;
            break;
        default: break;
    }
    return std::nullopt;
}

// Elements a field holds: 1 for rank 0, the extent (at least 0) for rank 1.
std::int64_t element_count(std::int32_t rank, std::int32_t extent);

// Why a field of this type name, rank and extent breaks the format (an
// unknown type, a type at the wrong rank, a single value whose extent is not
// 0, a negative extent), or empty when it is sound.
std::string field_shape_problem(std::string_view type_name, std::int32_t rank,
                                std::int32_t extent);

struct Field {
    std::string name;
    std::string type;
    std::int32_t rank = 0;
    std::int32_t extent = 0;
    std::vector<unsigned char> bytes;  // the values, little-endian, as stored

    // The values decoded; each is empty when the type does not match.
    std::string text() const;
    std::vector<std::int32_t> int32s() const;
    std::vector<float> float32s() const;
    std::vector<double> float64s() const;
};

struct Entry {
    std::string workspace;
    std::string kind;
    std::int32_t index = 0;
    std::string description;
    std::vector<Field> fields;

    // The first field of that name, or nullptr.
    const Field* find(std::string_view name) const;
};

// What the rules of an entry look at in a field, wherever its bytes are kept.
struct FieldView {
    std::string_view name;
    std::string_view type;
    std::int32_t rank = 0;
    std::int32_t extent = 0;
    std::span<const unsigned char> bytes;
};

// Why the fields of an entry from workspace `workspace` break the rules of a
// data entry (an entry holding "<workspace>.ntc": y and e of ntc elements, x
// of ntc or ntc + 1, ut of nut), or empty when they keep them; `culprit`,
// when given, is then set to the index of the field at fault.
std::string data_entry_problem(std::string_view workspace, std::span<const FieldView> fields,
                               std::size_t* culprit = nullptr);
std::string data_entry_problem(std::string_view workspace, const std::vector<Field>& fields,
                               std::size_t* culprit = nullptr);

// A label or title in the Genie markup as plain text, on one line
// (docs/genie-file-format.md, "Labels and titles"): "\\" a backslash, "\A"
// "angstrom", "\u-1\d" after a word "1/" and the word, other superscripts
// "^", subscripts "_"; trailing blanks and NULs dropped, other control
// characters as \xNN.
std::string plain_text(std::string_view markup);

// Reads a file entry by entry, holding one entry at a time: its memory is
// bounded by the largest entry, whatever the file's size. The signature is
// checked before anything else is read.
class FileReader {
public:
    // Takes over the open stream (positioned anywhere) and checks the file's
    // header. False with `error` when it is not a Genie file of this library
    // or holds no entry.
    bool open(std::FILE* file, std::string& error);
    std::uint32_t version() const { return version_; }
    // The next entry, read and checked whole. False at the end of the file
    // (`error` empty) or when the entry is damaged or cannot be read
    // (`error` says why and where).
    bool next(Entry& entry, std::string& error);
    // Back to the first entry.
    bool rewind(std::string& error);

private:
    FilePtr file_;
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
    std::size_t entries_ = 0;
    std::uint32_t version_ = 0;
};

}  // namespace orvalt::genie

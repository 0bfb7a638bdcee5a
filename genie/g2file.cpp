// Reading Genie files back: every length is checked against what is left of
// the file before it is used, so a damaged file gives a message, not a crash.
#include "genie/g2file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cctype>
#include <memory>
#include <unordered_map>

namespace orvalt::genie {

namespace {

std::string_view base_type(std::string_view type_name) {
    if (type_name.ends_with("[]")) type_name.remove_suffix(2);
    return type_name;
}

std::uint64_t get_u64(const unsigned char* p) {
    return static_cast<std::uint64_t>(get_u32(p)) | static_cast<std::uint64_t>(get_u32(p + 4)) << 32;
}

// Reads forward through [pos, end) of the data; every read first checks
// that the bytes are there. Positions count from the file's start, where the
// data begin at `base` (an entry read on its own).
class Cursor {
public:
    Cursor(const unsigned char* data, std::size_t pos, std::size_t end, std::size_t base = 0)
        : data_(data), base_(base), pos_(pos), end_(end) {}

    std::size_t pos() const { return pos_; }
    std::size_t left() const { return end_ - pos_; }

    bool u32(std::uint32_t& v) {
        if (left() < 4) return false;
        v = get_u32(here());
        pos_ += 4;
        return true;
    }
    bool i32(std::int32_t& v) {
        std::uint32_t u = 0;
        if (!u32(u)) return false;
        v = std::bit_cast<std::int32_t>(u);
        return true;
    }
    bool bytes(std::size_t n, std::vector<unsigned char>& out) {
        if (left() < n) return false;
        out.assign(here(), here() + n);
        pos_ += n;
        return true;
    }
    bool str(std::string& s) {
        std::uint32_t n = 0;
        if (!u32(n) || left() < n) return false;
        s.assign(reinterpret_cast<const char*>(here()), n);
        pos_ += n;
        return true;
    }

private:
    const unsigned char* here() const { return data_ + (pos_ - base_); }
    const unsigned char* data_;
    std::size_t base_;
    std::size_t pos_;
    std::size_t end_;
};

std::string at(std::size_t offset) { return " (at byte " + std::to_string(offset) + ")"; }

bool parse_field(Cursor& c, Field& f, std::string& error) {
    const std::size_t start = c.pos();
    std::uint32_t nbytes = 0;
    if (!c.str(f.name) || !c.str(f.type) || !c.i32(f.rank) || !c.i32(f.extent) || !c.u32(nbytes)) {
        error = "field description runs past the end of its entry" + at(start);
        return false;
    }
    if (!c.bytes(nbytes, f.bytes)) {
        error = "values of field \"" + f.name + "\" run past the end of its entry" + at(start);
        return false;
    }
    if (const auto problem = field_shape_problem(f.type, f.rank, f.extent); !problem.empty()) {
        error = "field \"" + f.name + "\": " + problem + at(start);
        return false;
    }
    const auto size = element_size(f.type);
    const auto expected = static_cast<std::uint64_t>(element_count(f.rank, f.extent)) * *size;
    if (expected != nbytes) {
        error = "field \"" + f.name + "\" holds " + std::to_string(nbytes) + " bytes, its type " +
                "and extent call for " + std::to_string(expected) + at(start);
        return false;
    }
    return true;
}

// `start` is the entry's first byte, its length.
bool parse_entry(Cursor& c, std::size_t start, Entry& e, std::string& error) {
    std::uint32_t nfields = 0;
    if (!c.str(e.workspace) || !c.str(e.kind) || !c.i32(e.index) || !c.str(e.description) ||
        !c.u32(nfields)) {
        error = "entry description runs past the end of the entry" + at(start);
        return false;
    }
    // Each field takes at least 20 bytes, so a count beyond that is damage,
    // caught before any memory is set aside for it.
    if (nfields > c.left() / 20) {
        error = "entry claims " + std::to_string(nfields) + " fields, more than it can hold" +
                at(start);
        return false;
    }
    e.fields.resize(nfields);
    std::vector<std::size_t> starts(nfields);
    std::unordered_map<std::string_view, std::uint32_t> seen;
    for (std::uint32_t k = 0; k < nfields; ++k) {
        const std::string which = "field " + std::to_string(k + 1) + ": ";
        starts[k] = c.pos();
        if (!parse_field(c, e.fields[k], error)) {
            error = which + error;
            return false;
        }
        const auto [first, added] = seen.try_emplace(e.fields[k].name, k);
        if (!added) {
            error = which + "field \"" + e.fields[k].name + "\" appears twice (first as field " +
                    std::to_string(first->second + 1) + ")" + at(starts[k]);
            return false;
        }
    }
    if (c.left() != 0) {
        error = std::to_string(c.left()) + " bytes left over after the last field" + at(c.pos());
        return false;
    }
    std::size_t culprit = 0;
    if (const auto problem = data_entry_problem(e.workspace, e.fields, &culprit); !problem.empty()) {
        error = problem + at(starts[culprit]);
        return false;
    }
    return true;
}

// The single int32 value of a field, if it is one.
std::optional<std::int32_t> int32_value(const FieldView* f) {
    if (f == nullptr || f->type != "int32" || f->bytes.size() != 4) return std::nullopt;
    return std::bit_cast<std::int32_t>(get_u32(f->bytes.data()));
}

// The field "workspace.member", found without putting its name together:
// every entry written is checked.
const FieldView* find_field(std::span<const FieldView> fields, std::string_view workspace,
                            std::string_view member) {
    for (const auto& f : fields)
        if (f.name.size() == workspace.size() + 1 + member.size() && f.name.ends_with(member) &&
            f.name[workspace.size()] == '.' && f.name.starts_with(workspace))
            return &f;
    return nullptr;
}

// Appends c, a control character as \xNN.
void put_char(std::string& out, char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) {
        out += c;
        return;
    }
    constexpr char hex[] = "0123456789ABCDEF";
    out += "\\x";
    out += hex[u >> 4];
    out += hex[u & 15];
}

}  // namespace

std::int64_t element_count(std::int32_t rank, std::int32_t extent) {
    if (rank == 0) return 1;
    return std::max<std::int64_t>(extent, 0);
}

std::string field_shape_problem(std::string_view type_name, std::int32_t rank,
                                std::int32_t extent) {
    const auto size = element_size(type_name);
    if (!size) return "unknown type \"" + std::string(type_name) + "\"";
    const bool array = *size == 1 || type_name.ends_with("[]");
    // Said only of a field refused: a writer passes many thousands that are not.
    const auto shape = [&] {
        return "type " + std::string(type_name) + " at rank " + std::to_string(rank) +
               " with extent " + std::to_string(extent);
    };
    if (rank != (array ? 1 : 0)) return shape() + " (its rank is " + (array ? "1)" : "0)");
    if (array ? extent < 0 : extent != 0)
        return shape() + (array ? " (an extent is 0 or more)" : " (a single value has extent 0)");
    return {};
}

std::string data_entry_problem(std::string_view workspace, const std::vector<Field>& fields,
                               std::size_t* culprit) {
    std::vector<FieldView> views;
    views.reserve(fields.size());
    for (const auto& f : fields) views.push_back({f.name, f.type, f.rank, f.extent, f.bytes});
    return data_entry_problem(workspace, views, culprit);
}

std::string data_entry_problem(std::string_view workspace, std::span<const FieldView> fields,
                               std::size_t* culprit) {
    const std::string ws(workspace);
    const auto blame = [&](const FieldView* f) {
        if (culprit != nullptr) *culprit = static_cast<std::size_t>(f - fields.data());
    };
    const FieldView* ntc_field = find_field(fields, workspace, "ntc");
    if (ntc_field == nullptr) return {};  // not a data entry
    const auto ntc = int32_value(ntc_field);
    if (!ntc || *ntc < 0) {
        blame(ntc_field);
        return "data entry: " + ws + ".ntc is not a single int32 of 0 or more";
    }
    // `limit` names the count n that the field's length must be; the text is
    // made only for a field that is not.
    const auto length_problem = [&](std::string_view name, std::int64_t n, bool or_one_more,
                                    std::string_view limit) -> std::string {
        const FieldView* f = find_field(fields, workspace, name);
        if (f == nullptr) return {};
        const auto count = element_count(f->rank, f->extent);
        if (f->rank == 1 && f->type != "string" && (count == n || (or_one_more && count == n + 1)))
            return {};
        blame(f);
        return "data entry: " + ws + "." + std::string(name) + " holds " + std::to_string(count) +
               " values, not " + std::string(limit) + " (" + std::to_string(n) + ")";
    };
    if (auto problem = length_problem("y", *ntc, false, "ntc"); !problem.empty()) return problem;
    if (auto problem = length_problem("e", *ntc, false, "ntc"); !problem.empty()) return problem;
    if (auto problem = length_problem("x", *ntc, true, "ntc or ntc + 1"); !problem.empty())
        return problem;
    if (const FieldView* nut_field = find_field(fields, workspace, "nut")) {
        const auto nut = int32_value(nut_field);
        if (!nut || *nut < 0) {
            blame(nut_field);
            return "data entry: " + ws + ".nut is not a single int32 of 0 or more";
        }
        if (auto problem = length_problem("ut", *nut, false, "nut"); !problem.empty())
            return problem;
    }
    return {};
}

std::string Field::text() const {
    if (base_type(type) != "string") return {};
    return std::string(bytes.begin(), bytes.end());
}

namespace {

// The elements of a field of base type `type` as stored (empty for a field of
// another type); a partial element at the end is not one.
template <class T>
std::vector<T> elements(const Field& field, std::string_view type) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    std::vector<T> v;
    if (base_type(field.type) != type) return v;
    for (std::size_t i = 0; i + sizeof(T) <= field.bytes.size(); i += sizeof(T)) {
        if constexpr (sizeof(T) == 4)
            v.push_back(std::bit_cast<T>(get_u32(field.bytes.data() + i)));
        else
            v.push_back(std::bit_cast<T>(get_u64(field.bytes.data() + i)));
    }
    return v;
}

}  // namespace

std::vector<std::int32_t> Field::int32s() const { return elements<std::int32_t>(*this, "int32"); }
std::vector<float> Field::float32s() const { return elements<float>(*this, "float32"); }
std::vector<double> Field::float64s() const { return elements<double>(*this, "float64"); }

const Field* Entry::find(std::string_view name) const {
    for (const auto& f : fields)
        if (f.name == name) return &f;
    return nullptr;
}

std::string plain_text(std::string_view markup) {
    while (!markup.empty() && (markup.back() == ' ' || markup.back() == '\0'))
        markup.remove_suffix(1);
    std::string out;
    int level = 0;                        // 1 raised, -1 lowered, 0 on the base line
    std::size_t word_start = 0;           // where the word before a superscript begins in out
    std::size_t raised_at = std::string::npos;  // where the superscript's text begins in out
    for (std::size_t i = 0; i < markup.size(); ++i) {
        const char c = markup[i];
        const char next = i + 1 < markup.size() ? markup[i + 1] : '\0';
        if (c != '\\' || (next != '\\' && next != 'A' && next != 'u' && next != 'd')) {
            put_char(out, c);
            continue;
        }
        ++i;
        if (next == '\\') {
            out += '\\';
        } else if (next == 'A') {
            out += "angstrom";
        } else if (next == 'u' && level < 1) {
            if (level == 0) {
                word_start = out.size();
                while (word_start > 0 && std::isalpha(static_cast<unsigned char>(out[word_start - 1])))
                    --word_start;
                out += '^';
                raised_at = out.size();
            }
            ++level;
        } else if (next == 'd' && level > -1) {
            // "unit^-1" reads as "1/unit".
            if (level == 1 && word_start < raised_at - 1 &&
                std::string_view(out).substr(raised_at) == "-1") {
                const std::string word = out.substr(word_start, raised_at - 1 - word_start);
                out.replace(word_start, std::string::npos, "1/" + word);
            }
            if (level == 0) out += '_';
            --level;
        }
    }
    return out;
}

namespace {

bool seek_file(std::FILE* f, std::uint64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<__int64>(offset), whence) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), whence) == 0;
#endif
}

std::int64_t tell_file(std::FILE* f) {
#ifdef _WIN32
    return _ftelli64(f);
#else
    return static_cast<std::int64_t>(ftello(f));
#endif
}

std::string read_error() { return errno != 0 ? std::strerror(errno) : "read error"; }

}  // namespace

bool FileReader::open(std::FILE* file, std::string& error) {
    file_.reset(file);
    entries_ = 0;
    version_ = 0;
    if (!file_) {
        error = "no file";
        return false;
    }
    errno = 0;
    const std::int64_t size = seek_file(file_.get(), 0, SEEK_END) ? tell_file(file_.get()) : -1;
    if (size < 0) {
        error = read_error();
        return false;
    }
    size_ = static_cast<std::uint64_t>(size);
    // The signature is checked before anything else is read.
    unsigned char head[file_header_size];
    const std::size_t n =
        seek_file(file_.get(), 0, SEEK_SET) ? std::fread(head, 1, sizeof head, file_.get()) : 0;
    if (std::ferror(file_.get())) {
        error = read_error();
        return false;
    }
    if (n < file_header_size || !std::equal(file_signature.begin(), file_signature.end(), head)) {
        error = "not a Genie file: no Genie signature" + at(0);
        return false;
    }
    version_ = get_u32(head + file_signature.size());
    if (version_ != file_version) {
        error = "Genie file version " + std::to_string(version_) + " is not supported" +
                at(file_signature.size());
        return false;
    }
    if (size_ == file_header_size) {
        error = "the file holds no entry" + at(file_header_size);
        return false;
    }
    pos_ = file_header_size;
    return true;
}

bool FileReader::rewind(std::string& error) {
    entries_ = 0;
    pos_ = file_header_size;
    if (file_ && seek_file(file_.get(), pos_, SEEK_SET)) return true;
    error = read_error();
    return false;
}

bool FileReader::next(Entry& entry, std::string& error) {
    error.clear();
    if (!file_ || pos_ >= size_) return false;
    const std::string which = "entry " + std::to_string(entries_ + 1) + ": ";
    const std::uint64_t start = pos_;
    unsigned char word[4];
    errno = 0;
    const std::size_t got = std::fread(word, 1, sizeof word, file_.get());
    if (std::ferror(file_.get())) {
        error = read_error();
        return false;
    }
    const std::uint32_t length = got == sizeof word ? get_u32(word) : 0;
    // A length is trusted only as far as the file reaches: no more memory is
    // set aside than the entry's bytes on disk.
    if (got < sizeof word || size_ - pos_ - sizeof word < length) {
        error = which + "runs past the end of the file" + at(static_cast<std::size_t>(start));
        return false;
    }
    std::vector<unsigned char> bytes(length);
    if (std::fread(bytes.data(), 1, length, file_.get()) != length) {
        error = std::ferror(file_.get()) ? read_error()
                                         : which + "runs past the end of the file" +
                                               at(static_cast<std::size_t>(start));
        return false;
    }
    const auto begin = static_cast<std::size_t>(start + sizeof word);
    Cursor inner(bytes.data(), begin, begin + length, begin);
    entry = Entry{};
    if (!parse_entry(inner, static_cast<std::size_t>(start), entry, error)) {
        error = which + error;
        return false;
    }
    pos_ = start + sizeof word + length;
    ++entries_;
    return true;
}

}  // namespace orvalt::genie

// The lines of an XRDML file as the reader sees them: the first element of
// a line, by the name after its "<", the text it holds on that line, and the
// numbers of a list. The reader looks at nothing else of the XML, and reads
// every line of files of many megabytes: these test and cut a line without
// building tables of its markers or fields.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace orvalt::xrdml {

// No limit: of points read from a list, or of scans (the command line has
// none).
inline constexpr std::int32_t unlimited = std::numeric_limits<std::int32_t>::max();

// The text after the first "<" of a line; `found` is false when the line has none.
struct FirstElement {
    bool found = false;
    std::string_view text;
    // Whether the element name after the first "<" begins with keyword.
    // Every line is asked for several names: most differ in their first letter.
    bool matches(std::string_view keyword) const {
        return found && (keyword.empty() || (!text.empty() && text.front() == keyword.front() &&
                                             text.starts_with(keyword)));
    }
    // Whether that name is `name` itself, not a longer one.
    bool names(std::string_view name) const {
        if (!matches(name)) return false;
        if (text.size() == name.size()) return true;
        const char c = text[name.size()];
        return c == ' ' || c == '\t' || c == '>' || c == '/';
    }
};
FirstElement first_element(std::string_view line);

// The element text of a line: the text between the first ">" and the next
// "<" (blank when the line holds no ">"; the rest of the line when no "<"
// follows), and whether it ended at a "<" on the same line (false also when
// the line holds no ">").
struct ElementText {
    std::string_view text;
    bool closed = false;
};
ElementText element_text(std::string_view line);



// The number fields of a list separated by blanks, commas or tabs, each read
// in free form: the first out.size() fields are read and stored in out, the rest only
// counted. `count` is the number of fields, `first_bad` the 0-based index of
// the first read field that is not a number (-1 when all are).
struct FieldScan {
    std::int32_t count = 0;
    std::int32_t first_bad = -1;
    std::int32_t first_negative = -1;  // the first read field below zero
};
FieldScan read_number_fields(std::string_view text, std::span<double> out);

// A vector whose new entries are left as they are: lists are read into it
// over and over, and only what was read is ever looked at.
template <class T>
struct LeftAsIs : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = LeftAsIs<U>;
    };
    LeftAsIs() = default;
    template <class U>
    LeftAsIs(const LeftAsIs<U>&) noexcept {}  // NOLINT: as std::allocator converts
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using Values = std::vector<double, LeftAsIs<double>>;

// Every field of a list read as read_number_fields reads it, into `values`
// (resized to the fields read): at most `cap` fields are read, the rest only
// counted. A long list is read piece by piece, so that `values` holds the
// numbers and no more room than they take.
FieldScan read_list(std::string_view text, Values& values, std::int32_t cap = unlimited);

// The fields of a list handed to `take` a piece at a time, each read into
// `room` (its first fields; the rest of a piece counted only, as
// read_number_fields does): the memory of `room` for a list of any length.
// first_bad and first_negative of a piece's scan count from its first field,
// `before` the fields of the pieces before it.
void for_each_list_piece(
    std::string_view text, std::span<double> room,
    const std::function<void(std::span<const double> read, const FieldScan& piece,
                             std::int32_t before)>& take);

// The number, sum and largest of the counts of a list that holds nothing but
// counts of at most 8 digits and blanks, the usual list, found far faster
// than field by field. `plain` false for any other list (and on hosts where
// the trick does not pay): read_number_fields then tells.
struct CountTotals {
    bool plain = false;
    std::int32_t count = 0;
    std::uint64_t sum = 0, maximum = 0;
};
CountTotals total_counts(std::string_view text);

}  // namespace orvalt::xrdml

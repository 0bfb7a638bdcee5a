// Keyword scanning: markers of a line, the element name after the first "<",
// the element text, number fields, and the report of a failed pass.
#include "xrdml/reader.h"

#include <cstring>

#include "g_f/chars.h"
#include "g_f/console.h"
#include "g_f/numbers.h"
#include "g_f/text.h"

namespace orvalt::xrdml {

namespace {

bool is_separator(char c) { return is_blank_or_tab(c) || c == ','; }

// Stores a 1-based position as entry `count` (1-based) of a table that grows on demand.
void store(std::vector<std::int32_t>& table, std::int32_t count, std::size_t value) {
    const auto index = static_cast<std::size_t>(count - 1);
    if (index >= table.size()) table.resize(index + 1);
    table[index] = static_cast<std::int32_t>(value);
}

}  // namespace

void ReaderStatus::set(std::int32_t code, std::string_view text) {
    ierr = code;
    message = field(text, message_width);
}

std::int32_t COUNT_KEYWORD(std::string_view line, std::vector<std::int32_t>& table, char marker) {
    std::int32_t count = 0;
    if (line.find_first_not_of(' ') == std::string_view::npos) return count;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == marker) store(table, ++count, i + 1);
    }
    return count;
}

bool KEYWORD_SEARCH(std::string_view line, std::string_view keyword,
                    std::vector<std::int32_t>& table) {
    if (COUNT_KEYWORD(line, table, '<') == 0) return false;
    const auto p = static_cast<std::size_t>(table[0]);  // name starts right after it
    if (p + keyword.size() > line.size()) return false;
    return line.substr(p, keyword.size()) == keyword;
}

std::string_view GET_VALUES_XRDML(std::string_view line, std::vector<std::int32_t>& table) {
    if (COUNT_KEYWORD(line, table, '>') == 0) return {};
    const std::string_view rest = line.substr(static_cast<std::size_t>(table[0]));
    if (COUNT_KEYWORD(rest, table, '<') == 0) return rest;
    return rest.substr(0, static_cast<std::size_t>(table[0] - 1));
}

std::int32_t split_fields(std::string_view text, std::vector<std::int32_t>& starts) {
    const std::size_t L = text.size();
    if (text.find_first_not_of(' ') == std::string_view::npos) return 0;
    std::int32_t n = 0;
    if (!is_blank_or_tab(text[0])) store(starts, ++n, 1);
    for (std::size_t i = 0; i + 1 < L; ++i) {
        if (is_separator(text[i]) && !is_blank_or_tab(text[i + 1])) store(starts, ++n, i + 2);
    }
    store(starts, n + 1, L + 1);
    if (n == 0) return 0;  // only blanks and tabs: no field to trim
    // The last field loses its trailing separators.
    for (std::size_t j = L; j >= static_cast<std::size_t>(starts[n - 1]); --j) {
        if (!is_separator(text[j - 1])) break;
        starts[n] = static_cast<std::int32_t>(j);
    }
    return n;
}

void ERRCHECK(Console& con, const ReaderStatus& status) {
    if (status.ierr == 0) return;
    say_integer(con, "ierr = ", status.ierr);
    fail(con, trimmed(status.message));
}

// --- line helpers of the passes ------------------------------------------------

FirstElement first_element(std::string_view line) {
    const auto* lt = static_cast<const char*>(std::memchr(line.data(), '<', line.size()));
    if (!lt) return {};
    const auto p = static_cast<std::size_t>(lt - line.data()) + 1;
    return {true, line.substr(p)};
}

ElementText element_text(std::string_view line) {
    const std::size_t gt = line.find('>');
    if (gt == std::string_view::npos) return {};
    const std::string_view rest = line.substr(gt + 1);
    const std::size_t lt = rest.find('<');
    if (lt == std::string_view::npos) return {rest, false};
    return {rest.substr(0, lt), true};
}

FieldScan read_number_fields(std::string_view text, std::span<double> out) {
    // Field starts as split_fields finds them: the first character when it is
    // no blank or tab, and every character after a separator that is no blank
    // or tab. A field read in free form (read_first_real) yields its first
    // item, which ends at a separator; a field that begins with a comma has an
    // empty item and fails.
    FieldScan scan;
    const char* p = text.data();
    const char* const end = p + text.size();
    const std::size_t room = out.size();
    std::size_t count = 0;
    while (p < end && is_blank_or_tab(*p)) ++p;
    while (p < end) {
        // A plain count, the field of nearly every list, is read in the same
        // walk that finds its end.
        std::uint64_t digits = 0;
        const char* q = read_digits(p, end, digits);
        const std::ptrdiff_t length = q - p;
        if (length >= 1 && length <= max_exact_digits && (q == end || *q == ' ')) [[likely]] {
            if (count < room) out[count] = static_cast<double>(digits);
            ++count;
            while (q < end && is_blank_or_tab(*q)) ++q;
            p = q;
            continue;
        }
        // Any other field: a plain count before a tab or a comma, or one for
        // the free-form reader.
        const bool plain =
            length >= 1 && length <= max_exact_digits && (q == end || is_separator(*q));
        if (!plain)
            while (q < end && !is_separator(*q)) ++q;
        if (count < room) {
            double& v = out[count];
            if (plain) {
                v = static_cast<double>(digits);
            } else if (!(q > p && parse_real(std::string_view(p, static_cast<std::size_t>(q - p)), v)) &&
                       scan.first_bad < 0) {
                scan.first_bad = static_cast<std::int32_t>(count);
            }
        }
        ++count;
        if (q < end && *q == ',') ++q;  // one comma ends a field; the next begins after it
        while (q < end && is_blank_or_tab(*q)) ++q;
        p = q;
    }
    scan.count = static_cast<std::int32_t>(count);
    return scan;
}

}  // namespace orvalt::xrdml

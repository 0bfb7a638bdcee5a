// The lines of an XRDML file: the element name after the first "<", the
// element text, number fields, count totals.
#include "xrdml/lines.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "g_f/byte_classes.h"
#include "g_f/chars.h"
#include "g_f/console.h"
#include "g_f/number_parsing.h"
#include "g_f/stop.h"
#include "g_f/text.h"

namespace orvalt::xrdml {

namespace {

bool is_separator(char c) { return is_blank_or_tab(c) || c == ','; }

// The value of `length` (1 to 8) digits at the start of the 8 bytes of w:
// the digits moved to the top bytes (zeros before them), then combined in
// pairs, fours and eights.
std::uint64_t digits_value(std::uint64_t w, int length) {
    constexpr std::uint64_t zeros = 0x3030303030303030;
    std::uint64_t x = (w - zeros) << (8 * (8 - length));
    x = x * 10 + (x >> 8);
    return (((x & 0x000000FF000000FF) * (100 + (std::uint64_t{1000000} << 32))) +
            (((x >> 16) & 0x000000FF000000FF) * (1 + (std::uint64_t{10000} << 32)))) >>
           32;
}

// Neighbouring counts of a list mostly have as many digits as each other.
// When the 8 bytes at p begin with `length` digits (1 to 7) and a blank,
// gives them as a number, found with no branch per digit; the next search
// can start before this one is done, which a walk digit by digit does not
// allow. False otherwise, and on hosts where the trick does not pay.
bool read_count_of_length(const char* p, const char* end, int length, std::uint64_t& value) {
    if constexpr (std::endian::native != std::endian::little || sizeof(std::size_t) < 8) {
        return false;
    } else {
        if (end - p < 8 || p[length] != ' ') return false;
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        constexpr std::uint64_t high_nibbles = 0xF0F0F0F0F0F0F0F0, zeros = 0x3030303030303030;
        // A byte is a digit when it is 0x30 to 0x39: its high nibble is 3,
        // also after adding 6. Bytes after the first non-digit do not matter.
        const std::uint64_t not_digits =
            ((w & high_nibbles) ^ zeros) | (((w + 0x0606060606060606) & high_nibbles) ^ zeros);
        if ((not_digits & ((std::uint64_t{1} << (8 * length)) - 1)) != 0) return false;
        value = digits_value(w, length);
        return true;
    }
}

// Plain counts of at most 8 digits separated by blanks, the body of nearly
// every list, read 64 bytes at a time: each count that starts in the first
// 56 is read from the 8 bytes at its start, so that the walk depends on no
// load and has no branch per digit. p stands at a field's start; the counts
// go into out (those past its room only counted). Returns where the walk
// stopped: at a field's start, before a block that holds anything else or a
// longer count, or within 64 bytes of the end.
const char* read_plain_blocks(const char* p, const char* end, std::span<double> out,
                              std::size_t& count) {
    if constexpr (std::endian::native != std::endian::little || sizeof(std::size_t) < 8) {
        return p;
    } else {
        constexpr int stride = 56;
        constexpr std::uint64_t first_bytes = (std::uint64_t{1} << stride) - 1;
        const std::size_t room = out.size();
        while (end - p >= 64) {
            const auto [digits, blanks] = classify_64_bytes(p);
            if ((digits | blanks) != ~std::uint64_t{0}) return p;
            std::uint64_t starts = digits & ~(digits << 1) & first_bytes;
            while (starts != 0) {
                const int s = std::countr_zero(starts);
                starts &= starts - 1;
                const int length = std::countr_zero(~(digits >> s));
                if (length > 8) return p + s;
                std::uint64_t w;
                std::memcpy(&w, p + s, 8);
                if (count < room)
                    out[count] = static_cast<double>(static_cast<std::int64_t>(digits_value(w, length)));
                ++count;
            }
            // On past the count that runs across the 56th byte, read already.
            const char* next = p + stride;
            if ((digits >> (stride - 1)) & 1) next += std::countr_zero(~(digits >> stride));
            p = next;
        }
        return p;
    }
}

}  // namespace

CountTotals total_counts(std::string_view text) {
    CountTotals totals;
    if constexpr (std::endian::native != std::endian::little || sizeof(std::size_t) < 8) {
        return totals;
    } else {
        // Blocks of 64 bytes, one bit per byte for digits: each count that
        // starts in the first 56 is read from the 8 bytes at its start, so
        // the walk over a block depends on no load. The next block starts
        // 56 bytes on; the end of the text is read from a copy padded with
        // blanks.
        constexpr std::size_t block = 64, stride = 56;
        std::uint64_t before = 0;  // whether the byte before the block is a digit
        char padded[block];
        for (std::size_t b = 0; b < text.size(); b += stride) {
            const char* at = text.data() + b;
            if (text.size() - b < block) {
                std::memset(padded, ' ', block);
                std::memcpy(padded, at, text.size() - b);
                at = padded;
            }
            const auto [digits, blanks] = classify_64_bytes(at);
            if ((digits | blanks) != ~std::uint64_t{0}) return {};
            std::uint64_t starts = digits & ~((digits << 1) | before) & ((std::uint64_t{1} << stride) - 1);
            while (starts != 0) {
                const int s = std::countr_zero(starts);
                starts &= starts - 1;
                const int length = std::countr_zero(~(digits >> s));
                if (length > 8) return {};
                std::uint64_t w;
                std::memcpy(&w, at + s, 8);
                const std::uint64_t v = digits_value(w, length);
                totals.sum += v;
                totals.maximum = v > totals.maximum ? v : totals.maximum;
                ++totals.count;
            }
            before = (digits >> (stride - 1)) & 1;
        }
        totals.plain = true;
        return totals;
    }
}


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
    // A field starts at the first character when it is no blank or tab, and
    // at every character after a separator that is no blank or tab. A field
    // read in free form (read_first_real) yields its first item, which ends
    // at a separator; a field that begins with a comma has an empty item and
    // fails.
    FieldScan scan;
    const char* p = text.data();
    const char* const end = p + text.size();
    const std::size_t room = out.size();
    std::size_t count = 0;
    int last_length = 1;  // digits of the last plain count before a blank, up to 7
    const char* blocks_from = p;  // where a walk by blocks is tried next
    while (p < end && is_blank_or_tab(*p)) ++p;
    while (p < end) {
        if (p >= blocks_from) {
            p = read_plain_blocks(p, end, out, count);
            // Field by field past the block that stopped it (none is left
            // within 64 bytes of the end).
            blocks_from = end - p > 64 ? p + 64 : end;
            while (p < end && is_blank_or_tab(*p)) ++p;
            if (p == end) break;
        }
        // A plain count, the field of nearly every list, is read in the same
        // walk that finds its end; first as one of as many digits as the last.
        std::uint64_t digits = 0;
        const char* q = p + last_length;
        if (!read_count_of_length(p, end, last_length, digits)) q = read_digits(p, end, digits);
        const std::ptrdiff_t length = q - p;
        if (length >= 1 && length <= max_exact_digits && (q == end || *q == ' ')) [[likely]] {
            if (count < room) out[count] = static_cast<double>(digits);
            ++count;
            if (length <= 7) last_length = static_cast<int>(length);
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
            } else if (!(q > p && parse_real(std::string_view(p, static_cast<std::size_t>(q - p)), v))) {
                if (scan.first_bad < 0) scan.first_bad = static_cast<std::int32_t>(count);
            } else if (v < 0.0 && scan.first_negative < 0) {
                scan.first_negative = static_cast<std::int32_t>(count);
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

namespace {

// Lists are read in pieces of about this many characters.
constexpr std::size_t piece_length = std::size_t{1} << 18;

// Where the piece that starts at `from` ends: the first place at or after
// from + piece_length where a field begins after a separator (a character
// that is no blank or tab after a blank, tab or comma), or the end. A piece
// read alone then gives the fields the whole list gives there.
std::size_t piece_end(std::string_view text, std::size_t from) {
    for (std::size_t i = from + piece_length; i < text.size(); ++i)
        if (is_separator(text[i - 1]) && !is_blank_or_tab(text[i])) return i;
    return text.size();
}

// A piece's scan added to the whole list's, its fields after `before`.
void add_piece(FieldScan& all, const FieldScan& piece, std::int32_t before) {
    if (all.first_bad < 0 && piece.first_bad >= 0) all.first_bad = before + piece.first_bad;
    if (all.first_negative < 0 && piece.first_negative >= 0)
        all.first_negative = before + piece.first_negative;
    all.count = before + piece.count;
}

}  // namespace

FieldScan read_list(std::string_view text, Values& values, std::int32_t cap) {
    FieldScan all;
    const auto most = static_cast<std::size_t>(std::max(cap, 0));
    values.clear();
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t to = piece_end(text, from);
        const std::string_view piece = text.substr(from, to - from);
        const std::size_t kept = values.size();
        // A field and its separator take two characters, but for runs of commas.
        std::size_t room = std::min(most - kept, piece.size() / 2 + 1);
        values.resize(kept + room);
        FieldScan scan = read_number_fields(piece, std::span(values).subspan(kept));
        const auto count = static_cast<std::size_t>(scan.count);
        if (count > room && room < most - kept) {
            room = std::min(most - kept, count);
            values.resize(kept + room);
            scan = read_number_fields(piece, std::span(values).subspan(kept));
        }
        values.resize(kept + std::min(room, count));
        add_piece(all, scan, all.count);
        from = to;
    }
    return all;
}

void for_each_list_piece(
    std::string_view text, std::span<double> room,
    const std::function<void(std::span<const double>, const FieldScan&, std::int32_t)>& take) {
    std::int32_t before = 0;
    for (std::size_t from = 0; from < text.size();) {
        // A piece of more fields than the room would leave some unread: no
        // field begins between room.size() characters on and the piece's end.
        std::size_t to = piece_end(text, from);
        if (!room.empty() && to - from > room.size()) {
            to = from + room.size();
            while (to < text.size() && !(is_separator(text[to - 1]) && !is_blank_or_tab(text[to])))
                ++to;
        }
        const FieldScan scan = read_number_fields(text.substr(from, to - from), room);
        take(room.first(std::min(room.size(), static_cast<std::size_t>(scan.count))), scan,
             before);
        before += scan.count;
        from = to;
    }
}

}  // namespace orvalt::xrdml

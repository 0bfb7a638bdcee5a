// Text in fixed fields: the trimmed length, the fields themselves wherever a
// text lives in a blank-padded field, and the doubling of backslashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvalt {

// Position (1-based) of the last character that is not a blank, tab or NUL;
// 0 when there is none.
int trimmed_length(std::string_view text);

// The text up to its trimmed length.
std::string_view trimmed(std::string_view text);

// A field of exactly `length` characters: `text` cut to it or padded with `pad`.
std::string field(std::string_view text, std::size_t length, char pad = ' ');

// Overwrites `dest` (keeping its length) with `text`, cut or blank-padded.
void set_field(std::string& dest, std::string_view text);

// Text from outside (a file name, an attribute) made fit to stand on one
// line of an output file or of the console: every control character, C0
// (line ends and ESC among them), DEL and C1 (U+0080 to U+009F in UTF-8), as
// "?"; anything else as it stands.
std::string one_line(std::string_view text);

// Writes every backslash of the first n characters of source twice into the
// first n positions of result (positions beyond n untouched); returns result.
std::string& double_backslashes(std::string& result, std::string_view source, std::int32_t n);

}  // namespace orvalt

// The framed program header.
#include "g_f/header.h"

#include <algorithm>
#include <array>
#include <string>

#include "g_f/console.h"
#include "g_f/frame_chars.h"

namespace orvalt {

namespace {

std::string repeated(const std::string& piece, std::size_t count) {
    std::string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

}  // namespace

void prog_header(Console& con, std::string_view name, std::string_view description,
                 std::string_view author, std::string_view date, std::int32_t mode,
                 std::int32_t& unit) {
    if (mode != 0 && mode != 1) say_integer(con, "prog_header: Warning, unrecognised mode = ", mode);

    // top-left, top-right, bottom-left, bottom-right, horizontal, vertical
    std::array<std::string, 6> frame{"*", "*", "*", "*", "*", "*"};
    if (mode == 1) frame = box_frame_chars();

    // Widths count characters: each frame piece is one column whatever its bytes.
    const std::size_t w1 = name.size() + 3 + description.size();
    const std::size_t w2 = author.size() + date.size();
    const std::size_t w = std::max(w1, w2);
    const std::size_t big_w = w + 4;
    if (big_w > 80) fail(con, "**ERROR in prog_header : line is too long");
    if (unit == 0) unit = 6;

    const std::string& vertical = frame[5];
    const std::string horizontal = repeated(frame[4], big_w - 2);
    std::string line;

    say_line(con, frame[0] + horizontal + frame[1]);

    line = vertical + ' ';
    line += name;
    line += " : ";
    line += description;
    line += std::string(w - w1, ' ') + ' ' + vertical;
    say_line(con, line);

    line = vertical + ' ';
    line += author;
    line += std::string(w - w2, ' ');
    line += date;
    line += ' ' + vertical;
    say_line(con, line);

    say_line(con, frame[2] + horizontal + frame[3]);
    con.out << '\n';
    con.out.flush();
}

}  // namespace orvalt

// The header's frame characters, in the character set of each platform's console.
#include "g_f/frame_chars.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvalt {

const std::array<std::string, 6>& box_frame_chars() {
    static const std::array<std::string, 6> utf8{"\u250C", "\u2510", "\u2514",
                                                 "\u2518", "\u2500", "\u2502"};
#ifdef _WIN32
    // Written to a file or a pipe, the frame is in code page 437, as a
    // Windows console of the old kind shows these single bytes; written to
    // the console itself, it goes as every text there, from UTF-8 (see
    // console_session.cpp).
    static const std::array<std::string, 6> cp437{"\xDA", "\xBF", "\xC0", "\xD9", "\xC4", "\xB3"};
    DWORD mode = 0;
    static const bool to_console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    if (!to_console) return cp437;
#endif
    return utf8;
}

}  // namespace orvalt

// The header's frame characters, in the character set of each platform's console.
#include "g_f/frame_chars.h"

namespace orvalt {

const std::array<std::string, 6>& box_frame_chars() {
#ifdef _WIN32
    // The Windows console shows code page 437, where these single bytes are the frame.
    static const std::array<std::string, 6> chars{"\xDA", "\xBF", "\xC0", "\xD9", "\xC4", "\xB3"};
#else
    static const std::array<std::string, 6> chars{"\u250C", "\u2510", "\u2514",
                                                  "\u2518", "\u2500", "\u2502"};
#endif
    return chars;
}

}  // namespace orvalt

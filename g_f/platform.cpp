// Platform-specific pieces: the header's frame characters and file-system queries.
#include "g_f/platform.h"

#include <filesystem>
#include <system_error>

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

std::string full_file_name(std::string_view name) {
    if (name.empty()) return std::string();
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(name), ec);
    if (ec) return std::string(name);
    return p.lexically_normal().string();
}

bool file_exists(std::string_view name) {
    if (name.empty()) return false;
    std::error_code ec;
    const auto st = std::filesystem::status(std::filesystem::path(name), ec);
    if (ec) return false;
    return std::filesystem::exists(st) && !std::filesystem::is_directory(st);
}

}  // namespace orvalt

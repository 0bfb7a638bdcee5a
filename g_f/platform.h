// Everything that differs between the platforms ORVALT ships on.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace orvalt {

// The six frame characters of a box-drawing header, in the order top-left,
// top-right, bottom-left, bottom-right, horizontal, vertical: CP437 bytes on
// Windows, UTF-8 box-drawing characters elsewhere. Each counts as one column.
const std::array<std::string, 6>& box_frame_chars();

// The absolute, normalised form of a file name.
std::string full_file_name(std::string_view name);

// True when `name` names an existing file that is not a directory.
bool file_exists(std::string_view name);

}  // namespace orvalt

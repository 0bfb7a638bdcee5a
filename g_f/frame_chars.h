// The frame characters of the program header, which differ between the
// platforms' consoles.
#pragma once

#include <array>
#include <string>

namespace orvalt {

// The six frame characters of a box-drawing header, in the order top-left,
// top-right, bottom-left, bottom-right, horizontal, vertical: on Windows CP437
// bytes unless the output is the console, UTF-8 box-drawing characters
// otherwise. Each counts as one column.
const std::array<std::string, 6>& box_frame_chars();

}  // namespace orvalt

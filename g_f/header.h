// The framed program header.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvalt {

struct Console;

// mode 0 frames with asterisks, 1 with box-drawing characters (anything else
// is warned about and drawn as 0). A frame wider than 80 stops the program.
// unit 0 stands for the console and comes back as 6; the lines always go to
// the console.
void prog_header(Console& con, std::string_view name, std::string_view description,
                 std::string_view author, std::string_view date, std::int32_t mode,
                 std::int32_t& unit);

}  // namespace orvalt

// Looking at a picture as a person would: the SVG rendered by a real
// renderer (rsvg-convert) into a PNG, whose pixels the tests read; and the
// SVG checked to be well-formed XML by a parser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvalt::test {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, three bytes a pixel
    Rgb at(int x, int y) const;
};

// True when the renderer can be started here; the picture tests skip
// otherwise (the project's set-up installs it on Linux).
bool renderer_available();

// Renders the SVG file into a picture; false (with a message) when the
// renderer fails or its PNG cannot be read.
bool render(const std::string& svg_path, Picture& picture, std::string& message);

// Empty when the text is well-formed XML; otherwise the parser's complaint.
std::string xml_error(const std::string& text);

// Distance between two colours (largest difference of a channel).
int colour_distance(Rgb a, Rgb b);
Rgb colour(const std::string& hex);  // "#rrggbb"

}  // namespace orvalt::test

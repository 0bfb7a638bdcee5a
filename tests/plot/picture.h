// Looking at a picture as a person would: the SVG rendered by a real
// renderer (rsvg-convert) into a PNG, whose pixels the tests read; and the
// SVG checked to be well-formed XML by a parser.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <utility>
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

// The same through a real browser: headless Chromium, started with a new
// empty profile and nothing that reaches the network, its screenshot of the
// SVG at the picture's size. browser_available() is false where it cannot
// be had (the tests then say so loudly and skip).
bool browser_available();
bool render_in_browser(const std::string& svg_path, int width, int height, Picture& picture,
                       std::string& message);

// Empty when the text is well-formed XML; otherwise the parser's complaint.
std::string xml_error(const std::string& text);

// The points of scan `scan`'s path in tenths of a pixel, each relative move
// added up; `whole` when the path read to its end.
std::vector<std::pair<int, int>> drawn_points(const std::string& svg, int scan, bool& whole);

// The columns a series' line is drawn through, in pixels, read from the SVG
// text: each vertical stretch of the path (or lone point) at one x.
struct DrawnColumn {
    double x = 0.0, y_low = 0.0, y_high = 0.0;
};
std::vector<DrawnColumn> drawn_columns(const std::string& svg, int scan);

// A linear axis as the picture's tick marks and their labels give it:
// pixel = a + b * value. False when fewer than two ticks are found.
struct AxisMap {
    double a = 0.0, b = 1.0;
    double operator()(double v) const { return a + b * v; }
};
bool axis_maps(const std::string& svg, AxisMap& x, AxisMap& y);

// The farthest any point (x, y in data units) lies from the nearest drawn
// column, in pixels.
double farthest_from_columns(const std::vector<DrawnColumn>& columns, const AxisMap& mx,
                             const AxisMap& my, const std::vector<double>& x,
                             const std::vector<double>& y);

// Distance between two colours (largest difference of a channel).
int colour_distance(Rgb a, Rgb b);
Rgb colour(const std::string& hex);  // "#rrggbb"

}  // namespace orvalt::test

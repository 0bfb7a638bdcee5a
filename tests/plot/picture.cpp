#include "tests/plot/picture.h"

#include <expat.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>

namespace orvalt::test {

Rgb Picture::at(int x, int y) const {
    const auto i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

bool renderer_available() {
    static const bool found = std::system("rsvg-convert --version >/dev/null 2>&1") == 0;
    return found;
}

namespace {

bool read_png(const std::string& png, Picture& picture, std::string& message) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, png.c_str()) == 0) {
        message = "unreadable PNG " + png;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) == 0) {
        message = std::string("PNG not decoded: ") + image.message;
        return false;
    }
    return true;
}

const char* const browser_command =
    "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
    "--disable-background-networking --disable-component-update --disable-sync "
    "--hide-scrollbars";

}  // namespace

bool render(const std::string& svg_path, Picture& picture, std::string& message) {
    const std::string png = svg_path + ".png";
    const std::string command = "rsvg-convert --background-color=white -o '" + png + "' '" +
                                svg_path + "' 2>'" + png + ".err'";
    if (std::system(command.c_str()) != 0) {
        message = "rsvg-convert failed on " + svg_path;
        return false;
    }
    return read_png(png, picture, message);
}

bool browser_available() {
    static const bool found = std::system("chromium --version >/dev/null 2>&1") == 0;
    return found;
}

bool render_in_browser(const std::string& svg_path, int width, int height, Picture& picture,
                       std::string& message) {
    const std::string png = svg_path + ".chromium.png";
    const std::string profile = svg_path + ".chromium-profile";
    std::filesystem::remove_all(profile);
    std::filesystem::create_directories(profile);
    const std::string command = std::string("timeout 120 ") + browser_command +
                                " --user-data-dir='" + profile + "' --window-size=" +
                                std::to_string(width) + "," + std::to_string(height) +
                                " --screenshot='" + png + "' 'file://" + svg_path + "' >'" + png +
                                ".log' 2>&1";
    const int status = std::system(command.c_str());
    std::filesystem::remove_all(profile);
    if (status != 0) {
        message = "chromium failed on " + svg_path + " (its output: " + png + ".log)";
        return false;
    }
    return read_png(png, picture, message);
}

std::string xml_error(const std::string& text) {
    const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate(nullptr), &XML_ParserFree);
    if (XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), 1) ==
        XML_STATUS_OK)
        return {};
    return std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
           std::to_string(XML_GetCurrentLineNumber(parser.get()));
}

int colour_distance(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

Rgb colour(const std::string& hex) {
    const auto v = std::strtoul(hex.c_str() + 1, nullptr, 16);
    return {static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255),
            static_cast<int>(v & 255)};
}

std::vector<std::pair<int, int>> drawn_points(const std::string& svg, int scan, bool& whole) {
    std::vector<std::pair<int, int>> points;
    whole = false;
    const std::string key = "data-scan=\"" + std::to_string(scan) + "\" d=\"";
    const std::size_t at = svg.find(key);
    if (at == std::string::npos) return points;
    const std::size_t from = at + key.size();
    std::istringstream d(svg.substr(from, svg.find('"', from) - from));
    int px = 0, py = 0;
    char command = 0;
    while (d >> command) {
        int a = 0, b = 0;
        if (command == 'M' || command == 'l') d >> a >> b;
        else d >> a;
        if (command == 'M') px = a, py = b;
        if (command == 'l') px += a, py += b;
        if (command == 'h') px += a;
        if (command == 'v') py += a;
        points.push_back({px, py});
    }
    whole = d.eof();
    return points;
}

std::vector<DrawnColumn> drawn_columns(const std::string& svg, int scan) {
    std::vector<DrawnColumn> out;
    bool whole = false;
    for (const auto& [px, py] : drawn_points(svg, scan, whole)) {
        const double x = px / 10.0, y = py / 10.0;
        if (!out.empty() && out.back().x == x) {
            out.back().y_low = std::min(out.back().y_low, y);
            out.back().y_high = std::max(out.back().y_high, y);
        } else {
            out.push_back({x, y, y});
        }
    }
    return out;
}

namespace {

// The number after `name="` in an element's text.
double attribute(const std::string& element, const std::string& name) {
    const std::size_t at = element.find(" " + name + "=\"");
    return at == std::string::npos ? NAN : std::strtod(element.c_str() + at + name.size() + 3, nullptr);
}

AxisMap map_of(const std::vector<std::pair<double, double>>& ticks) {  // value, pixel
    const auto& [v0, p0] = ticks.front();
    const auto& [v1, p1] = ticks.back();
    AxisMap m;
    m.b = (p1 - p0) / (v1 - v0);
    m.a = p0 - m.b * v0;
    return m;
}

}  // namespace

bool axis_maps(const std::string& svg, AxisMap& x, AxisMap& y) {
    // Tick marks: x ticks hang below the frame (y1 = bottom), y ticks stand
    // left of it (x2 = left); their labels follow in the same order.
    std::vector<double> x_marks, y_marks, x_values, y_values;
    std::istringstream lines(svg);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("<line ") && line.find("y2=\"536\"") != std::string::npos)
            x_marks.push_back(attribute(line, "x1"));
        else if (line.starts_with("<line y1=") && line.find("x2=\"90\"") != std::string::npos)
            y_marks.push_back(attribute(line, "y1"));
        else if (line.starts_with("<text ") && line.find("font-size=\"13\"") != std::string::npos) {
            const std::size_t open = line.find('>'), close = line.find("</text>");
            const double v = std::strtod(line.substr(open + 1, close - open - 1).c_str(), nullptr);
            if (line.find("text-anchor=\"middle\"") != std::string::npos) x_values.push_back(v);
            else if (line.find("text-anchor=\"end\"") != std::string::npos) y_values.push_back(v);
        }
    }
    if (x_marks.size() < 2 || y_marks.size() < 2 || x_values.size() != x_marks.size() ||
        y_values.size() != y_marks.size())
        return false;
    std::vector<std::pair<double, double>> xt, yt;
    for (std::size_t i = 0; i < x_marks.size(); ++i) xt.push_back({x_values[i], x_marks[i]});
    for (std::size_t i = 0; i < y_marks.size(); ++i) yt.push_back({y_values[i], y_marks[i]});
    x = map_of(xt);
    y = map_of(yt);
    return true;
}

double farthest_from_columns(const std::vector<DrawnColumn>& columns, const AxisMap& mx,
                             const AxisMap& my, const std::vector<double>& x,
                             const std::vector<double>& y) {
    // The columns by their x, for the nearest ones to a point.
    std::multimap<double, const DrawnColumn*> by_x;
    for (const DrawnColumn& c : columns) by_x.emplace(c.x, &c);
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        const double px = mx(x[i]), py = my(y[i]);
        double best = HUGE_VAL;
        for (auto it = by_x.lower_bound(px - 3.0); it != by_x.end() && it->first <= px + 3.0; ++it) {
            const DrawnColumn& c = *it->second;
            const double dy = py < c.y_low ? c.y_low - py : py > c.y_high ? py - c.y_high : 0.0;
            best = std::min(best, std::hypot(px - c.x, dy));
        }
        worst = std::max(worst, best);
    }
    return worst;
}

}  // namespace orvalt::test

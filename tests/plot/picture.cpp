#include "tests/plot/picture.h"

#include <expat.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

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

bool render(const std::string& svg_path, Picture& picture, std::string& message) {
    const std::string png = svg_path + ".png";
    const std::string command = "rsvg-convert --background-color=white -o '" + png + "' '" +
                                svg_path + "' 2>'" + png + ".err'";
    if (std::system(command.c_str()) != 0) {
        message = "rsvg-convert failed on " + svg_path;
        return false;
    }
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

}  // namespace orvalt::test

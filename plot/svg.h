// Pictures of spectra as SVG text: one spectrum with its error band, scans
// overlaid and told apart by colour, or the scans of a summing with the
// excluded ones dashed in grey and the sum drawn bold. The spectra are
// reduced to the picture's pixel columns as they are added, so a picture of
// many long scans stays small and never holds the scans themselves.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/axes.h"
#include "plot/reduce.h"

namespace orvalt::plot {

enum class Style {
    single,    // the one spectrum of the picture, with its error band
    scan,      // one of several scans, coloured by its number
    excluded,  // a scan left out of the sum: thin, grey, dashed
    sum,       // the sum of the scans: bold, with its error band
};

struct Series {
    std::int32_t scan = 0;  // its number in the file (legend, colour)
    Style style = Style::single;
    Reduced reduced;
    // The scan's temperature as it is to be read ("25 °C"), said of the
    // line under the pointer after its scan number; empty when unknown.
    std::string temperature;
};

// The picture's size and where its plot area lies, in pixels.
struct Frame {
    static constexpr int width = 960, height = 600;
    static constexpr int left = 90, right = 930, top = 64, bottom = 530;
    Axis x, y;
    double x_pixel(double v) const { return left + x.fraction(v) * (right - left); }
    // y keeps a margin inside the area, so that counts at either end of the
    // axis are not hidden by its frame. A log axis has no place for zero
    // (or negative) counts: they are drawn at a level of their own below its
    // lowest value, labelled 0, when the data hold such counts
    // (zero_level); otherwise such a value (an error band's foot) lies at the
    // axis's foot.
    static constexpr int margin = 6, zero_gap = 24;
    bool zero_level = false;
    double y_pixel(double v) const {
        const int gap = y.log && zero_level ? zero_gap : 0;
        if (y.log && !(v > 0.0)) return bottom - margin;
        return bottom - margin - gap - y.fraction(v) * (bottom - top - 2 * margin - gap);
    }
};

// The pixel columns of the plot area: how finely series are reduced.
inline constexpr std::int32_t plot_columns = Frame::right - Frame::left;

class Figure {
public:
    // First line: "NAME: TITLE", the input's name (shortened in its middle
    // where the line would not fit) and what was done with it; TITLE alone
    // when there is no name.
    std::string title_name;
    std::string title;
    std::string subtitle;  // second line, e.g. the wavelength (may be empty)
    std::string x_label, y_label;
    bool log_y = false;

    // Reduces the spectrum at once; e may be empty. Points that are not
    // finite are not drawn. `temperature` goes into Series::temperature.
    void add(std::int32_t scan, Style style, std::span<const double> x, std::span<const double> y,
             std::span<const double> e, std::string temperature = {});
    // The same for points spaced evenly, as a scan's are.
    void add(std::int32_t scan, Style style, EvenX x, std::span<const double> y,
             std::span<const double> e, std::string temperature = {});
    const std::vector<Series>& series() const { return series_; }

    // The axes for what has been added: x over every series, y over the
    // series that are not excluded scans (those only when there is nothing
    // else), which are drawn clipped at the frame where they leave it.
    Frame frame() const;
    // The whole SVG document.
    std::string svg() const;
    // The same written to a stream a series at a time, never held whole;
    // false when a write failed.
    bool write(std::FILE* stream) const;

private:
    // The document into `out`; spill, when given, is handed `out` after each
    // series and may empty it.
    void render(std::string& out, const std::function<void(std::string&)>& spill) const;
    std::vector<Series> series_;
};

// The colour of scan `scan` on the scale from scan `first` to scan `last`
// ("#rrggbb"), and the ones of the other styles.
std::string scan_colour(std::int32_t scan, std::int32_t first, std::int32_t last);
inline constexpr std::string_view single_colour = "#1f4e9c";
inline constexpr std::string_view excluded_colour = "#9a9a9a";
inline constexpr std::string_view sum_colour = "#000000";

// The fonts of every text, the first that has a glyph setting it: the
// labels hold Greek letters, "Å" and superscripts.
inline constexpr std::string_view picture_fonts =
    "DejaVu Sans, Liberation Sans, Arial, Noto Sans, sans-serif";

// Writes the picture to `path` as every output is written (a temporary,
// moved into place when whole). False with the system's error number.
bool write_svg(const std::string& path, const Figure& figure, int& error);

}  // namespace orvalt::plot

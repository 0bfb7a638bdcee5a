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
    // lowest power of ten, labelled 0.
    static constexpr int margin = 6, zero_gap = 24;
    double y_pixel(double v) const {
        if (y.log && !(v > 0.0)) return bottom - margin;
        const int gap = y.log ? zero_gap : 0;
        return bottom - margin - gap - y.fraction(v) * (bottom - top - 2 * margin - gap);
    }
};

// The pixel columns of the plot area: how finely series are reduced.
inline constexpr std::int32_t plot_columns = Frame::right - Frame::left;

class Figure {
public:
    std::string title;     // first line: the input's name and what was done with it
    std::string subtitle;  // second line, e.g. the wavelength (may be empty)
    std::string x_label, y_label;
    bool log_y = false;

    // Reduces the spectrum at once; e may be empty. Points that are not
    // finite are not drawn.
    void add(std::int32_t scan, Style style, std::span<const double> x, std::span<const double> y,
             std::span<const double> e);
    // The same for points spaced evenly, as a scan's are.
    void add(std::int32_t scan, Style style, EvenX x, std::span<const double> y,
             std::span<const double> e);
    const std::vector<Series>& series() const { return series_; }

    // The axes for what has been added.
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

// Writes the picture to `path` as every output is written (a temporary,
// moved into place when whole). False with the system's error number.
bool write_svg(const std::string& path, const Figure& figure, int& error);

}  // namespace orvalt::plot

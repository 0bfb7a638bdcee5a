// The SVG document of a Figure. Coordinates are written to a tenth of a
// pixel (tenths.h), every other number through the program's number layouts.
#include "plot/svg.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "g_f/numbers.h"
#include "g_f/staged_file.h"
#include "plot/labels.h"
#include "plot/tenths.h"

namespace orvalt::plot {

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

void px(std::string& out, double v) {
    char buf[16];
    out.append(buf, format_tenths_to(buf, v));
}

// The points of a path are many: they are written in whole tenths of a
// pixel (the path drawn at scale(0.1)), each but the first relative to the
// one before, so that most take a few characters, straight into their place.
class TenthsPath {
public:
    // Written into `scratch`, with room for `points` points, then appended
    // to `out` (a string's room would be filled with zeros first).
    TenthsPath(std::string& out, std::vector<char>& scratch, std::size_t points)
        : out_(out), scratch_(scratch) {
        if (scratch_.size() < room * points + 2) scratch_.resize(room * points + 2);
        pen_.p = scratch_.data();
    }
    void to(double x, double y) {
        Pen pen = pen_;  // a local copy: the stores through pen.p cannot reach it
        pen.to(round_to_tenths(x), round_to_tenths(y));
        pen_ = pen;
    }
    // Two points one above the other, as a column of a spectrum is drawn.
    void column(double x, double y1, double y2) {
        Pen pen = pen_;
        const std::int32_t to = round_to_tenths(y2);
        pen.to(round_to_tenths(x), round_to_tenths(y1));
        // Straight down or up from there, when it goes anywhere.
        if (to != pen.y) {
            pen.step(0, to - pen.y);
            pen.y = to;
        }
        pen_ = pen;
    }
    // A path of one point still shows, as a mark a tenth of a pixel long.
    void end(bool closed) {
        char*& p = pen_.p;
        if (closed) *p++ = 'Z';
        else if (pen_.started && pen_.segments == 0) *p++ = 'h', *p++ = '1';
        out_.append(scratch_.data(), static_cast<std::size_t>(p - scratch_.data()));
    }

private:
    static constexpr std::size_t room = 1 + 11 + 1 + 11;
    struct Pen {
        char* p = nullptr;
        std::int32_t x = 0, y = 0;
        bool started = false;
        std::size_t segments = 0;
        void to(std::int32_t nx, std::int32_t ny) {
            if (!started) {
                *p++ = 'M';
                p = format_tenths_count_to(p, nx);
                *p++ = ' ';
                p = format_tenths_count_to(p, ny);
                started = true;
            } else if (nx != x || ny != y) {
                step(nx - x, ny - y);
            }
            x = nx;
            y = ny;
        }
        void step(std::int32_t dx, std::int32_t dy) {
            ++segments;
            if (dx == 0) {
                *p++ = 'v';
            } else {
                *p++ = dy == 0 ? 'h' : 'l';
                p = format_tenths_count_to(p, dx);
                if (dy == 0) return;
                // A minus sign separates by itself, a blank the others.
                if (dy > 0) *p++ = ' ';
            }
            p = format_tenths_count_to(p, dy);
        }
    };
    std::string& out_;
    std::vector<char>& scratch_;
    Pen pen_;
};

// Line widths and dashes are given in tenths of a pixel, for the paths drawn
// in tenths, or in pixels.
void length(std::string& out, std::int32_t tenths, bool in_tenths) {
    char buf[16];
    out.append(buf, in_tenths ? format_tenths_count_to(buf, tenths)
                              : format_tenths_to(buf, tenths / 10.0));
}

bool has_band(Style s) { return s == Style::single || s == Style::sum; }

// "scan 3", "scan 3, 25 °C", "sum", "excluded scan 38".
std::string line_name(const Series& s) {
    std::string name = s.style == Style::sum ? "sum"
                       : s.scan > 0          ? "scan " + format_integer(s.scan)
                                             : "the spectrum";
    if (s.style == Style::excluded) name = "excluded " + name;
    if (!s.temperature.empty()) name += ", " + s.temperature;
    return name;
}

// Drawing order: what matters most is drawn last, on top.
int layer(Style s) {
    switch (s) {
        case Style::excluded: return 0;
        case Style::scan: return 1;
        case Style::single: return 2;
        case Style::sum: return 3;
    }
    return 0;
}

struct ScanRange {
    std::int32_t first = 0, last = 0, count = 0;
};

ScanRange coloured_scans(const std::vector<Series>& series) {
    ScanRange r{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), 0};
    for (const Series& s : series) {
        if (s.style != Style::scan) continue;
        r.first = std::min(r.first, s.scan);
        r.last = std::max(r.last, s.scan);
        ++r.count;
    }
    return r;
}

std::string text_element(double x, double y, std::string_view anchor, int size,
                         std::string_view text, std::string_view extra = {}) {
    std::string out = "<text x=\"";
    px(out, x);
    out += "\" y=\"";
    px(out, y);
    out += "\" text-anchor=\"";
    out += anchor;
    out += "\" font-size=\"" + format_integer(size) + "\"";
    if (!extra.empty()) {
        out += ' ';
        out += extra;
    }
    out += '>' + xml_text(text) + "</text>\n";
    return out;
}

std::string stroke_of(const Series& s, const ScanRange& scans, bool in_tenths) {
    std::string out = "stroke=\"";
    std::int32_t width = 12;
    switch (s.style) {
        case Style::single: out += single_colour; break;
        case Style::scan: out += scan_colour(s.scan, scans.first, scans.last); break;
        case Style::excluded: out += excluded_colour, width = 10; break;
        case Style::sum: out += sum_colour, width = 24; break;
    }
    out += "\" stroke-width=\"";
    length(out, width, in_tenths);
    out += '"';
    if (s.style == Style::excluded) {
        out += " stroke-dasharray=\"";
        length(out, 60, in_tenths);
        out += ' ';
        length(out, 40, in_tenths);
        out += '"';
    }
    return out;
}

// The line through a series' merged columns, each drawn as its extremes one
// above the other, in the order they came, so that the line goes on from
// where the column ended. xc and yp map a column and a value to pixels.
template <class XPixel, class YPixel>
void draw_line(TenthsPath& line, const Reduced& r, const Frame& f, XPixel xc, YPixel yp) {
    for_each_merged(r, f.x.low, f.x.high, plot_columns,
                    [&line, xc, yp](const Column& c, const BandColumn&) {
                        line.column(xc(c), yp(c.y_from), yp(c.y_to));
                    });
}

void draw_series(std::string& out, std::vector<char>& scratch, const Series& s, const Frame& f,
                 const ScanRange& scans) {
    const std::size_t n = s.reduced.runs();
    if (n == 0) return;
    // On linear axes a pixel is a + b * v, worked out once per series.
    const double xa = f.x_pixel(0.0), xb = f.x_pixel(1.0) - xa;
    // Captured by value: the text is written through char pointers, which
    // could otherwise reach anything captured by reference.
    auto xc = [xa, xb](const Column& c) {
        return xa + xb * (0.5 * (static_cast<double>(c.x_first) + c.x_last));
    };
    const double ya = f.y_pixel(0.0), yb = f.y_pixel(1.0) - ya;
    const auto linear = [ya, yb](double v) { return ya + yb * v; };
    const auto logarithmic = [frame = &f](double v) { return frame->y_pixel(v); };
    auto yp = [linear, logarithmic, log = f.y.log](double v) {
        return log ? logarithmic(v) : linear(v);
    };
    if (has_band(s.style)) {
        // The band's outline goes along its top and back along its bottom.
        std::vector<std::pair<double, BandColumn>> cols;
        for_each_merged(s.reduced, f.x.low, f.x.high, plot_columns,
                        [&](const Column& c, const BandColumn& b) { cols.emplace_back(xc(c), b); });
        out += "<path transform=\"scale(0.1)\" fill=\"";
        out += s.style == Style::sum ? sum_colour : single_colour;
        out += "\" fill-opacity=\"0.22\" stroke=\"none\" d=\"";
        TenthsPath band(out, scratch, 2 * cols.size());
        for (const auto& [x, b] : cols) band.to(x, yp(b.high));
        for (auto c = cols.rbegin(); c != cols.rend(); ++c) band.to(c->first, yp(c->second.low));
        band.end(true);
        out += "\"/>\n";
    }
    // Round joins for the one spectrum or the sum; the many thin scans of an
    // overlay get bevelled ones, which a browser draws in half the time and
    // which look the same at their width.
    out += "<path transform=\"scale(0.1)\" fill=\"none\" stroke-linejoin=\"";
    out += has_band(s.style) ? "round" : "bevel";
    out += "\" " + stroke_of(s, scans, true);
    out += " data-scan=\"" + format_integer(s.scan) + "\" d=\"";
    TenthsPath line(out, scratch, 2 * n);
    // The axis's kind decided once for the series, not at every point.
    if (f.y.log) draw_line(line, s.reduced, f, xc, logarithmic);
    else draw_line(line, s.reduced, f, xc, linear);
    line.end(false);
    // What a browser names the line by under the pointer.
    out += "\"><title>" + xml_text(line_name(s)) + "</title></path>\n";
}

// A legend of up to this many scans names each; more get a colour scale.
constexpr std::int32_t legend_scans = 10;

// The room of the title's and subtitle's lines: the picture's width right of
// the plot area's left edge, less the colour scale's where it stands.
constexpr double title_room = Frame::width - Frame::left - 10;
constexpr double scale_left = Frame::right - 220 - 60;

void draw_axes(std::string& out, const Figure& fig, Frame f, bool colour_scale) {
    if (f.y.log && f.zero_level) f.y.ticks.insert(f.y.ticks.begin(), Tick{0.0, "0"});
    out += "<rect x=\"" + format_integer(Frame::left) + "\" y=\"" + format_integer(Frame::top) +
           "\" width=\"" + format_integer(Frame::right - Frame::left) + "\" height=\"" +
           format_integer(Frame::bottom - Frame::top) +
           "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
    out += "<g stroke=\"#000000\" stroke-width=\"1\">\n";
    for (const Tick& t : f.x.ticks) {
        out += "<line x1=\"";
        px(out, f.x_pixel(t.value));
        out += "\" x2=\"";
        px(out, f.x_pixel(t.value));
        out += "\" y1=\"" + format_integer(Frame::bottom) + "\" y2=\"" +
               format_integer(Frame::bottom + 6) + "\"/>\n";
    }
    for (const Tick& t : f.y.ticks) {
        out += "<line y1=\"";
        px(out, f.y_pixel(t.value));
        out += "\" y2=\"";
        px(out, f.y_pixel(t.value));
        out += "\" x1=\"" + format_integer(Frame::left - 6) + "\" x2=\"" +
               format_integer(Frame::left) + "\"/>\n";
    }
    out += "</g>\n<g font-family=\"" + std::string(picture_fonts) + "\" fill=\"#000000\">\n";
    for (const Tick& t : f.x.ticks)
        out += text_element(f.x_pixel(t.value), Frame::bottom + 22, "middle", 13, t.label);
    for (const Tick& t : f.y.ticks)
        out += text_element(Frame::left - 9, f.y_pixel(t.value) + 4.5, "end", 13, t.label);
    out += text_element(0.5 * (Frame::left + Frame::right), Frame::height - 16, "middle", 15,
                        fig.x_label);
    const double mid = 0.5 * (Frame::top + Frame::bottom);
    out += text_element(22, mid, "middle", 15, fig.y_label,
                        "transform=\"rotate(-90 22 " + format_fixed(mid, 1) + ")\"");
    // The name gives way first, in its middle: what was drawn stays whole.
    std::string title = fig.title;
    if (!fig.title_name.empty()) {
        const double rest = text_width(": " + fig.title, 17, true);
        title = shortened(fig.title_name, 17, std::max(title_room - rest, 120.0), true) + ": " +
                fig.title;
    }
    out += text_element(Frame::left, 26, "start", 17, shortened(title, 17, title_room, true),
                        "font-weight=\"bold\"");
    const double subtitle_room = colour_scale ? scale_left - Frame::left : title_room;
    if (!fig.subtitle.empty())
        out += text_element(Frame::left, 48, "start", 13,
                            shortened(fig.subtitle, 13, subtitle_room));
    out += "</g>\n";
}


// An excluded scan that rises above the frame gets a grey mark on its top
// edge where it is highest, naming it and how high it goes. True when any did.
bool mark_clipped(std::string& out, const std::vector<Series>& series, const Frame& f) {
    bool any = false;
    for (const Series& s : series) {
        if (s.style != Style::excluded || !(s.reduced.bounds.y_high > f.y.high)) continue;
        double x = 0.0, high = -inf;
        for_each_merged(s.reduced, f.x.low, f.x.high, plot_columns,
                        [&](const Column& c, const BandColumn&) {
                            if (c.high() > high) {
                                high = c.high();
                                x = 0.5 * (static_cast<double>(c.x_first) + c.x_last);
                            }
                        });
        const double at = f.x_pixel(x);
        out += "<path fill=\"" + std::string(excluded_colour) + "\" d=\"M";
        px(out, at - 5);
        out += ' ';
        px(out, Frame::top + 8);
        out += 'L';
        px(out, at);
        out += ' ';
        px(out, Frame::top + 1);
        out += 'L';
        px(out, at + 5);
        out += ' ';
        px(out, Frame::top + 8);
        out += "Z\"><title>" +
               xml_text(line_name(s) + " rises to " + format_significant(s.reduced.bounds.y_high, 6) +
                        ", off the scale") +
               "</title></path>\n";
        any = true;
    }
    return any;
}

void draw_legend(std::string& out, const std::vector<Series>& series, const ScanRange& scans,
                 bool clipped) {
    std::vector<std::pair<std::string, std::string>> entries;  // stroke, text
    if (scans.count > 0 && scans.count <= legend_scans) {
        for (const Series& s : series)
            if (s.style == Style::scan)
                entries.emplace_back(stroke_of(s, scans, false), "scan " + format_integer(s.scan));
    }
    std::vector<std::int32_t> excluded;
    const Series* probe = nullptr;  // one of them, for the style
    for (const Series& s : series) {
        if (s.style != Style::excluded) continue;
        excluded.push_back(s.scan);
        probe = &s;
    }
    std::sort(excluded.begin(), excluded.end());
    if (probe != nullptr)
        entries.emplace_back(stroke_of(*probe, scans, false),
                             "excluded" +
                                 (excluded.size() > 1
                                      ? " (" + format_integer(static_cast<std::int32_t>(excluded.size())) + ")"
                                      : std::string()) +
                                 ": " + scan_ranges(excluded) + (clipped ? ", off the scale" : ""));
    for (const Series& s : series)
        if (s.style == Style::sum) entries.emplace_back(stroke_of(s, scans, false), "sum");
    if (!entries.empty()) {
        // The texts fit the box, the box the plot area's right part.
        constexpr double widest = 420.0, text_left = 36.0, pad = 10.0;
        double longest = 0.0;
        for (auto& e : entries) {
            e.second = shortened(e.second, 12, widest - text_left - pad);
            longest = std::max(longest, text_width(e.second, 12));
        }
        const double w = std::min(text_left + pad + longest, widest);
        const double x0 = Frame::right - 10 - w, y0 = Frame::top + 10;
        out += "<g font-family=\"" + std::string(picture_fonts) + "\" font-size=\"12\">\n<rect x=\"";
        px(out, x0);
        out += "\" y=\"";
        px(out, y0);
        out += "\" width=\"";
        px(out, w);
        out += "\" height=\"" + format_integer(static_cast<std::int32_t>(entries.size() * 18 + 8)) +
               "\" fill=\"#ffffff\" fill-opacity=\"0.85\" stroke=\"#808080\" stroke-width=\"0.5\"/>\n";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const double y = y0 + 16 + 18.0 * static_cast<double>(i);
            out += "<line x1=\"";
            px(out, x0 + 6);
            out += "\" x2=\"";
            px(out, x0 + 30);
            out += "\" y1=\"";
            px(out, y - 4);
            out += "\" y2=\"";
            px(out, y - 4);
            out += "\" " + entries[i].first + "/>\n";
            out += text_element(x0 + 36, y, "start", 12, entries[i].second);
        }
        out += "</g>\n";
    }
    if (scans.count > legend_scans) {
        // The colour scale above the plot area, scan numbers at its ends.
        constexpr int x0 = Frame::right - 220, w = 200, y0 = 36, h = 10;
        out += "<defs><linearGradient id=\"scans\" x1=\"0\" x2=\"1\" y1=\"0\" y2=\"0\">\n";
        for (int k = 0; k <= 8; ++k) {
            out += "<stop offset=\"" + format_fixed(k / 8.0, 3) + "\" stop-color=\"" +
                   scan_colour(k, 0, 8) + "\"/>\n";
        }
        out += "</linearGradient></defs>\n<rect x=\"" + format_integer(x0) + "\" y=\"" +
               format_integer(y0) + "\" width=\"" + format_integer(w) + "\" height=\"" +
               format_integer(h) + "\" fill=\"url(#scans)\"/>\n<g font-family=\"" +
               std::string(picture_fonts) + "\">\n";
        out += text_element(x0 - 6, y0 + 9, "end", 12, "scan " + format_integer(scans.first));
        out += text_element(x0 + w + 6, y0 + 9, "start", 12, format_integer(scans.last));
        out += "</g>\n";
    }
}

}  // namespace

std::string scan_colour(std::int32_t scan, std::int32_t first, std::int32_t last) {
    // Dark blue through green and orange to red: distinct from the grey of
    // excluded scans and the black of a sum.
    static constexpr std::array<std::array<double, 3>, 5> stops{{
        {48, 18, 110}, {30, 110, 220}, {20, 165, 110}, {235, 150, 20}, {190, 25, 30}}};
    const double t =
        last > first ? std::clamp(static_cast<double>(scan - first) / (last - first), 0.0, 1.0) : 0.0;
    const double pos = t * (stops.size() - 1);
    const auto k = std::min(static_cast<std::size_t>(pos), stops.size() - 2);
    const double f = pos - static_cast<double>(k);
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "#";
    for (std::size_t c = 0; c < 3; ++c) {
        const auto v = static_cast<int>(std::lround(stops[k][c] + f * (stops[k + 1][c] - stops[k][c])));
        out += hex[v / 16];
        out += hex[v % 16];
    }
    return out;
}

void Figure::add(std::int32_t scan, Style style, std::span<const double> x,
                 std::span<const double> y, std::span<const double> e, std::string temperature) {
    series_.push_back({scan, style,
                       reduce(x, y, has_band(style) ? e : std::span<const double>(), plot_columns),
                       std::move(temperature)});
}

void Figure::add(std::int32_t scan, Style style, EvenX x, std::span<const double> y,
                 std::span<const double> e, std::string temperature) {
    series_.push_back({scan, style,
                       reduce(x, y, has_band(style) ? e : std::span<const double>(), plot_columns),
                       std::move(temperature)});
}

Frame Figure::frame() const {
    // Excluded scans give way to what is summed: they may be far stronger.
    const bool only_excluded = std::all_of(series_.begin(), series_.end(), [](const Series& s) {
        return s.style == Style::excluded;
    });
    double x_lo = inf, x_hi = -inf, y_lo = inf, y_hi = -inf, y_pos = inf, y_least = inf;
    for (const Series& s : series_) {
        const Bounds& b = s.reduced.bounds;
        x_lo = std::min(x_lo, b.x_low);
        x_hi = std::max(x_hi, b.x_high);
        if (s.style == Style::excluded && !only_excluded) continue;
        y_lo = std::min(y_lo, b.y_low);
        y_hi = std::max(y_hi, b.y_high);
        y_pos = std::min(y_pos, b.y_positive);
        y_least = std::min(y_least, b.y_least);
    }
    if (x_lo > x_hi) x_lo = x_hi = 0.0;
    if (y_lo > y_hi) y_lo = y_hi = 0.0;
    Frame f;
    f.x = linear_axis(x_lo, x_hi, 8);
    f.y = log_y ? log_axis(y_pos == inf ? 0.0 : y_pos, y_hi) : linear_axis(y_lo, y_hi, 6);
    f.zero_level = log_y && y_least <= 0.0;
    return f;
}

std::string Figure::svg() const {
    std::string out;
    render(out, {});
    return out;
}

bool Figure::write(std::FILE* stream) const {
    // Written in pieces of a quarter of a megabyte or so: few system calls,
    // little memory.
    constexpr std::size_t piece = 256 * 1024;
    bool ok = true;
    const auto put = [&](std::string& text) {
        ok = ok && std::fwrite(text.data(), 1, text.size(), stream) == text.size();
        text.clear();
    };
    std::string out;
    out.reserve(piece + 64 * 1024);
    render(out, [&](std::string& text) {
        if (text.size() >= piece) put(text);
    });
    put(out);
    return ok;
}

void Figure::render(std::string& out, const std::function<void(std::string&)>& spill) const {
    const Frame f = frame();
    const ScanRange scans = coloured_scans(series_);
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
        format_integer(Frame::width) + "\" height=\"" + format_integer(Frame::height) +
        "\" viewBox=\"0 0 " + format_integer(Frame::width) + ' ' + format_integer(Frame::height) +
        "\">\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
        "<clipPath id=\"area\"><rect x=\"" + format_integer(Frame::left) + "\" y=\"" +
        format_integer(Frame::top - 2) + "\" width=\"" + format_integer(Frame::right - Frame::left) +
        "\" height=\"" + format_integer(Frame::bottom - Frame::top + 4) + "\"/></clipPath>\n";
    draw_axes(out, *this, f, scans.count > legend_scans);
    out += "<g clip-path=\"url(#area)\">\n";
    std::vector<const Series*> order;
    for (const Series& s : series_) order.push_back(&s);
    std::stable_sort(order.begin(), order.end(), [](const Series* a, const Series* b) {
        return layer(a->style) < layer(b->style);
    });
    std::vector<char> scratch;  // each path's text, before it joins the document
    for (const Series* s : order) {
        draw_series(out, scratch, *s, f, scans);
        if (spill) spill(out);
    }
    out += "</g>\n";
    const bool clipped = mark_clipped(out, series_, f);
    draw_legend(out, series_, scans, clipped);
    out += "</svg>\n";
}

bool write_svg(const std::string& path, const Figure& figure, int& error) {
    StagedFile file;
    if (!file.create(path, false, error)) return false;
    if (!figure.write(file.stream())) {
        error = errno != 0 ? errno : EIO;
        file.abandon();
        return false;
    }
    return file.commit(error);
}

}  // namespace orvalt::plot

// The pictures as a person sees them: rendered by rsvg-convert, checked on
// their pixels; and the pieces that decide what is drawn (reduction, ticks).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "plot/labels.h"
#include "plot/svg.h"
#include "plot/tenths.h"
#include "tests/plot/picture.h"
#include "tests/support.h"

namespace orvalt::plot {
namespace {

using test::colour;
using test::colour_distance;
using test::Picture;
using test::TempDir;

struct Spectrum {
    std::vector<double> x, y, e;
};

// Points from x0 to x1 (step dx) on a flat background with Gaussian peaks.
Spectrum spectrum(double x0, double x1, double dx, double background,
                  std::vector<std::pair<double, double>> peaks) {
    Spectrum s;
    for (double x = x0; x <= x1 + 1e-9; x += dx) {
        double y = background;
        for (const auto& [at, height] : peaks) y += height * std::exp(-(x - at) * (x - at) / 0.02);
        s.x.push_back(x);
        s.y.push_back(y);
        s.e.push_back(std::sqrt(y));
    }
    return s;
}

Picture rendered(const Figure& fig, const TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name);
    int error = 0;
    EXPECT_TRUE(write_svg(path, fig, error)) << error;
    Picture pic;
    std::string message;
    EXPECT_TRUE(test::render(path, pic, message)) << message;
    return pic;
}

// The topmost pixel of the plot area's column x that is not white (-1 if none).
// Error bands, drawn pale, are passed over unless `least` is lowered.
int top_of(const Picture& pic, int x, int least = 90) {
    for (int y = Frame::top + 1; y < Frame::bottom; ++y)
        if (colour_distance(pic.at(x, y), {255, 255, 255}) > least) return y;
    return -1;
}

// How much of colour `hex` over white the pixel shows (1: the colour itself,
// less where a line's edge is smoothed), or -1 when it is another colour.
double share_of(test::Rgb pixel, const std::string& hex) {
    const test::Rgb c = colour(hex);
    const double u[3] = {255.0 - pixel.r, 255.0 - pixel.g, 255.0 - pixel.b};
    const double v[3] = {255.0 - c.r, 255.0 - c.g, 255.0 - c.b};
    const double a = (u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) / (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; ++k)
        if (std::abs(u[k] - a * v[k]) > 14.0) return -1.0;
    return a;
}

// The topmost drawn pixel of a column, and whether it shows `hex` strongly.
void expect_top(const Picture& pic, double x, double y, const std::string& hex,
                const std::string& what) {
    const int col = static_cast<int>(std::lround(x));
    const int top = top_of(pic, col);
    EXPECT_NEAR(top, y, 2.5) << what;
    if (top < 0) return;
    double share = -1.0;
    for (int r = top; r < top + 3; ++r) share = std::max(share, share_of(pic.at(col, r), hex));
    EXPECT_GT(share, 0.5) << what;
}

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::renderer_available()) GTEST_SKIP() << "rsvg-convert is not installed here";
    }
    TempDir dir;
};

TEST_F(PictureTest, PeakIsDrawnWhereTheAxisPutsItsPosition) {
    const Spectrum s = spectrum(10, 60, 0.002, 50, {{30, 1000}});
    Figure fig;
    fig.title = "peak.xrdml: scan 1, counts";
    fig.x_label = "2-theta (degrees)";
    fig.y_label = "counts";
    fig.add(1, Style::single, s.x, s.y, s.e);
    const Picture pic = rendered(fig, dir, "peak.svg");
    ASSERT_EQ(pic.width, Frame::width);
    const Frame f = fig.frame();
    // The highest drawn pixel of the whole plot area lies above 30.
    int best_x = -1, best_y = Frame::bottom;
    for (int x = Frame::left + 2; x < Frame::right - 1; ++x) {
        const int y = top_of(pic, x);
        if (y >= 0 && y < best_y) best_x = x, best_y = y;
    }
    EXPECT_NEAR(best_x, f.x_pixel(30), 2.0);
    expect_top(pic, f.x_pixel(30), f.y_pixel(1050), std::string(single_colour), "peak");
    expect_top(pic, f.x_pixel(50), f.y_pixel(50), std::string(single_colour), "background");
}

TEST_F(PictureTest, LogAxisDrawsZeroCountsAtTheBottom) {
    Spectrum s = spectrum(10, 60, 0.01, 100, {{40, 10000}});
    for (std::size_t i = 0; i < s.x.size(); ++i)
        if (s.x[i] > 15 && s.x[i] < 25) s.y[i] = s.e[i] = 0.0;
    Figure fig;
    fig.log_y = true;
    fig.add(1, Style::single, s.x, s.y, s.e);
    const Picture pic = rendered(fig, dir, "log.svg");
    const Frame f = fig.frame();
    const std::string blue(single_colour);
    expect_top(pic, f.x_pixel(20), f.y_pixel(0), blue, "zero counts");
    EXPECT_LT(f.y_pixel(0), Frame::bottom - 3);
    EXPECT_GT(f.y_pixel(0), f.y_pixel(f.y.low) + 20);  // apart from the lowest power of ten
    // Counts of 100 lie two decades below the peak's.
    expect_top(pic, f.x_pixel(55), f.y_pixel(100), blue, "background");
    expect_top(pic, f.x_pixel(40), f.y_pixel(10100), blue, "peak");
}

TEST_F(PictureTest, ExcludedScanIsGreyAndTheSumBlack) {
    const Spectrum kept = spectrum(10, 60, 0.01, 100, {{20, 800}});
    Spectrum left_out = spectrum(10, 60, 0.01, 300, {});
    for (std::size_t i = 0; i < left_out.x.size(); ++i)  // a broad peak at 45
        left_out.y[i] += 400 * std::exp(-(left_out.x[i] - 45) * (left_out.x[i] - 45) / 8);
    Figure fig;
    fig.add(1, Style::scan, kept.x, kept.y, kept.e);
    fig.add(2, Style::excluded, left_out.x, left_out.y, left_out.e);
    fig.add(0, Style::sum, kept.x, kept.y, kept.e);
    const Picture pic = rendered(fig, dir, "gudrun.svg");
    const Frame f = fig.frame();
    expect_top(pic, f.x_pixel(20), f.y_pixel(900), std::string(sum_colour), "sum");
    // The excluded scan: grey, never darker, and dashed: along its flat part
    // its colour comes and goes.
    int grey = 0, gaps = 0;
    for (int x = static_cast<int>(f.x_pixel(12)); x < static_cast<int>(f.x_pixel(18)); ++x) {
        const int top = top_of(pic, x, 30);
        if (top < 0 || top > f.y_pixel(300) + 3) {
            ++gaps;
            continue;
        }
        EXPECT_NEAR(top, f.y_pixel(300), 2.5) << x;
        const double share = std::max(share_of(pic.at(x, top), std::string(excluded_colour)),
                                      share_of(pic.at(x, top + 1), std::string(excluded_colour)));
        EXPECT_GT(share, 0.2) << x;
        EXPECT_LT(share, 1.1) << x;
        ++grey;
    }
    EXPECT_GT(grey, 20);
    EXPECT_GT(gaps, 10);
}

TEST(PlotReduction, EveryPeakAndDipSurvives) {
    std::vector<double> x(25000), y(25000, 10.0);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 5.0 + 0.004 * static_cast<double>(i);
    y[12345] = 1e6;
    y[777] = -3.0;
    y[24999] = std::nan("");
    const Reduced runs = reduce(x, y, {}, plot_columns);
    ASSERT_LE(runs.runs(), static_cast<std::size_t>(plot_columns));
    double hi = 0, lo = 1e9;
    for (std::size_t k = 0; k < runs.runs(); ++k) {
        const Column c = runs.column(k);
        hi = std::max<double>(hi, c.high());
        lo = std::min<double>(lo, c.low());
        EXPECT_TRUE(std::isfinite(c.y_from) && std::isfinite(c.y_to));
    }
    EXPECT_EQ(hi, 1e6);
    EXPECT_EQ(lo, -3.0);
}

// Evenly spaced points keep only their runs' extremes, the x worked out when
// drawn; any other spectrum keeps its runs whole. Either way, and with the
// spacing given by the caller, each run reads back as a plain walk over its
// finite points gives it.
TEST(PlotReduction, EvenAndUnevenSpacingReadBackAlike) {
    const auto walk = [](const std::vector<double>& x, const std::vector<double>& y, std::size_t per_run) {
        std::vector<Column> want;
        for (std::size_t start = 0; start < x.size(); start += per_run) {
            std::vector<std::size_t> at;
            for (std::size_t i = start; i < std::min(x.size(), start + per_run); ++i)
                if (std::isfinite(x[i]) && std::isfinite(y[i])) at.push_back(i);
            if (at.empty()) continue;
            double lo = HUGE_VAL, hi = -HUGE_VAL;
            for (const std::size_t i : at) lo = std::min(lo, y[i]), hi = std::max(hi, y[i]);
            const bool rising = y[at.front()] <= y[at.back()];
            want.push_back({static_cast<float>(x[at.front()]), static_cast<float>(x[at.back()]),
                            static_cast<float>(rising ? lo : hi), static_cast<float>(rising ? hi : lo)});
        }
        return want;
    };
    struct Case {
        const char* what;
        std::size_t n;
        double (*x)(double);
        std::size_t nan_at;  // a y that is not a number, or n for none
        bool even;
        const EvenX* given;  // the spacing as a caller would give it, if it can
    };
    const EvenX up{10.0, 0.01}, down{90.0, -0.07}, flat{3.0, 0.0};
    const Case cases[] = {
        {"even, a short last run", 1000, [](double i) { return 10.0 + 0.01 * i; }, 1000, true, &up},
        {"even, falling", 999, [](double i) { return 90.0 - 0.07 * i; }, 999, true, &down},
        {"one point", 1, [](double) { return 3.0; }, 1, true, &flat},
        {"even, a value not a number", 1000, [](double i) { return 10.0 + 0.01 * i; }, 495, false,
         &up}};
    for (const Case& c : cases) {
        std::vector<double> x(c.n), y(c.n);
        for (std::size_t i = 0; i < c.n; ++i) {
            const auto d = static_cast<double>(i);
            x[i] = c.x(d);
            y[i] = 100.0 * std::sin(0.3 * d) + static_cast<double>(i % 11);
        }
        if (c.nan_at < c.n) y[c.nan_at] = std::nan("");
        const std::vector<Column> want = walk(x, y, (c.n + 69) / 70);
        std::vector<Reduced> ways{reduce(x, y, {}, 70)};
        EXPECT_EQ(ways[0].columns.empty(), c.even) << c.what;
        if (c.given != nullptr) ways.push_back(reduce(*c.given, y, {}, 70));
        for (const Reduced& r : ways) {
            ASSERT_EQ(r.runs(), want.size()) << c.what;
            for (std::size_t k = 0; k < want.size(); ++k) {
                const Column got = r.column(k);
                EXPECT_EQ(got.x_first, want[k].x_first) << c.what << ", run " << k;
                EXPECT_EQ(got.x_last, want[k].x_last) << c.what << ", run " << k;
                EXPECT_EQ(got.y_from, want[k].y_from) << c.what << ", run " << k;
                EXPECT_EQ(got.y_to, want[k].y_to) << c.what << ", run " << k;
            }
            EXPECT_EQ(r.bounds.x_low, ways[0].bounds.x_low) << c.what;
            EXPECT_EQ(r.bounds.x_high, ways[0].bounds.x_high) << c.what;
            EXPECT_EQ(r.bounds.y_low, ways[0].bounds.y_low) << c.what;
            EXPECT_EQ(r.bounds.y_positive, ways[0].bounds.y_positive) << c.what;
        }
    }
}

// Runs that share a pixel column become one: their extent, drawn from the
// first run's first extreme towards the last run's last; a band merges too.
TEST(PlotReduction, RunsInOnePixelColumnMerge) {
    Reduced runs;
    runs.columns = {{0.0f, 0.4f, 5.0f, 9.0f},   // slot 0, rising
                    {0.5f, 0.9f, 7.0f, 2.0f},   // slot 0, falling: ends lower than it began
                    {1.0f, 1.4f, 4.0f, 3.0f},   // slot 1, alone
                    {2.0f, 2.4f, 6.0f, 6.0f},   // slot 2
                    {2.5f, 2.9f, 1.0f, 8.0f}};  // slot 2, ends above where slot 2 began
    runs.band = {{4, 10}, {1, 8}, {2, 5}, {5, 7}, {0, 9}};
    struct Got {
        float x_first, x_last, from, to, low, high;
    };
    std::vector<Got> got;
    for_each_merged(runs, 0.0, 3.0, 3, [&](const Column& c, const BandColumn& b) {
        got.push_back({c.x_first, c.x_last, c.y_from, c.y_to, b.low, b.high});
    });
    ASSERT_EQ(got.size(), 3u);
    // Slot 0 began at 5 and ended at 2: drawn from its highest to its lowest.
    const Got want[] = {{0.0f, 0.9f, 9.0f, 2.0f, 1, 10},
                        {1.0f, 1.4f, 4.0f, 3.0f, 2, 5},
                        {2.0f, 2.9f, 1.0f, 8.0f, 0, 9}};
    for (std::size_t k = 0; k < 3; ++k) {
        const float g[] = {got[k].x_first, got[k].x_last, got[k].from, got[k].to, got[k].low, got[k].high};
        const float w[] = {want[k].x_first, want[k].x_last, want[k].from, want[k].to, want[k].low, want[k].high};
        for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(g[i], w[i]) << "column " << k << ", field " << i;
    }
    runs.band.clear();  // without a band, a column's band is its extent
    for_each_merged(runs, 0.0, 3.0, 3, [&](const Column& c, const BandColumn& b) {
        EXPECT_EQ(b.low, c.low());
        EXPECT_EQ(b.high, c.high());
    });
}

// Pixel coordinates are written to a tenth, halves away from zero, far or
// not a number held at a bound.
TEST(PlotDocument, CoordinatesInTenths) {
    const std::pair<double, std::string> tenths[] = {
        {0.0, "0.0"},        {0.04, "0.0"},      {-0.04, "0.0"},     {0.05, "0.1"},
        {-12.35, "-12.4"},   {959.96, "960.0"},  {1234.5, "1234.5"}, {2e9, "1000000000.0"},
        {-2e9, "-1000000000.0"}, {std::nan(""), "0.0"}, {HUGE_VAL, "1000000000.0"}};
    for (const auto& [v, text] : tenths) {
        char buf[16];
        EXPECT_EQ(std::string(buf, format_tenths_to(buf, v)), text) << v;
    }
    // Whole tenths for the paths: the same rounding, held within +-1e8.
    const std::pair<double, std::string> counts[] = {
        {0.04, "0"},     {-0.04, "0"},         {-0.05, "-1"},         {9.94, "99"},
        {-9.95, "-100"}, {12.34, "123"},       {99.94, "999"},        {-99.95, "-1000"},
        {100.0, "1000"}, {3e8, "1000000000"}, {-3e8, "-1000000000"}, {std::nan(""), "1000000000"}};
    for (const auto& [v, text] : counts) {
        char buf[16];
        EXPECT_EQ(std::string(buf, format_tenths_count_to(buf, round_to_tenths(v))), text) << v;
    }
}

// The data paths are written in whole tenths of a pixel, each point relative
// to the one before: read back, every point lies where the axes put it.
TEST(PlotDocument, RelativePathsLeadToEveryPoint) {
    Figure fig;
    std::vector<double> x, y;
    for (int i = 0; i < 300; ++i) {
        x.push_back(10.0 + 0.1 * i);
        y.push_back(i % 7 == 0 ? 0.0 : 1000.0 + 900.0 * std::sin(0.37 * i));  // up, down, flat
    }
    fig.add(1, Style::scan, x, y, {});
    const Frame f = fig.frame();
    const std::string svg = fig.svg();
    bool whole = false;
    const std::vector<std::pair<int, int>> points = orvalt::test::drawn_points(svg, 1, whole);
    ASSERT_TRUE(whole && !points.empty());
    // Each run is one point here: its one value, at its x.
    ASSERT_EQ(fig.series().front().reduced.runs(), x.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::pair<int, int> want{round_to_tenths(f.x_pixel(x[i])),
                                       round_to_tenths(f.y_pixel(y[i]))};
        while (k < points.size() && points[k] != want) ++k;
        EXPECT_LT(k, points.size()) << "point " << i << " is not drawn";
        k = std::min(k, points.size() - 1);
    }
}

// The axis runs from the data's least to its greatest value; round ticks
// stand inside it, labelled in one style.
TEST(PlotAxes, LimitsAtTheDataTicksInside) {
    struct Case {
        double lo, hi;
        int wanted;
        std::vector<std::string> labels;
    };
    const std::vector<Case> cases = {
        {5, 120, 8, {"20", "40", "60", "80", "100", "120"}},
        {-179.7, 179.7, 8, {"-150", "-100", "-50", "0", "50", "100", "150"}},
        {0, 357.5, 8, {"0", "50", "100", "150", "200", "250", "300", "350"}},
        {-0.013, 0.047, 6, {"-0.01", "0.00", "0.01", "0.02", "0.03", "0.04"}},
        {3, 1.2e6, 6, {"200000", "400000", "600000", "800000", "1000000", "1200000"}},
        {7, 7, 4, {"4", "6", "8", "10"}},  // one value: a unit range around it
    };
    for (const Case& c : cases) {
        const Axis a = linear_axis(c.lo, c.hi, c.wanted);
        std::vector<std::string> labels;
        for (const Tick& t : a.ticks) labels.push_back(t.label);
        EXPECT_EQ(labels, c.labels) << c.lo << " .. " << c.hi;
        if (c.lo < c.hi) {
            EXPECT_EQ(a.low, c.lo);
            EXPECT_EQ(a.high, c.hi);
        }
    }
    const auto labels_of = [](const Axis& a) {
        std::vector<std::string> labels;
        for (const Tick& t : a.ticks) labels.push_back(t.label);
        return labels;
    };
    // Powers of ten in one style, from 1 to a million and below 1 alike.
    const Axis log = log_axis(3, 2.5e6);
    EXPECT_EQ(labels_of(log), (std::vector<std::string>{"10¹", "10²", "10³", "10⁴", "10⁵", "10⁶"}));
    EXPECT_EQ(log.low, 3);
    EXPECT_EQ(log.high, 2.5e6);
    EXPECT_EQ(labels_of(log_axis(0.002, 0.5)), (std::vector<std::string>{"10⁻²", "10⁻¹"}));
    // Less than two powers inside: 1, 2 and 5 times them, plainly.
    EXPECT_EQ(labels_of(log_axis(150, 1200)), (std::vector<std::string>{"200", "500", "1000"}));
    EXPECT_EQ(log.fraction(0.0), 0.0);
    EXPECT_EQ(log.fraction(-5.0), 0.0);
}

// A zero level on a log axis only where the data hold zeros (or less).
TEST(PlotAxes, ZeroLevelOnlyWhereTheDataHoldZeros) {
    for (const double least : {0.0, -1.0, 1.0}) {
        Figure fig;
        fig.log_y = true;
        const std::vector<double> x{1, 2, 3}, y{least, 50, 900}, e{1, 7, 30};
        fig.add(1, Style::single, x, y, e);
        EXPECT_EQ(fig.frame().zero_level, least <= 0.0) << least;
        EXPECT_EQ(fig.svg().find(">0</text>") != std::string::npos, least <= 0.0) << least;
    }
}

// Every point of a spectrum whose x crowds at one end (d-spacing made from
// evenly spaced angles) lies within a pixel of a drawn column, and so does
// every point of an even one; the picture stays small.
TEST(PlotReduction, EveryPointWithinAPixelOfItsColumn) {
    std::vector<double> two_theta, d, y;
    for (int i = 0; i < 23000; ++i) {
        const double t = 2.0 + 0.005 * i;
        two_theta.push_back(t);
        d.push_back(1.5406 / (2.0 * std::sin(t * M_PI / 360.0)));
        y.push_back(100.0 + 900.0 * std::exp(-std::pow(std::fmod(t, 7.3) - 3.0, 2) / 0.01) +
                    (i % 5));
    }
    for (const auto* x : {&d, &two_theta}) {
        // No run wider than a column of the series' own range.
        const auto [lo, hi] = std::minmax_element(x->begin(), x->end());
        const Reduced r = reduce(*x, y, {}, plot_columns);
        for (std::size_t k = 0; k < r.runs(); ++k)
            EXPECT_LE(std::abs(r.column(k).x_last - r.column(k).x_first),
                      (*hi - *lo) / plot_columns * (1 + 1e-6))
                << k;
        Figure fig;
        fig.add(1, Style::scan, *x, y, {});
        const std::string svg = fig.svg();
        test::AxisMap mx, my;
        ASSERT_TRUE(test::axis_maps(svg, mx, my));
        const auto columns = test::drawn_columns(svg, 1);
        EXPECT_LE(test::farthest_from_columns(columns, mx, my, *x, y), 1.15);
        EXPECT_LT(svg.size(), 200000u);
    }
}

// Names and labels hold any bytes: what is no XML character becomes "?",
// and every line's name is its <title>.
TEST(PlotText, XmlTextWhateverTheBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a&b <c> \"d\"", "a&amp;b &lt;c&gt; &quot;d&quot;"},
        {"\xed\xa0\x80", "???"},        // a UTF-16 surrogate
        {"\xe0\x80\xaf", "???"},        // an overlong "/"
        {"\xc0\xaf", "??"},             // another
        {"\xf4\x90\x80\x80", "????"},   // above U+10FFFF
        {"\xef\xbf\xbe\xef\xbf\xbf", "??"},  // U+FFFE, U+FFFF
        {"\x01\t\x1b[2J\x7f", "???[2J?"},    // control characters
        {"\xc2\x9b", "?"},              // C1
        {"\xff\xfe", "??"},             // not UTF-8
        {"Größe α 2θ Å⁻¹ 😀", "Größe α 2θ Å⁻¹ 😀"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(xml_text(in), out) << in;
        EXPECT_EQ(test::xml_error("<t>" + xml_text(in) + "</t>"), "") << in;
    }
    Figure fig;
    fig.title_name = cases[1].first + cases[4].first;
    fig.title = cases[5].first;
    fig.subtitle = cases[2].first;
    fig.x_label = cases[6].first;
    const std::vector<double> x{1, 2}, y{3, 4};
    fig.add(7, Style::scan, x, y, {}, "25 \xc2\xb0" "C");
    fig.add(8, Style::excluded, x, y, {});
    EXPECT_EQ(test::xml_error(fig.svg()), "");
    EXPECT_NE(fig.svg().find("<title>scan 7, 25 °C</title>"), std::string::npos);
    EXPECT_NE(fig.svg().find("<title>excluded scan 8</title>"), std::string::npos);
}

TEST(PlotText, ShortenedInTheMiddleAndScanRanges) {
    const std::string name(120, 'x');
    const std::string s = shortened(name + ".xrdml", 17, 400, true);
    EXPECT_LE(text_width(s, 17, true), 400);
    EXPECT_TRUE(s.starts_with("xxx") && s.ends_with(".xrdml")) << s;
    EXPECT_NE(s.find("…"), std::string::npos);
    EXPECT_EQ(shortened("short.xrdml", 17, 400, true), "short.xrdml");
    // Never cut inside a character.
    EXPECT_EQ(test::xml_error("<t>" + xml_text(shortened(std::string(60, 'a') + "αβγδ", 12, 200)) +
                              "</t>"),
              "");
    const std::vector<std::int32_t> scans{1, 2, 3, 5, 7, 8, 38, 39, 40};
    EXPECT_EQ(scan_ranges(scans), "1-3, 5, 7, 8, 38-40");
}

// Scans handed over as a start and a step draw the same picture as their
// angles written out, in every style and on a log axis, a scan with a count
// that is not a number included.
TEST(PlotDocument, SpacingGivenOrWrittenOutDrawsTheSamePicture) {
    for (const bool log : {false, true}) {
        Figure given, written;
        given.log_y = written.log_y = log;
        const Style styles[] = {Style::scan, Style::excluded, Style::scan, Style::sum};
        for (int s = 0; s < 4; ++s) {
            const EvenX spacing{5.0 + s, 0.0037 * (s + 1)};
            std::vector<double> x(9000 + 1000 * static_cast<std::size_t>(s)), y(x.size()), e(x.size());
            for (std::size_t i = 0; i < x.size(); ++i) {
                const auto d = static_cast<double>(i);
                x[i] = spacing.first + spacing.step * d;
                y[i] = 50.0 + 40.0 * std::sin(0.01 * d * (s + 1)) + static_cast<double>(i % 7);
                e[i] = std::sqrt(y[i]);
            }
            if (s == 2) y[4321] = std::nan("");
            given.add(s + 1, styles[s], spacing, y, e);
            written.add(s + 1, styles[s], x, y, e);
        }
        EXPECT_EQ(given.svg(), written.svg()) << (log ? "log" : "linear");
    }
}

TEST(PlotDocument, WellFormedWhateverTheNamesHold) {
    const Spectrum s = spectrum(10, 20, 0.1, 5, {});
    Figure fig;
    fig.title = "a&b <c> \"d\" \x01 \xff\xfe caf\xc3\xa9.xrdml \xed\xa0\x80\xef\xbf\xbf";
    fig.subtitle = "wavelength 1.541874 \xc3\x85";
    fig.x_label = "Q (1/\xc3\x85)";
    fig.y_label = "counts per second";
    for (std::int32_t k = 1; k <= 12; ++k) fig.add(k, Style::scan, s.x, s.y, s.e);
    fig.add(13, Style::excluded, s.x, s.y, s.e);
    fig.add(0, Style::sum, s.x, s.y, s.e);
    EXPECT_EQ(test::xml_error(fig.svg()), "");
    Figure empty;
    EXPECT_EQ(test::xml_error(empty.svg()), "");
}

TEST(PlotDocument, BigMeasurementGivesASmallPicture) {
    std::vector<double> x(25000), y(25000), e(25000);
    Figure fig;
    for (std::int32_t scan = 1; scan <= 200; ++scan) {
        for (std::size_t i = 0; i < x.size(); ++i) {
            x[i] = 5.0 + 0.004 * static_cast<double>(i);
            y[i] = 100.0 + static_cast<double>((i * 7919 + static_cast<std::size_t>(scan)) % 97);
            e[i] = std::sqrt(y[i]);
        }
        fig.add(scan, Style::scan, x, y, e);
    }
    const std::string text = fig.svg();
    EXPECT_LT(text.size(), 5u << 20);
    EXPECT_EQ(test::xml_error(text), "");
}

TEST(PlotDocument, WriteIsAllOrNothing) {
    TempDir dir;
    Figure fig;
    int error = 0;
    EXPECT_FALSE(write_svg(dir.file("no/such/folder/p.svg"), fig, error));
    EXPECT_NE(error, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    ASSERT_TRUE(write_svg(dir.file("p.svg"), fig, error));
    std::ifstream in(dir.file("p.svg"), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), fig.svg());
}

}  // namespace
}  // namespace orvalt::plot

// The pictures of a run: what their titles and axes say, and what is drawn
// (the spectrum converted, each scan as the conversion reads it). The
// drawing itself is the plot library's.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "driver/request.h"
#include "driver/run.h"
#include "formats/pattern.h"
#include "plot/svg.h"

namespace orvalt {

struct Console;

// x as a diffractionist labels it: "2θ (°)", "Q (Å⁻¹)", "d (Å)", "Phi (°)".
std::string picture_x_label(const XAxis& x);

// A figure with the title "NAME: CHOICE, INTENSITY" (the name without its
// folder), the wavelength below it ("λ = 1.541874 Å"), and its axes
// labelled: x by picture_x_label, y in counts or counts per second as icps
// says.
plot::Figure new_picture(std::string_view input_name, std::string_view choice, std::int32_t icps,
                         double wavelength, const XAxis& x, bool log_y);

// Scan `scan` (1-based) of the spectrum: its points spaced evenly from the
// scan's start as its x was filled, or at its listed positions.
void draw_scan(plot::Figure& figure, std::int32_t scan, plot::Style style,
               const ScanTables& scans, const Spectrum& spectrum);

// Every scan of the file, read as the conversion reads it, in counts per
// second when icps is 1 (a scan without a positive counting time in
// counts): weights null draws every scan coloured by its number, otherwise
// the excluded scans (weight 0) in their own style. False (with the
// reader's status) on a scan that cannot be read.
bool draw_file_scans(const RunFiles& files, const ScanTables& scans, const Weights* weights,
                     std::int32_t icps, const xrdml::ReadLimits& limits, plot::Figure& figure,
                     xrdml::ReaderStatus& status);

// Why `picture` may not be written by a run that reads `input` and writes
// `outputs` (empty names skipped), or empty: it must reach none of them nor
// orvalt.tmp (however spelt or linked), be a regular file if it exists, and
// lie in a folder where a file can be made (tried, and nothing left).
std::string picture_name_problem(std::string_view picture, std::string_view input,
                                 std::initializer_list<std::string_view> outputs);

// Writes the picture as every output is written; false, reported as an
// output that could not be written, when it fails.
bool write_picture(Console& con, const std::string& name, const plot::Figure& figure);

// The picture's name by default: the output's with its extension replaced by
// ".svg" (or added when it has none).
std::string default_picture_name(std::string_view output_name);

}  // namespace orvalt

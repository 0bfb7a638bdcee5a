// The pictures of a run: what their titles and axes say, and the scans of a
// file drawn one by one (the scans of `--list --plot` and the thin scans of
// a gudrunX picture). The drawing itself is the plot library's.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "driver/run.h"
#include "plot/svg.h"

namespace orvalt {

struct Console;

// "2-theta (degrees)", "Q (1/angstrom)", "d-spacing (angstrom)", or the
// scan's own axis ("Phi (degrees)") where units option 1 writes its angles.
std::string picture_x_label(std::int32_t iunits, std::string_view axis);
std::string picture_y_label(std::int32_t icps);

// What a run did, as its title says it: "scan 3", "sum of 4 scans",
// "gudrunX: 74 of 76 scans summed", "every scan (4)".
std::string picture_choice(const Answers& answers, const Weights& weights, std::int32_t nscans);

// A figure with the title "NAME: CHOICE, INTENSITY" (the name without its
// folder) and the wavelength below it.
plot::Figure new_picture(std::string_view input_name, std::string_view choice,
                         const Answers& answers, double wavelength, bool log_y);

// Reads scan after scan of the file and adds each to the figure, in counts
// per second when icps is 1 (x as the file gives the scan's axis): weights
// null draws every scan coloured by its number, otherwise the excluded
// scans (weight 0) in their own style. False (with the reader's status) on
// a scan that cannot be read.
bool add_file_scans(std::string_view input_name, const ScanTables& scans, const Weights* weights,
                    std::int32_t icps, plot::Figure& figure, xrdml::ReaderStatus& status);

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

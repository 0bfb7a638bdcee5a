// The gudrunX branch's own steps: the scans left out of the sum, and the
// weights file that records them beside the input.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "driver/run.h"

namespace orvalt {

struct Console;

// Every one of nscans scans included.
Weights all_included(std::int32_t nscans);
// Takes scan number `scan` (counted from 1) out; a scan already out stays
// out. Excluding the last included scan stops the run.
void exclude(Console& con, Weights& weights, std::int32_t scan);
// The scans a request names (counted from 1) taken out; one the file does
// not hold stops the run.
void exclude_named(Console& con, std::span<const std::int32_t> scans, Weights& weights,
                   std::int32_t nscans);

// The weights file, under `name` or, when empty, the default formed from the
// input name; a name that is a file the run reads ends the run. The file is
// written into `file`, to be put in place with the data file (or alone,
// when there is none).
bool save_weights(Console& con, RunFiles& files, std::string_view name, const Weights& weights,
                  std::int32_t nscans, OutputFile& file);

}  // namespace orvalt

// The x-y-error file (.xye): "#" comment lines on the measurement, then
// the ASCII data file's lines, x y e.
#pragma once

#include <cstddef>

#include "formats/pattern.h"

namespace orvalt {

BlockText xye_block(const PatternDescription& d, const Pattern& p, std::size_t index,
                     bool several);

}  // namespace orvalt

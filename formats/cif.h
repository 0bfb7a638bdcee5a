// The powder CIF (.cif): one data block per pattern.
#pragma once

#include <cstddef>

#include "formats/pattern.h"

namespace orvalt {

BlockText cif_block(const PatternDescription& d, const Pattern& p, std::size_t index,
                     bool several);

}  // namespace orvalt

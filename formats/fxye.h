// The GSAS standard powder data file in its constant-wavelength FXYE form
// (.fxye): 2-theta only.
#pragma once

#include <cstddef>

#include "formats/pattern.h"

namespace orvalt {

BlockText fxye_block(const PatternDescription& d, const Pattern& p, std::size_t index,
                     bool several);

}  // namespace orvalt

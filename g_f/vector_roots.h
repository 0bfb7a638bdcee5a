// Square roots four at a time, where the processor has the instructions.
#pragma once

#include <cstddef>

namespace orvalt {

// copy[i] = in[i] and roots[i] = the square root of in[i] for i < n, in one
// pass with vector instructions wider than the build's own where the
// processor has them (on 64-bit x86 hosts); false, with nothing done, where
// it does not. A square root is correctly rounded whatever the instructions,
// so the bits are those of std::sqrt.
bool copy_and_roots_wide(const double* in, double* copy, double* roots, std::size_t n);

}  // namespace orvalt

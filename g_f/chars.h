// Character classes the free-layout readers share.
#pragma once

namespace orvalt {

// What separates items of a free-layout line and is skipped before them.
constexpr bool is_blank_or_tab(char c) { return c == ' ' || c == '\t'; }

}  // namespace orvalt

// The comparison of two texts that ignores letter case, with which the
// driver tells whether a name already ends in ".xrdml".
#pragma once

#include <string_view>

namespace orvalt {

struct Console;

// 0 = equal apart from letter case, 1 = different, -1 = lengths differ (after
// printing the two error lines on the console).
int ovt_case_blind_compare(Console& con, std::string_view a, std::string_view b);

// Maps a..z to A..Z; every other byte is left as it is.
void upper_case_char(char& c);

}  // namespace orvalt

// This process and the others on the machine: what names the temporaries
// of a run after their owner, and tells whether that owner still runs.
#pragma once

#include <string>

namespace orvalt {

// A number that differs between processes running at once.
unsigned long process_number();

// Whether a process of that number runs on this machine now (true when the
// system cannot tell).
bool process_exists(unsigned long number);

// This machine's name, as far as a file name may hold it: letters, digits,
// '.' and '-' (other characters become '_'); "host" when it has none.
const std::string& machine_name();

}  // namespace orvalt

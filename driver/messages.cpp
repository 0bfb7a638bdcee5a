#include "driver/messages.h"

#include <string>

#include "g_f/console.h"
#include "g_f/file_operations.h"

namespace orvalt {

void stop_with_error(Console& con, std::string_view text) {
    fail(con, std::string("**ERROR in orvalt: ").append(text));
}

bool report_unwritten(Console& con, std::string_view name, int error) {
    std::string line = "**ERROR in orvalt: Could not write " + std::string(name);
    if (error != 0) line.append(": ").append(error_text(error));
    say_error(con, line);
    return false;
}

void empty_line(Console& con) { con.out << '\n'; }

}  // namespace orvalt

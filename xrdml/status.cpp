// The reader's status and the report of a failed pass.
#include <string>

#include "g_f/console.h"
#include "g_f/stop.h"
#include "g_f/text.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

void ReaderStatus::set(std::int32_t code, std::string_view text) {
    ierr = code;
    message = field(text, message_width);
    note.clear();
}

void ERRCHECK(Console& con, const ReaderStatus& status, std::string_view summary) {
    if (status.ierr == 0) return;
    say_integer(con, "ierr = ", status.ierr);
    if (status.note.empty()) fail(con, trimmed(status.message), summary);
    say_error(con, trimmed(status.message), summary);
    say_line(con, status.note);
    con.out.flush();
    throw Stop{1};
}

}  // namespace orvalt::xrdml

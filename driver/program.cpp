#include "driver/program.h"

#include "driver/cli.h"
#include "driver/errors_to.h"
#include "driver/run.h"
#include "g_f/console.h"
#include "g_f/stop.h"
#include "genie/genie.h"

namespace orvalt {

int run_program(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                std::ostream& err) {
    const ErrorsTo errors(err);
    if (argc > 1) return run_command_line(argc, argv, out, err);

    Console con{in, out};
    // The library counts its failures for the life of the process: only
    // those of this run count.
    const int failures_before = genie_failure_count();
    int status = 0;
    try {
        status = run_orvalt(con);
    } catch (const Stop& stop) {
        status = stop.status;
    }
    out.flush();
    // A Genie file that could not be written has been reported by the library.
    if (status == 0 && genie_failure_count() > failures_before) status = 1;
    return status;
}

}  // namespace orvalt

#include "driver/program.h"

#include "driver/command_line.h"
#include "driver/errors_to.h"
#include "driver/dialogue.h"
#include "g_f/console.h"
#include "g_f/stop.h"

namespace orvalt {

int run_program(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                std::ostream& err) {
    const ErrorsTo errors(err);
    if (argc > 1) return run_command_line(argc, argv, out, err);

    Console con{in, out};
    int status = 0;
    try {
        status = run_orvalt(con);
    } catch (const Stop& stop) {
        status = stop.status;
    }
    out.flush();
    return status;
}

}  // namespace orvalt

// ORVALT: reads an XRDML powder-diffraction measurement and writes its scans
// as ASCII or Genie data files. Without arguments every choice comes from the
// console dialogue; with arguments the named files are converted as they say.
#include <iostream>

#include "driver/cli.h"
#include "driver/run.h"
#include "g_f/console.h"
#include "g_f/stop.h"

int main(int argc, char** argv) {
    if (argc > 1) return orvalt::run_command_line(argc, argv, std::cout, std::cerr);

    orvalt::Console con{std::cin, std::cout};
    int status = 0;
    try {
        status = orvalt::run_orvalt(con);
    } catch (const orvalt::Stop& stop) {
        status = stop.status;
    }
    std::cout.flush();
    return status;
}

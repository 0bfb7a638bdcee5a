// ORVALT: reads an XRDML powder-diffraction measurement and writes its scans
// as ASCII or Genie data files. Without arguments every choice comes from the
// console dialogue; with arguments the named files are converted as they say.
#include <iostream>

#include "driver/program.h"
#include "g_f/console_session.h"

#ifdef _WIN32
// The C runtime expands wildcards in the arguments (cmd and PowerShell leave
// that to the program); a quoted argument is taken as it stands.
extern "C" {
int _dowildcard = -1;
}
#endif

int main(int argc, char** argv) {
    orvalt::ConsoleSession console(std::cin);
    const int status = orvalt::run_program(argc, argv, console.in(), std::cout, std::cerr);
    console.finish(std::cout);
    return status;
}

// ORVALT: reads an XRDML powder-diffraction measurement and writes its scans
// as ASCII or Genie data files. Without arguments every choice comes from the
// console dialogue; with arguments the named files are converted as they say.
#include <iostream>

#include "driver/program.h"

int main(int argc, char** argv) {
    return orvalt::run_program(argc, argv, std::cin, std::cout, std::cerr);
}

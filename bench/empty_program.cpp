// empty_program: starts and ends at once, built like orvalt (the C++ runtime
// and the console streams loaded and set up). bench_run times its start as
// the floor of starting the orvalt program.
#include <iostream>

int main() {
    std::cout.flush();
    return 0;
}

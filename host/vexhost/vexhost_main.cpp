// vexhost: loads the analyzer plug-in exactly as a host does and drives it.
#include "host/kit/module_library.h"
#include "host/vexhost/vexhost_app.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define VEX_ISATTY _isatty
#else
#include <unistd.h>
#define VEX_ISATTY isatty
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    vex::host::Console console{std::cout, std::cerr, VEX_ISATTY(2) != 0,
                               vex::host::defaultModulePath()};
    return vex::host::runVexhost(args, console);
}

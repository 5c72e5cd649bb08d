// vexhost: loads the analyzer plug-in exactly as a host does and drives it.
#include "host/module_library.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string narrow(const vex::MpChar* text) {
    std::string out;
    for (; *text != 0; ++text) {
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    }
    return out;
}

int info(const std::string& modulePath) {
    vex::host::ModuleLibrary library;
    if (!library.load(modulePath)) {
        std::fprintf(stderr, "vexhost: %s\n", library.error().c_str());
        return 2;
    }
    std::int32_t version = 0;
    vex::MpChar text[64] = {};
    library.factory()->getBuildInfo(&version, 64, text);
    std::printf("module: %s\nframework version: %d\nbuilt with: %s\n", modulePath.c_str(),
                static_cast<int>(version), narrow(text).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string modulePath = vex::host::defaultModulePath();
    std::string command = "info";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--module") == 0 && i + 1 < argc) {
            modulePath = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: vexhost [info] [--module PATH]\n");
            return 0;
        } else if (argv[i][0] != '-') {
            command = argv[i];
        } else {
            std::fprintf(stderr, "vexhost: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (command != "info") {
        std::fprintf(stderr, "vexhost: unknown command %s\n", command.c_str());
        return 2;
    }
    return info(modulePath);
}

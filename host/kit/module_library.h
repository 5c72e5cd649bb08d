// Loads a plug-in library from a path and resolves its factory, as a host does.
#pragma once

#include "framework/audio/factory_interface.h"

#include <string>

namespace vex::host {

// Owns one loaded library; unloads it on destruction. Objects created from its factory
// must be released before that.
class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // Loads `path` (UTF-8) and calls its MP_GetFactory. False with error() set on failure.
    bool load(const std::string& path);
    void unload();

    bool loaded() const { return handle != nullptr; }
    FactoryInterface* factory() const { return factoryPointer; }
    const std::string& error() const { return lastError; }

    // Calls the library's MP_GetFactory again; answers its result code.
    std::int32_t getFactory(void** out) const;

private:
    void* handle = nullptr;
    GetFactoryFunction entry = nullptr;
    FactoryInterface* factoryPointer = nullptr;
    std::string lastError;
};

// Path of the plug-in tests and vexhost load by default: the one beside the running
// program (the build tree), else, natively, the one installed with it (in the installed
// LV2 bundle, found from the program's folder). When neither exists, the path beside
// the program, for the load's error to name.
std::string defaultModulePath();

} // namespace vex::host

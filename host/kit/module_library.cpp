#include "host/kit/module_library.h"

#ifdef _WIN32
#include "platform/win_types.h"
#else
#include <dlfcn.h>
#endif

#include <climits>
#ifndef _WIN32
#include <cstdlib>
#include <unistd.h>
#endif

namespace vex::host {

namespace {

#ifdef _WIN32
std::wstring widen(const std::string& text) {
    const int count = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(count > 0 ? count - 1 : 0, L'\0');
    if (count > 1) {
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), count);
    }
    return wide;
}
#endif

} // namespace

ModuleLibrary::~ModuleLibrary() {
    unload();
}

bool ModuleLibrary::load(const std::string& path) {
    unload();
#ifdef _WIN32
    HMODULE module = LoadLibraryW(widen(path).c_str());
    if (module == nullptr) {
        lastError = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    handle = module;
    auto symbol = reinterpret_cast<void*>(GetProcAddress(module, "MP_GetFactory"));
#else
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        lastError = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
        return false;
    }
    void* symbol = dlsym(handle, "MP_GetFactory");
#endif
    if (symbol == nullptr) {
        lastError = path + " does not export MP_GetFactory";
        unload();
        return false;
    }
    entry = reinterpret_cast<GetFactoryFunction>(symbol);
    void* out = nullptr;
    const std::int32_t result = entry(&out);
    if (result != kMpOk || out == nullptr) {
        lastError = path + ": MP_GetFactory answered " + std::to_string(result);
        unload();
        return false;
    }
    factoryPointer = static_cast<FactoryInterface*>(static_cast<UnknownInterface*>(out));
    lastError.clear();
    return true;
}

void ModuleLibrary::unload() {
    if (handle != nullptr) {
#ifdef _WIN32
        FreeLibrary(static_cast<HMODULE>(handle));
#else
        dlclose(handle);
#endif
    }
    handle = nullptr;
    entry = nullptr;
    factoryPointer = nullptr;
}

std::int32_t ModuleLibrary::getFactory(void** out) const {
    return entry != nullptr ? entry(out) : kMpFail;
}

std::string defaultModulePath() {
    const std::string name = "VEX_ANALYZER.sem";
#ifdef _WIN32
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return name;
    }
    const int count = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    std::string path(count, '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), path.data(), count, nullptr,
                        nullptr);
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
#else
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return name;
    }
    const std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return name;
    }
    const std::string folder = path.substr(0, slash + 1);
    const std::string beside = folder + name;
    // Why: the build tree keeps the program and the module side by side; an install keeps
    // the program in bin/ and the module in the LV2 bundle, VEX_INSTALLED_MODULE_FOLDER
    // (relative to bin/ unless the build chose an absolute folder), so a prefix moved as a
    // whole (a package unpacked anywhere, DESTDIR staging) still finds it.
    if (access(beside.c_str(), F_OK) != 0) {
        const std::string installedFolder = VEX_INSTALLED_MODULE_FOLDER;
        const std::string installed =
            (!installedFolder.empty() && installedFolder[0] == '/' ? "" : folder) +
            installedFolder + "/" + name;
        char resolved[PATH_MAX];
        if (realpath(installed.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return beside;
#endif
}

} // namespace vex::host

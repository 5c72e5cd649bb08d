// The library's exported entry points and its start-up registration. Compiled into the
// plug-in itself (not a static library) so that the initialisers below are always linked.
#include "framework/audio/module_entry.h"
#include "framework/audio/module_factory.h"
#include "platform/win_types.h"

namespace {

// Unload step: the factory and its registry go when the library's statics are torn down.
struct FactoryUnload {
    ~FactoryUnload() { vex::destroyFactory(); }
};

// Initialisers run in this order: the unload step, then each module class's sides.
const FactoryUnload unloadStep;
const int registered = vex::registerModuleClasses();

} // namespace

MP_EXPORT std::int32_t MP_STDCALL MP_GetFactory(void** out) noexcept {
    return vex::abiGuard(vex::kMpFail, [&] {
        vex::ModuleFactory* factory = vex::getFactory();
        if (factory == nullptr) {
            if (out != nullptr) {
                *out = nullptr;
            }
            return std::int32_t{vex::kMpFail};
        }
        return factory->queryInterface(&vex::kUnknownInterfaceId, out);
    });
}

namespace {
// Why: fails to compile unless the definition matches the declared entry point's type,
// calling convention included.
[[maybe_unused]] constexpr vex::GetFactoryFunction kDeclaredEntry = &MP_GetFactory;
} // namespace

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reason;
    (void)reserved;
    vex::setLibraryInstance(instance);
    return TRUE;
}
#endif

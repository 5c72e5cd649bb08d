// The factory and its registry of module classes.
#pragma once

#include "framework/audio/factory_interface.h"

#include <map>
#include <memory>
#include <string>

namespace vex {

// Builds one object for `host` (the pointer given to createObject) and answers its
// primary interface with a count of 0, or null when out of memory. May throw to report a
// failed construction; createObject turns that into kMpFail.
using CreateFunction = UnknownInterface* (*)(void* host);

struct FactoryEntry {
    MpString id;
    CreateFunction audioCreate = nullptr;
    CreateFunction displayCreate = nullptr;
};

inline constexpr std::int32_t kFrameworkVersion = 30400;

// The one factory of a loaded library (tests may make their own). Not reference counted.
// The registry is written only before the host can reach the factory, then only read.
class ModuleFactory final : public FactoryInterface {
public:
    std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
    std::int32_t MP_STDCALL addRef() noexcept override { return 16; }
    std::int32_t MP_STDCALL release() noexcept override { return 1; }
    std::int32_t MP_STDCALL createObject(const MpChar* id, std::int32_t subType, void* host,
                                         void** out) noexcept override;
    std::int32_t MP_STDCALL getBuildInfo(std::int32_t* version, std::int32_t bufferLength,
                                         MpChar* text) noexcept override;
    std::int32_t MP_STDCALL destroy(std::int32_t flags) noexcept override;

    // Enters `create` as the audio (or display) side of `id`, replacing an earlier one.
    std::int32_t registerAudioClass(const MpChar* id, CreateFunction create);
    std::int32_t registerDisplayClass(const MpChar* id, CreateFunction create);

    const FactoryEntry* find(const MpChar* id) const;

private:
    FactoryEntry& entryFor(const MpChar* id);

    std::map<MpString, std::unique_ptr<FactoryEntry>> registry;
};

// The library-wide factory, made on first use; null only when that allocation failed.
ModuleFactory* getFactory();

// Start-up registration into the library-wide factory. Answer 0.
std::int32_t registerAudioClass(const MpChar* id, CreateFunction create);
std::int32_t registerDisplayClass(const MpChar* id, CreateFunction create);

// Unload step: destroys the library-wide factory and its registry.
void destroyFactory();

// The instance handle the loader gave DllMain (null off Windows).
void* libraryInstance();
void setLibraryInstance(void* instance);

} // namespace vex

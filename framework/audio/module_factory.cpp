#include "framework/audio/module_factory.h"

#include <algorithm>
#include <utility>

namespace vex {

namespace {

constexpr MpChar kBuildText[] = MP_TEXT("Unknown Compiler");

// Why a function-local static: its first use is thread-safe, whichever comes first of the
// start-up registration and a host's MP_GetFactory.
ModuleFactory*& factoryPointer() {
    static ModuleFactory* factory = new (std::nothrow) ModuleFactory();
    return factory;
}

void* instanceHandle = nullptr;

} // namespace

std::int32_t ModuleFactory::queryInterface(const MpGuid* iid, void** out) noexcept {
    return answerQueryInterface(iid, out, kFactoryInterfaceId,
                                static_cast<FactoryInterface*>(this));
}

std::int32_t ModuleFactory::createObject(const MpChar* id, std::int32_t subType, void* host,
                                         void** out) noexcept {
    if (out == nullptr) {
        return kMpUnsupported;
    }
    *out = nullptr;
    if (id == nullptr) {
        return kMpUnsupported;
    }
    return abiGuard(kMpFail, [&]() -> std::int32_t {
        const FactoryEntry* entry = find(id);
        if (entry == nullptr) {
            return kMpUnsupported;
        }
        CreateFunction create = nullptr;
        if (subType == kAudioSide) {
            create = entry->audioCreate;
        } else if (subType == kDisplaySide) {
            create = entry->displayCreate;
        } else {
            return kMpUnsupported;
        }
        if (create == nullptr) {
            return kMpUnsupported;
        }
        UnknownInterface* object = create(host);
        // Why: a creation function answers null when memory ran out; that is a failed
        // creation, not an object to add a reference to.
        if (object == nullptr) {
            return kMpFail;
        }
        object->addRef();
        *out = object;
        return kMpOk;
    });
}

std::int32_t ModuleFactory::getBuildInfo(std::int32_t* version, std::int32_t bufferLength,
                                         MpChar* text) noexcept {
    return abiGuard(kMpFail, [&] {
        if (version != nullptr) {
            *version = kFrameworkVersion;
        }
        // Why: the integer is read as the length of `text` in code units, so a short buffer
        // is never overrun; the text is cut to fit and always terminated. A length of 0 or
        // below means there is no room, and nothing is written.
        if (text != nullptr && bufferLength > 0) {
            const std::int32_t full = static_cast<std::int32_t>(std::size(kBuildText)); // 17
            const std::int32_t count = std::min(full, bufferLength);
            std::copy(kBuildText, kBuildText + count - 1, text);
            text[count - 1] = 0;
        }
        return kMpOk;
    });
}

std::int32_t ModuleFactory::destroy(std::int32_t flags) noexcept {
    return abiGuard(kMpFail, [&] {
        // Why: the library-wide factory lives until the library unloads, and MP_GetFactory
        // answers that same object every time. A host that calls destroy on it anyway
        // changes nothing: freeing it here would leave the library-wide pointer dangling
        // for the next MP_GetFactory and free it a second time at unload, and emptying the
        // registry would leave the host nothing to create. The unload step takes the
        // factory out of the pointer before destroying it.
        if (this == factoryPointer()) {
            return kMpOk;
        }
        registry.clear();
        if ((flags & 1) != 0) {
            delete this;
        }
        return kMpOk;
    });
}

FactoryEntry& ModuleFactory::entryFor(const MpChar* id) {
    MpString key(id);
    auto found = registry.find(key);
    if (found == registry.end()) {
        auto entry = std::make_unique<FactoryEntry>();
        entry->id = key;
        found = registry.emplace(key, std::move(entry)).first;
    }
    return *found->second;
}

std::int32_t ModuleFactory::registerAudioClass(const MpChar* id, CreateFunction create) {
    entryFor(id).audioCreate = create;
    return kMpOk;
}

std::int32_t ModuleFactory::registerDisplayClass(const MpChar* id, CreateFunction create) {
    entryFor(id).displayCreate = create;
    return kMpOk;
}

const FactoryEntry* ModuleFactory::find(const MpChar* id) const {
    // Why not MpString(id): the identifier comes from the host, and one without a
    // terminator would be read until a zero turns up. Compared with each registered
    // identifier unit by unit, at most one unit past the longest is ever read.
    for (const auto& entry : registry) {
        const MpString& key = entry.first;
        std::size_t i = 0;
        while (i < key.size() && id[i] == key[i]) {
            ++i;
        }
        if (i == key.size() && id[i] == 0) {
            return entry.second.get();
        }
    }
    return nullptr;
}

ModuleFactory* getFactory() {
    return factoryPointer();
}

std::int32_t registerAudioClass(const MpChar* id, CreateFunction create) {
    ModuleFactory* factory = getFactory();
    return factory != nullptr ? factory->registerAudioClass(id, create) : kMpFail;
}

std::int32_t registerDisplayClass(const MpChar* id, CreateFunction create) {
    ModuleFactory* factory = getFactory();
    return factory != nullptr ? factory->registerDisplayClass(id, create) : kMpFail;
}

void destroyFactory() {
    ModuleFactory* const factory = std::exchange(factoryPointer(), nullptr);
    if (factory != nullptr) {
        factory->destroy(1);
    }
}

void* libraryInstance() {
    return instanceHandle;
}

void setLibraryInstance(void* instance) {
    instanceHandle = instance;
}

} // namespace vex

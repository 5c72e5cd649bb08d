// What the module's fuzz targets share: a broken promise stops the run at once (so the
// fuzzer keeps the input), and the analyzer's objects made as a host makes them.
#pragma once

#include "framework/audio/abi.h"
#include "framework/audio/module_factory.h"

#include <cstdint>

inline void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

// The analyzer's object of `side` (0 audio, 1 display) for `host`, as `Interface`; the
// factory refusing it is a broken promise.
template <typename Interface> Interface* createAnalyzer(std::int32_t side, void* host) {
    void* out = nullptr;
    check(vex::getFactory()->createObject(MP_TEXT("VexAnalyzer"), side, host, &out) == vex::kMpOk);
    return static_cast<Interface*>(static_cast<vex::UnknownInterface*>(out));
}

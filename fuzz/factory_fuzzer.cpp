// Drives the factory with any identifier (also one without a terminator), any side and
// hosts that refuse any of their interfaces (or no host at all), then releases whatever it
// created.
#include "framework/audio/audio_module_interface.h"
#include "framework/audio/module_entry.h"
#include "framework/audio/module_factory.h"
#include "framework/display/display_module_interfaces.h"
#include "tests/support/recording_host.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const vex::MpGuid* const kHostInterfaces[] = {
    &vex::kUnknownInterfaceId,     &vex::kHostAudioInterfaceId,  &vex::kHostDisplayInterfaceId,
    &vex::kHostDrawingInterfaceId, &vex::kHostWindowInterfaceId, &vex::kHostWindowInterface2Id,
};

constexpr vex::MpChar kModuleId[] = MP_TEXT("VexAnalyzer");

// An identifier as the host hands it: code units, terminated or not. The factory is
// handed exactly these units in a buffer of their size, so a read past them is caught.
struct Identifier {
    std::vector<vex::MpChar> units;
};

// Whether `units` could still be the start of the registered identifier: then the factory
// cannot tell without reading one unit further, so such units get their terminator.
bool couldBeRegistered(const std::vector<vex::MpChar>& units) {
    const std::size_t length = std::size(kModuleId) - 1;
    if (units.size() > length) {
        return false;
    }
    return std::equal(units.begin(), units.end(), kModuleId);
}

Identifier identifier(FuzzedDataProvider& data) {
    Identifier id;
    const int kind = data.ConsumeIntegralInRange<int>(0, 4);
    if (kind == 0 || kind == 1 || kind == 2) {
        const vex::MpString text =
            kind == 1 ? vex::MpString(MP_TEXT("vexanalyzer")) : vex::MpString(kModuleId);
        std::size_t length = text.size();
        if (kind == 2) {
            length = data.ConsumeIntegralInRange<std::size_t>(0, length);
        }
        id.units.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
        id.units.push_back(0);
        return id;
    }
    // Arbitrary non-zero code units; with kind 4 no terminator follows them.
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 40);
    for (std::size_t i = 0; i < count && data.remaining_bytes() >= 2; ++i) {
        const auto unit = data.ConsumeIntegral<std::uint16_t>();
        if (unit != 0) {
            id.units.push_back(static_cast<vex::MpChar>(unit));
        }
    }
    if (kind == 3 || couldBeRegistered(id.units)) {
        id.units.push_back(0);
    }
    return id;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const int registered = vex::registerModuleClasses();
    (void)registered;
    FuzzedDataProvider data(bytes, size);
    vex::FactoryInterface* factory = vex::getFactory();

    while (data.remaining_bytes() > 0) {
        const Identifier id = identifier(data);
        // Exactly the identifier's units on the heap: nothing readable follows them.
        std::unique_ptr<vex::MpChar[]> units(new vex::MpChar[id.units.size()]);
        std::copy(id.units.begin(), id.units.end(), units.get());
        const auto side = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(0, 1)
                                             : data.ConsumeIntegral<std::int32_t>();
        vex::host::RecordingHost host;
        for (const vex::MpGuid* iid : kHostInterfaces) {
            if (data.ConsumeBool()) {
                host.refuse(*iid);
            }
        }
        const bool noHost = data.ConsumeProbability<float>() < 0.1f;
        void* out = reinterpret_cast<void*>(std::uintptr_t{1});
        const std::int32_t result =
            factory->createObject(units.get(), side, noHost ? nullptr : host.hostPointer(), &out);
        if (result == vex::kMpOk) {
            if (out == nullptr) {
                __builtin_trap(); // success must hand out an object
            }
            auto* object = static_cast<vex::UnknownInterface*>(out);
            if (object->release() != 0) {
                __builtin_trap(); // the host's reference was the only one
            }
        } else if (out != nullptr || (result != vex::kMpFail && result != vex::kMpUnsupported)) {
            __builtin_trap(); // failure must leave no object and a defined code
        }
    }
    return 0;
}

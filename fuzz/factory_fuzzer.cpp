// Drives the factory with any identifier, any side and hosts that refuse any of their
// interfaces (or no host at all), then releases whatever it created.
#include "framework/audio/audio_module_interface.h"
#include "framework/audio/module_entry.h"
#include "framework/audio/module_factory.h"
#include "framework/display/display_module_interfaces.h"
#include "host/test_host.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

namespace {

const vex::MpGuid* const kHostInterfaces[] = {
    &vex::kUnknownInterfaceId,     &vex::kHostAudioInterfaceId,  &vex::kHostDisplayInterfaceId,
    &vex::kHostDrawingInterfaceId, &vex::kHostWindowInterfaceId, &vex::kHostWindowInterface2Id,
};

vex::MpString identifier(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return MP_TEXT("VexAnalyzer");
    case 1:
        return MP_TEXT("vexanalyzer");
    case 2: {
        vex::MpString id = MP_TEXT("VexAnalyzer");
        id.resize(data.ConsumeIntegralInRange<std::size_t>(0, id.size()));
        return id;
    }
    default: {
        // Arbitrary code units; the terminator is added by the string, wherever the bytes
        // end, so the factory never reads past them.
        const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 40);
        vex::MpString id;
        for (std::size_t i = 0; i < count && data.remaining_bytes() >= 2; ++i) {
            const auto unit = data.ConsumeIntegral<std::uint16_t>();
            if (unit != 0) {
                id.push_back(static_cast<vex::MpChar>(unit));
            }
        }
        return id;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const int registered = vex::registerModuleClasses();
    (void)registered;
    FuzzedDataProvider data(bytes, size);
    vex::FactoryInterface* factory = vex::getFactory();

    while (data.remaining_bytes() > 0) {
        const vex::MpString id = identifier(data);
        const auto side = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(0, 1)
                                             : data.ConsumeIntegral<std::int32_t>();
        vex::host::TestHost host;
        for (const vex::MpGuid* iid : kHostInterfaces) {
            if (data.ConsumeBool()) {
                host.refuse(*iid);
            }
        }
        const bool noHost = data.ConsumeProbability<float>() < 0.1f;
        void* out = reinterpret_cast<void*>(std::uintptr_t{1});
        const std::int32_t result =
            factory->createObject(id.c_str(), side, noHost ? nullptr : host.hostPointer(), &out);
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

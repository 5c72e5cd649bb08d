#include "host/kit/module_objects.h"

#include "host/kit/host_error.h"

#include <string>

namespace vex::host {

const MpChar kVexAnalyzerId[] = MP_TEXT("VexAnalyzer");

void* createModuleObject(FactoryInterface& factory, std::int32_t side, void* host,
                         const MpGuid& iid) {
    const char* sideName = side == kAudioSide ? "audio" : "display";
    void* created = nullptr;
    const std::int32_t result = factory.createObject(kVexAnalyzerId, side, host, &created);
    if (result != kMpOk || created == nullptr) {
        std::string why = result == kMpUnsupported ? " (the module has no such object)"
                          : result == kMpFail      ? " (the object could not be built)"
                                                   : "";
        throw HostError("the module answered " + std::to_string(result) +
                        " when asked for its VexAnalyzer " + sideName + " object" + why);
    }
    auto* unknown = static_cast<UnknownInterface*>(created);
    void* answer = nullptr;
    const std::int32_t queried = unknown->queryInterface(&iid, &answer);
    unknown->release();
    if (queried != kMpOk || answer == nullptr) {
        throw HostError("the module's VexAnalyzer " + std::string(sideName) + " object answered " +
                        std::to_string(queried) + " when asked for its interface");
    }
    return answer;
}

} // namespace vex::host

// The objects a host of ours makes from the module's factory.
#pragma once

#include "framework/audio/factory_interface.h"

#include <cstdint>

namespace vex::host {

// The module identifier the hosts create their objects under.
extern const MpChar kVexAnalyzerId[];

// Creates side `side` of VexAnalyzer for `host` and answers it as interface `iid`,
// holding one reference. Throws HostError naming the module's answer.
void* createModuleObject(FactoryInterface& factory, std::int32_t side, void* host,
                         const MpGuid& iid);

} // namespace vex::host

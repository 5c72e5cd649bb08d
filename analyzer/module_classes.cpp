// The module classes this library offers, entered into the factory at start-up.
#include "framework/audio/module_entry.h"
#include "framework/audio/module_factory.h"

namespace vex {

// Module identifier under which the analyzer's two sides are entered.
extern const MpChar kAnalyzerModuleId[] = MP_TEXT("VexAnalyzer");

int registerModuleClasses() {
    // The analyzer's audio side is entered here first, then its display side, as each
    // becomes available: registerAudioClass(kAnalyzerModuleId, ...), then
    // registerDisplayClass(kAnalyzerModuleId, ...).
    return 0;
}

} // namespace vex

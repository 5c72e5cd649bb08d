// The module classes this library offers, entered into the factory at start-up.
#include "analyzer/audio/analyzer_audio_module.h"
#include "analyzer/display/analyzer_display_factory.h"
#include "framework/audio/module_entry.h"
#include "framework/audio/module_factory.h"

namespace vex {

// Module identifier under which the analyzer's two sides are entered.
extern const MpChar kAnalyzerModuleId[] = MP_TEXT("VexAnalyzer");

int registerModuleClasses() {
    // The audio side first, then the display side.
    registerAudioClass(kAnalyzerModuleId, &createAnalyzerAudioModule);
    registerDisplayClass(kAnalyzerModuleId, &createAnalyzerDisplay);
    return 0;
}

} // namespace vex

// The DSP library's LV2 entry points: the descriptor, and the state and worker interfaces,
// each handing the call to its instance (lv2/dsp/analyzer_dsp.h). No exception leaves them.
#include "lv2/common/analyzer_lv2.h"
#include "lv2/dsp/analyzer_dsp.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <cstring>

namespace vex::lv2 {

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char* bundlePath,
                       const LV2_Feature* const* features) {
    return AnalyzerDsp::create(sampleRate, bundlePath, features);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) {
    static_cast<AnalyzerDsp*>(instance)->connect(port, data);
}

void activate(LV2_Handle instance) {
    try {
        static_cast<AnalyzerDsp*>(instance)->activate();
    } catch (...) {
        // Out of memory while making the object: the instance passes audio through only.
    }
}

void run(LV2_Handle instance, uint32_t sampleCount) {
    static_cast<AnalyzerDsp*>(instance)->run(sampleCount);
}

void deactivate(LV2_Handle instance) {
    static_cast<AnalyzerDsp*>(instance)->deactivate();
}

void cleanup(LV2_Handle instance) {
    delete static_cast<AnalyzerDsp*>(instance);
}

LV2_Worker_Status work(LV2_Handle instance, LV2_Worker_Respond_Function respond,
                       LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
    try {
        auto* dsp = static_cast<AnalyzerDsp*>(instance);
        return FineLink::owns(size, data) ? dsp->fineLink().work(respond, handle, size, data)
                                          : dsp->groupLink().work(respond, handle, size, data);
    } catch (...) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
}

LV2_Worker_Status workResponse(LV2_Handle instance, uint32_t size, const void* data) {
    auto* dsp = static_cast<AnalyzerDsp*>(instance);
    return FineLink::owns(size, data) ? dsp->fineLink().response(size, data)
                                      : dsp->groupLink().response(size, data);
}

LV2_State_Status saveState(LV2_Handle instance, LV2_State_Store_Function store,
                           LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    return static_cast<const AnalyzerDsp*>(instance)->save(store, handle);
}

LV2_State_Status restoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    return static_cast<AnalyzerDsp*>(instance)->restore(retrieve, handle);
}

const LV2_State_Interface stateInterface = {saveState, restoreState};

const void* extensionData(const char* uri) {
    static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
    if (uri != nullptr && std::strcmp(uri, LV2_WORKER__interface) == 0) {
        return &worker;
    }
    return uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0 ? &stateInterface
                                                                         : nullptr;
}

const LV2_Descriptor descriptor = {kPluginUri, instantiate, connectPort, activate,
                                   run,        deactivate,  cleanup,     extensionData};

} // namespace

} // namespace vex::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &vex::lv2::descriptor : nullptr;
}

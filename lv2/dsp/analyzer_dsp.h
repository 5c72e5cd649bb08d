// The DSP half of the LV2 plug-in: one audio object of the module, created through the
// module's factory and driven through its interface block by block, as a host drives it.
#pragma once

#include "host/kit/block_driver.h"
#include "host/kit/module_library.h"
#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/urids.h"
#include "lv2/dsp/dsp_settings.h"
#include "lv2/dsp/fine_link.h"
#include "lv2/dsp/group_link.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <string>

namespace vex::lv2 {

// One plug-in instance. Construction, activate and deactivate run on the host's
// instantiation thread; connect and run on its audio thread, which run keeps free of
// allocation, locks and I/O.
class AnalyzerDsp {
public:
    // Loads the module from the bundle folder and creates an audio object. Null (with
    // nothing left loaded) when the module or the host's URID map is missing.
    static AnalyzerDsp* create(double sampleRate, const char* bundlePath,
                               const LV2_Feature* const* features);
    ~AnalyzerDsp();
    AnalyzerDsp(const AnalyzerDsp&) = delete;
    AnalyzerDsp& operator=(const AnalyzerDsp&) = delete;

    void connect(std::uint32_t port, void* data);
    void activate();
    void run(std::uint32_t sampleCount);
    void deactivate();
    GroupLink& groupLink() { return group; }
    FineLink& fineLink() { return *fine; }

    // The host's state calls: the settings (save may run beside run; restore never does).
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle) const {
        return settings.save(store, handle);
    }
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
        return settings.restore(retrieve, handle);
    }

private:
    AnalyzerDsp(double sampleRate, LV2_URID_Map& map);
    bool makeObject();
    void startNotify();
    void readControlPort();
    void sendControls(std::int32_t mode);
    void takeFrame(std::int32_t time, const std::uint8_t* data, std::int32_t size);
    // The analysis frame events state: the fine one when chosen and available.
    std::int32_t frameAnalysis() const;
    bool wanted() const;
    // A frame event (and the group's copy) of `size` bytes at `offset` in the block.
    void sendFrame(std::int32_t offset, std::int64_t time, const std::uint8_t* data,
                   std::int32_t size, std::int32_t analysis);
    void scanPeaks(std::int32_t end);
    void passAudio(std::int32_t frames);
    void writeOutputs();
    // The label setting into the group's slot (audio or activation thread).
    void labelGroupMember();

    // A port's buffer as the host connected it (null before), typed as the port table says.
    const float* input(Port port) const { return static_cast<const float*>(connected[port]); }
    float* output(Port port) const { return static_cast<float*>(connected[port]); }
    // A control input as a whole number in lo..hi (lo when not connected).
    std::int32_t choiceOf(Port port, std::int32_t lo, std::int32_t hi) const;

    double rate;
    Urids urids;
    host::ModuleLibrary library;
    host::BlockDriver driver;
    DspSettings settings{urids};
    LV2_Atom_Forge forge;          // writes the notify port's sequence during run
    LV2_Atom_Forge_Frame sequence; // the notify sequence's frame while forge has a buffer
    void* connected[kPortCount] = {};
    GroupLink group;
    std::unique_ptr<FineLink> fine;

    // Audio-thread state.
    bool started = false; // the stream's first block has gone to the object
    bool opening = false; // what open sends is not the host's
    bool uiListening = false;
    std::int32_t sentMode = 0;
    std::int32_t sentRate = 0;
    float sentEnable = 1.0f;
    std::int64_t samplesRun = 0; // since activation, before this block
    std::int64_t blockStart = 0; // the fine history's samples before this block
    std::int32_t scanned = 0;    // samples of this block already in the running peaks
    float runningPeakA = 0.0f;
    float runningPeakB = 0.0f;
    float lastPeakA = 0.0f;
    float lastPeakB = 0.0f;
    double framesSent = 0.0;
    double framesDropped = 0.0;
};

} // namespace vex::lv2

// The base of every audio-side object: identity and reference count, the binding to the
// host's audio interface, the pin registry, and the block processing that splits each
// block at its groups of timed pin events.
#pragma once

#include "framework/audio/audio_module_interface.h"
#include "framework/audio/audio_pins.h"
#include "framework/audio/host_audio_interface.h"

#include <cstdint>
#include <map>

namespace vex {

// Contract: the host drives the object from one thread (its audio thread for open,
// setBuffer and process); nothing is locked and the reference count is a plain counter.
// The object is handed out by the factory and lives until the release that brings its
// count to 0.
class AudioModuleBase : public AudioModuleInterface {
public:
    // Processes samples bufferOffset .. bufferOffset + sampleFrames − 1 of the current
    // block in every audio pin's buffer. The base never calls one with a negative count or
    // past the block's end; a count of 0 happens.
    using BlockRoutine = void (AudioModuleBase::*)(std::int32_t bufferOffset,
                                                   std::int32_t sampleFrames);

    // Queries `host` (the pointer createObject received) for HostAudioInterface. Throws
    // std::runtime_error("host Interfaces not supported") when the host answers null, which
    // the factory reports as kMpFail.
    explicit AudioModuleBase(void* host);
    AudioModuleBase(const AudioModuleBase&) = delete;
    AudioModuleBase& operator=(const AudioModuleBase&) = delete;

    // AudioModuleInterface. None lets an exception out.
    std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
    std::int32_t MP_STDCALL addRef() noexcept override;
    // At 0 the object destroys itself (destroy with flag 1) and answers 0; kMpFail when the
    // teardown raised an error (the object is then left as the teardown left it).
    std::int32_t MP_STDCALL release() noexcept override;
    // A module overriding open calls the base first.
    std::int32_t MP_STDCALL open() noexcept override;
    std::int32_t MP_STDCALL setBuffer(std::int32_t pinId, float* buffer) noexcept override;
    // Answers kMpOk, or kMpFail when an exception escaped a pin or a routine.
    std::int32_t MP_STDCALL process(std::int32_t sampleFrames,
                                    const PinEvent* events) noexcept override;
    std::int32_t MP_STDCALL reserved7(std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return kMpOk;
    }

    // The object's own operations, after the interface in its table.

    // Tears the object down: the derived part first, then the host interface is released
    // (once) and the registry emptied. Bit 0 of `flags` frees the object's memory.
    virtual void destroy(std::int32_t flags);
    virtual void reserved9(std::int32_t, std::int32_t, std::int32_t) {}
    // After an event group that set a value or changed streaming, with every pin of the
    // group already updated.
    virtual void onSetPins() {}
    // From an audio pin whose streaming state changed.
    virtual void onStreamingChange(bool started);
    // Event 104: every registered output sends its value at blockPosition.
    virtual void onGraphStart();

    // The registered pin `pinId`, or null.
    DspPin* findPin(std::int32_t pinId) const;

protected:
    // Runs the derived teardown; the base releases the host interface here unless destroy
    // already did.
    virtual ~AudioModuleBase();

    // Binds `pin` with id `index` and change callback `spec` (an input given null takes its
    // default), then registers it; an id registered before keeps its first pin.
    void initializePin(std::int32_t index, DspPin& pin, PinSpec spec = nullptr);

    // Makes `routine` the module's routine; behind the sleep gate when the gate is active.
    // A null routine stands for one that does nothing.
    void setSubProcess(BlockRoutine routine);
    // true: the outputs are static and the sleep gate goes in front. false: the outputs
    // stream; the gate, if active, hands over on its next call.
    void setSleep(bool on);
    // The sleep gate: runs the module routine while the outputs stream, or until the
    // pending event group while they are static, then asks the host to sleep.
    void staticDispatch(std::int32_t bufferOffset, std::int32_t sampleFrames);

    // A derived class's routine as a BlockRoutine.
    template <typename Module>
    static BlockRoutine routine(void (Module::*r)(std::int32_t, std::int32_t)) {
        return static_cast<BlockRoutine>(r);
    }
    // A derived class's change callback as a PinSpec.
    template <typename Module> static PinSpec pinSpec(void (Module::*r)(const PinEvent*)) {
        return static_cast<PinSpec>(r);
    }

    // The host's audio interface; held from construction to destruction.
    HostAudioInterface* host = nullptr;
    // Block time of the event group being delivered; pins send at it by default. Changed
    // only by process.
    std::int32_t blockPosition = 0;
    // Samples the sleep gate still runs before it lets the module sleep.
    std::int32_t sleepCountdown = 0;
    // Input pins whose signal is streaming.
    std::int32_t streamingInputs = 0;
    // −1: outputs static while no input streams; 0: outputs streaming; 1: outputs static.
    std::int32_t staticMode = -1;
    // False while the stretch before an event group is processed.
    bool maySleep = true;
    std::int32_t referenceCount = 0;
    // Both start as a routine that does nothing; a module sets them in its constructor.
    BlockRoutine activeRoutine;
    BlockRoutine moduleRoutine;

private:
    friend class DspAudioPin;
    friend class DspValuePin;

    void releaseHost();
    void doNothing(std::int32_t, std::int32_t) {}
    void deliverGroup(const PinEvent* first, const PinEvent* end);

    // Non-owning: the pins are members of the derived object.
    std::map<std::int32_t, DspPin*> pins;
};

} // namespace vex

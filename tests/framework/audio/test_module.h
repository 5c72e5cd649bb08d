// A module for tests of the audio base: one pin of every kind, a block routine that
// records its calls, and hooks that record what the base delivers. Records go into fixed
// arrays so that a run of blocks makes no allocation of the test's own.
#pragma once

#include "framework/audio/audio_module_base.h"
#include "tests/support/recording_host.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace vex::test {

struct RoutineCall {
    std::int32_t offset;
    std::int32_t frames;
    bool maySleep;
};

// What onSetPins saw.
struct SetPinsCall {
    std::int32_t blockPosition;
    bool intUpdated, floatUpdated, boolUpdated, blobUpdated;
    std::int32_t intValue;
    bool streamingChangedA;
};

template <typename T, std::size_t N> struct Record {
    std::array<T, N> items{};
    std::size_t count = 0;
    void add(const T& item) {
        if (count < N) {
            items[count] = item;
        }
        ++count;
    }
    const T& operator[](std::size_t i) const { return items[i]; }
    void clear() { count = 0; }
};

class TestModule final : public AudioModuleBase {
public:
    enum PinIds { kBlobOut, kInt, kFloat, kBool, kAudioA, kAudioB, kBoolOut, kBlobIn };

    explicit TestModule(void* host) : AudioModuleBase(host) {
        initializePin(kBlobOut, blobOut);
        initializePin(kInt, intPin);
        initializePin(kFloat, floatPin);
        initializePin(kBool, boolPin);
        initializePin(kAudioA, audioA);
        initializePin(kAudioB, audioB);
        initializePin(kBoolOut, boolOut);
        initializePin(kBlobIn, blobIn, pinSpec(&TestModule::onBlobIn));
        setSubProcess(routine(&TestModule::record));
    }

    static UnknownInterface* create(void* host) { return new TestModule(host); }

    void record(std::int32_t offset, std::int32_t frames) {
        routineCalls.add(RoutineCall{offset, frames, maySleep});
    }
    void recordOther(std::int32_t offset, std::int32_t frames) {
        otherCalls.add(RoutineCall{offset, frames, maySleep});
    }
    void onBlobIn(const PinEvent* event) {
        // Sees every pre-event step of the group done: the int pin's new value included.
        callbackIntValues.add(intPin.get());
        callbackTimes.add(event->time);
        if (sendFromCallback) {
            boolOut.sendPinUpdate(-1);
        }
    }
    void onSetPins() override {
        setPinsCalls.add(SetPinsCall{blockPosition, intPin.updated(), floatPin.updated(),
                                     boolPin.updated(), blobIn.updated(), intPin.get(),
                                     audioA.streamingChanged()});
    }
    void onStreamingChange(bool started) override {
        streamingChanges.add(started);
        AudioModuleBase::onStreamingChange(started);
    }
    void destroy(std::int32_t flags) override {
        ++*destroyed;
        if (failTeardown) {
            throw std::runtime_error("teardown failed");
        }
        AudioModuleBase::destroy(flags);
    }

    // The base's state and operations, for the tests.
    using AudioModuleBase::setSleep;
    using AudioModuleBase::setSubProcess;
    std::int32_t references() const { return referenceCount; }
    std::int32_t position() const { return blockPosition; }
    std::int32_t countdown() const { return sleepCountdown; }
    std::int32_t streaming() const { return streamingInputs; }
    std::int32_t outputs() const { return staticMode; }
    bool gated() const { return activeRoutine == &TestModule::staticDispatch; }
    bool runsRecord() const { return moduleRoutine == routine(&TestModule::record); }
    void useOther() { setSubProcess(routine(&TestModule::recordOther)); }
    void useRecord() { setSubProcess(routine(&TestModule::record)); }
    void openGate() { activeRoutine = &TestModule::staticDispatch; }
    void closeGate() { activeRoutine = moduleRoutine; }

    BlobOutputPin blobOut;
    DspIntPin intPin;
    DspFloatPin floatPin;
    DspBoolPin boolPin;
    DspAudioPin audioA;
    DspAudioPin audioB;
    DspBoolPin boolOut{kPinOutput};
    DspBlobPin blobIn;

    Record<RoutineCall, 256> routineCalls;
    Record<RoutineCall, 64> otherCalls;
    Record<SetPinsCall, 64> setPinsCalls;
    Record<bool, 64> streamingChanges;
    Record<std::int32_t, 64> callbackIntValues;
    Record<std::int32_t, 64> callbackTimes;
    bool sendFromCallback = false;
    bool failTeardown = false;
    int ownDestroyCount = 0;
    int* destroyed = &ownDestroyCount;
};

// Builds one event list in place: events link to each other in the order added.
class EventList {
public:
    PinEvent& add(std::int32_t time, std::int32_t type, std::int32_t pinId) {
        PinEvent& e = events[count];
        e = PinEvent{};
        e.time = time;
        e.type = type;
        e.pinId = pinId;
        if (count > 0) {
            events[count - 1].next = &e;
        }
        ++count;
        return e;
    }
    PinEvent& value(std::int32_t time, std::int32_t pinId, std::int32_t word) {
        PinEvent& e = add(time, kEventPinValue, pinId);
        e.valueSize = 4;
        e.value[0] = word;
        return e;
    }
    PinEvent& floatValue(std::int32_t time, std::int32_t pinId, float v) {
        PinEvent& e = add(time, kEventPinValue, pinId);
        e.valueSize = 4;
        std::memcpy(e.value, &v, sizeof(v));
        return e;
    }
    PinEvent& bytes(std::int32_t time, std::int32_t pinId, std::int32_t size, const void* data) {
        PinEvent& e = add(time, kEventPinValue, pinId);
        e.valueSize = size;
        e.valuePointer = data;
        return e;
    }
    const PinEvent* first() const { return count > 0 ? &events[0] : nullptr; }
    void clear() { count = 0; }

private:
    std::array<PinEvent, 64> events{};
    std::size_t count = 0;
};

} // namespace vex::test

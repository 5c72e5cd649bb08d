// A display class for the tests only: one pin of every kind, callbacks that record what
// they saw, and an allocation count that shows a failed construction frees its memory.
#pragma once

#include "framework/audio/module_factory.h"
#include "framework/display/composited_display.h"
#include "framework/display/display_pins.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace vex::test {

inline constexpr MpChar kTestDisplayId[] = MP_TEXT("TestDisplay");

class TestDisplay final : public CompositedDisplay {
public:
    explicit TestDisplay(void* host) : CompositedDisplay(host) {
        initializePin(0, frames, &TestDisplay::onFrame);
        initializePin(1, mode, &TestDisplay::onMode);
        initializePin(2, level);
        initializePin(3, flag, &TestDisplay::onFlag);
        initializePin(4, label, &TestDisplay::onLabel);
        initializePin(5, colour, &TestDisplay::onColour);
        initializePin(6, gains, &TestDisplay::onGain);
        initializePin(7, faulty, &TestDisplay::onFaulty);
        // A second pin under an id already taken: the registry keeps the first.
        initializePin(1, shadow, &TestDisplay::onShadow);
        ++live;
    }
    ~TestDisplay() override { --live; }

    static void* operator new(std::size_t size) {
        ++allocations;
        return ::operator new(size);
    }
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
        ++allocations;
        return ::operator new(size, std::nothrow);
    }
    static void operator delete(void* p) noexcept {
        --allocations;
        ::operator delete(p);
    }
    // Matches the nothrow allocation when a constructor raises its error.
    static void operator delete(void* p, const std::nothrow_t&) noexcept {
        --allocations;
        ::operator delete(p);
    }

    std::int32_t MP_STDCALL paint(HDC dc) noexcept override {
        paintedWith = dc;
        return kMpOk;
    }

    void onFrame(std::int32_t voice) { frameVoices.push_back(voice); }
    void onMode() { modeValues.push_back(mode.getValue()); }
    void onFlag() { ++flagCalls; }
    void onLabel() { ++labelCalls; }
    void onColour() { colourSeen.push_back(colour.noColour() ? 0u : colour.colour()); }
    void onGain(std::int32_t voice) { gainVoices.push_back(voice); }
    void onFaulty() { throw std::runtime_error("callback failed"); }
    void onShadow() { ++shadowCalls; }

    PerVoiceBlobPin frames;
    IntPin mode;
    FloatPin level;
    BoolPin flag;
    TextPin label;
    ColourPin colour;
    PerVoiceFloatPin gains;
    IntPin faulty;
    IntPin shadow;

    HDC paintedWith = nullptr;
    std::vector<std::int32_t> frameVoices;
    std::vector<std::int32_t> modeValues;
    std::int32_t flagCalls = 0;
    std::int32_t labelCalls = 0;
    std::vector<std::uint32_t> colourSeen;
    std::vector<std::int32_t> gainVoices;
    std::int32_t shadowCalls = 0;

    static inline std::int32_t live = 0;
    static inline std::int32_t allocations = 0;
};

} // namespace vex::test

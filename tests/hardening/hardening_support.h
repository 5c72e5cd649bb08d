// Drives the plug-in's two objects as a host does, for the long and hostile runs: the
// audio object's frames are handed to the display object, which paints into a surface.
#pragma once

#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"
#include "framework/audio/audio_module_interface.h"
#include "framework/audio/factory_interface.h"
#include "framework/display/display_module_interfaces.h"
#include "host/kit/view/paint_surface.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vex::test {

inline constexpr MpChar kModuleId[] = MP_TEXT("VexAnalyzer");

// The payload length of a mode's frames: 0 scope, 1 linear, 2 log.
inline std::int32_t payloadSize(std::int32_t mode) {
    return mode == 0 ? kScopePayloadSize
                     : (mode == 1 ? kLinearSpectrumPayloadSize : kLogSpectrumPayloadSize);
}

inline float floatAt(const std::vector<std::uint8_t>& frame, std::size_t offset) {
    float value = 0.0f;
    std::memcpy(&value, frame.data() + offset, sizeof(value));
    return value;
}

// Timed events of one block, linked when handed out.
class Events {
public:
    Events& streaming(std::int32_t pin, bool on, std::int32_t time = 0) {
        PinEvent& e = add(time, pin);
        e.type = on ? kEventStreamingStart : kEventStreamingStop;
        return *this;
    }
    Events& integer(std::int32_t pin, std::int32_t value, std::int32_t time = 0) {
        PinEvent& e = add(time, pin);
        e.type = kEventPinValue;
        e.valueSize = 4;
        e.value[0] = value;
        return *this;
    }
    Events& real(std::int32_t pin, float value, std::int32_t time = 0) {
        PinEvent& e = add(time, pin);
        e.type = kEventPinValue;
        e.valueSize = 4;
        std::memcpy(e.value, &value, sizeof(value));
        return *this;
    }
    bool empty() const { return events.empty(); }
    void clear() { events.clear(); }
    // The list in the order added (callers add in time order); valid until the next change.
    const PinEvent* first() {
        for (std::size_t i = 0; i + 1 < events.size(); ++i) {
            events[i].next = &events[i + 1];
        }
        if (!events.empty()) {
            events.back().next = nullptr;
        }
        return events.empty() ? nullptr : events.data();
    }

private:
    PinEvent& add(std::int32_t time, std::int32_t pin) {
        PinEvent e{};
        e.time = time;
        e.pinId = pin;
        events.push_back(e);
        return events.back();
    }
    std::vector<PinEvent> events;
};

// The audio object of the loaded plug-in with its own host; keeps the frames it sends.
class AudioSide {
public:
    AudioSide(FactoryInterface* factory, float sampleRate) {
        host.sampleRate = sampleRate;
        host.recordSends = false;
        host.onPinSend = [this](std::int32_t, std::int32_t pin, const void* data,
                                std::int32_t size) {
            if (pin != kAudioFramePin) {
                return;
            }
            ++sent;
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            last.assign(bytes, bytes + (size > 0 ? size : 0));
            fresh = true;
        };
        void* out = nullptr;
        EXPECT_EQ(factory->createObject(kModuleId, 0, host.hostPointer(), &out), kMpOk);
        module = static_cast<AudioModuleInterface*>(static_cast<UnknownInterface*>(out));
    }
    ~AudioSide() {
        if (module != nullptr) {
            EXPECT_EQ(module->release(), 0);
            EXPECT_EQ(host.references(kHostAudioInterfaceId), 0);
        }
    }
    AudioSide(const AudioSide&) = delete;
    AudioSide& operator=(const AudioSide&) = delete;

    // One block over both buffers (each at least `frames` long), with `events`.
    void process(std::int32_t frames, float* a, float* b, Events* events = nullptr) {
        module->setBuffer(kAudioSignalAPin, a);
        module->setBuffer(kAudioSignalBPin, b);
        EXPECT_EQ(module->process(frames, events != nullptr ? events->first() : nullptr), kMpOk);
        if (events != nullptr) {
            events->clear();
        }
    }

    host::RecordingHost host;
    AudioModuleInterface* module = nullptr;
    // The last value of the frame pin, and whether one came since `fresh` was cleared.
    std::vector<std::uint8_t> last;
    bool fresh = false;
    std::int64_t sent = 0;
};

// The display object of the loaded plug-in with its own host.
class DisplaySide {
public:
    explicit DisplaySide(FactoryInterface* factory) {
        void* out = nullptr;
        EXPECT_EQ(factory->createObject(kModuleId, 1, host.hostPointer(), &out), kMpOk);
        module = static_cast<DisplayModuleInterface*>(static_cast<UnknownInterface*>(out));
        void* second = nullptr;
        if (module != nullptr && module->queryInterface(&kDrawingInterfaceId, &second) == kMpOk) {
            drawing = static_cast<DrawingInterface*>(second);
            drawing->release();
        }
    }
    ~DisplaySide() {
        if (module != nullptr) {
            EXPECT_EQ(module->release(), 0);
        }
    }
    DisplaySide(const DisplaySide&) = delete;
    DisplaySide& operator=(const DisplaySide&) = delete;

    bool ready() const { return drawing != nullptr; }

    void set(std::int32_t pin, std::int32_t voice, const void* bytes, std::int32_t size) {
        EXPECT_EQ(module->setPin(pin, voice, size, bytes), kMpOk);
        EXPECT_EQ(module->notifyPin(pin, voice), kMpOk);
    }
    void frame(std::int32_t voice, const std::vector<std::uint8_t>& bytes) {
        set(kDisplayFramesPin, voice, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    void integer(std::int32_t pin, std::int32_t value) { set(pin, 0, &value, 4); }
    void real(std::int32_t pin, float value, std::int32_t voice = 0) { set(pin, voice, &value, 4); }
    void boolean(std::int32_t pin, bool value) {
        const std::uint8_t byte = value ? 1 : 0;
        set(pin, 0, &byte, 1);
    }
    void text(std::int32_t pin, const char16_t* text) {
        std::vector<std::uint8_t> bytes;
        for (const char16_t* c = text; *c != 0; ++c) {
            bytes.push_back(static_cast<std::uint8_t>(*c & 0xff));
            bytes.push_back(static_cast<std::uint8_t>(*c >> 8));
        }
        set(pin, 0, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }

    // Arranges the area to the surface and paints into it.
    std::int32_t paint(host::PaintSurface& surface) {
        EXPECT_EQ(drawing->arrange(0, surface.height(), 0, surface.width()), kMpOk);
        return drawing->paint(surface.dc());
    }

    host::RecordingHost host;
    DisplayModuleInterface* module = nullptr;
    DrawingInterface* drawing = nullptr;
};

// Pixels whose green channel is strong and red weak: the traces of a green trace colour.
inline std::int32_t greenPixels(const host::PaintSurface& surface) {
    std::int32_t count = 0;
    for (const std::uint32_t p : surface.pixels()) {
        const std::uint32_t red = (p >> 16) & 0xff;
        const std::uint32_t green = (p >> 8) & 0xff;
        count += (green > 128 && red < 64) ? 1 : 0;
    }
    return count;
}

} // namespace vex::test

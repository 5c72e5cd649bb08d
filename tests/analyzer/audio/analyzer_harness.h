// Drives the real plug-in's audio object as a host does: loads VEX_ANALYZER.sem, creates
// "VexAnalyzer" side 0 with the test host, opens it, hands buffers and timed pin events,
// and records every value it sends with its absolute sample time.
#pragma once

#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"
#include "framework/audio/audio_module_interface.h"
#include "host/kit/module_library.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace vex::test {

// One value the module sent, at absolute sample time `time`.
struct SentValue {
    std::int64_t time;
    std::int32_t pinId;
    std::vector<std::uint8_t> bytes;

    float floatAt(std::size_t offset) const {
        float v = 0.0f;
        std::memcpy(&v, bytes.data() + offset, sizeof(v));
        return v;
    }
    // Signal A (0) or B (1) of record `index` of a frame.
    float record(std::int32_t index, int signal) const {
        return floatAt(kPayloadHeaderSize + 8 * index + 4 * signal);
    }
};

// A signal by absolute sample index.
using Signal = std::function<float(std::int64_t)>;

class AnalyzerHarness {
public:
    explicit AnalyzerHarness(float sampleRate = 48000.0f, std::int32_t hostFlag = 0) {
        host.sampleRate = sampleRate;
        host.hostFlag = hostFlag;
        host.recordSends = false;
        host.onPinSend = [this](std::int32_t time, std::int32_t pinId, const void* data,
                                std::int32_t size) {
            const auto* first = static_cast<const std::uint8_t*>(data);
            sent.push_back(SentValue{position + time, pinId,
                                     size > 0 ? std::vector<std::uint8_t>(first, first + size)
                                              : std::vector<std::uint8_t>()});
        };
        if (!library.load(host::defaultModulePath())) {
            ADD_FAILURE() << library.error();
            return;
        }
        void* out = nullptr;
        const std::int32_t result =
            library.factory()->createObject(MP_TEXT("VexAnalyzer"), 0, host.hostPointer(), &out);
        EXPECT_EQ(result, kMpOk);
        module = static_cast<AudioModuleInterface*>(static_cast<UnknownInterface*>(out));
    }
    ~AnalyzerHarness() {
        if (module != nullptr) {
            EXPECT_EQ(module->release(), 0);
        }
    }
    AnalyzerHarness(const AnalyzerHarness&) = delete;
    AnalyzerHarness& operator=(const AnalyzerHarness&) = delete;

    bool ready() const { return module != nullptr; }
    // Opens; a `mode` of 0 or more is set on the mode pin for the first block.
    void open(std::int32_t mode = -1) {
        EXPECT_EQ(module->open(), kMpOk);
        if (mode >= 0) {
            setInt(kAudioModePin, mode);
        }
    }
    // Opens and marks both inputs streaming from the first block, then sets `mode` as open
    // does.
    void openStreaming(std::int32_t mode = -1) {
        EXPECT_EQ(module->open(), kMpOk);
        streaming(kAudioSignalAPin, true);
        streaming(kAudioSignalBPin, true);
        if (mode >= 0) {
            setInt(kAudioModePin, mode);
        }
    }

    // Events for the next block, at block time `time`.
    void streaming(std::int32_t pinId, bool on, std::int32_t time = 0) {
        add(time, on ? kEventStreamingStart : kEventStreamingStop, pinId);
    }
    void setInt(std::int32_t pinId, std::int32_t value, std::int32_t time = 0) {
        PinEvent& e = add(time, kEventPinValue, pinId);
        e.valueSize = 4;
        e.value[0] = value;
    }
    void setFloat(std::int32_t pinId, float value, std::int32_t time = 0) {
        PinEvent& e = add(time, kEventPinValue, pinId);
        e.valueSize = 4;
        std::memcpy(e.value, &value, sizeof(value));
    }

    // Runs `total` samples in blocks of `block`; the pending events go with the first.
    // A null signal leaves that input's buffer unset.
    void run(std::int64_t total, std::int32_t block, const Signal& a, const Signal& b) {
        std::vector<float> bufferA(static_cast<std::size_t>(block));
        std::vector<float> bufferB(static_cast<std::size_t>(block));
        for (std::int64_t done = 0; done < total;) {
            const std::int32_t frames =
                static_cast<std::int32_t>(total - done < block ? total - done : block);
            for (std::int32_t i = 0; i < frames; ++i) {
                if (a) {
                    bufferA[i] = a(position + i);
                }
                if (b) {
                    bufferB[i] = b(position + i);
                }
            }
            if (a) {
                module->setBuffer(kAudioSignalAPin, bufferA.data());
            }
            if (b) {
                module->setBuffer(kAudioSignalBPin, bufferB.data());
            }
            for (std::size_t i = 0; i + 1 < pending.size(); ++i) {
                pending[i].next = &pending[i + 1];
            }
            module->process(frames, pending.empty() ? nullptr : pending.data());
            pending.clear();
            position += frames;
            done += frames;
        }
    }

    // The values sent on `pinId`, in order.
    std::vector<SentValue> sentOn(std::int32_t pinId) const {
        std::vector<SentValue> out;
        for (const SentValue& v : sent) {
            if (v.pinId == pinId) {
                out.push_back(v);
            }
        }
        return out;
    }
    // Frames of the frame pin that are not empty.
    std::vector<SentValue> frames() const {
        std::vector<SentValue> out;
        for (const SentValue& v : sentOn(kAudioFramePin)) {
            if (!v.bytes.empty()) {
                out.push_back(v);
            }
        }
        return out;
    }

    host::ModuleLibrary library;
    host::RecordingHost host;
    AudioModuleInterface* module = nullptr;
    std::vector<SentValue> sent;
    std::int64_t position = 0;

private:
    PinEvent& add(std::int32_t time, std::int32_t type, std::int32_t pinId) {
        PinEvent e{};
        e.time = time;
        e.type = type;
        e.pinId = pinId;
        pending.push_back(e);
        return pending.back();
    }
    std::vector<PinEvent> pending;
};

// A sample value that carries its index: ±(1 + index·2^−17), exact in float for indices
// below 131072 (every run here is shorter). indexOf reads it back.
inline float indexed(std::int64_t index, bool positive) {
    const float magnitude = 1.0f + static_cast<float>(index) * (1.0f / 131072.0f);
    return positive ? magnitude : -magnitude;
}
inline std::int64_t indexOf(float sample) {
    const float magnitude = sample < 0 ? -sample : sample;
    return static_cast<std::int64_t>((magnitude - 1.0f) * 131072.0f + 0.5f);
}

} // namespace vex::test

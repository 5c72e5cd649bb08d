// The voice engine as a host: what each audio object is told, in which blocks, and where
// the frames it sends go. Driven against an in-process fake module.
#include "host/kit/voice_engine.h"

#include "analyzer/analyzer_pins.h"
#include "host/vexhost/inputs/signal_source.h"

#include "fake_module.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vex::host {
namespace {

// A finite input of `frames` samples (like a file): sample i of A is i + 1, B is -1.
class FiniteInput final : public InputSource {
public:
    FiniteInput(std::int64_t frames, bool hasB) : total(frames), stereo(hasB) {}
    double nativeRate() const override { return 0.0; }
    std::int64_t length() const override { return total; }
    bool streamsA() const override { return total > 0; }
    bool streamsB() const override { return total > 0 && stereo; }
    void read(float* a, float* b, int frames) override {
        for (int i = 0; i < frames; ++i, ++position) {
            a[i] = position < total ? static_cast<float>(position + 1) : 0.0f;
            b[i] = position < total && stereo ? -1.0f : 0.0f;
        }
    }

private:
    std::int64_t total;
    bool stereo;
    std::int64_t position = 0;
};

std::unique_ptr<InputSource> builtin(const char* text) {
    return makeBuiltinInput(parseInput(text, [](const std::string&) { return false; }), 48000.0,
                            1.0, 0);
}

float floatBits(std::int32_t bits) {
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

struct Sent {
    std::int64_t sample;
    std::int32_t voice;
    std::int32_t size;
    float firstValue;
};

struct VoiceEngineTest : ::testing::Test {
    test::FakeFactory factory;
    std::vector<Sent> sent;

    std::unique_ptr<VoiceEngine> makeEngine(EngineSettings settings = {}) {
        auto engine = std::make_unique<VoiceEngine>(factory, settings);
        engine->onFrame = [this](const SentFrame& frame) {
            float first = 0.0f;
            if (frame.size >= 8) {
                std::memcpy(&first, frame.bytes + 4, 4);
            }
            sent.push_back({frame.sample, frame.voice, frame.size, first});
        };
        return engine;
    }
};

TEST_F(VoiceEngineTest, FirstBlockCarriesStartValuesAndStreamingAtTimeZero) {
    EngineSettings settings;
    settings.mode = 2;
    settings.rate = 6;
    settings.sampleRate = 44100.0;
    auto engine = makeEngine(settings);
    engine->addVoice(builtin("sine:440+saw:220"));
    engine->addVoice(builtin("noise"));
    engine->runTo(256);

    ASSERT_EQ(factory.objects.size(), 2u);
    EXPECT_EQ(factory.objects[0]->opens, 1);
    EXPECT_FLOAT_EQ(factory.objects[0]->sampleRate, 44100.0f);
    ASSERT_EQ(factory.calls[0].size(), 2u);
    const auto& first = factory.calls[0][0].events;
    ASSERT_EQ(first.size(), 6u);
    for (const auto& event : first) {
        EXPECT_EQ(event.time, 0);
    }
    EXPECT_EQ(first[0].type, kEventGraphStart);
    EXPECT_EQ(first[1].pinId, kAudioModePin);
    EXPECT_EQ(first[1].value, 2);
    EXPECT_EQ(first[2].pinId, kAudioRatePin);
    EXPECT_EQ(first[2].value, 6);
    EXPECT_EQ(first[3].pinId, kAudioEnablePin);
    EXPECT_EQ(floatBits(first[3].value), 1.0f);
    EXPECT_EQ(first[4].type, kEventStreamingStart);
    EXPECT_EQ(first[4].pinId, kAudioSignalAPin);
    EXPECT_EQ(first[5].pinId, kAudioSignalBPin);
    EXPECT_TRUE(factory.calls[0][1].events.empty());
    // Mono input: no streaming start for signal B.
    EXPECT_EQ(factory.calls[1][0].events.size(), 5u);
}

TEST_F(VoiceEngineTest, BlocksHaveTheChosenSizeAndTheLastEndsAtTheTarget) {
    EngineSettings settings;
    settings.blockSize = 100;
    auto engine = makeEngine(settings);
    engine->addVoice(builtin("sine:100"));
    engine->runTo(250);
    engine->runTo(250);
    ASSERT_EQ(factory.calls[0].size(), 3u);
    EXPECT_EQ(factory.calls[0][0].frames, 100);
    EXPECT_EQ(factory.calls[0][1].frames, 100);
    EXPECT_EQ(factory.calls[0][2].frames, 50);
    EXPECT_EQ(engine->position(), 250);
}

TEST_F(VoiceEngineTest, FramesReachTheSinkWithSessionTimeAndVoice) {
    auto engine = makeEngine();
    engine->addVoice(std::make_unique<FiniteInput>(100000, false));
    engine->addVoice(std::make_unique<FiniteInput>(100000, true));
    engine->runTo(256);
    // Open sends an empty value at 0 per voice, then one frame per block at time 3.
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0].size, 0);
    EXPECT_EQ(sent[1].voice, 1);
    EXPECT_EQ(sent[1].size, 0);
    EXPECT_EQ(sent[2].sample, 3);
    EXPECT_EQ(sent[2].voice, 0);
    EXPECT_EQ(sent[2].size, 1604);
    EXPECT_EQ(sent[3].voice, 1);
    EXPECT_EQ(sent[4].sample, 128 + 3);
    // The buffers hold the block's samples: the second block starts with sample 129.
    EXPECT_EQ(sent[4].firstValue, 129.0f);
}

TEST_F(VoiceEngineTest, AnErrorOfTheFrameSinkReachesTheCallerOnceTheBlockIsDone) {
    auto engine = makeEngine();
    engine->addVoice(std::make_unique<FiniteInput>(100000, false));
    engine->onFrame = [](const SentFrame& frame) {
        if (frame.size > 0) {
            throw HostError("sink failed");
        }
    };
    EXPECT_THROW(engine->runTo(256), HostError);
    // The object ran its block to the end (the error went back through the host, not
    // through the object), and no further block was run.
    EXPECT_EQ(engine->processCalls(0), 1);
    ASSERT_EQ(factory.calls[0].size(), 1u);
}

TEST_F(VoiceEngineTest, FileEndStopsStreamingInsideTheBlockAndTheSleepingModuleIsLeftAlone) {
    auto engine = makeEngine();
    engine->addVoice(std::make_unique<FiniteInput>(200, true));
    engine->runTo(1280);
    const auto& calls = factory.calls[0];
    ASSERT_EQ(calls.size(), 2u) << "asleep after the stop; no events, so no further calls";
    ASSERT_EQ(calls[1].events.size(), 2u);
    EXPECT_EQ(calls[1].events[0].time, 72);
    EXPECT_EQ(calls[1].events[0].type, kEventStreamingStop);
    EXPECT_EQ(calls[1].events[1].pinId, kAudioSignalBPin);
    EXPECT_TRUE(engine->asleep(0));
    EXPECT_EQ(engine->processCalls(0), 2);
    // Past its end an input reads as zeros.
    EXPECT_EQ(calls[1].firstA, 129.0f);
}

TEST_F(VoiceEngineTest, SilentInputNeverStreamsAndFallsAsleep) {
    auto engine = makeEngine();
    engine->addVoice(builtin("silence"));
    engine->addVoice(std::make_unique<FiniteInput>(0, false));
    engine->runTo(1024);
    for (const auto& calls : factory.calls) {
        ASSERT_EQ(calls.size(), 1u);
        for (const auto& event : calls[0].events) {
            EXPECT_NE(event.type, kEventStreamingStart);
        }
    }
}

TEST_F(VoiceEngineTest, RefusedObjectIsReportedWithTheModuleAnswer) {
    factory.audioResult = kMpFail;
    auto engine = makeEngine();
    try {
        engine->addVoice(builtin("sine:1"));
        FAIL() << "no error";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("answered -1"), std::string::npos) << e.what();
    }
}

TEST_F(VoiceEngineTest, DestructionReleasesEveryObjectAndItsHostReference) {
    {
        auto engine = makeEngine();
        engine->addVoice(builtin("sine:1"));
        engine->addVoice(builtin("sine:2"));
        engine->runTo(10);
    }
    EXPECT_EQ(factory.destroyed, 2);
}

} // namespace
} // namespace vex::host

#include "host/voice_engine.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vex::host {

const MpChar kVexAnalyzerId[] = MP_TEXT("VexAnalyzer");

namespace {

PinEvent valueEvent(std::int32_t time, std::int32_t pinId, const void* value) {
    PinEvent event{};
    event.time = time;
    event.type = kEventPinValue;
    event.pinId = pinId;
    event.valueSize = 4;
    std::memcpy(event.value, value, 4);
    return event;
}

PinEvent plainEvent(std::int32_t time, std::int32_t type, std::int32_t pinId) {
    PinEvent event{};
    event.time = time;
    event.type = type;
    event.pinId = pinId;
    return event;
}

} // namespace

void* createModuleObject(FactoryInterface& factory, std::int32_t side, void* host,
                         const MpGuid& iid) {
    const char* sideName = side == kAudioSide ? "audio" : "display";
    void* created = nullptr;
    const std::int32_t result = factory.createObject(kVexAnalyzerId, side, host, &created);
    if (result != kMpOk || created == nullptr) {
        std::string why = result == kMpUnsupported ? " (the module has no such object)"
                          : result == kMpFail      ? " (the object could not be built)"
                                                   : "";
        throw HostError("the module answered " + std::to_string(result) +
                        " when asked for its VexAnalyzer " + sideName + " object" + why);
    }
    auto* unknown = static_cast<UnknownInterface*>(created);
    void* answer = nullptr;
    const std::int32_t queried = unknown->queryInterface(&iid, &answer);
    unknown->release();
    if (queried != kMpOk || answer == nullptr) {
        throw HostError("the module's VexAnalyzer " + std::string(sideName) + " object answered " +
                        std::to_string(queried) + " when asked for its interface");
    }
    return answer;
}

VoiceEngine::VoiceEngine(FactoryInterface& moduleFactory, const EngineSettings& settings)
    : factory(moduleFactory), config(settings) {
    config.blockSize = std::max<std::int32_t>(1, config.blockSize);
    // Why: a block has at most six events; reserved here, no block allocates.
    events.reserve(8);
}

VoiceEngine::~VoiceEngine() {
    for (auto& voice : voices) {
        if (voice->object != nullptr) {
            voice->object->release();
        }
    }
}

void VoiceEngine::addVoice(std::unique_ptr<InputSource> input) {
    auto voice = std::make_unique<Voice>();
    const auto index = static_cast<std::int32_t>(voices.size());
    voice->input = std::move(input);
    voice->signalA.assign(static_cast<std::size_t>(config.blockSize), 0.0f);
    voice->signalB.assign(static_cast<std::size_t>(config.blockSize), 0.0f);
    voice->host.sampleRate = static_cast<float>(config.sampleRate);
    voice->host.hostFlag = config.hostFlag;
    voice->host.recordSends = false;
    voice->host.onPinSend = [this, index](std::int32_t time, std::int32_t pinId, const void* data,
                                          std::int32_t size) {
        if (pinId == kAudioFramePin && onFrame) {
            onFrame(SentFrame{blockStart + std::max<std::int32_t>(0, time), index,
                              static_cast<const std::uint8_t*>(data),
                              data != nullptr ? std::max<std::int32_t>(0, size) : 0});
        }
    };
    voice->object = static_cast<AudioModuleInterface*>(createModuleObject(
        factory, kAudioSide, voice->host.hostPointer(), kAudioModuleInterfaceId));
    Voice& added = *voice;
    voices.push_back(std::move(voice));

    blockStart = samplePosition;
    const std::int32_t opened = added.object->open();
    added.host.rethrowFailure();
    if (opened != kMpOk) {
        throw HostError("the module's audio object refused to open");
    }
    if (added.object->setBuffer(kAudioSignalAPin, added.signalA.data()) != kMpOk ||
        added.object->setBuffer(kAudioSignalBPin, added.signalB.data()) != kMpOk) {
        throw HostError("the module's audio object refused the signal buffers");
    }
}

void VoiceEngine::runTo(std::int64_t endSample) {
    while (samplePosition < endSample) {
        const auto frames = static_cast<std::int32_t>(
            std::min<std::int64_t>(config.blockSize, endSample - samplePosition));
        blockStart = samplePosition;
        for (auto& voice : voices) {
            runBlock(*voice, frames);
        }
        samplePosition += frames;
    }
}

void VoiceEngine::setMode(std::int32_t mode) {
    config.mode = mode;
    for (auto& voice : voices) {
        voice->modeDue = voice->started;
    }
}

void VoiceEngine::runBlock(Voice& voice, std::int32_t frames) {
    voice.input->read(voice.signalA.data(), voice.signalB.data(), frames);

    events.clear();
    const std::int64_t length = voice.input->length();
    if (!voice.started) {
        voice.started = true;
        events.push_back(plainEvent(0, kEventGraphStart, 0));
        events.push_back(valueEvent(0, kAudioModePin, &config.mode));
        events.push_back(valueEvent(0, kAudioRatePin, &config.rate));
        events.push_back(valueEvent(0, kAudioEnablePin, &config.enable));
        if (length != 0 && voice.input->streamsA()) {
            events.push_back(plainEvent(0, kEventStreamingStart, kAudioSignalAPin));
        }
        if (length != 0 && voice.input->streamsB()) {
            events.push_back(plainEvent(0, kEventStreamingStart, kAudioSignalBPin));
        }
    }
    if (voice.modeDue) {
        voice.modeDue = false;
        events.push_back(valueEvent(0, kAudioModePin, &config.mode));
    }
    // A file that ends inside this block stops streaming at its last sample.
    if (length > 0 && length >= blockStart && length < blockStart + frames) {
        const auto time = static_cast<std::int32_t>(length - blockStart);
        if (voice.input->streamsA()) {
            events.push_back(plainEvent(time, kEventStreamingStop, kAudioSignalAPin));
        }
        if (voice.input->streamsB()) {
            events.push_back(plainEvent(time, kEventStreamingStop, kAudioSignalBPin));
        }
    }
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        events[i].next = &events[i + 1];
    }

    // A sleeping module is left alone until the host has events for it.
    if (voice.asleep && events.empty()) {
        return;
    }
    const std::int32_t sleepsBefore = voice.host.sleepRequests;
    voice.object->process(frames, events.empty() ? nullptr : events.data());
    ++voice.processCalls;
    voice.asleep = voice.host.sleepRequests != sleepsBefore;
    // What the frame sink threw during the block (the module finished the block with it).
    voice.host.rethrowFailure();
}

std::int64_t VoiceEngine::processCalls(std::int32_t voice) const {
    return voices.at(static_cast<std::size_t>(voice))->processCalls;
}

bool VoiceEngine::asleep(std::int32_t voice) const {
    return voices.at(static_cast<std::size_t>(voice))->asleep;
}

} // namespace vex::host

#include "host/kit/voice_engine.h"

#include "analyzer/analyzer_pins.h"
#include "host/kit/host_error.h"

#include <algorithm>

namespace vex::host {

VoiceEngine::VoiceEngine(FactoryInterface& moduleFactory, const EngineSettings& settings)
    : factory(moduleFactory), config(settings) {
    config.blockSize = std::max<std::int32_t>(1, config.blockSize);
    if (config.analysis == Analysis::kFine) {
        fineAnalysis = std::make_unique<FineAnalysis>(config.sampleRate);
    }
}

VoiceEngine::~VoiceEngine() = default;

void VoiceEngine::addVoice(std::unique_ptr<InputSource> input) {
    auto voice = std::make_unique<Voice>();
    const auto index = static_cast<std::int32_t>(voices.size());
    voice->input = std::move(input);
    voice->signalA.assign(static_cast<std::size_t>(config.blockSize), 0.0f);
    voice->signalB.assign(static_cast<std::size_t>(config.blockSize), 0.0f);
    voice->driver.services().sampleRate = static_cast<float>(config.sampleRate);
    voice->driver.services().hostFlag = config.hostFlag;
    if (fineAnalysis) {
        voice->fine = std::make_unique<FineFrames>(*fineAnalysis);
    }
    FineFrames* fine = voice->fine.get();
    const std::int64_t first = samplePosition; // the history's sample 0
    voice->driver.onFrame = [this, index, fine, first](std::int32_t time, const std::uint8_t* bytes,
                                                       std::int32_t size) {
        if (!onFrame) {
            return;
        }
        const std::int64_t sample = blockStart + time;
        if (fine == nullptr) {
            onFrame(SentFrame{sample, index, bytes, size});
            return;
        }
        // The block's input is in the history before its process, so the window that ends
        // at `sample` is there. Why a frame without one is dropped rather than sent as the
        // module's: a sink of the fine analysis never gets the other's spectra.
        const std::uint8_t* refined = fine->refine(*fineAnalysis, bytes, size, sample - first);
        if (refined != nullptr || size == 0) {
            onFrame(SentFrame{sample, index, refined, size});
        }
    };
    voice->driver.create(factory);
    Voice& added = *voice;
    voices.push_back(std::move(voice));

    blockStart = samplePosition;
    if (added.driver.open() != kMpOk) {
        throw HostError("the module's audio object refused to open");
    }
    if (!added.driver.setBuffers(added.signalA.data(), added.signalB.data())) {
        throw HostError("the module's audio object refused the signal buffers");
    }
}

void VoiceEngine::recordInto(std::int32_t voice, SampleHistory& history) {
    voices.at(static_cast<std::size_t>(voice))->recorded = &history;
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
    if (voice.fine) {
        voice.fine->history().write(voice.signalA.data(), voice.signalB.data(), frames);
    }
    if (voice.recorded != nullptr) {
        voice.recorded->write(voice.signalA.data(), voice.signalB.data(), frames);
    }

    BlockDriver& driver = voice.driver;
    const std::int64_t length = voice.input->length();
    if (!voice.started) {
        voice.started = true;
        driver.addEvent(0, kEventGraphStart, 0);
        driver.addValue(0, kAudioModePin, &config.mode);
        driver.addValue(0, kAudioRatePin, &config.rate);
        driver.addValue(0, kAudioEnablePin, &config.enable);
        if (length != 0 && voice.input->streamsA()) {
            driver.addEvent(0, kEventStreamingStart, kAudioSignalAPin);
        }
        if (length != 0 && voice.input->streamsB()) {
            driver.addEvent(0, kEventStreamingStart, kAudioSignalBPin);
        }
    }
    if (voice.modeDue) {
        voice.modeDue = false;
        driver.addValue(0, kAudioModePin, &config.mode);
    }
    // A file that ends inside this block stops streaming at its last sample.
    if (length > 0 && length >= blockStart && length < blockStart + frames) {
        const auto time = static_cast<std::int32_t>(length - blockStart);
        if (voice.input->streamsA()) {
            driver.addEvent(time, kEventStreamingStop, kAudioSignalAPin);
        }
        if (voice.input->streamsB()) {
            driver.addEvent(time, kEventStreamingStop, kAudioSignalBPin);
        }
    }
    driver.process(frames);
}

std::int64_t VoiceEngine::processCalls(std::int32_t voice) const {
    return voices.at(static_cast<std::size_t>(voice))->driver.processCalls();
}

bool VoiceEngine::asleep(std::int32_t voice) const {
    return voices.at(static_cast<std::size_t>(voice))->driver.asleep();
}

} // namespace vex::host

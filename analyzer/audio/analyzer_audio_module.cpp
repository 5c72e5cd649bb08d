#include "analyzer/audio/analyzer_audio_module.h"

#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/audio/scope_analyzer.h"
#include "analyzer/audio/spectrum_analyzer.h"

#include <limits>
#include <new>

namespace vex {

namespace {

constexpr std::int32_t kAnalyzerCapacityStep = 8;

// Index of the first sample at which `a` or `b` passes `test` (a tested before b), or −1.
// A null signal is silence: every sample 0.0.
template <typename Test>
std::int32_t firstSample(const float* a, const float* b, std::int32_t count, Test test) {
    if (count <= 0) {
        return -1;
    }
    if ((a == nullptr || b == nullptr) && test(0.0f)) {
        return 0;
    }
    if (a != nullptr && b != nullptr) {
        for (std::int32_t i = 0; i < count; ++i) {
            if (test(a[i]) || test(b[i])) {
                return i;
            }
        }
        return -1;
    }
    const float* only = a != nullptr ? a : b;
    if (only != nullptr) {
        for (std::int32_t i = 0; i < count; ++i) {
            if (test(only[i])) {
                return i;
            }
        }
    }
    return -1;
}

// NaN is neither low nor high.
bool isLow(float sample) {
    return sample <= 0.0f;
}
bool isHigh(float sample) {
    return sample > 0.0f;
}

} // namespace

UnknownInterface* createAnalyzerAudioModule(void* host) {
    return new (std::nothrow) AnalyzerAudioModule(host);
}

AnalyzerAudioModule::AnalyzerAudioModule(void* host) : AudioModuleBase(host) {
    activeRoutine = &AnalyzerAudioModule::staticDispatch;
    moduleRoutine = routine(&AnalyzerAudioModule::idleRoutine);
    initializePin(kAudioFramePin, framePin);
    initializePin(kAudioModePin, modePin);
    initializePin(kAudioHostFlagPin, hostFlagPin);
    initializePin(kAudioEnablePin, enablePin);
    initializePin(kAudioSignalAPin, signalAPin);
    initializePin(kAudioSignalBPin, signalBPin);
    initializePin(kAudioRatePin, ratePin);
    // Why here: the first spectrum frame would otherwise grow the storage on the audio
    // thread. The value stays empty until the first frame.
    framePin.reserve(kLongestPayloadSize);
    analyzers.reserve(kAnalyzerCapacityStep);
    analyzers.push_back(std::make_unique<ScopeAnalyzer>());
    analyzers.push_back(std::make_unique<SpectrumAnalyzer>(1));
    analyzers.push_back(std::make_unique<SpectrumAnalyzer>(0));
}

AnalyzerAudioModule::~AnalyzerAudioModule() {
    while (!analyzers.empty()) {
        analyzers.pop_back();
    }
}

std::int32_t AnalyzerAudioModule::wholeSampleRate() const {
    // Why: converting a NaN, or a value beyond the 32-bit range, to an integer is undefined;
    // a rate that is not positive gives no hold-off and no trigger wait.
    if (!(sampleRate > 0.0f)) {
        return 0;
    }
    if (sampleRate >= 2147483648.0f) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(sampleRate);
}

std::int32_t AnalyzerAudioModule::open() noexcept {
    return abiGuard(kMpFail, [&]() -> std::int32_t {
        AudioModuleBase::open();
        host->getSampleRate(&sampleRate);
        setSubProcess(routine(&AnalyzerAudioModule::captureRoutine));
        signalAStreaming = false;
        signalBStreaming = false;
        for (const auto& an : analyzers) {
            an->setSampleRate(sampleRate);
        }
        framePin.sendPinUpdate(-1);
        std::int32_t flag = 0;
        host->getHostFlag(&flag);
        const bool flagSet = flag != 0;
        if (flagSet != hostFlagPin.get()) {
            hostFlagPin.setValueRaw(1, &flagSet);
            hostFlagPin.sendPinUpdate(-1);
        }
        setSleep(false);
        return kMpOk;
    });
}

void AnalyzerAudioModule::onSetPins() {
    setSleep(false);
    if (modePin.updated()) {
        const std::int32_t last = static_cast<std::int32_t>(analyzers.size()) - 1;
        const std::int32_t mode = modePin.get();
        currentAnalyzer = mode < 0 ? 0 : (mode > last ? last : mode);
    }
    if (ratePin.updated()) {
        updatesPerSecond = framesPerSecondOfChoice(ratePin.get());
    }
    signalAStreaming = signalAPin.isStreaming();
    signalBStreaming = signalBPin.isStreaming();
    idleFrames = (!signalAStreaming && !signalBStreaming) ? 2 : -1;
    setSubProcess(routine(&AnalyzerAudioModule::captureRoutine));
    if (enablePin.updated()) {
        std::int32_t flag = 0;
        host->getHostFlag(&flag);
        if (enablePin.get() == 0.0f && flag != 0) {
            framePin.setValueRaw(0, nullptr);
            framePin.sendPinUpdate(-1);
            setSubProcess(routine(&AnalyzerAudioModule::idleRoutine));
            setSleep(true);
        }
    }
}

void AnalyzerAudioModule::idleRoutine(std::int32_t, std::int32_t) {}

void AnalyzerAudioModule::captureRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames) {
    if (analyzers.empty()) {
        return;
    }
    SignalAnalyzer& an = *analyzers[currentAnalyzer];
    const std::int32_t need = an.frameLength();
    std::int32_t n = need - captured < sampleFrames ? need - captured : sampleFrames;
    // 0 when a mode change left more captured than the new analyzer needs.
    if (n < 0) {
        n = 0;
    }
    if (n > 0) {
        const AnalyzerInput input{stretchOf(signalAPin, bufferOffset),
                                  stretchOf(signalBPin, bufferOffset), signalAStreaming,
                                  signalBStreaming};
        an.addSamples(n, captured, input);
        captured += n;
    }
    if (captured < need) {
        return;
    }
    an.sendFrame(framePin, bufferOffset);
    waitCounter = wholeSampleRate() / updatesPerSecond;
    setSubProcess(routine(&AnalyzerAudioModule::holdoffRoutine));
    if (idleFrames > 0) {
        --idleFrames;
        if (idleFrames == 0) {
            setSubProcess(routine(&AnalyzerAudioModule::idleRoutine));
            setSleep(true);
        }
    }
    // Why a local: g++ with the sanitizers warns (wrongly) on the member pointer itself.
    const BlockRoutine rest = moduleRoutine;
    (this->*rest)(bufferOffset + n, sampleFrames - n);
}

void AnalyzerAudioModule::holdoffRoutine(std::int32_t, std::int32_t sampleFrames) {
    waitCounter -= sampleFrames;
    if (waitCounter >= 0) {
        return;
    }
    // The hold-off ends with this stretch; the trigger wait starts with the next one.
    waitCounter = wholeSampleRate() / 3;
    setSubProcess(routine(&AnalyzerAudioModule::waitLowRoutine));
}

void AnalyzerAudioModule::waitLowRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames) {
    const std::int32_t i = firstSample(stretchOf(signalAPin, bufferOffset),
                                       stretchOf(signalBPin, bufferOffset), sampleFrames, isLow);
    if (i >= 0) {
        captured = 0;
        setSubProcess(routine(&AnalyzerAudioModule::waitRiseRoutine));
        waitRiseRoutine(bufferOffset + i, sampleFrames - i);
        return;
    }
    waitCounter -= sampleFrames;
    if (waitCounter < 0) {
        setSubProcess(routine(&AnalyzerAudioModule::waitRiseRoutine));
    }
}

void AnalyzerAudioModule::waitRiseRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames) {
    const std::int32_t i = firstSample(stretchOf(signalAPin, bufferOffset),
                                       stretchOf(signalBPin, bufferOffset), sampleFrames, isHigh);
    if (i >= 0) {
        captured = 0;
        setSubProcess(routine(&AnalyzerAudioModule::captureRoutine));
        captureRoutine(bufferOffset + i, sampleFrames - i);
        return;
    }
    waitCounter -= sampleFrames;
    if (waitCounter < 0) {
        captured = 0;
        setSubProcess(routine(&AnalyzerAudioModule::captureRoutine));
    }
}

} // namespace vex

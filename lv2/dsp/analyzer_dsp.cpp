#include "lv2/dsp/analyzer_dsp.h"

#include "analyzer/analyzer_pins.h"
#include "lv2/common/control_choice.h"
#include "lv2/common/frame_event.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2_util.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

namespace vex::lv2 {

using host::View;

AnalyzerDsp* AnalyzerDsp::create(double sampleRate, const char* bundlePath,
                                 const LV2_Feature* const* features) {
    auto* map = static_cast<LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    // Why the upper bound: the rate travels to the module and the group as a float.
    if (map == nullptr || bundlePath == nullptr || !(sampleRate > 0.0) ||
        !(sampleRate <= static_cast<double>(FLT_MAX))) {
        return nullptr;
    }
    try {
        const auto* worker = static_cast<const LV2_Worker_Schedule*>(
            lv2_features_data(features, LV2_WORKER__schedule));
        // Why owned until returned: an allocation below may throw.
        std::unique_ptr<AnalyzerDsp> dsp(new AnalyzerDsp(sampleRate, *map));
        dsp->group.setWorker(worker);
        dsp->fine = std::make_unique<FineLink>(sampleRate, worker);
        std::string path = bundlePath;
        if (!path.empty() && path.back() != '/') {
            path.push_back('/');
        }
        if (!dsp->library.load(path + kModuleFileName) || !dsp->makeObject()) {
            return nullptr;
        }
        return dsp.release();
    } catch (...) {
        return nullptr;
    }
}

AnalyzerDsp::AnalyzerDsp(double sampleRate, LV2_URID_Map& map) : rate(sampleRate), urids(map) {
    lv2_atom_forge_init(&forge, &map);
    forge.buf = nullptr;
    driver.services().sampleRate = static_cast<float>(sampleRate);
    // Why: the audio object honours its enable input only while the host flag is set.
    driver.services().hostFlag = 1;
    driver.onFrame = [this](std::int32_t time, const std::uint8_t* bytes, std::int32_t size) {
        takeFrame(time, bytes, size);
    };
}

AnalyzerDsp::~AnalyzerDsp() {
    driver.release();
    library.unload();
}

bool AnalyzerDsp::makeObject() {
    try {
        driver.create(*library.factory());
    } catch (const std::exception&) {
        driver.release();
    }
    return driver.hasObject();
}

void AnalyzerDsp::connect(std::uint32_t port, void* data) {
    if (port < kPortCount) {
        connected[port] = data;
    }
}

std::int32_t AnalyzerDsp::choiceOf(Port port, std::int32_t lo, std::int32_t hi) const {
    const float* value = input(port);
    return value != nullptr ? controlChoice(*value, lo, hi) : lo;
}

void AnalyzerDsp::labelGroupMember() {
    char label[host::group::kLabelBytes];
    const std::uint32_t size = settings.store().get(kSettingLabel, label, sizeof label);
    group.setLabel(label, size);
}

void AnalyzerDsp::activate() {
    group.activate(choiceOf(kPortGroup, 0, host::group::kGroups));
    labelGroupMember();
    // Each activation streams into a fresh object, so nothing of an earlier stream shows.
    if (library.factory() == nullptr || !makeObject()) {
        return;
    }
    started = false;
    samplesRun = 0;
    fine->reset();
    framesSent = 0.0;
    framesDropped = 0.0;
    runningPeakA = runningPeakB = lastPeakA = lastPeakB = 0.0f;
    // Why the flag: open sends the frame pin's empty value, outside run, when the host's
    // notify buffer is not ours to write.
    opening = true;
    const bool opened = driver.open() == kMpOk;
    opening = false;
    if (!opened) {
        driver.release();
    }
}

void AnalyzerDsp::deactivate() {
    group.deactivate();
    driver.release();
}

void AnalyzerDsp::readControlPort() {
    const auto* control = static_cast<const LV2_Atom_Sequence*>(connected[kPortControl]);
    if (control == nullptr) {
        return;
    }
    LV2_ATOM_SEQUENCE_FOREACH(control, event) {
        const LV2_Atom& body = event->body;
        if ((body.type != urids.atomObject && body.type != urids.atomBlank) ||
            body.size < sizeof(LV2_Atom_Object_Body)) {
            continue;
        }
        const auto* message = reinterpret_cast<const LV2_Atom_Object*>(&body);
        if (message->body.otype == urids.uiOpen) {
            uiListening = true;
            settings.announceAll(); // a UI that opens learns every setting
        } else if (message->body.otype == urids.uiClosed) {
            uiListening = false;
        } else {
            settings.take(*message);
        }
    }
}

void AnalyzerDsp::scanPeaks(std::int32_t end) {
    for (std::int32_t i = scanned; i < end; ++i) {
        // Why: a NaN sample fails both comparisons and leaves the peak as it was.
        const float a = std::fabs(input(kPortSignalA)[i]);
        const float b = std::fabs(input(kPortSignalB)[i]);
        if (a > runningPeakA) {
            runningPeakA = a;
        }
        if (b > runningPeakB) {
            runningPeakB = b;
        }
    }
    scanned = std::max(scanned, end);
}

void AnalyzerDsp::takeFrame(std::int32_t time, const std::uint8_t* data, std::int32_t size) {
    if (opening) {
        return;
    }
    scanPeaks(time);
    lastPeakA = runningPeakA;
    lastPeakB = runningPeakB;
    runningPeakA = runningPeakB = 0.0f;
    framesSent += 1.0;
    const std::int32_t analysis = frameAnalysis();
    for (const View view : {View::kLinear, View::kLog}) {
        if (analysis == kFrameAnalysisFine && size == frameSizeOf(view) && data != nullptr) {
            // The fine twin goes out in its place once the worker made it (run's take).
            if (wanted() || group.joined()) {
                fine->request(view, data[0] == 1, data[1] == 1, blockStart + time,
                              samplesRun + time);
            }
            return;
        }
    }
    // Why the scope's frames say module: the fine analysis makes spectra only.
    const bool spectrum = size == frameSizeOf(View::kLinear) || size == frameSizeOf(View::kLog);
    sendFrame(time, samplesRun + time, data, size, spectrum ? analysis : kFrameAnalysisModule);
}

bool AnalyzerDsp::wanted() const {
    const float* always = input(kPortAlways);
    return uiListening || (always != nullptr && *always != 0.0f);
}

std::int32_t AnalyzerDsp::frameAnalysis() const {
    // Why fine when not connected: the control's default.
    const float* chosen = input(kPortAnalysis);
    if (chosen != nullptr && controlChoice(*chosen, 0, 1) == 0) {
        return kFrameAnalysisModule;
    }
    return fine->available() ? kFrameAnalysisFine : kFrameAnalysisModuleOnly;
}

void AnalyzerDsp::sendFrame(std::int32_t offset, std::int64_t time, const std::uint8_t* data,
                            std::int32_t size, std::int32_t analysis) {
    group.publish(data, size, static_cast<float>(rate),
                  analysis == kFrameAnalysisFine ? host::Analysis::kFine : host::Analysis::kModule);
    if (!wanted()) {
        return;
    }
    const FrameEvent frame{time, rate, data, static_cast<std::uint32_t>(size), analysis};
    if (!writeFrameEvent(forge, urids, offset, frame)) {
        framesDropped += 1.0; // a frame goes whole or not at all
    }
}

// The notify buffer arrives with the room for its body in the header's size field; the
// forge writes a sequence into it (or, without room for one, nothing this block).
void AnalyzerDsp::startNotify() {
    auto* notify = static_cast<LV2_Atom_Sequence*>(connected[kPortNotify]);
    forge.buf = nullptr;
    if (notify != nullptr && notify->atom.size >= sizeof(LV2_Atom_Sequence_Body)) {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(notify),
                                  sizeof(LV2_Atom) + notify->atom.size);
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    }
}

// The controls' values to the audio object, each when it changed (all at the stream's
// start); `mode` is the one the group link chose.
void AnalyzerDsp::sendControls(std::int32_t mode) {
    const std::int32_t newRate = choiceOf(kPortRate, 0, 7);
    const float* enable = input(kPortEnable);
    const float newEnable = enable != nullptr && *enable == 0.0f ? 0.0f : 1.0f;
    if (!started) {
        driver.addEvent(0, kEventStreamingStart, kAudioSignalAPin);
        driver.addEvent(0, kEventStreamingStart, kAudioSignalBPin);
    }
    if (!started || mode != sentMode) {
        driver.addValue(0, kAudioModePin, &mode);
    }
    if (!started || newRate != sentRate) {
        driver.addValue(0, kAudioRatePin, &newRate);
    }
    if (!started || newEnable != sentEnable) {
        driver.addValue(0, kAudioEnablePin, &newEnable);
    }
    started = true;
    sentMode = mode;
    sentRate = newRate;
    sentEnable = newEnable;
}

void AnalyzerDsp::run(std::uint32_t sampleCount) {
    startNotify();
    readControlPort();
    // Why the answers go first: they are events at time 0, and the frames that follow
    // keep the sequence in time order.
    if ((settings.takeChanged() & (1u << kSettingLabel)) != 0) {
        labelGroupMember();
    }
    settings.writeAnswers(forge, 0, uiListening);
    // A fine frame the worker made since the last run, unless the module's was chosen since.
    fine->take([this](const std::uint8_t* bytes, std::int32_t size, std::int64_t time) {
        if (frameAnalysis() == kFrameAnalysisFine) {
            sendFrame(0, time, bytes, size, kFrameAnalysisFine);
        }
    });

    const auto frames = static_cast<std::int32_t>(std::min<std::uint32_t>(sampleCount, 1u << 30));
    const bool connected = input(kPortSignalA) != nullptr && input(kPortSignalB) != nullptr;
    const std::int32_t groupMode = group.run(choiceOf(kPortGroup, 0, host::group::kGroups),
                                             choiceOf(kPortMode, 0, 2), frames, rate);
    if (driver.hasObject() && connected && frames > 0) {
        sendControls(groupMode);
        scanned = 0;
        blockStart = fine->written();
        fine->write(input(kPortSignalA), input(kPortSignalB), frames);
        driver.setBuffers(input(kPortSignalA), input(kPortSignalB));
        driver.process(frames);
        scanPeaks(frames);
    }
    samplesRun += frames;
    passAudio(connected ? frames : 0);
    writeOutputs();
    if (forge.buf != nullptr) {
        lv2_atom_forge_pop(&forge, &sequence);
        forge.buf = nullptr;
    }
}

// The inputs to the outputs, bit for bit.
void AnalyzerDsp::passAudio(std::int32_t frames) {
    const float* signalA = input(kPortSignalA);
    const float* signalB = input(kPortSignalB);
    float* outA = output(kPortOutA);
    float* outB = output(kPortOutB);
    if (outA == nullptr || outB == nullptr || frames <= 0) {
        return;
    }
    // Why this order: a host may hand one input's buffer as the other output, or each
    // input's buffer as the other output (crossed), where only an exchange keeps both.
    const auto n = static_cast<std::size_t>(frames);
    if (outA == signalB && outB == signalA && outA != outB) {
        std::swap_ranges(outA, outA + n, outB);
    } else if (outA == signalB) {
        std::memmove(outB, signalB, n * sizeof(float));
        std::memmove(outA, signalA, n * sizeof(float));
    } else {
        std::memmove(outA, signalA, n * sizeof(float));
        std::memmove(outB, signalB, n * sizeof(float));
    }
}

void AnalyzerDsp::writeOutputs() {
    float values[kPortCount] = {};
    values[kPortFramesSent] = static_cast<float>(framesSent);
    values[kPortFramesDropped] = static_cast<float>(framesDropped);
    values[kPortPeakA] = lastPeakA;
    values[kPortPeakB] = lastPeakB;
    values[kPortMembers] = static_cast<float>(group.members());
    values[kPortSlot] = static_cast<float>(group.slot());
    for (const PortSpec& port : kPorts) {
        if (port.kind == PortKind::kControl && port.output && output(port.index) != nullptr) {
            *output(port.index) = values[port.index];
        }
    }
}

} // namespace vex::lv2

#include "lv2/dsp/analyzer_dsp.h"

#include "analyzer/analyzer_pins.h"
#include "lv2/common/analyzer_lv2.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2_util.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

namespace vex::lv2 {

namespace {

// A control value as a whole choice in lo..hi; NaN gives lo.
std::int32_t choice(const float* port, std::int32_t lo, std::int32_t hi) {
    const float value = port != nullptr ? *port : static_cast<float>(lo);
    if (!(value >= static_cast<float>(lo))) {
        return lo;
    }
    if (value >= static_cast<float>(hi)) {
        return hi;
    }
    return static_cast<std::int32_t>(value + 0.5f); // truncates: rounds half up
}

} // namespace

AnalyzerDsp* AnalyzerDsp::create(double sampleRate, const char* bundlePath,
                                 const LV2_Feature* const* features) {
    auto* map = static_cast<LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    // Why the upper bound: the rate travels to the module and the group as a float.
    if (map == nullptr || bundlePath == nullptr || !(sampleRate > 0.0) ||
        !(sampleRate <= static_cast<double>(FLT_MAX))) {
        return nullptr;
    }
    try {
        auto* dsp = new AnalyzerDsp(sampleRate, *map);
        dsp->group.setWorker(static_cast<const LV2_Worker_Schedule*>(
            lv2_features_data(features, LV2_WORKER__schedule)));
        std::string path = bundlePath;
        if (!path.empty() && path.back() != '/') {
            path.push_back('/');
        }
        if (!dsp->library.load(path + kModuleFileName) || !dsp->makeObject()) {
            delete dsp;
            return nullptr;
        }
        return dsp;
    } catch (...) {
        return nullptr;
    }
}

AnalyzerDsp::AnalyzerDsp(double sampleRate, LV2_URID_Map& map) : rate(sampleRate), settings(map) {
    frameType = map.map(map.handle, kFrameTypeUri);
    uiOpen = map.map(map.handle, kUiOpenUri);
    uiClosed = map.map(map.handle, kUiClosedUri);
    atomObject = map.map(map.handle, LV2_ATOM__Object);
    atomBlank = map.map(map.handle, LV2_ATOM__Blank);
    atomSequence = map.map(map.handle, LV2_ATOM__Sequence);

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
    switch (port) {
    case kPortSignalA:
        signalA = static_cast<const float*>(data);
        break;
    case kPortSignalB:
        signalB = static_cast<const float*>(data);
        break;
    case kPortOutA:
        outA = static_cast<float*>(data);
        break;
    case kPortOutB:
        outB = static_cast<float*>(data);
        break;
    case kPortControl:
        control = static_cast<const LV2_Atom_Sequence*>(data);
        break;
    case kPortNotify:
        notify = static_cast<LV2_Atom_Sequence*>(data);
        break;
    case kPortMode:
        mode = static_cast<const float*>(data);
        break;
    case kPortRate:
        updateRate = static_cast<const float*>(data);
        break;
    case kPortEnable:
        enable = static_cast<const float*>(data);
        break;
    case kPortAlways:
        always = static_cast<const float*>(data);
        break;
    case kPortFramesSent:
        framesSentOut = static_cast<float*>(data);
        break;
    case kPortFramesDropped:
        framesDroppedOut = static_cast<float*>(data);
        break;
    case kPortPeakA:
        peakAOut = static_cast<float*>(data);
        break;
    case kPortPeakB:
        peakBOut = static_cast<float*>(data);
        break;
    case kPortGroup:
        groupIn = static_cast<const float*>(data);
        break;
    case kPortMembers:
        membersOut = static_cast<float*>(data);
        break;
    case kPortSlot:
        slotOut = static_cast<float*>(data);
        break;
    default:
        break;
    }
}

void AnalyzerDsp::labelGroupMember() {
    char label[host::group::kLabelBytes];
    const std::uint32_t size = settings.store().get(kSettingLabel, label, sizeof label);
    group.setLabel(label, size);
}

void AnalyzerDsp::activate() {
    group.activate(choice(groupIn, 0, host::group::kGroups));
    labelGroupMember();
    // Each activation streams into a fresh object, so nothing of an earlier stream shows.
    if (library.factory() == nullptr || !makeObject()) {
        return;
    }
    started = false;
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
    if (control == nullptr) {
        return;
    }
    LV2_ATOM_SEQUENCE_FOREACH(control, event) {
        const LV2_Atom& body = event->body;
        if ((body.type != atomObject && body.type != atomBlank) ||
            body.size < sizeof(LV2_Atom_Object_Body)) {
            continue;
        }
        const auto* message = reinterpret_cast<const LV2_Atom_Object*>(&body);
        if (message->body.otype == uiOpen) {
            uiListening = true;
            settings.announceAll(); // a UI that opens learns every setting
        } else if (message->body.otype == uiClosed) {
            uiListening = false;
        } else {
            settings.take(*message);
        }
    }
}

void AnalyzerDsp::scanPeaks(std::int32_t end) {
    for (std::int32_t i = scanned; i < end; ++i) {
        // Why: a NaN sample fails both comparisons and leaves the peak as it was.
        const float a = std::fabs(signalA[i]);
        const float b = std::fabs(signalB[i]);
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
    group.publish(data, size, static_cast<float>(rate));

    const bool wanted = uiListening || (always != nullptr && *always != 0.0f);
    if (!wanted) {
        return;
    }
    const auto bytes = static_cast<std::uint32_t>(size);
    const std::uint32_t need = lv2_atom_pad_size(sizeof(LV2_Atom_Event) + bytes);
    if (notifyCapacity == 0 || sizeof(LV2_Atom) + notify->atom.size + need > notifyCapacity) {
        framesDropped += 1.0; // a frame goes whole or not at all
        return;
    }
    auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<std::uint8_t*>(notify) +
                                                    sizeof(LV2_Atom) + notify->atom.size);
    event->time.frames = time;
    event->body.type = frameType;
    event->body.size = bytes;
    auto* body = reinterpret_cast<std::uint8_t*>(event + 1);
    if (bytes > 0) {
        std::memcpy(body, data, bytes);
    }
    std::memset(body + bytes, 0, need - sizeof(LV2_Atom_Event) - bytes);
    notify->atom.size += need;
}

void AnalyzerDsp::run(std::uint32_t sampleCount) {
    // The notify buffer arrives with its capacity in the header's size field.
    notifyCapacity = 0;
    if (notify != nullptr && notify->atom.size >= sizeof(LV2_Atom_Sequence_Body)) {
        notifyCapacity = notify->atom.size;
        notify->atom.type = atomSequence;
        notify->atom.size = sizeof(LV2_Atom_Sequence_Body);
        notify->body.unit = 0;
        notify->body.pad = 0;
    }
    readControlPort();
    // Why the answers go first: they are events at time 0, and the frames that follow
    // keep the sequence in time order.
    if ((settings.takeChanged() & (1u << kSettingLabel)) != 0) {
        labelGroupMember();
    }
    if (notifyCapacity > 0) {
        settings.writeAnswers(*notify, notifyCapacity, 0);
    }

    const auto frames = static_cast<std::int32_t>(std::min<std::uint32_t>(sampleCount, 1u << 30));
    const bool connected = signalA != nullptr && signalB != nullptr;
    const std::int32_t groupMode =
        group.run(choice(groupIn, 0, host::group::kGroups), choice(mode, 0, 2), frames, rate);
    if (driver.hasObject() && connected && frames > 0) {
        const std::int32_t newMode = groupMode;
        const std::int32_t newRate = choice(updateRate, 0, 7);
        const float newEnable = enable != nullptr && *enable == 0.0f ? 0.0f : 1.0f;
        if (!started) {
            driver.addEvent(0, kEventStreamingStart, kAudioSignalAPin);
            driver.addEvent(0, kEventStreamingStart, kAudioSignalBPin);
        }
        if (!started || newMode != sentMode) {
            driver.addValue(0, kAudioModePin, &newMode);
        }
        if (!started || newRate != sentRate) {
            driver.addValue(0, kAudioRatePin, &newRate);
        }
        if (!started || newEnable != sentEnable) {
            driver.addValue(0, kAudioEnablePin, &newEnable);
        }
        started = true;
        sentMode = newMode;
        sentRate = newRate;
        sentEnable = newEnable;

        scanned = 0;
        driver.setBuffers(signalA, signalB);
        driver.process(frames);
        scanPeaks(frames);
    }

    if (connected && outA != nullptr && outB != nullptr && frames > 0) {
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
    writeOutputs();
}

void AnalyzerDsp::writeOutputs() {
    if (framesSentOut != nullptr) {
        *framesSentOut = static_cast<float>(framesSent);
    }
    if (framesDroppedOut != nullptr) {
        *framesDroppedOut = static_cast<float>(framesDropped);
    }
    if (peakAOut != nullptr) {
        *peakAOut = lastPeakA;
    }
    if (peakBOut != nullptr) {
        *peakBOut = lastPeakB;
    }
    if (membersOut != nullptr) {
        *membersOut = static_cast<float>(group.members());
    }
    if (slotOut != nullptr) {
        *slotOut = static_cast<float>(group.slot());
    }
}

} // namespace vex::lv2

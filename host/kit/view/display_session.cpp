#include "host/kit/view/display_session.h"

#include "host/kit/frame_view.h"
#include "host/kit/host_error.h"
#include "host/kit/module_objects.h"

#include <cmath>
#include <cstring>

namespace vex::host {

namespace {} // namespace

DisplayLook defaultLook() {
    DisplayLook look;
    look.background = "RGB(16,20,28)";
    look.trace1 = "RGB(72,230,160)";
    look.trace2 = "RGB(255,180,70)";
    look.label = "RGB(150,162,184)";
    look.grid = "RGB(46,56,76)";
    look.shade = -0.8f;
    return look;
}

DisplaySession::DisplaySession(FactoryInterface& factory, std::int32_t mode,
                               const DisplayLook& displayLook, std::int32_t voices, double rate)
    : look(displayLook), sampleRate(rate), frameSample(kVoices, -1), frameSize(kVoices, 0) {
    host.onPinWrite = [this](std::int32_t pinId, const void* data, std::int32_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        if (pinId == kDisplayModeOutPin && size == 4) {
            std::memcpy(&shownMode, bytes, 4);
        } else if (pinId == kDisplayModeItemsPin) {
            std::string text;
            for (std::int32_t i = 0; i + 1 < size; i += 2) {
                const unsigned unit = bytes[i] | (bytes[i + 1] << 8);
                text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
            }
            shownModeList = std::move(text);
        }
    };
    display = static_cast<DisplayModuleInterface*>(
        createModuleObject(factory, kDisplaySide, host.hostPointer(), kDisplayModuleInterfaceId));
    void* answer = nullptr;
    if (display->queryInterface(&kDrawingInterfaceId, &answer) != kMpOk || answer == nullptr) {
        display->release();
        display = nullptr;
        throw HostError("the module's display object does not draw into a device context");
    }
    drawing = static_cast<DrawingInterface*>(answer);
    drawing->arrange(0, look.height, 0, look.width);

    // A host first tells the display what it offers (an empty list it fills in), then
    // every value it holds for the display's inputs.
    deliverText(kDisplayModeItemsPin, std::string());
    deliver(kDisplayModePin, 0, &mode, 4);
    const std::uint8_t follow = look.follow ? 1 : 0;
    const std::uint8_t split = look.split ? 1 : 0;
    deliver(kDisplayFollowPin, 0, &follow, 1);
    deliver(kDisplaySplitPin, 0, &split, 1);
    deliver(kDisplayShadePin, 0, &look.shade, 4);
    const std::pair<std::int32_t, const std::string*> colours[] = {
        {kDisplayBackgroundPin, &look.background},
        {kDisplayTrace1Pin, &look.trace1},
        {kDisplayTrace2Pin, &look.trace2},
        {kDisplayLabelPin, &look.label},
        {kDisplayGridPin, &look.grid},
    };
    for (const auto& [pin, text] : colours) {
        if (!text->empty()) {
            deliverText(pin, *text);
        }
    }
    for (std::int32_t voice = 0; voice < voices && voice < kVoices; ++voice) {
        const float gate =
            static_cast<std::size_t>(voice) < look.gates.size() ? look.gates[voice] : 1.0f;
        deliver(kDisplayGatePin, voice, &gate, 4);
    }
}

DisplaySession::~DisplaySession() {
    if (drawing != nullptr) {
        drawing->release();
    }
    if (display != nullptr) {
        display->release();
    }
}

void DisplaySession::deliver(std::int32_t pinId, std::int32_t voice, const void* data,
                             std::int32_t size) {
    // Why: an empty value still comes with a valid address, so no pin copies from null.
    static const std::uint64_t nothing = 0;
    if (data == nullptr || size <= 0) {
        data = &nothing;
        size = 0;
    }
    const std::int32_t set = display->setPin(pinId, voice, size, data);
    const std::int32_t notified = set == kMpOk ? display->notifyPin(pinId, voice) : set;
    host.rethrowFailure();
    if (set != kMpOk || notified != kMpOk) {
        throw HostError("the module's display object answered " + std::to_string(notified) +
                        " for a value of its pin " + std::to_string(pinId));
    }
}

void DisplaySession::deliverText(std::int32_t pinId, const std::string& text) {
    std::vector<MpChar> wide(text.begin(), text.end());
    deliver(pinId, 0, wide.data(), static_cast<std::int32_t>(wide.size() * sizeof(MpChar)));
}

void DisplaySession::deliverFrame(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                                  std::int64_t sample) {
    if (voice < 0 || voice >= kVoices) {
        return;
    }
    deliver(kDisplayFramesPin, voice, bytes, size);
    frameSample[static_cast<std::size_t>(voice)] = sample;
    frameSize[static_cast<std::size_t>(voice)] = size;
}

void DisplaySession::refreshActivity(std::int64_t now) {
    // Why: the display counts a voice without a gate as active for 500 ms of its clock
    // after the voice's last frame. vexhost runs far faster than real time, so it replays
    // that rule in session time: a voice whose last frame is younger than half a second of
    // audio gets it again now (the display notes the arrival), an older one gets the empty
    // value, which draws nothing. Only voices that are not gated and not always drawn
    // (with follow off only the selected voice is drawn, whatever its activity) need it.
    if (!look.follow) {
        return;
    }
    for (std::int32_t voice = 0; voice < kVoices; ++voice) {
        const auto v = static_cast<std::size_t>(voice);
        const float gate = v < look.gates.size() ? look.gates[v] : 1.0f;
        if (frameSample[v] < 0 || gate != 0.0f) {
            continue;
        }
        if (static_cast<double>(now - frameSample[v]) * 2.0 < sampleRate) {
            if (display->notifyPin(kDisplayFramesPin, voice) != kMpOk) {
                throw HostError("the module's display object refused a frame notification");
            }
        } else if (frameSize[v] != 0) {
            deliver(kDisplayFramesPin, voice, nullptr, 0);
            frameSize[v] = 0;
        }
    }
}

void DisplaySession::paint(PaintSurface& surface, std::int64_t now) {
    if (!surface.valid()) {
        throw HostError("cannot make a " + std::to_string(surface.width()) + "x" +
                        std::to_string(surface.height()) + " image to paint into");
    }
    refreshActivity(now);
    surface.fill(0);
    const std::int32_t result = drawing->paint(surface.dc());
    host.invalidated = false;
    if (result != kMpOk) {
        throw HostError("the module's display object answered " + std::to_string(result) +
                        " to paint");
    }
}

void DisplaySession::setMode(std::int32_t mode) {
    deliver(kDisplayModePin, 0, &mode, 4);
}

void DisplaySession::resize(std::int32_t width, std::int32_t height) {
    look.width = width;
    look.height = height;
    drawing->arrange(0, height, 0, width);
}

MeasureSize DisplaySession::measure(std::int32_t width, std::int32_t height) const {
    MeasureSize size{width, height};
    drawing->measure(width, height, &size);
    return size;
}

void DisplaySession::setSplit(bool split) {
    look.split = split;
    const std::uint8_t value = split ? 1 : 0;
    deliver(kDisplaySplitPin, 0, &value, 1);
}

void DisplaySession::setGate(std::int32_t voice, float gate) {
    if (voice < 0 || voice >= kVoices) {
        return;
    }
    if (look.gates.size() < static_cast<std::size_t>(kVoices)) {
        look.gates.resize(static_cast<std::size_t>(kVoices), 1.0f);
    }
    look.gates[static_cast<std::size_t>(voice)] = gate;
    deliver(kDisplayGatePin, voice, &gate, 4);
}

void DisplaySession::setFollow(bool follow) {
    look.follow = follow;
    const std::uint8_t value = follow ? 1 : 0;
    deliver(kDisplayFollowPin, 0, &value, 1);
}

bool DisplaySession::invalidated() const {
    return host.invalidated;
}

std::int32_t DisplaySession::modeShown() const {
    return shownMode;
}

std::string DisplaySession::modeList() const {
    return shownModeList;
}

} // namespace vex::host

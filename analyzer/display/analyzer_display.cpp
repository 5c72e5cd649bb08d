#include "analyzer/display/analyzer_display.h"

#include "analyzer/analyzer_pins.h"
#include "analyzer/display/analyzer_display_factory.h"

#include "analyzer/display/scope_renderer.h"
#include "analyzer/display/spectrum_renderer.h"
#include "platform/winmm.h"

#include <algorithm>

namespace vex {

UnknownInterface* createAnalyzerDisplay(void* host) {
    return createDisplayModule<AnalyzerDisplay>(host);
}

const MpChar AnalyzerDisplay::kModeItems[] = MP_TEXT("Scope,Freq (Linear),Freq (Log)");

namespace {

std::uint32_t systemMilliseconds() {
    return static_cast<std::uint32_t>(timeGetTime());
}

// Why: the area comes from the host; a width or height beyond this cannot be a real
// panel and would overflow the plot arithmetic.
constexpr std::int64_t kLargestArea = 1 << 24;

std::int32_t sideLength(std::int32_t from, std::int32_t to) {
    const std::int64_t length = static_cast<std::int64_t>(to) - from;
    return static_cast<std::int32_t>(std::clamp(length, -kLargestArea, kLargestArea));
}

constexpr float kFrameDarkening = 0.3f;
constexpr std::uint32_t kOpaqueBlack = 0xff000000u;

} // namespace

AnalyzerDisplay::AnalyzerDisplay(void* host) : CompositedDisplay(host), now(&systemMilliseconds) {
    initializePin(kDisplayFramesPin, frames, &AnalyzerDisplay::onFrameArrival);
    initializePin(kDisplayModeOutPin, modeOut, &AnalyzerDisplay::onModeUpdate);
    initializePin(kDisplayFollowPin, followVoice, &AnalyzerDisplay::onFollowSwitch);
    initializePin(kDisplayGatePin, voiceGate, &AnalyzerDisplay::onGateChange);
    initializePin(kDisplayModePin, mode, &AnalyzerDisplay::onModeUpdate);
    initializePin(kDisplayModeItemsPin, modeItems, &AnalyzerDisplay::onModeList);
    initializePin(kDisplayBackgroundPin, backgroundColour, &AnalyzerDisplay::onColours);
    initializePin(kDisplayTrace1Pin, trace1Colour, &AnalyzerDisplay::onColours);
    initializePin(kDisplayTrace2Pin, trace2Colour, &AnalyzerDisplay::onColours);
    initializePin(kDisplayLabelPin, labelColour, &AnalyzerDisplay::onColours);
    initializePin(kDisplayGridPin, gridColour, &AnalyzerDisplay::onColours);
    initializePin(kDisplaySplitPin, splitChannels, &AnalyzerDisplay::onColours);
    initializePin(kDisplayShadePin, otherVoiceShade, &AnalyzerDisplay::onColours);

    trace1Pen.reset(new PenWrapper(0xff00ff00u, 1.0f));
    trace2Pen.reset(new PenWrapper(0xffffff00u, 1.0f));
    trace1OtherPen.reset(new PenWrapper(0xff008200u, 1.0f));
    trace2OtherPen.reset(new PenWrapper(0xff828200u, 1.0f));
    gridPen.reset(new PenWrapper(0xff005000u, 1.0f));
    labelFont.reset(new FontWrapper(MP_TEXT("Arial"), 9.0f, gdip::FontStyleBold, gdip::UnitPixel));
    labelBrush.reset(new BrushWrapper(0xff00c800u));

    renderers.push_back(std::make_unique<ScopeRenderer>());
    renderers.push_back(std::make_unique<SpectrumRenderer>(1));
    renderers.push_back(std::make_unique<SpectrumRenderer>(0));

    std::fill(std::begin(frameTimes), std::end(frameTimes), 0u);
}

AnalyzerDisplay::~AnalyzerDisplay() {
    trace1Pen.reset();
    trace2Pen.reset();
    trace1OtherPen.reset();
    trace2OtherPen.reset();
    gridPen.reset();
    labelFont.reset();
    labelBrush.reset();
    while (!renderers.empty()) {
        renderers.pop_back();
    }
}

std::uint32_t AnalyzerDisplay::frameTime(std::int32_t voice) const {
    return voice >= 0 && voice < kVoiceCount ? frameTimes[voice] : 0u;
}

const PenWrapper& AnalyzerDisplay::pen(std::int32_t index) const {
    switch (index) {
    case 0:
        return *trace1Pen;
    case 1:
        return *trace2Pen;
    case 2:
        return *trace1OtherPen;
    case 3:
        return *trace2OtherPen;
    default:
        return *gridPen;
    }
}

std::int32_t AnalyzerDisplay::areaWidth() const {
    return sideLength(getArea().left, getArea().right);
}

std::int32_t AnalyzerDisplay::areaHeight() const {
    return sideLength(getArea().top, getArea().bottom);
}

void AnalyzerDisplay::onFrameArrival(std::int32_t voice) {
    if (voice < 0 || voice >= kVoiceCount) {
        return;
    }
    frameTimes[voice] = now();
    const std::int32_t margin = labelsOn ? 20 : 5;
    const RECT plot{margin, margin, areaWidth() - 5, areaHeight() - 5};
    invalidateRect(&plot);
}

void AnalyzerDisplay::onModeUpdate() {
    const auto count = static_cast<std::int32_t>(renderers.size());
    const std::int32_t requested = mode.getValue();
    std::int32_t chosen = requested;
    if (requested < 0) {
        chosen = 0;
    } else if (requested > count - 1) {
        chosen = count - 1;
    }
    currentMode = chosen;
    if (chosen != modeOut.getValue()) {
        modeOut.write(chosen);
    }
    invalidateRect(nullptr);
}

void AnalyzerDisplay::onFollowSwitch() {
    if (!followVoice.getValue()) {
        selectedVoice = 0;
    }
}

void AnalyzerDisplay::onGateChange(std::int32_t voice) {
    if (voiceGate.getValue(voice) != 0.0f && followVoice.getValue() && voice >= 0 &&
        voice < kVoiceCount) {
        selectedVoice = voice;
    }
}

void AnalyzerDisplay::onModeList() {
    modeItems.write(MpString(kModeItems));
}

void AnalyzerDisplay::onColours() {
    trace1Pen->setColour(trace1Colour.colour());
    trace2Pen->setColour(trace2Colour.colour());

    const float shade = otherVoiceShade.getValue();
    std::uint32_t other1 = trace1Colour.colour();
    std::uint32_t other2 = trace2Colour.colour();
    if (shade < 0.0f) {
        darken(other1, -shade);
        darken(other2, -shade);
    } else {
        lighten(other1, shade);
        lighten(other2, shade);
    }
    trace1OtherPen->setColour(other1);
    trace2OtherPen->setColour(other2);

    gridPen->setColour(gridColour.colour());
    labelBrush->setColour(labelColour.colour());

    labelsOn = !labelColour.noColour();
    gridOn = !gridColour.noColour();
    invalidateRect(nullptr);
}

std::int32_t AnalyzerDisplay::paint(HDC dc) noexcept {
    return abiGuard(kMpFail, [&] {
        const std::int32_t w = areaWidth();
        const std::int32_t h = areaHeight();
        GraphicsWrapper graphics(dc);
        const std::uint32_t time = now();

        if (!backgroundColour.noColour()) {
            const std::uint32_t background = backgroundColour.colour();
            std::uint32_t frame = background;
            darken(frame, kFrameDarkening);
            BrushWrapper fill(background);
            PenWrapper framePen(frame, 5.0f);
            PenWrapper outline(kOpaqueBlack, 1.0f);
            graphics.fillRectangle(&fill, 0, 0, w, h);
            graphics.drawRectangle(&framePen, 0, 0, w - 1, h - 1);
            graphics.drawRectangle(&outline, 0, 0, w - 1, h - 1);
        }

        if (!renderers.empty()) {
            RenderState state;
            state.followVoice = followVoice.getValue();
            state.splitChannels = splitChannels.getValue();
            state.labelsOn = labelsOn;
            state.gridOn = gridOn;
            state.selectedVoice = selectedVoice;
            state.recentSince = time - 500u;
            state.frameTimes = frameTimes;
            state.frames = &frames;
            for (std::int32_t v = 0; v < kVoiceCount; ++v) {
                state.gates[static_cast<std::size_t>(v)] = voiceGate.getValue(v);
            }
            state.trace1Pen = trace1Pen.get();
            state.trace2Pen = trace2Pen.get();
            state.trace1OtherPen = trace1OtherPen.get();
            state.trace2OtherPen = trace2OtherPen.get();
            state.gridPen = gridPen.get();
            state.labelFont = labelFont.get();
            state.labelBrush = labelBrush.get();
            renderers[static_cast<std::size_t>(currentMode)]->render(graphics, RECT{0, 0, w, h},
                                                                     state);
        }
        return static_cast<std::int32_t>(kMpOk);
    });
}

} // namespace vex

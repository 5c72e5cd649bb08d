// The tools' state and the frame path; their drawing is in viewer_overlay.cpp.
#include "host/kit/view/viewer_tools.h"

#include "host/kit/frame_view.h"

#include <algorithm>
#include <cstring>

namespace vex::host {

ViewerTools::ViewerTools(std::int32_t view, double sampleRate)
    : shownView(view), rate(sampleRate), hold(plot::frameSizeOfView(view)) {
    copy.reserve(static_cast<std::size_t>(kLongestPayloadSize));
    lastFrame.reserve(static_cast<std::size_t>(kLongestPayloadSize));
    spectrumDifference.setSeconds(differenceSeconds(Smoothing::kOff));
    restartHistory();
}

void ViewerTools::restartHistory() {
    ++referenceGeneration;
    hold.reset(plot::frameSizeOfView(shownView));
    tiltTable.set(shownView, rate, tiltSetting);
    smoother.set(shownView, smoother.smoothing());
    lastFrame.clear();
    spectrumDifference.setView(shownView);
    spectrogramView.history().clear();
    changed = true;
}

const std::uint8_t* ViewerTools::take(std::int32_t voice, const std::uint8_t* bytes,
                                      std::int32_t size, double seconds) {
    if (isFrozen) {
        return nullptr;
    }
    latestSeconds = std::max(latestSeconds, seconds);
    // Why the frame as sent: the spectrogram shows the levels themselves, untilted.
    if (voice == highlighted && spectrogramView.history().add(bytes, size, seconds)) {
        changed = changed || spectrogramShown();
    }
    if (differenceOn) {
        // Why the frame as sent: tilt and smoothing are the picture's; the difference
        // averages powers of its own.
        spectrumDifference.take(voice, bytes, size, seconds);
        changed = true;
    }
    const std::uint8_t* handed = bytes;
    const bool spectrum = size == plot::frameSizeOfView(shownView) && isSpectrum(viewOf(shownView));
    if (bytes != nullptr && spectrum &&
        (tiltTable.active() || smoother.smoothing() != Smoothing::kOff)) {
        copy.assign(bytes, bytes + size);
        smoother.apply(voice, copy.data(), size, seconds);
        handed = copy.data();
    }
    if (voice == highlighted && bytes != nullptr && size > 0) {
        lastFrame.assign(handed, handed + size);
    }
    if (handed == copy.data()) {
        tiltTable.apply(copy.data(), size);
    }
    if (peakHoldOn) {
        hold.add(handed, size, seconds);
    }
    return handed;
}

void ViewerTools::setView(std::int32_t view) {
    if (view == shownView) {
        return;
    }
    shownView = view;
    restartHistory();
}

void ViewerTools::setSampleRate(double sampleRate) {
    if (sampleRate == rate) {
        return;
    }
    rate = sampleRate;
    restartHistory();
}

void ViewerTools::setHighlighted(std::int32_t voice) {
    if (voice != highlighted) {
        spectrogramView.history().clear();
    }
    highlighted = voice;
    spectrumDifference.setVoices(voice, grouped ? spectrumDifference.reference() : -1);
}

void ViewerTools::setPeakHold(bool on) {
    peakHoldOn = on;
    if (!on) {
        hold.reset(plot::frameSizeOfView(shownView));
    }
    changed = true;
}

void ViewerTools::setReadout(bool on) {
    readoutOn = on;
    changed = true;
}

void ViewerTools::setTilt(Tilt tilt) {
    if (tilt == tiltSetting) {
        return;
    }
    tiltSetting = tilt;
    tiltTable.set(shownView, rate, tilt);
    ++referenceGeneration;
    // Why: what is held was drawn with the other tilt.
    hold.reset(plot::frameSizeOfView(shownView));
    changed = true;
}

void ViewerTools::setSmoothing(Smoothing smoothing) {
    if (smoothing == smoother.smoothing()) {
        return;
    }
    smoother.set(shownView, smoothing);
    spectrumDifference.setSeconds(differenceSeconds(smoothing));
    changed = true;
}

void ViewerTools::setFrozen(bool frozen) {
    isFrozen = frozen;
    changed = true;
}

void ViewerTools::setHelp(bool shown) {
    helpShown = shown;
    changed = true;
}

void ViewerTools::setStripShown(bool shown) {
    changed = changed || shown != stripShown;
    stripShown = shown;
}

bool ViewerTools::storeReference() {
    ReferenceTrace taken;
    if (lastFrame.empty() ||
        !referenceFromFrame(lastFrame.data(), static_cast<std::int32_t>(lastFrame.size()), rate,
                            taken)) {
        return false;
    }
    setReference(taken);
    return true;
}

void ViewerTools::clearReference() {
    referenceTrace = ReferenceTrace{};
    ++referenceGeneration;
    changed = true;
}

void ViewerTools::setReference(const ReferenceTrace& trace) {
    referenceTrace = trace;
    ++referenceGeneration;
    changed = true;
}

void ViewerTools::setAnalysis(Analysis analysis, const std::string& unavailable) {
    fineUnavailable = unavailable;
    const Analysis shown = unavailable.empty() ? analysis : Analysis::kModule;
    if (shown != analysisShown) {
        spectrumDifference.restart();
    }
    analysisShown = shown;
    changed = true;
}

void ViewerTools::setDifference(bool on) {
    if (on != differenceOn) {
        spectrumDifference.restart();
    }
    differenceOn = on;
    changed = true;
}

void ViewerTools::setDifferenceReference(bool inGroup, std::int32_t reference,
                                         const std::string& label) {
    grouped = inGroup;
    changed = changed || label != referenceLabel;
    referenceLabel = label;
    spectrumDifference.setVoices(highlighted, inGroup ? reference : -1);
}

void ViewerTools::setDifferenceProblem(const std::string& text) {
    changed = changed || text != groupProblem;
    groupProblem = text;
}

std::string ViewerTools::differenceAgainst() const {
    if (!grouped) {
        return "B\xE2\x88\x92"
               "A"; // B−A, with U+2212
    }
    return "against " + referenceLabel;
}

std::string ViewerTools::differenceProblem() const {
    if (!differenceOn) {
        return std::string();
    }
    if (grouped && spectrumDifference.reference() < 0 && groupProblem.empty()) {
        return "pick the reference member (v)";
    }
    return groupProblem.empty() ? spectrumDifference.problem() : groupProblem;
}

double ViewerTools::differenceSeconds(Smoothing smoothing) {
    return smoothingSeconds(smoothing == Smoothing::kOff ? Smoothing::kSlow : smoothing);
}

void ViewerTools::setSpectrogram(bool on) {
    spectrogramOn = on;
    changed = true;
}

void ViewerTools::setSpectrogramRange(SpectrogramRange range) {
    const auto index = static_cast<std::int32_t>(range);
    spectrogramRange = index >= 0 && index <= 2 ? range : SpectrogramRange::kDisplay;
    changed = true;
}

bool ViewerTools::spectrogramShown() const {
    return spectrogramOn && isSpectrum(viewOf(shownView));
}

void ViewerTools::setMessage(const std::string& text) {
    messageText = text;
    changed = true;
}

ToolChange ViewerTools::key(char c) {
    switch (c) {
    case 'p':
        setPeakHold(!peakHoldOn);
        return ToolChange::kPeakHold;
    case 'c':
        setReadout(!readoutOn);
        return ToolChange::kReadout;
    case 't':
        setTilt(nextTilt(tiltSetting));
        return ToolChange::kTilt;
    case 'a':
        setSmoothing(nextSmoothing(smoother.smoothing()));
        return ToolChange::kSmoothing;
    case ' ':
        setFrozen(!isFrozen);
        return ToolChange::kFreeze;
    case 'r':
        if (!storeReference()) {
            setMessage("no frame of this view to keep as the reference yet");
            return ToolChange::kNone;
        }
        setMessage(std::string());
        return ToolChange::kReference;
    case 'x':
        clearReference();
        return ToolChange::kReference;
    case 'm':
        if (!fineUnavailable.empty()) {
            setMessage(fineUnavailable);
            return ToolChange::kNone;
        }
        setAnalysis(analysisShown == Analysis::kFine ? Analysis::kModule : Analysis::kFine);
        return ToolChange::kAnalysis;
    case 'd':
        setDifference(!differenceOn);
        return ToolChange::kDifference;
    case 'v':
        if (!grouped) {
            setMessage("the difference is B against A here: a reference member is a group's");
            return ToolChange::kNone;
        }
        return ToolChange::kDifferenceReference;
    case 'w':
        setSpectrogram(!spectrogramOn);
        return ToolChange::kSpectrogram;
    case 'l':
        setSpectrogramRange(
            static_cast<SpectrogramRange>((static_cast<int>(spectrogramRange) + 1) % 3));
        return ToolChange::kSpectrogramRange;
    case 'h':
    case '?':
        setHelp(!helpShown);
        return ToolChange::kHelp;
    default:
        return ToolChange::kNone;
    }
}

bool ViewerTools::onStrip(std::int32_t x, std::int32_t y) const {
    return stripButtonAt(x, y) >= 0;
}

ToolChange ViewerTools::click(std::int32_t x, std::int32_t y) {
    static constexpr char kKeys[] = {'p', 'c', 't', 'a', ' ', 'r', 'x', 'm', 'd', 'v', 'w', 'h'};
    static_assert(sizeof kKeys == static_cast<std::size_t>(StripButton::kCount));
    const std::int32_t button = stripButtonAt(x, y);
    return button >= 0 ? key(kKeys[button]) : ToolChange::kNone;
}

void ViewerTools::pointerAt(std::int32_t x, std::int32_t y) {
    changed = changed || readoutOn || !pointerInside;
    pointerInside = true;
    pointerX = x;
    pointerY = y;
}

void ViewerTools::pointerLeft() {
    changed = changed || pointerInside;
    pointerInside = false;
}

} // namespace vex::host

// The strip of buttons the tools offer to hosts that keep the keyboard from their plug-ins'
// windows: where each button lies, which one a click hits, and their drawing. A button is
// as wide as its longest text needs, and the strip wraps onto more rows (the first at the
// top, the last 8 pixels above the window's bottom) when it outgrows the window.
#include "host/kit/view/viewer_tools.h"

#include "host/kit/view/overlay_pixels.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vex::host {

namespace {

constexpr std::uint32_t kButtonBack = 0xFF303848u;
constexpr std::uint32_t kButtonOn = 0xFF407040u;
// Buttons at least 46 x 16 pixels, 2 apart, from x = 24 (past the level labels), the last
// row's bottom 8 pixels above the window's; none reaches past the plot's right margin
// unless it is alone on its row.
constexpr std::int32_t kButtonWidth = 46;
constexpr std::int32_t kButtonHeight = 16;
constexpr std::int32_t kButtonGap = 2;
constexpr std::int32_t kStripLeft = 24;
constexpr std::int32_t kStripBottomGap = 8;
// Text room: a wide character of the bold 12-pixel font, and the text's inset on each side.
constexpr std::int32_t kCharWidth = 7;
constexpr std::int32_t kTextInset = 3;
constexpr std::int32_t kCount = static_cast<std::int32_t>(StripButton::kCount);

std::string tiltLabel(Tilt tilt) {
    return std::string("tilt ") + tiltName(tilt);
}

// Each button's width: room for the longest text it shows.
std::int32_t buttonWidth(std::int32_t button) {
    std::vector<std::string> texts;
    switch (static_cast<StripButton>(button)) {
    case StripButton::kTilt:
        for (const Tilt tilt : {Tilt::kOff, Tilt::kThree, Tilt::kFourAndHalf}) {
            texts.push_back(tiltLabel(tilt));
        }
        break;
    case StripButton::kSmoothing:
        texts.assign(kSmoothingNames.begin(), kSmoothingNames.end());
        break;
    case StripButton::kAnalysis:
        texts = {analysisName(Analysis::kModule), analysisName(Analysis::kFine)};
        break;

    default:
        texts.push_back(
            ViewerTools::stripText(static_cast<StripButton>(button), Tilt::kOff, Smoothing::kOff));
        break;
    }
    // Why m and w count twice: they are about twice as wide as the others in the bold font.
    std::size_t longest = 0;
    for (const std::string& text : texts) {
        const auto wide = static_cast<std::size_t>(
            std::count_if(text.begin(), text.end(), [](char c) { return c == 'm' || c == 'w'; }));
        longest = std::max(longest, text.size() + wide);
    }
    return std::max(kButtonWidth, static_cast<std::int32_t>(longest) * kCharWidth + 2 * kTextInset);
}

} // namespace

std::string ViewerTools::stripText(StripButton button, Tilt tilt, Smoothing smoothing,
                                   Analysis analysis) {
    switch (button) {
    case StripButton::kPeakHold:
        return "peak";
    case StripButton::kReadout:
        return "read";
    case StripButton::kTilt:
        return tiltLabel(tilt);
    case StripButton::kSmoothing:
        return smoothingName(smoothing);
    case StripButton::kFreeze:
        return "freeze";
    case StripButton::kStoreReference:
        return "ref";
    case StripButton::kClearReference:
        return "clear";
    case StripButton::kAnalysis:
        return analysisName(analysis);
    case StripButton::kDifference:
        return "diff";
    case StripButton::kDifferenceReference:
        return "vs";
    case StripButton::kSpectrogram:
        return "gram";

    default:
        return "?";
    }
}

PlotPane ViewerTools::stripButton(StripButton button, std::int32_t width, std::int32_t height) {
    // The rows first, left to right, then their heights from the bottom up.
    std::int32_t rowOf[kCount] = {};
    PlotPane at[kCount];
    std::int32_t x = kStripLeft;
    std::int32_t row = 0;
    for (std::int32_t i = 0; i < kCount; ++i) {
        const std::int32_t w = buttonWidth(i);
        if (x > kStripLeft && x + w > width - plot::kFarMargin) {
            x = kStripLeft;
            ++row;
        }
        rowOf[i] = row;
        at[i].left = x;
        at[i].right = x + w;
        x += w + kButtonGap;
    }
    const auto i = std::clamp(static_cast<std::int32_t>(button), 0, kCount - 1);
    at[i].bottom = height - kStripBottomGap - (row - rowOf[i]) * (kButtonHeight + kButtonGap);
    at[i].top = at[i].bottom - kButtonHeight;
    return at[i];
}

std::int32_t ViewerTools::stripButtonAt(std::int32_t x, std::int32_t y) const {
    if (!stripShown) {
        return -1;
    }
    for (std::int32_t i = 0; i < kCount; ++i) {
        const PlotPane at = stripButton(static_cast<StripButton>(i), drawnWidth, drawnHeight);
        if (x >= at.left && x < at.right && y >= at.top && y < at.bottom) {
            return i;
        }
    }
    return -1;
}

void ViewerTools::prepareStrip(const PaintSurface* buttons[]) {
    const bool on[] = {peakHoldOn,
                       readoutOn,
                       tiltSetting != Tilt::kOff,
                       smoother.smoothing() != Smoothing::kOff,
                       isFrozen,
                       !referenceTrace.empty(),
                       false,
                       analysisShown == Analysis::kFine,
                       differenceOn,
                       grouped && spectrumDifference.reference() >= 0,
                       spectrogramOn,
                       helpShown};
    static_assert(std::size(on) == static_cast<std::size_t>(kCount));
    for (std::int32_t i = 0; i < kCount; ++i) {
        const auto button = static_cast<StripButton>(i);
        buttons[i] = &textBox({stripText(button, tiltSetting, smoother.smoothing(), analysisShown)},
                              buttonWidth(i), kButtonHeight, on[i] ? kButtonOn : kButtonBack);
    }
}

void ViewerTools::drawStrip(Pixels& pixels, const PaintSurface* const buttons[]) const {
    for (std::int32_t i = 0; i < kCount; ++i) {
        const PlotPane at = stripButton(static_cast<StripButton>(i), drawnWidth, drawnHeight);
        pixels.paste(*buttons[i], at.left, at.top);
    }
}

} // namespace vex::host

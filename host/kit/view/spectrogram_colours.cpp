#include "host/kit/view/spectrogram_colours.h"

#include "host/kit/view/overlay_pixels.h"

#include "platform/device_context.h"
#include "platform/gdiplus.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vex::host::spectrogram {

namespace {

// The map is viridis, by Stéfan van der Walt and Nathaniel J. Smith, as published with
// matplotlib (lib/matplotlib/_cm_listed.py, _viridis_data), released under CC0 (public domain
// dedication). Its lightness rises evenly from end to end and its hues stay apart for the
// common red-green deficiencies, so levels read alike in colour-blind vision and in grey.
// Each entry is the published sRGB triple times 255, rounded.
constexpr std::uint32_t kViridis[kMapColours] = {
    0x440154u, 0x440256u, 0x450457u, 0x450559u, 0x46075Au, 0x46085Cu, 0x460A5Du, 0x460B5Eu,
    0x470D60u, 0x470E61u, 0x471063u, 0x471164u, 0x471365u, 0x481467u, 0x481668u, 0x481769u,
    0x48186Au, 0x481A6Cu, 0x481B6Du, 0x481C6Eu, 0x481D6Fu, 0x481F70u, 0x482071u, 0x482173u,
    0x482374u, 0x482475u, 0x482576u, 0x482677u, 0x482878u, 0x482979u, 0x472A7Au, 0x472C7Au,
    0x472D7Bu, 0x472E7Cu, 0x472F7Du, 0x46307Eu, 0x46327Eu, 0x46337Fu, 0x463480u, 0x453581u,
    0x453781u, 0x453882u, 0x443983u, 0x443A83u, 0x443B84u, 0x433D84u, 0x433E85u, 0x423F85u,
    0x424086u, 0x424186u, 0x414287u, 0x414487u, 0x404588u, 0x404688u, 0x3F4788u, 0x3F4889u,
    0x3E4989u, 0x3E4A89u, 0x3E4C8Au, 0x3D4D8Au, 0x3D4E8Au, 0x3C4F8Au, 0x3C508Bu, 0x3B518Bu,
    0x3B528Bu, 0x3A538Bu, 0x3A548Cu, 0x39558Cu, 0x39568Cu, 0x38588Cu, 0x38598Cu, 0x375A8Cu,
    0x375B8Du, 0x365C8Du, 0x365D8Du, 0x355E8Du, 0x355F8Du, 0x34608Du, 0x34618Du, 0x33628Du,
    0x33638Du, 0x32648Eu, 0x32658Eu, 0x31668Eu, 0x31678Eu, 0x31688Eu, 0x30698Eu, 0x306A8Eu,
    0x2F6B8Eu, 0x2F6C8Eu, 0x2E6D8Eu, 0x2E6E8Eu, 0x2E6F8Eu, 0x2D708Eu, 0x2D718Eu, 0x2C718Eu,
    0x2C728Eu, 0x2C738Eu, 0x2B748Eu, 0x2B758Eu, 0x2A768Eu, 0x2A778Eu, 0x2A788Eu, 0x29798Eu,
    0x297A8Eu, 0x297B8Eu, 0x287C8Eu, 0x287D8Eu, 0x277E8Eu, 0x277F8Eu, 0x27808Eu, 0x26818Eu,
    0x26828Eu, 0x26828Eu, 0x25838Eu, 0x25848Eu, 0x25858Eu, 0x24868Eu, 0x24878Eu, 0x23888Eu,
    0x23898Eu, 0x238A8Du, 0x228B8Du, 0x228C8Du, 0x228D8Du, 0x218E8Du, 0x218F8Du, 0x21908Du,
    0x21918Cu, 0x20928Cu, 0x20928Cu, 0x20938Cu, 0x1F948Cu, 0x1F958Bu, 0x1F968Bu, 0x1F978Bu,
    0x1F988Bu, 0x1F998Au, 0x1F9A8Au, 0x1E9B8Au, 0x1E9C89u, 0x1E9D89u, 0x1F9E89u, 0x1F9F88u,
    0x1FA088u, 0x1FA188u, 0x1FA187u, 0x1FA287u, 0x20A386u, 0x20A486u, 0x21A585u, 0x21A685u,
    0x22A785u, 0x22A884u, 0x23A983u, 0x24AA83u, 0x25AB82u, 0x25AC82u, 0x26AD81u, 0x27AD81u,
    0x28AE80u, 0x29AF7Fu, 0x2AB07Fu, 0x2CB17Eu, 0x2DB27Du, 0x2EB37Cu, 0x2FB47Cu, 0x31B57Bu,
    0x32B67Au, 0x34B679u, 0x35B779u, 0x37B878u, 0x38B977u, 0x3ABA76u, 0x3BBB75u, 0x3DBC74u,
    0x3FBC73u, 0x40BD72u, 0x42BE71u, 0x44BF70u, 0x46C06Fu, 0x48C16Eu, 0x4AC16Du, 0x4CC26Cu,
    0x4EC36Bu, 0x50C46Au, 0x52C569u, 0x54C568u, 0x56C667u, 0x58C765u, 0x5AC864u, 0x5CC863u,
    0x5EC962u, 0x60CA60u, 0x63CB5Fu, 0x65CB5Eu, 0x67CC5Cu, 0x69CD5Bu, 0x6CCD5Au, 0x6ECE58u,
    0x70CF57u, 0x73D056u, 0x75D054u, 0x77D153u, 0x7AD151u, 0x7CD250u, 0x7FD34Eu, 0x81D34Du,
    0x84D44Bu, 0x86D549u, 0x89D548u, 0x8BD646u, 0x8ED645u, 0x90D743u, 0x93D741u, 0x95D840u,
    0x98D83Eu, 0x9BD93Cu, 0x9DD93Bu, 0xA0DA39u, 0xA2DA37u, 0xA5DB36u, 0xA8DB34u, 0xAADC32u,
    0xADDC30u, 0xB0DD2Fu, 0xB2DD2Du, 0xB5DE2Bu, 0xB8DE29u, 0xBADE28u, 0xBDDF26u, 0xC0DF25u,
    0xC2DF23u, 0xC5E021u, 0xC8E020u, 0xCAE11Fu, 0xCDE11Du, 0xD0E11Cu, 0xD2E21Bu, 0xD5E21Au,
    0xD8E219u, 0xDAE319u, 0xDDE318u, 0xDFE318u, 0xE2E418u, 0xE5E419u, 0xE7E419u, 0xEAE51Au,
    0xECE51Bu, 0xEFE51Cu, 0xF1E51Du, 0xF4E61Eu, 0xF6E620u, 0xF8E621u, 0xFBE723u, 0xFDE725u,
};

// The display's label font: Arial of 9 pixels, bold; a character about 5 pixels wide.
constexpr float kFontPixels = 9.0f;
constexpr double kCharWidth = 5.0;
// Half a label's height: a label is drawn this far above the row it names.
constexpr double kHalfLabel = 5.0;
constexpr double kBarWidth = 10.0;
constexpr double kBarGap = 3.0;
// Room for the longest scale label ("-100").
constexpr double kScaleLabelChars = 4.0;
// Scale labels at least this far apart.
constexpr double kScaleLabelSpacing = 40.0;

std::int32_t scaled(double length, const AxisLook& look) {
    const double scale = std::isfinite(look.scale) ? std::clamp(look.scale, 1.0, 4.0) : 1.0;
    return static_cast<std::int32_t>(std::lround(length * scale));
}

// Draws each text of `texts` with its box's top left corner at the matching point.
void drawTexts(PaintSurface& surface, const std::vector<std::string>& texts,
               const std::vector<std::pair<float, float>>& at, const AxisLook& look) {
    gdip::GpGraphics* graphics = nullptr;
    gdip::GpFontFamily* family = nullptr;
    gdip::GpFont* font = nullptr;
    gdip::GpSolidFill* brush = nullptr;
    gdip::GdipCreateFromHDC(surface.dc(), &graphics);
    const std::basic_string<WCHAR> arial = {'A', 'r', 'i', 'a', 'l'};
    if (gdip::GdipCreateFontFamilyFromName(arial.c_str(), nullptr, &family) != gdip::Ok) {
        gdip::GdipGetGenericFontFamilySansSerif(&family);
    }
    gdip::GdipCreateFont(family, kFontPixels * static_cast<float>(scaled(100.0, look)) / 100.0f,
                         gdip::FontStyleBold, gdip::UnitPixel, &font);
    gdip::GdipCreateSolidFill(look.ink, &brush);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::basic_string<WCHAR> wide(texts[i].begin(), texts[i].end());
        const gdip::RectF box{at[i].first, at[i].second, 0.0f, 0.0f};
        gdip::GdipDrawString(graphics, wide.c_str(), -1, font, &box, nullptr, brush);
    }
    gdip::GdipDeleteBrush(brush);
    gdip::GdipDeleteFont(font);
    gdip::GdipDeleteFontFamily(family);
    gdip::GdipDeleteGraphics(graphics);
}

} // namespace

LevelRange displayRange() {
    const double top = static_cast<double>(plot::kTopLevel);
    return LevelRange{top - 1.0 / static_cast<double>(plot::kLevelScale), top};
}

LevelRange validRange(LevelRange range) {
    if (!std::isfinite(range.low) || !std::isfinite(range.high)) {
        return displayRange();
    }
    if (range.low > range.high) {
        std::swap(range.low, range.high);
    }
    if (range.high - range.low < 1.0) {
        range.high = range.low + 1.0;
    }
    return range;
}

std::uint32_t mapColour(std::int32_t index) {
    return 0xFF000000u | kViridis[std::clamp(index, 0, kMapColours - 1)];
}

std::uint32_t levelColour(double db, LevelRange range) {
    range = validRange(range);
    const auto low = static_cast<float>(range.low);
    const auto perDb = static_cast<float>(kMapColours / (range.high - range.low));
    return mapColour(
        static_cast<std::int32_t>(LevelColours::indexOf(static_cast<float>(db), low, perDb)));
}

LevelColours::LevelColours(LevelRange range)
    : levels(validRange(range)), low(static_cast<float>(levels.low)),
      perDb(static_cast<float>(kMapColours / (levels.high - levels.low))) {
    for (std::int32_t i = 0; i < kMapColours; ++i) {
        colours[static_cast<std::size_t>(i)] = mapColour(i);
    }
}

FrequencyAxis::FrequencyAxis(View view, double sampleRate, const PlotPane& pane, double axisScale)
    : shown(view == View::kLinear ? View::kLinear : View::kLog),
      rate(sampleRate > 0.0 && std::isfinite(sampleRate) ? sampleRate : 48000.0), area(pane),
      scale(platform::usableScale(axisScale)) {
    across.left = 0;
    across.right = std::max(0, pane.bottom - pane.top);
}

std::int32_t FrequencyAxis::pointRow(std::int32_t k) const {
    return area.bottom - plot::spectrumPointX(across, k, points());
}

double FrequencyAxis::pointAt(std::int32_t y) const {
    return spectrumPointAt(across, area.bottom - y, points());
}

std::int32_t FrequencyAxis::hzRow(double hz) const {
    const double point = hzPoint(shown, hz, rate);
    if (!(hz > 0.0) || !std::isfinite(hz) || point < -0.5 || point > points() - 0.5) {
        return -1;
    }
    return pointRow(static_cast<std::int32_t>(std::lround(point)));
}

std::int32_t FrequencyAxis::gridLines() const {
    return shown == View::kLinear ? plot::kLinearGridLines : plot::kLogGridLines;
}

double FrequencyAxis::gridHz(std::int32_t i) const {
    if (shown == View::kLinear) {
        return 1000.0 * (i + 1);
    }
    return i <= 7 ? 10.0 * (i + 2) : i <= 16 ? 100.0 * (i - 7) : 1000.0 * (i - 16);
}

// Why the points' arithmetic rather than the display's grid fractions: the display's linear
// grid stands for 44.1 kHz; here a line lies on the row its frequency's point is drawn on, at
// any rate (on the log axis the two agree within a pixel).
std::int32_t FrequencyAxis::gridRow(std::int32_t i) const {
    const double point = hzPoint(shown, gridHz(i), rate);
    const double h = static_cast<double>(across.right);
    return area.bottom - static_cast<std::int32_t>(1.0 + point * (h - 1.0) / points());
}

std::string FrequencyAxis::gridLabel(std::int32_t i) const {
    const double hz = gridHz(i);
    char text[16];
    std::snprintf(text, sizeof text, hz >= 1000.0 ? "%.0fk" : "%.0f",
                  hz >= 1000.0 ? hz / 1000.0 : hz);
    return text;
}

bool FrequencyAxis::labelled(std::int32_t i) const {
    const std::int32_t y = gridRow(i);
    return i >= 0 && i < gridLines() && y > area.top && y < area.bottom &&
           ((plot::frequencyLabels(shown == View::kLinear,
                                   static_cast<std::int32_t>(across.right / scale)) >>
             i) &
            1u) != 0;
}

void drawFrequencyLabels(PaintSurface& surface, const FrequencyAxis& axis, std::int32_t right,
                         const AxisLook& look) {
    std::vector<std::string> texts;
    std::vector<std::pair<float, float>> at;
    std::vector<std::int32_t> rows;
    for (std::int32_t i = 0; i < axis.gridLines(); ++i) {
        if (!axis.labelled(i)) {
            continue;
        }
        const std::int32_t y = axis.gridRow(i);
        texts.push_back(axis.gridLabel(i));
        at.emplace_back(
            static_cast<float>(right - scaled(kCharWidth * texts.back().size() + 1.0, look)),
            static_cast<float>(y - scaled(kHalfLabel, look)));
        rows.push_back(y);
    }
    drawTexts(surface, texts, at, look);
    Pixels pixels(surface);
    const PlotPane& pane = axis.pane();
    for (const std::int32_t y : rows) {
        pixels.line(right + 1, y, pane.left - 1, y, look.ink);
    }
}

std::int32_t colourScaleWidth(const AxisLook& look) {
    return scaled(kBarWidth + kBarGap + kCharWidth * kScaleLabelChars + 2.0, look);
}

double colourScaleStep(LevelRange range, std::int32_t height, const AxisLook& look) {
    range = validRange(range);
    const double span = range.high - range.low;
    for (const double step : {3.0, 5.0, 10.0, 20.0, 40.0}) {
        if (step / span * (height - 1) >= scaled(kScaleLabelSpacing, look)) {
            return step;
        }
    }
    return 80.0;
}

void drawColourScale(PaintSurface& surface, const PlotPane& area, LevelRange range,
                     const AxisLook& look) {
    range = validRange(range);
    const std::int32_t height = area.bottom - area.top;
    if (height < 2 || area.right <= area.left) {
        return;
    }
    const double span = range.high - range.low;
    const auto rowOf = [&](double db) {
        return area.bottom - 1 -
               static_cast<std::int32_t>(std::lround((db - range.low) / span * (height - 1)));
    };
    std::vector<std::string> texts;
    std::vector<std::pair<float, float>> at;
    const double step = colourScaleStep(range, height, look);
    const std::int32_t barRight = area.left + scaled(kBarWidth, look);
    for (double db = std::ceil(range.low / step) * step; db <= range.high; db += step) {
        char text[16];
        std::snprintf(text, sizeof text, "%.0f", db == 0.0 ? 0.0 : db);
        texts.emplace_back(text);
        at.emplace_back(static_cast<float>(barRight + scaled(kBarGap, look)),
                        static_cast<float>(rowOf(db) - scaled(kHalfLabel, look)));
    }
    drawTexts(surface, texts, at, look);
    Pixels pixels(surface);
    const LevelColours colours(range);
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const double db = range.low + span * (area.bottom - 1 - y) / (height - 1);
        pixels.line(area.left, y, barRight - 1, y, colours(static_cast<float>(db)));
    }
}

} // namespace vex::host::spectrogram

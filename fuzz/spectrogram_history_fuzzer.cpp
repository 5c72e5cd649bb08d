// Drives the spectrogram's frame history and its painting as any frame source could: frames
// of any length (the three views', cut short, empty, oversized) and content (presence bytes
// anything, NaN and infinite levels), any time (backwards, NaN), in any order, with the
// history's room changed and the window resized, its view, rate and colour range changed,
// paints (at any scale) and readouts between.
//
// Checked against a model of the columns (each frame's view, first level and time): the
// history holds the newest frames of one view, as many as fit, newest first, and never more
// than its room; every paint fills the surface it is given.
#include "host/kit/frame_view.h"
#include "host/kit/view/spectrogram_history.h"
#include "host/kit/view/spectrogram_view.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

namespace {

using namespace vex;
using namespace vex::host;

constexpr std::int32_t kMostActions = 48;
constexpr std::int32_t kSizes[] = {0, 1, 4, 1604, 4100, 4228, 5000};

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

struct Column {
    std::int32_t view;
    float first;
    double time;
};

float anyLevel(FuzzedDataProvider& data) {
    return data.ConsumeBool() ? data.ConsumeFloatingPointInRange<float>(-140.0f, 20.0f)
                              : data.PickValueInArray({std::numeric_limits<float>::quiet_NaN(),
                                                       std::numeric_limits<float>::infinity(),
                                                       -std::numeric_limits<float>::infinity(),
                                                       std::numeric_limits<float>::max()});
}

// A frame and what the model expects of it: added, and the column it makes.
void addFrame(FuzzedDataProvider& data, SpectrogramHistory& history, std::deque<Column>& model) {
    const std::int32_t size =
        data.ConsumeBool() ? data.PickValueInArray(kSizes) : data.ConsumeIntegralInRange(0, 4300);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
        bytes[i] = data.ConsumeIntegral<std::uint8_t>();
    }
    const std::int32_t view = plot::viewOfFrameSize(size);
    const bool spectrum = view == plot::kLinearView || view == plot::kLogView;
    float first = 0.0f;
    if (spectrum) {
        const std::int32_t points = plot::pointsOfView(view);
        for (std::int32_t k = 0; k < points; ++k) {
            setFrameValue(bytes.data(), 0, k,
                          k == 0 || data.ConsumeBool() ? anyLevel(data) : -60.0f);
            setFrameValue(bytes.data(), 1, k, -30.0f);
        }
        first = frameValue(bytes.data(), bytes[0] != 0 ? 0 : 1, 0);
    }
    const double time = data.ConsumeBool() ? data.ConsumeFloatingPoint<double>()
                                           : std::numeric_limits<double>::quiet_NaN();
    const bool expected = spectrum && (bytes[0] != 0 || bytes[1] != 0);
    const bool added =
        history.add(size == 0 && data.ConsumeBool() ? nullptr : bytes.data(), size, time);
    check(added == expected);
    if (view == plot::kScopeView || (expected && !model.empty() && model.front().view != view)) {
        model.clear();
    }
    if (expected) {
        model.push_front(Column{view, first, time});
    }
}

void checkModel(const SpectrogramHistory& history, std::deque<Column>& model) {
    while (static_cast<std::int32_t>(model.size()) > history.capacity()) {
        model.pop_back();
    }
    check(history.size() == static_cast<std::int32_t>(model.size()));
    check(history.size() <= history.capacity());
    for (std::int32_t back = 0; back < history.size(); ++back) {
        const Column& column = model[static_cast<std::size_t>(back)];
        check(history.view() == column.view);
        const float level = history.column(back)[0];
        check(std::memcmp(&level, &column.first, sizeof level) == 0);
        const double time = history.time(back);
        check(std::memcmp(&time, &column.time, sizeof time) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    SpectrogramHistory history(data.ConsumeIntegralInRange<std::int32_t>(-5, 40));
    std::deque<Column> model;
    SpectrogramView view;
    std::deque<Column> viewModel;
    for (std::int32_t action = 0; action < kMostActions && data.remaining_bytes() > 0; ++action) {
        switch (data.ConsumeIntegralInRange(0, 5)) {
        case 0:
            history.reserve(data.ConsumeIntegralInRange<std::int32_t>(-10, 60));
            break;
        case 1:
            history.clear();
            model.clear();
            break;
        case 2: {
            // The view's own history, painted at a small size of any view, rate and range.
            addFrame(data, view.history(), viewModel);
            checkModel(view.history(), viewModel);
            const std::int32_t width = data.ConsumeIntegralInRange(1, 120);
            const std::int32_t height = data.ConsumeIntegralInRange(1, 90);
            PaintSurface surface(width, height,
                                 data.PickValueInArray({1.0, 1.5, 2.0, 4.0, 0.5,
                                                        std::numeric_limits<double>::quiet_NaN()}));
            const auto shown = static_cast<View>(data.ConsumeIntegralInRange(0, 3));
            const double rate = data.PickValueInArray(
                {48000.0, 8000.0, 768000.0, 0.0, -1.0, std::numeric_limits<double>::quiet_NaN()});
            const auto range = static_cast<SpectrogramRange>(data.ConsumeIntegralInRange(0, 3));
            view.paint(surface, shown, rate, range);
            check(surface.pixel(width - 1, height - 1) != 0);
            view.readout(data.ConsumeIntegralInRange(-5, 125), data.ConsumeIntegralInRange(-5, 95),
                         data.ConsumeFloatingPoint<double>());
            break;
        }
        default:
            addFrame(data, history, model);
            break;
        }
        checkModel(history, model);
    }
    return 0;
}

// Drives the live window's frame intake as a hostile audio side could: frames of any voice
// (-1, 128, huge), sample time (backwards, negative, huge), size (0, truncated, the three
// kinds, oversized, negative) and content (any bits, NaN and infinite levels, the presence
// bytes anything) pushed into the frame queue, taken off it into the view in any number,
// with the view's settings (mode, split, follow, freeze, peak hold, cursor readout), its
// size and the pointer changed in between, and paints.
//
// Checked: the queue hands out what it took in order, refuses exactly the frames longer
// than a slot, of negative size or beyond its room, and counts them; every paint is of
// the view's size; the peak hold holds no level that is not a number.
#include "host/kit/host_error.h"
#include "host/kit/module_library.h"
#include "host/vexhost/live/frame_queue.h"
#include "host/vexhost/live/live_view.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <vector>

namespace {

using namespace vex;
using namespace vex::host;

constexpr std::int32_t kMostActions = 64;
constexpr std::int32_t kQueueFrames = 8;
// Bounds the pixels of the view, so that a paint stays quick.
constexpr std::int64_t kMostPixels = 1 << 16;
// The frame sizes the analyzer sends: empty, scope, linear and log spectra.
constexpr std::int32_t kSizes[] = {0, 1604, 4100, 4228};

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

FactoryInterface& factory() {
    static ModuleLibrary* const library = [] {
        auto* loaded = new ModuleLibrary;
        check(loaded->load(VEX_MODULE_DIR "/VEX_ANALYZER.sem"));
        return loaded;
    }();
    return *library->factory();
}

std::int32_t anyVoice(FuzzedDataProvider& data) {
    return data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(0, 3)
                              : data.PickValueInArray({-1, 127, 128, 1000,
                                                       std::numeric_limits<std::int32_t>::min(),
                                                       std::numeric_limits<std::int32_t>::max()});
}

float anyLevel(FuzzedDataProvider& data) {
    static const float kSpecial[] = {
        0.0f,    -0.0f,    -20.0f, -130.0f,  -1e30f,    1e30f,
        FLT_MAX, -FLT_MAX, 1e-40f, INFINITY, -INFINITY, std::numeric_limits<float>::quiet_NaN(),
    };
    return data.ConsumeBool() ? data.PickValueInArray(kSpecial)
                              : data.ConsumeFloatingPoint<float>();
}

// A frame's bytes: a well-formed frame of one kind with levels of any value, or any bytes.
std::vector<std::uint8_t> anyFrame(FuzzedDataProvider& data) {
    if (data.ConsumeIntegralInRange<int>(0, 3) == 0) {
        const auto size = data.ConsumeIntegralInRange<std::size_t>(0, kLongestFrame + 8);
        std::vector<std::uint8_t> bytes = data.ConsumeBytes<std::uint8_t>(size);
        bytes.resize(size);
        return bytes;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(data.PickValueInArray(kSizes)));
    if (bytes.size() < 4) {
        return bytes;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[i] = data.ConsumeBool() ? 1 : data.ConsumeIntegral<std::uint8_t>();
    }
    // A few runs of one level each, so that short inputs still fill a whole frame.
    float level = anyLevel(data);
    for (std::size_t at = 4; at + 4 <= bytes.size(); at += 4) {
        if (data.ConsumeIntegralInRange<int>(0, 63) == 0) {
            level = anyLevel(data);
        }
        std::memcpy(&bytes[at], &level, 4);
    }
    return bytes;
}

struct Pushed {
    std::int64_t sample;
    std::int32_t voice;
    std::int32_t size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider data(input, size);
    DisplayLook look = defaultLook();
    look.width = data.ConsumeIntegralInRange<std::int32_t>(1, 320);
    look.height = data.ConsumeIntegralInRange<std::int32_t>(1, 200);
    look.follow = data.ConsumeBool();
    look.split = data.ConsumeBool();
    const std::int32_t voices = data.ConsumeIntegralInRange<std::int32_t>(1, 4);
    const double rate = data.PickValueInArray({8000.0, 44100.0, 48000.0, 768000.0});
    const std::int32_t mode = data.ConsumeIntegralInRange<std::int32_t>(0, 2);
    std::unique_ptr<LiveView> view;
    try {
        view = std::make_unique<LiveView>(factory(), mode, look, voices, rate);
    } catch (const HostError&) {
        return 0; // a size the display refuses
    }
    FrameQueue queue(kQueueFrames);
    std::deque<Pushed> inQueue;
    std::int64_t refused = 0;

    for (std::int32_t action = 0; action < kMostActions && data.remaining_bytes() > 0; ++action) {
        switch (data.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:
        case 1:
        case 2: {
            const std::vector<std::uint8_t> bytes = anyFrame(data);
            auto frameSize = static_cast<std::int32_t>(bytes.size());
            if (data.ConsumeIntegralInRange<int>(0, 15) == 0) {
                frameSize = data.ConsumeIntegral<std::int32_t>(); // a size its bytes are not
                frameSize = frameSize > 0 && frameSize > static_cast<std::int32_t>(bytes.size())
                                ? kLongestFrame + 1
                                : frameSize;
            }
            const std::int64_t sample = data.ConsumeBool()
                                            ? data.ConsumeIntegralInRange<std::int64_t>(0, 1 << 24)
                                            : data.ConsumeIntegral<std::int64_t>();
            const std::int32_t voice = anyVoice(data);
            const bool fits = frameSize >= 0 && frameSize <= kLongestFrame &&
                              static_cast<std::int32_t>(inQueue.size()) < queue.capacity();
            check(queue.push(sample, voice, bytes.empty() ? nullptr : bytes.data(), frameSize) ==
                  fits);
            if (fits) {
                inQueue.push_back(Pushed{sample, voice, frameSize});
            } else {
                ++refused;
            }
            check(queue.dropped() == refused);
            break;
        }
        case 3: {
            auto count = data.ConsumeIntegralInRange<int>(0, kQueueFrames);
            for (; count > 0; --count) {
                const QueuedFrame* frame = queue.front();
                check((frame == nullptr) == inQueue.empty());
                if (frame == nullptr) {
                    break;
                }
                check(frame->sample == inQueue.front().sample &&
                      frame->voice == inQueue.front().voice && frame->size == inQueue.front().size);
                view->take(*frame);
                queue.pop();
                inQueue.pop_front();
            }
            break;
        }
        case 4:
            view->setMode(data.ConsumeIntegralInRange<std::int32_t>(0, 2));
            break;
        case 5:
            switch (data.ConsumeIntegralInRange<int>(0, 4)) {
            case 0:
                view->setSplit(data.ConsumeBool());
                break;
            case 1:
                view->setFollow(data.ConsumeBool());
                break;
            case 2:
                view->setFrozen(data.ConsumeBool());
                break;
            case 3:
                view->setPeakHold(data.ConsumeBool());
                break;
            default:
                view->setCursorReadout(data.ConsumeBool());
                break;
            }
            break;
        case 6: {
            const auto width = data.ConsumeIntegralInRange<std::int32_t>(-10, 4096);
            const auto height = data.ConsumeIntegralInRange<std::int32_t>(-10, 4096);
            if (std::int64_t{std::max(width, 1)} * std::max(height, 1) <= kMostPixels) {
                view->resize(width, height);
            }
            break;
        }
        case 7:
            if (data.ConsumeBool()) {
                view->pointerAt(data.ConsumeIntegralInRange<std::int32_t>(-5, 330),
                                data.ConsumeIntegralInRange<std::int32_t>(-5, 210));
            } else if (data.ConsumeBool()) {
                view->pointerAt(data.ConsumeIntegral<std::int32_t>(),
                                data.ConsumeIntegral<std::int32_t>());
            } else {
                view->pointerLeft();
            }
            break;
        default: {
            if (std::int64_t{view->width()} * view->height() > kMostPixels) {
                break; // the display's smallest size is larger than the bound
            }
            const PaintSurface& surface = view->paint();
            check(surface.width() == view->width() && surface.height() == view->height());
            check(!view->dirty());
            (void)view->cursorText();
            const PeakHold& peaks = view->peaks();
            for (std::int32_t signal = 0; signal < 2; ++signal) {
                for (std::int32_t k = 0; k < peaks.points(); ++k) {
                    check(!std::isnan(peaks.level(signal, k, view->clock())));
                }
            }
            break;
        }
        }
    }
    return 0;
}

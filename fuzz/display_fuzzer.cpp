// Drives the analyzer's display object as a hostile host would: pin values and
// notifications for any pin id and voice (−1, 128, huge), of any size (0, truncated,
// oversized, negative) and content, colour texts of any content, measure and arrange with
// any values (negative and huge areas too), the clock jumping and wrapping, and paints in
// between into surfaces from 0 × 0 to 4096 × 1 and beyond, or with no device context.
//
// What the object writes back must be well formed: the mode 0 to 2 on pin 1, the mode list
// on pin 5, and nothing else.
#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/display/analyzer_display.h"
#include "framework/audio/module_entry.h"
#include "framework/audio/module_factory.h"
#include "framework/display/display_module_interfaces.h"
#include "fuzz/fuzz_checks.h"
#include "platform/device_context.h"
#include "tests/support/recording_host.h"

#include <cairo.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kMostActions = 64;
// Bounds the pixels of one surface, so that a paint stays quick.
constexpr std::int64_t kMostPixels = 1 << 16;

std::uint32_t clockNow = 0;
std::uint32_t fuzzClock() {
    return clockNow;
}

std::int32_t anyPin(FuzzedDataProvider& data) {
    return data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(-1, 13)
                              : data.ConsumeIntegral<std::int32_t>();
}

std::int32_t anyVoice(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return data.ConsumeIntegralInRange<std::int32_t>(0, 3);
    case 1:
        return data.ConsumeIntegralInRange<std::int32_t>(0, 127);
    case 2:
        return data.PickValueInArray({-1, 128, 129, 1000, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()});
    default:
        return data.ConsumeIntegral<std::int32_t>();
    }
}

float anyFloat(FuzzedDataProvider& data) {
    static const float kSpecial[] = {
        0.0f,     -0.0f,   1.0f,    -1.0f,    0.5f,      -0.5f,
        7.0f,     -70.0f,  -130.0f, -1e30f,   1e30f,     FLT_MAX,
        -FLT_MAX, FLT_MIN, 1e-40f,  INFINITY, -INFINITY, std::numeric_limits<float>::quiet_NaN(),
    };
    return data.ConsumeBool() ? data.PickValueInArray(kSpecial)
                              : data.ConsumeFloatingPoint<float>();
}

void appendUnits(std::vector<std::uint8_t>& bytes, const std::u16string& text) {
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

std::u16string number(FuzzedDataProvider& data) {
    std::string digits;
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        digits = std::to_string(data.ConsumeIntegralInRange<int>(-300, 300));
        break;
    case 1:
        digits = std::to_string(data.ConsumeIntegral<std::int64_t>());
        break;
    case 2:
        digits = " +" + std::to_string(data.ConsumeIntegralInRange<int>(0, 999));
        break;
    default:
        digits = data.ConsumeRandomLengthString(12);
        break;
    }
    return std::u16string(digits.begin(), digits.end());
}

// A colour text as a host might send it: the forms the pin reads, and damaged ones.
void colourText(FuzzedDataProvider& data, std::vector<std::uint8_t>& bytes) {
    std::u16string text;
    switch (data.ConsumeIntegralInRange<int>(0, 5)) {
    case 0: {
        text = u"0x";
        const std::string hex = data.ConsumeRandomLengthString(20);
        text.append(hex.begin(), hex.end());
        break;
    }
    case 1: {
        const std::string decimal = std::to_string(data.ConsumeIntegral<std::uint64_t>());
        text.assign(decimal.begin(), decimal.end());
        break;
    }
    case 2:
    case 3: {
        text = data.ConsumeBool() ? u"RGB(" : u"ARGB(";
        const int parts = data.ConsumeIntegralInRange<int>(0, 5);
        for (int i = 0; i < parts; ++i) {
            text += number(data);
            text += data.ConsumeBool() ? u"," : (data.ConsumeBool() ? u")" : u"");
        }
        break;
    }
    case 4: { // arbitrary code units, zeros among them
        const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 40);
        for (std::size_t i = 0; i < count; ++i) {
            text.push_back(static_cast<char16_t>(data.ConsumeIntegral<std::uint16_t>()));
        }
        break;
    }
    default:
        break; // empty
    }
    appendUnits(bytes, text);
    if (data.ConsumeBool() && !bytes.empty()) {
        bytes.pop_back(); // an odd byte count
    }
}

// A frame of one of the three kinds, its levels or samples anything at all.
void frame(FuzzedDataProvider& data, std::vector<std::uint8_t>& bytes) {
    const std::int32_t size = data.PickValueInArray(
        {vex::kScopePayloadSize, vex::kLinearSpectrumPayloadSize, vex::kLogSpectrumPayloadSize});
    bytes.assign(static_cast<std::size_t>(size), 0);
    bytes[0] = data.ConsumeBool() ? 1 : data.ConsumeIntegral<std::uint8_t>();
    bytes[1] = data.ConsumeBool() ? 1 : data.ConsumeIntegral<std::uint8_t>();
    const int fillKind = data.ConsumeIntegralInRange<int>(0, 2);
    const float constant = anyFloat(data);
    for (std::int32_t offset = vex::kPayloadHeaderSize; offset + 4 <= size; offset += 4) {
        float value = constant;
        if (fillKind == 1) {
            value = static_cast<float>(std::sin(offset * 0.01) * 60.0 - 60.0);
        } else if (fillKind == 2 && data.remaining_bytes() >= 4) {
            value = anyFloat(data);
        }
        std::memcpy(bytes.data() + offset, &value, sizeof(value));
    }
    // Truncated or oversized now and then.
    if (data.ConsumeProbability<float>() < 0.1f) {
        const std::int32_t change = data.ConsumeIntegralInRange<std::int32_t>(-8, 8);
        bytes.resize(static_cast<std::size_t>(size + change), 0x7f);
    }
}

struct Value {
    std::vector<std::uint8_t> bytes;
    std::int32_t size = 0; // as claimed; never more than bytes.size()
    bool nullData = false;
};

Value anyValue(FuzzedDataProvider& data) {
    Value v;
    switch (data.ConsumeIntegralInRange<int>(0, 6)) {
    case 0:
        frame(data, v.bytes);
        break;
    case 1:
        colourText(data, v.bytes);
        break;
    case 2: {
        const float f = anyFloat(data);
        v.bytes.resize(4);
        std::memcpy(v.bytes.data(), &f, 4);
        break;
    }
    case 3: {
        const std::int32_t i = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(-3, 7)
                                                  : data.ConsumeIntegral<std::int32_t>();
        v.bytes.resize(4);
        std::memcpy(v.bytes.data(), &i, 4);
        break;
    }
    case 4:
        v.bytes = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 9));
        break;
    case 5: // nothing at all, or a size with no bytes behind it
        v.nullData = true;
        v.size = data.ConsumeIntegral<std::int32_t>();
        return v;
    default:
        v.bytes = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 64));
        v.size =
            data.ConsumeIntegralInRange<std::int32_t>(std::numeric_limits<std::int32_t>::min(), 0);
        return v;
    }
    v.size = static_cast<std::int32_t>(v.bytes.size());
    // A shorter claim than the bytes: truncated.
    if (data.ConsumeProbability<float>() < 0.1f && v.size > 0) {
        v.size = data.ConsumeIntegralInRange<std::int32_t>(0, v.size);
    }
    return v;
}

std::int32_t anyCoordinate(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        return data.ConsumeIntegralInRange<std::int32_t>(-10, 5000);
    case 1:
        return data.PickValueInArray({0, 1, -1, 4096, 1 << 24, (1 << 24) + 1,
                                      std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()});
    default:
        return data.ConsumeIntegral<std::int32_t>();
    }
}

// The surfaces paints go into: Cairo ARGB32 image surfaces behind the device-context
// record, as the host's paint surface makes them, over one pixel store kept for the
// process. Why: a new surface per paint (its pixels freshly mapped and cleared) cost more
// than the paint itself. Each surface starts with every pixel 0, as a new one does, and
// only its own width x height pixels are addressable: the rest of the store is poisoned,
// and the store's start is a heap block's start, so drawing outside the surface still
// meets AddressSanitizer as it would meet a new block's redzones.
class Surface {
public:
    // Sizes below 1 are taken as 1; at most kMostPixels pixels.
    Surface(std::int32_t width, std::int32_t height)
        : surfaceWidth(std::max(width, 1)), surfaceHeight(std::max(height, 1)) {
        std::vector<std::uint32_t>& store = pixelStore();
        const std::size_t bytes = static_cast<std::size_t>(surfaceWidth) * surfaceHeight * 4;
        check(bytes <= store.size() * 4);
        auto* first = reinterpret_cast<unsigned char*>(store.data());
        ASAN_UNPOISON_MEMORY_REGION(first, bytes);
        ASAN_POISON_MEMORY_REGION(first + bytes, store.size() * 4 - bytes);
        std::memset(first, 0, bytes);
        record.surface = cairo_image_surface_create_for_data(
            first, CAIRO_FORMAT_ARGB32, surfaceWidth, surfaceHeight, surfaceWidth * 4);
        record.width = surfaceWidth;
        record.height = surfaceHeight;
    }
    ~Surface() { cairo_surface_destroy(record.surface); }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool valid() const { return cairo_surface_status(record.surface) == CAIRO_STATUS_SUCCESS; }
    HDC dc() { return &record; }

private:
    static std::vector<std::uint32_t>& pixelStore() {
        static std::vector<std::uint32_t> store(static_cast<std::size_t>(kMostPixels));
        return store;
    }

    std::int32_t surfaceWidth;
    std::int32_t surfaceHeight;
    HDC__ record{};
};

void checkWrites(const vex::host::RecordingHost& host) {
    static const std::u16string kModeItems = u"Scope,Freq (Linear),Freq (Log)";
    for (const vex::host::PinWrite& write : host.pinWrites) {
        check(write.fourth == 0);
        if (write.pinId == vex::kDisplayModeOutPin) {
            std::int32_t mode = -1;
            check(write.bytes.size() == 4);
            std::memcpy(&mode, write.bytes.data(), 4);
            check(mode >= 0 && mode <= 2);
        } else {
            check(write.pinId == vex::kDisplayModeItemsPin);
            check(write.bytes.size() == kModeItems.size() * 2);
            check(std::memcmp(write.bytes.data(), kModeItems.data(), write.bytes.size()) == 0);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const int registered = vex::registerModuleClasses();
    (void)registered;
    FuzzedDataProvider data(bytes, size);

    vex::host::RecordingHost host;
    auto* module = createAnalyzer<vex::DisplayModuleInterface>(1, host.hostPointer());
    clockNow = data.ConsumeIntegral<std::uint32_t>();
    static_cast<vex::AnalyzerDisplay*>(module)->setClock(&fuzzClock);
    void* answer = nullptr;
    check(module->queryInterface(&vex::kDrawingInterfaceId, &answer) == vex::kMpOk);
    auto* drawing = static_cast<vex::DrawingInterface*>(answer);
    check(module->release() == 1); // the query's reference; the drawing pointer stays valid

    bool released = false;
    for (std::int32_t action = 0; action < kMostActions && data.remaining_bytes() > 0 && !released;
         ++action) {
        switch (data.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:
        case 1:
        case 2: {
            const std::int32_t pin = anyPin(data);
            const std::int32_t voice = anyVoice(data);
            const Value value = anyValue(data);
            const std::int32_t result = module->setPin(
                pin, voice, value.size, value.nullData ? nullptr : value.bytes.data());
            check(result == vex::kMpOk || result == vex::kMpFail);
            if (data.ConsumeProbability<float>() < 0.8f) {
                const std::int32_t notified = module->notifyPin(pin, voice);
                check(notified == vex::kMpOk || notified == vex::kMpFail);
            }
            break;
        }
        case 3: {
            const std::int32_t result = module->notifyPin(anyPin(data), anyVoice(data));
            check(result == vex::kMpOk || result == vex::kMpFail);
            break;
        }
        case 4: {
            vex::MeasureSize measured{-1, -1};
            check(drawing->measure(anyCoordinate(data), anyCoordinate(data), &measured) ==
                  vex::kMpOk);
            check(measured.width >= 15 && measured.width <= 100);
            check(measured.height >= 15 && measured.height <= 100);
            break;
        }
        case 5: {
            const std::int32_t top = anyCoordinate(data);
            const std::int32_t bottom = anyCoordinate(data);
            const std::int32_t left = anyCoordinate(data);
            const std::int32_t right = anyCoordinate(data);
            check(drawing->arrange(top, bottom, left, right) == vex::kMpOk);
            break;
        }
        case 6:
        case 7: {
            std::int32_t width = 0;
            std::int32_t height = 0;
            switch (data.ConsumeIntegralInRange<int>(0, 2)) {
            case 0: {
                static const std::int32_t kShapes[] = {0,    0,   1,   1,  4096, 1, 1,
                                                       4096, 425, 225, 30, 30,   2, 300};
                const std::size_t shape =
                    2 * data.ConsumeIntegralInRange<std::size_t>(0, std::size(kShapes) / 2 - 1);
                width = kShapes[shape];
                height = kShapes[shape + 1];
                break;
            }
            default:
                width = data.ConsumeIntegralInRange<std::int32_t>(0, 4096);
                height = data.ConsumeIntegralInRange<std::int32_t>(0, 4096);
                break;
            }
            while (static_cast<std::int64_t>(width) * height > kMostPixels) {
                height /= 2;
            }
            if (data.ConsumeBool()) {
                check(drawing->arrange(0, height, 0, width) == vex::kMpOk);
            }
            if (data.ConsumeProbability<float>() < 0.05f) {
                check(drawing->paint(nullptr) == vex::kMpOk);
                break;
            }
            Surface surface(width, height);
            check(surface.valid());
            check(drawing->paint(surface.dc()) == vex::kMpOk);
            break;
        }
        case 8:
            // The clock goes on, jumps, or wraps around.
            clockNow += data.ConsumeBool() ? data.ConsumeIntegralInRange<std::uint32_t>(0, 1000)
                                           : data.ConsumeIntegral<std::uint32_t>();
            break;
        default:
            if (data.ConsumeBool()) {
                check(module->release() == 0);
                released = true;
            } else {
                check(module->reserved4() == vex::kMpOk && module->reserved8() == vex::kMpOk);
                check(drawing->reserved7() == vex::kMpOk);
            }
            break;
        }
        checkWrites(host);
        host.clearRecords();
    }
    if (!released) {
        check(drawing->release() == 0);
    }
    return 0;
}

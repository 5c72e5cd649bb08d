// Drives the LV2 UI's port events as any host could hand them, without a window: the UI's
// own port handling (lv2/ui/ui_ports.h) with its tools, settings channel and group, over a
// display session made from the module built beside it and painted between events. Events
// of any port, size and format: frames of any declared and real size, patch:Set objects
// with any properties (keys, value types and sizes, padding or none, sizes that overrun
// the object), atoms of any type and bytes, and control values of any float (NaN,
// infinities, out of range) on the mode, rate, group and slot ports; the window's size,
// its view clicks and the group's reads between them.
//
// Checked: no report from the sanitizers (every event's bytes are a block of exactly the
// size given); the view shown stays a whole number within the mode control's range; every
// value the UI writes back is a mode control of a shown view or a well-formed atom message
// on the control port.
#include "fuzz/private_groups.h"
#include "host/kit/module_library.h"
#include "host/kit/view/display_session.h"
#include "host/kit/view/group_caption.h"
#include "host/kit/view/paint_surface.h"
#include "lv2/common/analyzer_lv2.h"
#include "lv2/ui/ui_ports.h"
#include "tests/support/urid_map.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

using namespace vex::lv2;
using vex::host::DisplaySession;
using vex::host::PaintSurface;

const PrivateGroups privateGroups("fuzzui");

constexpr std::int32_t kMostActions = 48;
// Bounds the pixels of the picture, so that a paint stays quick.
constexpr std::int32_t kMostWidth = 320;
constexpr std::int32_t kMostHeight = 200;
// The frame sizes the analyzer sends: empty, scope, linear and log spectra.
constexpr std::uint32_t kFrameSizes[] = {0, 1604, 4100, 4228};
// The mode control's values the UI may shown (the display's mode pin as the UI clamps it).
constexpr std::int32_t kMostMode = 1000;

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

// The host's URID map, kept for the process (the UI's URIDs stay valid across inputs).
vex::test::UridMap& uridMap() {
    static auto* const map = new vex::test::UridMap;
    return *map;
}

LV2_URID urid(const char* uri) {
    return uridMap()(uri);
}

// The UI's URIDs, mapped once as the UI maps them.
const vex::lv2::Urids& uiUrids() {
    static auto* const urids = new vex::lv2::Urids(uridMap().feature);
    return *urids;
}

vex::FactoryInterface& factory() {
    static vex::host::ModuleLibrary* const library = [] {
        auto* loaded = new vex::host::ModuleLibrary;
        check(loaded->load(VEX_MODULE_DIR "/VEX_ANALYZER.sem"));
        vex::host::startGdiplus();
        return loaded;
    }();
    return *library->factory();
}

// What the UI under test shows, for the write function's checks.
const UiPorts* current = nullptr;

void written(LV2UI_Controller, std::uint32_t port, std::uint32_t size, std::uint32_t format,
             const void* buffer) {
    check(buffer != nullptr);
    if (port == kPortMode) {
        check(format == 0 && size == sizeof(float));
        float value = 0.0f;
        std::memcpy(&value, buffer, sizeof value);
        check(value == static_cast<float>(current->mode()));
    } else {
        check(port == kPortControl && format == urid(LV2_ATOM__eventTransfer));
        check(size >= sizeof(LV2_Atom));
        const auto* atom = static_cast<const LV2_Atom*>(buffer);
        check(atom->size == size - sizeof(LV2_Atom));
    }
}

float anyFloat(FuzzedDataProvider& data, float hi) {
    switch (data.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return static_cast<float>(data.ConsumeIntegralInRange<std::int32_t>(-2, 3)) +
               (data.ConsumeBool() ? 0.0f : hi);
    case 1:
        return data.PickValueInArray(
            {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
             -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max(),
             std::numeric_limits<float>::lowest(), std::numeric_limits<float>::denorm_min(), -0.0f,
             0.5f, 999.6f, 1000.5f, 2147483648.0f});
    case 2:
        return data.ConsumeFloatingPointInRange(-1.0f, hi + 1.0f);
    default: {
        const auto bits = data.ConsumeIntegral<std::uint32_t>();
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    }
}

// A URID the map knows (or one past them, or 0).
LV2_URID anyUrid(FuzzedDataProvider& data) {
    return data.ConsumeIntegralInRange<LV2_URID>(0,
                                                 static_cast<LV2_URID>(uridMap().uris.size() + 1));
}

void put(std::vector<std::uint8_t>& bytes, const void* data, std::size_t size) {
    const auto* from = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), from, from + size);
}

// A patch:Set (or an object of any type) with up to four properties of any key and value.
std::vector<std::uint8_t> anObject(FuzzedDataProvider& data) {
    std::vector<std::uint8_t> body;
    const LV2_Atom_Object_Body head{data.ConsumeIntegral<std::uint32_t>(),
                                    data.ConsumeBool() ? urid(LV2_PATCH__Set) : anyUrid(data)};
    put(body, &head, sizeof head);
    const int properties = data.ConsumeIntegralInRange(0, 4);
    for (int p = 0; p < properties; ++p) {
        LV2_Atom_Property_Body prop{};
        switch (data.ConsumeIntegralInRange(0, 2)) {
        case 0:
            prop.key = urid(LV2_PATCH__property);
            break;
        case 1:
            prop.key = urid(LV2_PATCH__value);
            break;
        default:
            prop.key = anyUrid(data);
            break;
        }
        prop.context = 0;
        std::vector<std::uint8_t> value;
        if (data.ConsumeBool()) {
            const LV2_URID which =
                urid(kSettings[data.ConsumeIntegralInRange<std::size_t>(0, kSettingCount - 1)].uri);
            prop.value.type = data.ConsumeBool() ? urid(LV2_ATOM__URID) : anyUrid(data);
            put(value, &which, sizeof which);
        } else {
            prop.value.type = data.PickValueInArray({urid(LV2_ATOM__Int), urid(LV2_ATOM__String),
                                                     urid(LV2_ATOM__Chunk), anyUrid(data)});
            const auto length = data.ConsumeIntegralInRange<std::size_t>(0, 4300);
            value = data.ConsumeBytes<std::uint8_t>(length);
        }
        prop.value.size = static_cast<std::uint32_t>(value.size());
        if (data.ConsumeBool()) {
            prop.value.size = data.ConsumeIntegral<std::uint32_t>();
        }
        put(body, &prop, sizeof prop);
        put(body, value.data(), value.size());
        if (data.ConsumeBool()) {
            body.resize(lv2_atom_pad_size(static_cast<std::uint32_t>(body.size())));
        }
    }
    const LV2_Atom atom{data.ConsumeBool() ? static_cast<std::uint32_t>(body.size())
                                           : data.ConsumeIntegral<std::uint32_t>(),
                        data.ConsumeIntegralInRange(0, 7) == 0 ? anyUrid(data)
                                                               : urid(LV2_ATOM__Object)};
    std::vector<std::uint8_t> event;
    put(event, &atom, sizeof atom);
    event.insert(event.end(), body.begin(), body.end());
    return event;
}

// A frame event: an object of the frame type with its time, sample rate and bytes, each
// entry's declared size and the object's that of its bytes, or any.
std::vector<std::uint8_t> aFrame(FuzzedDataProvider& data) {
    const std::uint32_t size = data.ConsumeBool()
                                   ? data.PickValueInArray(kFrameSizes)
                                   : data.ConsumeIntegralInRange<std::uint32_t>(0, 5000);
    std::vector<std::uint8_t> bytes = data.ConsumeBytes<std::uint8_t>(size);
    bytes.resize(size);
    const std::int64_t time = data.ConsumeIntegral<std::int64_t>();
    const double rate = data.ConsumeBool() ? 48000.0 : data.ConsumeFloatingPoint<double>();
    std::vector<std::uint8_t> body;
    const LV2_Atom_Object_Body head{0, urid(kFrameTypeUri)};
    put(body, &head, sizeof head);
    const LV2_Atom_Property_Body entries[] = {
        {urid(kFrameTimeUri), 0, {8, urid(LV2_ATOM__Long)}},
        {urid(kFrameRateUri), 0, {8, urid(LV2_ATOM__Double)}},
        {urid(kFrameBytesUri),
         0,
         {data.ConsumeBool() ? size : data.ConsumeIntegral<std::uint32_t>(),
          urid(LV2_ATOM__Chunk)}}};
    put(body, &entries[0], sizeof entries[0]);
    put(body, &time, sizeof time);
    put(body, &entries[1], sizeof entries[1]);
    put(body, &rate, sizeof rate);
    put(body, &entries[2], sizeof entries[2]);
    body.insert(body.end(), bytes.begin(), bytes.end());
    const LV2_Atom atom{data.ConsumeBool() ? static_cast<std::uint32_t>(body.size())
                                           : data.ConsumeIntegral<std::uint32_t>(),
                        urid(LV2_ATOM__Object)};
    std::vector<std::uint8_t> event;
    put(event, &atom, sizeof atom);
    event.insert(event.end(), body.begin(), body.end());
    return event;
}

struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::unique_ptr<PaintSurface> surface;
};

void resize(DisplaySession& session, Picture& window, std::int32_t width, std::int32_t height) {
    const vex::MeasureSize smallest = session.measure(0, 0);
    window.width = std::clamp(width, std::max<std::int32_t>(1, smallest.width), kMostWidth);
    window.height = std::clamp(height, std::max<std::int32_t>(1, smallest.height), kMostHeight);
    session.resize(window.width, window.height);
    window.surface = std::make_unique<PaintSurface>(window.width, window.height);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    FuzzedDataProvider data(input, size);
    vex::FactoryInterface& modules = factory();
    SettingsChannel settings(uridMap().feature, uiUrids(), written, nullptr);
    UiTools tools(settings);
    UiGroup group;
    UiPorts ports(uiUrids(), written, nullptr, settings, tools, group);
    current = &ports;
    DisplaySession session(modules, ports.mode(), vex::host::defaultLook(), 1, 48000.0);
    Picture window;
    resize(session, window, 160, 90);

    for (std::int32_t action = 0; action < kMostActions && data.remaining_bytes() > 0; ++action) {
        std::vector<std::uint8_t> event;
        std::uint32_t port = kPortNotify;
        std::uint32_t format = urid(LV2_ATOM__eventTransfer);
        switch (data.ConsumeIntegralInRange(0, 7)) {
        case 0:
            event = aFrame(data);
            break;
        case 1:
            event = anObject(data);
            break;
        case 2: // any bytes on any port in any format
            port = data.ConsumeIntegralInRange<std::uint32_t>(0, kPortCount);
            format = data.ConsumeBool() ? 0 : anyUrid(data);
            event = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange(0, 64));
            break;
        case 3: { // a control value
            port = data.PickValueInArray<std::uint32_t>(
                {kPortMode, kPortRate, kPortGroup, kPortSlot, kPortEnable});
            format = data.ConsumeIntegralInRange(0, 7) == 0 ? anyUrid(data) : 0;
            const float value = anyFloat(data, port == kPortGroup ? 16.0f : 2.0f);
            put(event, &value, sizeof value);
            break;
        }
        case 4:
            session.paint(*window.surface, 0);
            tools.draw(*window.surface, window.width, window.height, data.ConsumeBool());
            vex::host::group::drawCaption(*window.surface,
                                          group.caption(ports.mode(), window.width, window.height));
            // The picture is whole: its last pixel is in the surface's memory (read in
            // place; a copy of every pixel took a sixteenth of each execution).
            check(window.surface->width() == window.width &&
                  window.surface->height() == window.height);
            (void)*static_cast<const volatile std::uint32_t*>(
                window.surface->row(window.height - 1) + (window.width - 1));
            continue;
        case 5:
            resize(session, window, data.ConsumeIntegralInRange(0, kMostWidth + 10),
                   data.ConsumeIntegralInRange(0, kMostHeight + 10));
            continue;
        case 6:
            ports.followGroup(session);
            continue;
        default: // a click on the window: the next view
            ports.showMode(session, (ports.mode() + 1) % 3, true);
            group.chooseView(ports.mode());
            continue;
        }
        // The event's size as given, or a size its bytes do not have (a block of exactly
        // that size either way, so that a read past it is a report).
        auto given = static_cast<std::uint32_t>(event.size());
        if (data.ConsumeIntegralInRange(0, 7) == 0) {
            given = data.ConsumeIntegralInRange<std::uint32_t>(0, given + 16);
            event.resize(given);
        }
        const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[std::max(given, 1u)]);
        if (given > 0) {
            std::memcpy(block.get(), event.data(), given);
        }
        ports.portEvent(session, port, given, format,
                        data.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : block.get());
        check(ports.mode() >= 0 && ports.mode() <= kMostMode);
    }
    current = nullptr;
    return 0;
}

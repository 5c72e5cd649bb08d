// The window's tools and the plug-in's state: a click on the strip goes to the DSP as a
// setting, is saved with the host's state and reaches another instance's window when it
// opens; a reference in the state that is not one is said on the window and changes
// nothing.
// Why GoogleTest first: X11's headers define None and Bool as macros, which its own
// declarations use as names.
#include <gtest/gtest.h>

#include "lv2/ui/ui_tools.h"
#include "tests/lv2/lv2_instance.h"

#include <lv2/state/state.h>

#include <map>
#include <vector>

namespace vex::test {
namespace {

// A host's state store.
struct Saved {
    std::map<LV2_URID, std::pair<std::vector<std::uint8_t>, LV2_URID>> entries;
    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value,
                                  size_t size, uint32_t type, uint32_t) {
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        static_cast<Saved*>(handle)->entries[key] = {{bytes, bytes + size}, type};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto& entries = static_cast<Saved*>(handle)->entries;
        const auto found = entries.find(key);
        if (found == entries.end()) {
            return nullptr;
        }
        *size = found->second.first.size();
        *type = found->second.second;
        *flags = LV2_STATE_IS_POD;
        return found->second.first.data();
    }
};

// A window's tools whose settings go to `plugin`'s control port, and which take what the
// plug-in announces.
struct Window {
    explicit Window(Instance& instance)
        : plugin(instance), urids(instance.urids.feature),
          channel(instance.urids.feature, urids, write, this), tools(channel) {}
    static void write(LV2UI_Controller controller, uint32_t, uint32_t, uint32_t,
                      const void* buffer) {
        static_cast<Window*>(controller)->plugin.sendAtom(*static_cast<const LV2_Atom*>(buffer));
    }
    void takeAnnounced() {
        LV2_ATOM_SEQUENCE_FOREACH(&plugin.notify(), event) {
            std::uint32_t which = 0;
            std::vector<std::uint8_t> value;
            if (channel.take(event->body, sizeof(LV2_Atom) + event->body.size, which, value)) {
                tools.setting(which, value);
            }
        }
    }
    void send(int type, std::int32_t x, std::int32_t y) {
        XEvent event{};
        event.type = type;
        event.xbutton.x = x; // the same offsets in the crossing and motion events
        event.xbutton.y = y;
        event.xbutton.button = Button1;
        tools.event(event);
    }
    Instance& plugin;
    lv2::Urids urids;
    lv2::SettingsChannel channel;
    lv2::UiTools tools;
};

TEST(Lv2UiTools, StripClicksAreKeptInTheStateAndABadReferenceIsSaid) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    Window window(plugin);
    host::PaintSurface surface(640, 360);
    window.send(EnterNotify, 300, 150); // the strip shows
    window.tools.draw(surface, 640, 360, true);
    // The strip's buttons: 46 x 16 pixels, 2 apart, from x = 24, bottom 8 pixels up.
    window.send(ButtonPress, 24 + 2 * 48 + 10, 360 - 8 - 5); // tilt: 3 dB/oct
    window.send(ButtonPress, 24 + 3 * 48 + 10, 360 - 8 - 5); // smoothing: fast
    window.send(ButtonPress, 24 + 0 * 48 + 10, 360 - 8 - 5); // peak hold: on
    plugin.run(64);

    const auto* state =
        static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    Saved saved;
    ASSERT_EQ(state->save(plugin.instance(), Saved::store, &saved, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_EQ(saved.entries.size(), 3u);

    Instance other(48000.0, 65536);
    ASSERT_TRUE(other.ready());
    ASSERT_EQ(state->restore(other.instance(), Saved::retrieve, &saved, 0, nullptr),
              LV2_STATE_SUCCESS);
    Window reopened(other);
    EXPECT_FALSE(reopened.tools.viewer().peakHold()) << "off until the state says otherwise";
    other.sendUiMessage(kUiOpenUri);
    other.run(64);
    reopened.takeAnnounced();
    EXPECT_EQ(reopened.tools.viewer().tilt(), host::Tilt::kThree);
    EXPECT_EQ(reopened.tools.viewer().smoothing(), host::Smoothing::kFast);
    EXPECT_TRUE(reopened.tools.viewer().peakHold());
    EXPECT_TRUE(reopened.tools.viewer().readout());

    // A good reference (the file's layout: "VXRF", version 1, view 2, 48 kHz, signal A,
    // 528 points), then one cut short: the window says so and keeps the first.
    std::vector<std::uint8_t> reference(24 + 528 * 8, 0);
    const std::uint8_t header[24] = {'V', 'X',  'R',  'F',  1, 0, 2, 0, 0,    0,    0, 0,
                                     0,   0x70, 0xE7, 0x40, 1, 0, 0, 0, 0x10, 0x02, 0, 0};
    std::copy(header, header + 24, reference.begin());
    reopened.tools.setting(lv2::kSettingReference, reference);
    ASSERT_FALSE(reopened.tools.viewer().reference().empty());
    EXPECT_TRUE(reopened.tools.viewer().message().empty());
    reopened.tools.setting(lv2::kSettingReference,
                           std::vector<std::uint8_t>(reference.begin(), reference.end() - 8));
    EXPECT_EQ(reopened.tools.viewer().message(),
              "the reference in the plug-in's state is not used: truncated: 4240 of 4248 bytes");
    EXPECT_EQ(reopened.tools.viewer().reference().view, 2);
    // On the window: the message's red box under the status line, at the plot's left.
    host::PaintSurface shown(640, 360);
    reopened.tools.draw(shown, 640, 360, true);
    const std::uint32_t pixel = shown.pixel(20 + 1 + 2, 20 + 1 + 18 + 2);
    EXPECT_GT((pixel >> 16) & 0xFF, 2 * ((pixel >> 8) & 0xFF)) << std::hex << pixel;
}

} // namespace
} // namespace vex::test

// The window's tools and the plug-in's state: a click on the strip goes to the DSP as a
// setting, is saved with the host's state and reaches another instance's window when it
// opens; a reference in the state that is not one is said on the window and changes
// nothing. The host's scale factor paints the display at its scale.
// Why GoogleTest first: X11's headers define None and Bool as macros, which its own
// declarations use as names.
#include <gtest/gtest.h>

#include "host/kit/group/group_member.h"
#include "host/kit/group/group_segment.h"
#include "host/kit/module_library.h"
#include "lv2/ui/group_ui.h"
#include "lv2/ui/ui_tools.h"
#include "tests/lv2/lv2_instance.h"
#include "tests/support/label_height.h"

#include <lv2/options/options.h>
#include <lv2/state/state.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
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
          channel(instance.urids.feature, urids, write, this), tools(channel, pane) {
        tools.connectGroup(group);
    }
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
    // Draws the tools over `surface` as the window's pane does.
    void draw(host::PaintSurface& surface) {
        pane.tools().draw(surface, host::plotLayout(640, 360, true, false), false, 0.0);
    }
    Instance& plugin;
    lv2::Urids urids;
    lv2::SettingsChannel channel;
    host::ViewerPane pane{0, 48000.0};
    lv2::UiTools tools;
    lv2::UiGroup group;
};

TEST(Lv2UiTools, StripClicksAreKeptInTheStateAndABadReferenceIsSaid) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    Window window(plugin);
    host::PaintSurface surface(640, 360);
    window.send(EnterNotify, 300, 150); // the strip shows
    window.draw(surface);
    // The strip's buttons: 16 pixels high, 2 apart, from x = 24, bottom 8 pixels up; peak,
    // read 46 wide, tilt 62 (for "tilt 4.5"), smoothing 46.
    window.send(ButtonPress, 24 + 2 * 48 + 10, 360 - 8 - 5);      // tilt: 3 dB/oct
    window.send(ButtonPress, 24 + 2 * 48 + 64 + 10, 360 - 8 - 5); // smoothing: fast
    window.send(ButtonPress, 24 + 0 * 48 + 10, 360 - 8 - 5);      // peak hold: on
    // The spectrogram's: after peak, read, tilt, smoothing, freeze (48), ref, clear, module
    // (55), diff and vs, at 24 + 8 * 48 + 64 + 57 + 2 = 531.
    window.send(ButtonPress, 531 + 10, 360 - 8 - 5);
    plugin.run(64);

    const auto* state =
        static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    Saved saved;
    ASSERT_EQ(state->save(plugin.instance(), Saved::store, &saved, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_EQ(saved.entries.size(), 4u);

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
    EXPECT_TRUE(reopened.tools.viewer().spectrogram());

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
    reopened.draw(shown);
    const std::uint32_t pixel = shown.pixel(20 + 1 + 2, 20 + 1 + 18 + 2);
    EXPECT_GT((pixel >> 16) & 0xFF, 2 * ((pixel >> 8) & 0xFF)) << std::hex << pixel;
}

// The difference: its strip button is kept in the state, and a state's reference label goes
// to the group, which finds the member by it; a state saved before the difference existed
// opens with it off and no reference.
TEST(Lv2UiTools, TheDifferenceAndItsReferenceLabelAreKept) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    Window window(plugin);
    host::PaintSurface surface(640, 360);
    window.send(EnterNotify, 300, 150);
    window.draw(surface);
    const host::PlotPane button =
        host::ViewerTools::stripButton(host::StripButton::kDifference, 640, 360);
    window.send(ButtonPress, button.left + 2, button.top + 2);
    ASSERT_TRUE(window.tools.viewer().difference());
    plugin.run(64);
    const auto* state =
        static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    Saved saved;
    ASSERT_EQ(state->save(plugin.instance(), Saved::store, &saved, 0, nullptr), LV2_STATE_SUCCESS);
    const float on = 1.0f;
    const auto* onBytes = reinterpret_cast<const std::uint8_t*>(&on);
    const auto kept = saved.entries.find(plugin.urids("urn:vex:analyzer#difference"));
    ASSERT_NE(kept, saved.entries.end());
    EXPECT_EQ(kept->second, std::make_pair(std::vector<std::uint8_t>(onBytes, onBytes + 4),
                                           plugin.urids(LV2_ATOM__Float)));

    // The reference member's label as a host keeps it: a string with its terminator.
    saved.entries[plugin.urids("urn:vex:analyzer#differenceReference")] = {
        {'d', 'r', 'y', 0}, plugin.urids(LV2_ATOM__String)};
    Instance other(48000.0, 65536);
    ASSERT_TRUE(other.ready());
    ASSERT_EQ(state->restore(other.instance(), Saved::retrieve, &saved, 0, nullptr),
              LV2_STATE_SUCCESS);
    Window reopened(other);
    other.sendUiMessage(kUiOpenUri);
    other.run(64);
    reopened.takeAnnounced();
    EXPECT_TRUE(reopened.tools.viewer().difference());
    EXPECT_EQ(reopened.group.referenceLabel(), "dry");
    EXPECT_EQ(reopened.group.reference(), -1) << "found among the members once a group shows";

    // Before the difference: a state of the tilt alone.
    const float threeDbPerOctave = 1.0f;
    const auto* tilt = reinterpret_cast<const std::uint8_t*>(&threeDbPerOctave);
    Saved old;
    old.entries[plugin.urids("urn:vex:analyzer#tilt")] = {{tilt, tilt + 4},
                                                          plugin.urids(LV2_ATOM__Float)};
    Instance older(48000.0, 65536);
    ASSERT_TRUE(older.ready());
    ASSERT_EQ(state->restore(older.instance(), Saved::retrieve, &old, 0, nullptr),
              LV2_STATE_SUCCESS);
    Window oldWindow(older);
    older.sendUiMessage(kUiOpenUri);
    older.run(64);
    oldWindow.takeAnnounced();
    EXPECT_EQ(oldWindow.tools.viewer().tilt(), host::Tilt::kThree);
    EXPECT_FALSE(oldWindow.tools.viewer().difference());
    EXPECT_EQ(oldWindow.group.referenceLabel(), "");
    Saved resaved;
    ASSERT_EQ(state->save(older.instance(), Saved::store, &resaved, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_EQ(resaved.entries.count(plugin.urids("urn:vex:analyzer#difference")), 0u);
    EXPECT_EQ(resaved.entries.count(plugin.urids("urn:vex:analyzer#differenceReference")), 0u);
}

// The reference member picked with the strip's button in a group: the state keeps its
// label, and none for an unlabelled member, which the window says; the label coming back
// from the DSP leaves the member picked as it is.
TEST(Lv2UiTools, APickedReferenceIsKeptByItsLabel) {
    // The group's segment this test's own, removed at its end.
    struct Scope {
        Scope() {
            setenv("VEX_GROUP_SCOPE", ("lv2uitools_" + std::to_string(getpid())).c_str(), 1);
        }
        ~Scope() {
            shm_unlink(host::group::segmentName(7).c_str());
            unsetenv("VEX_GROUP_SCOPE");
        }
    } scope;
    std::string error;
    const auto segment = host::group::GroupSegment::openGroup(7, error);
    ASSERT_TRUE(segment) << error;
    std::vector<std::unique_ptr<host::group::GroupMember>> members;
    for (const std::string label : {"wet", "", "dry"}) {
        members.push_back(std::make_unique<host::group::GroupMember>(
            segment->segment(), host::group::monotonicNanos, 1000u + members.size()));
        ASSERT_EQ(members.back()->claim(), static_cast<std::int32_t>(members.size()) - 1);
        members.back()->setLabel(label.data(), static_cast<std::uint32_t>(label.size()));
        members.back()->beat();
        std::vector<std::uint8_t> frame(4228, 0); // a log spectrum's size, every level 0
        frame[0] = 1;
        members.back()->publish(frame.data(), 4228, 48000.0f, host::Analysis::kModule);
    }
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    Window window(plugin);
    window.group.setGroup(7.0f);
    window.group.setSlot(0.0f);
    window.group.update(window.pane);
    ASSERT_TRUE(window.group.showing()) << window.group.caption(window.pane).front();
    host::PaintSurface surface(640, 360);
    window.send(EnterNotify, 300, 150);
    window.draw(surface);
    const host::PlotPane button =
        host::ViewerTools::stripButton(host::StripButton::kDifferenceReference, 640, 360);
    const auto* state =
        static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    const auto kept = [&] {
        plugin.run(64);
        window.takeAnnounced();
        Saved saved;
        state->save(plugin.instance(), Saved::store, &saved, 0, nullptr);
        const auto found = saved.entries.find(plugin.urids("urn:vex:analyzer#differenceReference"));
        return found == saved.entries.end()
                   ? std::string("(none)")
                   : std::string(found->second.first.begin(), found->second.first.end());
    };

    window.send(ButtonPress, button.left + 2, button.top + 2);
    EXPECT_EQ(window.group.reference(), 1);
    EXPECT_NE(window.tools.viewer().message().find("has no label"), std::string::npos)
        << window.tools.viewer().message();
    EXPECT_EQ(kept(), std::string(1, '\0')) << "an empty label: none";
    EXPECT_EQ(window.group.reference(), 1) << "the empty label coming back picks nothing else";

    window.send(ButtonPress, button.left + 2, button.top + 2);
    EXPECT_EQ(window.group.reference(), 2);
    EXPECT_EQ(window.tools.viewer().message(), "") << "the label is kept: nothing to say";
    EXPECT_EQ(kept(), std::string("dry", 4));
    EXPECT_EQ(window.group.reference(), 2);
}

// The frames' clock: their times in samples, stepping on across an activation (which starts
// the times at 0 again) by nothing. 48000 samples at 48 kHz are a second; the pane counts
// at the host's 44.1 kHz.
TEST(Lv2UiTools, TheClockRunsOnTheFramesTimes) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    Window window(plugin);
    window.pane.setSampleRate(44100.0);
    EXPECT_EQ(window.tools.frameSample(96000, 48000.0), 0) << "the first frame starts it";
    EXPECT_EQ(window.tools.frameSample(144000, 48000.0), 44100);
    EXPECT_EQ(window.tools.frameSample(0, 48000.0), 44100) << "activated again";
    EXPECT_EQ(window.tools.frameSample(24000, 48000.0), 66150);
}

// The analysis the status line names: the control's value, what the frames say they come
// from (the fine one unavailable: the module's, and the strip says why), and the strip's
// button writes the control (0 module, 1 fine).
TEST(Lv2UiTools, TheAnalysisFollowsTheControlAndTheFramesAndTheStripWritesIt) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    Window window(plugin);
    static std::vector<std::pair<std::uint32_t, float>> writes;
    writes.clear();
    window.tools.connectControls(
        [](LV2UI_Controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
            if (size == sizeof(float) && format == 0) {
                writes.emplace_back(port, *static_cast<const float*>(buffer));
            }
        },
        nullptr);
    EXPECT_EQ(window.tools.viewer().analysis(), host::Analysis::kFine) << "the default";
    window.tools.analysisControl(0.0f);
    EXPECT_EQ(window.tools.viewer().analysis(), host::Analysis::kModule);
    window.tools.frameAnalysis(1);
    EXPECT_EQ(window.tools.viewer().analysis(), host::Analysis::kFine);

    host::PaintSurface surface(640, 360);
    window.send(EnterNotify, 300, 150);
    window.draw(surface);
    const host::PlotPane button =
        host::ViewerTools::stripButton(host::StripButton::kAnalysis, 640, 360);
    window.send(ButtonPress, button.left + 2, button.top + 2);
    EXPECT_EQ(window.tools.viewer().analysis(), host::Analysis::kModule);
    EXPECT_EQ(writes, (std::vector<std::pair<std::uint32_t, float>>{{17u, 0.0f}}));

    window.tools.frameAnalysis(2); // no worker: the module's, whatever the control
    window.tools.analysisControl(1.0f);
    EXPECT_EQ(window.tools.viewer().analysis(), host::Analysis::kModule);
    window.send(ButtonPress, button.left + 2, button.top + 2);
    EXPECT_EQ(writes.size(), 1u) << "nothing to switch to";
    EXPECT_NE(window.tools.viewer().message().find("no worker"), std::string::npos);
    window.tools.frameAnalysis(7); // not an analysis: ignored
    EXPECT_EQ(window.tools.viewer().analysis(), host::Analysis::kModule);
}

// The host's ui:scaleFactor as the UI reads it on instantiation, then its display opened at
// its default size of 640 x 360 and painted: at 2 the window is 1280 x 720 and the labels
// over the plot (the rows above signal A's pane, between its sides) twice as tall, within a
// pixel, and a click reaches the strip's button where it is drawn; a factor below 1 or
// infinite is 1.
TEST(Lv2UiTools, AtTheHostsScaleFactorOfTwoTheLabelsAreTwiceAsTall) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    host::ModuleLibrary library;
    ASSERT_TRUE(library.load(std::string(VEX_LV2_BUNDLE_DIR) + "/" + lv2::kModuleFileName));
    const float factors[] = {1.0f, 2.0f, 0.5f, std::numeric_limits<float>::infinity()};
    std::int32_t heights[4] = {};
    for (int i = 0; i < 4; ++i) {
        Window window(plugin);
        const LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, window.urids.scaleFactor,
                                               sizeof(float), window.urids.atomFloat, &factors[i]},
                                              {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        const LV2_Feature feature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        const LV2_Feature* const features[] = {&feature, nullptr};
        window.tools.readOptions(features, window.urids);
        host::DisplayLook look = host::defaultLook();
        look.width = 640;
        look.height = 360;
        window.pane.open(*library.factory(), look, 1);
        window.pane.setMode(2); // the log view, labelled in hertz over the plot
        const std::int32_t scale = i == 1 ? 2 : 1;
        ASSERT_EQ(window.pane.width(), 640 * scale) << factors[i];
        ASSERT_EQ(window.pane.height(), 360 * scale) << factors[i];
        const host::PaintSurface& picture = window.pane.paint();
        const host::PlotPane pane = window.pane.layout().paneA;
        heights[i] = test::labelInkHeight(picture.pixels(), picture.width(), pane.left * scale, 0,
                                          pane.right * scale, pane.top * scale);
        if (i == 1) {
            // The strip's tilt button lies at its place in the 640 x 360 picture, twice over in
            // the window's pixels: a click there turns the tilt on.
            window.send(EnterNotify, 10, 10);
            window.pane.paint();
            const host::PlotPane tilt =
                host::ViewerTools::stripButton(host::StripButton::kTilt, 640, 360);
            window.send(ButtonPress, 2 * tilt.left + 3, 2 * tilt.bottom - 3);
            EXPECT_EQ(window.tools.viewer().tilt(), host::Tilt::kThree);
        }
    }
    ASSERT_GE(heights[0], 6) << "no labels over the plot";
    EXPECT_NEAR(heights[1], 2 * heights[0], 1);
    EXPECT_EQ(heights[2], heights[0]);
    EXPECT_EQ(heights[3], heights[0]);
}

// A label typed in the window: whole characters of at most 63 bytes, and Backspace takes
// the last character whatever its length.
TEST(Lv2UiGroup, ALabelIsCutAtWholeCharacters) {
    lv2::UiGroup group;
    group.startEditing();
    group.type(std::string(61, 'a') + "\xC3\xA9"); // 61 + 2 bytes: all of it
    EXPECT_EQ(group.typedLabel().size(), 63u);
    group.type("b");
    EXPECT_EQ(group.typedLabel().size(), 63u) << "a 64th byte";
    group.erase();
    EXPECT_EQ(group.typedLabel(), std::string(61, 'a')) << "both bytes of the e acute";
    group.type("\xF0\x9F\x98\x80"); // 4 bytes: 65 in all
    EXPECT_EQ(group.typedLabel(), std::string(61, 'a'));
    group.type("\xC3"); // the start of a character alone
    EXPECT_EQ(group.typedLabel(), std::string(61, 'a'));
    EXPECT_EQ(group.finish(), std::string(61, 'a'));
}

} // namespace
} // namespace vex::test

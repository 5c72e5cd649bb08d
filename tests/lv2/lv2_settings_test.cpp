// The plug-in's settings: kept by the DSP as the UI sets them, announced to every UI, saved
// and restored with the host's state, and never taken when malformed.
#include "lv2/common/patch_entries.h"
#include "lv2/dsp/settings_store.h"
#include "lv2/ui/settings_channel.h"
#include "tests/lv2/lv2_instance.h"

#include <lv2/atom/forge.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vex::test {
namespace {

// The settings as the bundle's description states them.
constexpr char kLabelUri[] = "urn:vex:analyzer#label";
constexpr std::uint32_t kLabelBytes = 64;

TEST(SettingsStore, TakesOnlyValuesOfTheirKind) {
    using lv2::SettingKind;
    const lv2::SettingSpec specs[] = {{"i", SettingKind::kInt, 4},
                                      {"f", SettingKind::kFloat, 4},
                                      {"s", SettingKind::kString, 8},
                                      {"b", SettingKind::kBytes, 5}};
    lv2::SettingsStore store(specs, 4);
    const std::int32_t three = 3;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float half = 0.5f;
    EXPECT_TRUE(store.set(0, &three, 4));
    EXPECT_FALSE(store.set(0, &three, 2));
    EXPECT_FALSE(store.set(1, &nan, 4));
    EXPECT_TRUE(store.set(1, &half, 4));
    EXPECT_TRUE(store.set(2, "Basse \xC3\xA9", 8)); // UTF-8, exactly the capacity
    EXPECT_FALSE(store.set(2, "Bass gtr", 9));      // one byte over
    EXPECT_FALSE(store.set(2, "a\nb", 3));          // a control character
    EXPECT_FALSE(store.set(2, "\xC3", 1));          // a sequence cut short
    EXPECT_FALSE(store.set(2, "\xC0\xAF", 2));      // an overlong form
    EXPECT_FALSE(store.set(2, "\xED\xA0\x80", 3));  // a surrogate
    EXPECT_FALSE(store.set(3, "123456", 6));
    EXPECT_FALSE(store.set(4, &three, 4)); // no such setting
    EXPECT_FALSE(store.has(3));

    std::int32_t intBack = 0;
    EXPECT_EQ(store.get(0, &intBack, 4), 4u);
    EXPECT_EQ(intBack, 3);
    char text[8] = {};
    EXPECT_EQ(store.get(2, text, sizeof text), 8u);
    EXPECT_EQ(std::string(text, 8), "Basse \xC3\xA9");

    // An empty value is a value; a cleared setting has none.
    EXPECT_TRUE(store.set(3, nullptr, 0));
    bool present = false;
    EXPECT_EQ(store.get(3, text, sizeof text, &present), 0u);
    EXPECT_TRUE(present);
    store.clear(3);
    EXPECT_FALSE(store.has(3));
}

// An object may end inside its last property's padding: the walk over its properties
// stops at its end. The event lies against a page the test cannot read, so a read past
// the object is a fault, not a guess.
TEST(Lv2Settings, ObjectEndingUnpaddedIsReadToItsEndOnly) {
    UridMap urids;
    const lv2::Urids uiUrids(urids.feature);
    lv2::SettingsChannel channel(urids.feature, uiUrids, nullptr, nullptr);
    // The atom's header (set below) and the object's body, patch:property with its URID
    // padded to 8 bytes, patch:value's header.
    const std::uint32_t head[] = {0,
                                  0,
                                  0,
                                  urids(LV2_PATCH__Set),
                                  urids(LV2_PATCH__property),
                                  0,
                                  4,
                                  urids(LV2_ATOM__URID),
                                  urids(kLabelUri),
                                  0,
                                  urids(LV2_PATCH__value),
                                  0,
                                  3,
                                  urids(LV2_ATOM__String)};
    // 59 bytes: "abc" without terminator or padding, then one byte of the host's buffer.
    const std::uint32_t size = 60;
    const long page = sysconf(_SC_PAGESIZE);
    void* pages = mmap(nullptr, 2 * static_cast<std::size_t>(page), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(static_cast<std::uint8_t*>(pages) + page, static_cast<std::size_t>(page),
                       PROT_NONE),
              0);
    auto* event = static_cast<std::uint8_t*>(pages) + page - size;
    std::memcpy(event, head, sizeof head);
    std::memcpy(event + sizeof head, "abc", 3);
    auto* atom = reinterpret_cast<LV2_Atom*>(event);
    atom->size = 51;
    atom->type = urids(LV2_ATOM__Object);

    std::uint32_t which = 0;
    std::vector<std::uint8_t> value;
    ASSERT_TRUE(channel.take(*atom, size, which, value));
    EXPECT_EQ(which, lv2::kSettingLabel);
    EXPECT_EQ(std::string(value.begin(), value.end()), "abc");
    munmap(pages, 2 * static_cast<std::size_t>(page));
}

// A patch message whose declared size ends inside its value entry has no entries: the walk
// reads nothing past the object's end (LV2's own walk would take the value there).
TEST(PatchEntries, AnEntryRunningPastTheObjectIsNone) {
    UridMap urids;
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &urids.feature);
    std::uint64_t buffer[16] = {};
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    LV2_Atom_Forge_Frame frame;
    const LV2_Atom_Forge_Ref ref = lv2_atom_forge_object(&forge, &frame, 0, urids(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge, urids(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, urids(kLabelUri));
    lv2_atom_forge_key(&forge, urids(LV2_PATCH__value));
    lv2_atom_forge_string(&forge, "Drum", 4);
    lv2_atom_forge_pop(&forge, &frame);
    auto* object = reinterpret_cast<LV2_Atom_Object*>(lv2_atom_forge_deref(&forge, ref));
    // Body 8, the property entry 16 + 8, the value entry 16 + 8 ("Drum" and its terminator).
    ASSERT_EQ(object->atom.size, 56u);

    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    ASSERT_TRUE(lv2::findPatchEntries(*object, urids(LV2_PATCH__property), urids(LV2_PATCH__value),
                                      property, value));
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(value + 1), "Drum");

    object->atom.size = 48; // the value entry's header inside, its string outside
    EXPECT_FALSE(lv2::findPatchEntries(*object, urids(LV2_PATCH__property), urids(LV2_PATCH__value),
                                       property, value));
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(property, nullptr);
    object->atom.size = 53; // ending inside the value's padding: the value is whole
    EXPECT_TRUE(lv2::findPatchEntries(*object, urids(LV2_PATCH__property), urids(LV2_PATCH__value),
                                      property, value));
    EXPECT_NE(value, nullptr);
}

// A host's state store: what save stored, under which key and type.
struct SavedState {
    struct Entry {
        std::vector<std::uint8_t> bytes;
        LV2_URID type;
        std::uint32_t flags;
    };
    std::map<LV2_URID, Entry> entries;

    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value,
                                  size_t size, uint32_t type, uint32_t flags) {
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        static_cast<SavedState*>(handle)->entries[key] = {{bytes, bytes + size}, type, flags};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto& entries = static_cast<SavedState*>(handle)->entries;
        const auto found = entries.find(key);
        if (found == entries.end()) {
            return nullptr;
        }
        *size = found->second.bytes.size();
        *type = found->second.type;
        *flags = found->second.flags;
        return found->second.bytes.data();
    }
};

// The UI's channel on the test host: what it writes goes to the instance's control port.
struct UiSide {
    explicit UiSide(Instance& instance)
        : plugin(instance), uiUrids(instance.urids.feature),
          channel(instance.urids.feature, uiUrids, write, this) {}
    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t,
                      const void* buffer) {
        auto* ui = static_cast<UiSide*>(controller);
        ASSERT_EQ(port, kControl);
        ASSERT_EQ(size, sizeof(LV2_Atom) + static_cast<const LV2_Atom*>(buffer)->size);
        ui->plugin.sendAtom(*static_cast<const LV2_Atom*>(buffer));
    }
    // The labels the last run announced on the notify port, in order.
    std::vector<std::string> announced() {
        std::vector<std::string> labels;
        LV2_ATOM_SEQUENCE_FOREACH(&plugin.notify(), event) {
            std::uint32_t which = 0;
            std::vector<std::uint8_t> value;
            const auto size = static_cast<std::uint32_t>(sizeof(LV2_Atom) + event->body.size);
            if (channel.take(event->body, size, which, value)) {
                EXPECT_EQ(which, lv2::kSettingLabel);
                labels.emplace_back(value.begin(), value.end());
            }
        }
        return labels;
    }
    Instance& plugin;
    lv2::Urids uiUrids;
    lv2::SettingsChannel channel;
};

TEST(Lv2Settings, LabelGoesToEveryUiAndIntoTheSavedState) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    UiSide ui(plugin);
    const auto* state =
        static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);

    plugin.sendUiMessage(kUiOpenUri);
    plugin.run(64);
    EXPECT_TRUE(ui.announced().empty()); // nothing set yet

    ASSERT_TRUE(ui.channel.send(lv2::kSettingLabel, "Kick", 4));
    plugin.run(64);
    EXPECT_EQ(ui.announced(), std::vector<std::string>{"Kick"});
    plugin.run(64);
    EXPECT_TRUE(ui.announced().empty()); // said once

    // Malformed sets change nothing: too long, a float for a string, an unknown property.
    EXPECT_FALSE(ui.channel.send(lv2::kSettingLabel, std::string(kLabelBytes + 1, 'x').data(),
                                 kLabelBytes + 1));
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &plugin.urids.feature);
    std::uint64_t buffer[16];
    for (const char* property : {kLabelUri, "urn:vex:analyzer#nothing"}) {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
        LV2_Atom_Forge_Frame frame;
        const LV2_Atom_Forge_Ref set =
            lv2_atom_forge_object(&forge, &frame, 0, plugin.urids(LV2_PATCH__Set));
        lv2_atom_forge_key(&forge, plugin.urids(LV2_PATCH__property));
        lv2_atom_forge_urid(&forge, plugin.urids(property));
        lv2_atom_forge_key(&forge, plugin.urids(LV2_PATCH__value));
        lv2_atom_forge_float(&forge, 1.0f);
        lv2_atom_forge_pop(&forge, &frame);
        plugin.sendAtom(*lv2_atom_forge_deref(&forge, set));
    }
    plugin.run(64);
    EXPECT_TRUE(ui.announced().empty());

    // A get of every property answers the label as it stands.
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    LV2_Atom_Forge_Frame frame;
    const LV2_Atom_Forge_Ref get =
        lv2_atom_forge_object(&forge, &frame, 0, plugin.urids(LV2_PATCH__Get));
    lv2_atom_forge_pop(&forge, &frame);
    plugin.sendAtom(*lv2_atom_forge_deref(&forge, get));
    plugin.run(64);
    EXPECT_EQ(ui.announced(), std::vector<std::string>{"Kick"});

    SavedState saved;
    ASSERT_EQ(state->save(plugin.instance(), SavedState::store, &saved, 0, nullptr),
              LV2_STATE_SUCCESS);
    ASSERT_EQ(saved.entries.size(), 1u);
    const auto& entry = saved.entries.begin()->second;
    EXPECT_EQ(saved.entries.begin()->first, plugin.urids(kLabelUri));
    EXPECT_EQ(entry.type, plugin.urids(LV2_ATOM__String));
    EXPECT_EQ(entry.bytes, (std::vector<std::uint8_t>{'K', 'i', 'c', 'k', 0}));
    EXPECT_TRUE(entry.flags & LV2_STATE_IS_POD);

    // Restored into another instance, the label reaches its UI when it opens.
    Instance other(48000.0, 65536);
    ASSERT_TRUE(other.ready());
    UiSide otherUi(other);
    ASSERT_EQ(state->restore(other.instance(), SavedState::retrieve, &saved, 0, nullptr),
              LV2_STATE_SUCCESS);
    other.sendUiMessage(kUiOpenUri);
    other.run(64);
    EXPECT_EQ(otherUi.announced(), std::vector<std::string>{"Kick"});

    // A state with the label in another type is refused and the label kept; a state
    // without the label leaves none.
    saved.entries.begin()->second.type = other.urids(LV2_ATOM__Int);
    ASSERT_EQ(state->restore(other.instance(), SavedState::retrieve, &saved, 0, nullptr),
              LV2_STATE_ERR_BAD_TYPE);
    other.run(64);
    EXPECT_TRUE(otherUi.announced().empty());
    SavedState resaved;
    state->save(other.instance(), SavedState::store, &resaved, 0, nullptr);
    EXPECT_EQ(resaved.entries.size(), 1u);
    saved.entries.clear();
    ASSERT_EQ(state->restore(other.instance(), SavedState::retrieve, &saved, 0, nullptr),
              LV2_STATE_SUCCESS);
    SavedState cleared;
    state->save(other.instance(), SavedState::store, &cleared, 0, nullptr);
    EXPECT_TRUE(cleared.entries.empty());
}

// The label a member sets reaches its slot in the group's segment, and a restored state
// labels the slot of the instance it is restored into. The slot's label is read straight
// from the segment as the design lays it out: 64-byte header, slots of 4352 bytes, the
// label 28 bytes into a slot.
TEST(Lv2Settings, LabelNamesTheGroupMember) {
    const std::string scope = "settings" + std::to_string(getpid());
    const std::string name = "/vex-analyzer-" + std::to_string(geteuid()) + "-group-4-" + scope;
    setenv("VEX_GROUP_SCOPE", scope.c_str(), 1);
    shm_unlink(name.c_str());
    const auto slotLabel = [&](float slot) {
        const int fd = shm_open(name.c_str(), O_RDONLY, 0);
        EXPECT_GE(fd, 0);
        void* memory = mmap(nullptr, 64 + 128 * 4352, PROT_READ, MAP_SHARED, fd, 0);
        close(fd);
        char label[65] = {};
        std::memcpy(label,
                    static_cast<const char*>(memory) + 64 + 4352 * static_cast<int>(slot) + 28, 64);
        munmap(memory, 64 + 128 * 4352);
        return std::string(label);
    };
    SavedState saved;
    {
        Instance plugin(48000.0, 65536, 4.0f);
        ASSERT_TRUE(plugin.ready());
        UiSide ui(plugin);
        plugin.run(64);
        ASSERT_EQ(plugin.controls[kSlot], 0.0f);
        EXPECT_EQ(slotLabel(0.0f), ""); // none yet: viewers name it by its slot
        ASSERT_TRUE(ui.channel.send(lv2::kSettingLabel, "Bass \xC3\xA9", 7));
        plugin.run(64);
        EXPECT_EQ(slotLabel(0.0f), "Bass \xC3\xA9");
        const auto* state =
            static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
        ASSERT_EQ(state->save(plugin.instance(), SavedState::store, &saved, 0, nullptr),
                  LV2_STATE_SUCCESS);
    }
    Instance other(48000.0, 65536, 4.0f);
    ASSERT_TRUE(other.ready());
    const auto* state =
        static_cast<const LV2_State_Interface*>(other.extension(LV2_STATE__interface));
    ASSERT_EQ(state->restore(other.instance(), SavedState::retrieve, &saved, 0, nullptr),
              LV2_STATE_SUCCESS);
    other.run(64);
    EXPECT_EQ(slotLabel(other.controls[kSlot]), "Bass \xC3\xA9");
    shm_unlink(name.c_str());
    unsetenv("VEX_GROUP_SCOPE");
}

// A state is taken whole or not at all: one holding tilt, smoothing or the reference in a
// type not theirs, a choice out of range, or a label that is not UTF-8, is refused, and the
// instance keeps every value. A state saved when the choices were ints still restores.
TEST(Lv2Settings, StateWithAValueOfTheWrongKindIsRefusedWhole) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    const auto* state =
        static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    const auto bytes = [](const void* data, std::size_t size) {
        const auto* from = static_cast<const std::uint8_t*>(data);
        return std::vector<std::uint8_t>(from, from + size);
    };
    const std::int32_t one = 1;
    const float two = 2.0f;
    SavedState good;
    good.entries[plugin.urids(kLabelUri)] = {bytes("Bass", 5), plugin.urids(LV2_ATOM__String), 0};
    good.entries[plugin.urids("urn:vex:analyzer#peakHold")] = {bytes(&one, 4),
                                                               plugin.urids(LV2_ATOM__Int), 0};
    good.entries[plugin.urids("urn:vex:analyzer#tilt")] = {bytes(&two, 4),
                                                           plugin.urids(LV2_ATOM__Float), 0};
    good.entries[plugin.urids("urn:vex:analyzer#smoothing")] = {bytes(&one, 4),
                                                                plugin.urids(LV2_ATOM__Int), 0};
    good.entries[plugin.urids("urn:vex:analyzer#reference")] = {bytes("REF", 3),
                                                                plugin.urids(LV2_ATOM__Chunk), 0};
    ASSERT_EQ(state->restore(plugin.instance(), SavedState::retrieve, &good, 0, nullptr),
              LV2_STATE_SUCCESS);
    SavedState kept;
    ASSERT_EQ(state->save(plugin.instance(), SavedState::store, &kept, 0, nullptr),
              LV2_STATE_SUCCESS);
    ASSERT_EQ(kept.entries.size(), 5u);
    // The choices are saved as floats now.
    const float oneFloat = 1.0f;
    const auto& peakHold = kept.entries[plugin.urids("urn:vex:analyzer#peakHold")];
    EXPECT_EQ(peakHold.type, plugin.urids(LV2_ATOM__Float));
    EXPECT_EQ(peakHold.bytes, bytes(&oneFloat, 4));

    const double wide = 2.0;
    const std::int32_t three = 3;
    struct Bad {
        const char* uri;
        std::vector<std::uint8_t> value;
        const char* type;
    };
    const Bad bad[] = {
        {"urn:vex:analyzer#tilt", bytes("2", 2), LV2_ATOM__String},
        {"urn:vex:analyzer#tilt", bytes(&three, 4), LV2_ATOM__Int}, // out of range
        {"urn:vex:analyzer#smoothing", bytes(&wide, 8), LV2_ATOM__Double},
        {"urn:vex:analyzer#reference", bytes("REF", 4), LV2_ATOM__String},
        {kLabelUri, bytes("Ba\xC3\x28", 5), LV2_ATOM__String}, // a cut character
    };
    for (const Bad& entry : bad) {
        SavedState wrong = good;
        wrong.entries[plugin.urids(entry.uri)] = {entry.value, plugin.urids(entry.type), 0};
        EXPECT_EQ(state->restore(plugin.instance(), SavedState::retrieve, &wrong, 0, nullptr),
                  LV2_STATE_ERR_BAD_TYPE)
            << entry.uri;
        SavedState after;
        state->save(plugin.instance(), SavedState::store, &after, 0, nullptr);
        for (const auto& [key, value] : kept.entries) {
            EXPECT_EQ(after.entries[key].bytes, value.bytes) << entry.uri;
            EXPECT_EQ(after.entries[key].type, value.type) << entry.uri;
        }
    }
}

// The settings a host is told of go out after a restore; the reference, which hosts are
// not told of, only once the plug-in's own UI opens.
TEST(Lv2Settings, TheReferenceGoesToThePluginsUiAlone) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    const auto* state =
        static_cast<const LV2_State_Interface*>(plugin.extension(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    const std::int32_t one = 1;
    const auto* tilt = reinterpret_cast<const std::uint8_t*>(&one);
    SavedState saved;
    saved.entries[plugin.urids("urn:vex:analyzer#tilt")] = {
        {tilt, tilt + 4}, plugin.urids(LV2_ATOM__Int), 0};
    saved.entries[plugin.urids("urn:vex:analyzer#reference")] = {
        {'R', 'E', 'F'}, plugin.urids(LV2_ATOM__Chunk), 0};
    ASSERT_EQ(state->restore(plugin.instance(), SavedState::retrieve, &saved, 0, nullptr),
              LV2_STATE_SUCCESS);
    // The properties the last run announced.
    const auto announced = [&plugin] {
        std::set<std::string> properties;
        LV2_ATOM_SEQUENCE_FOREACH(&plugin.notify(), event) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            const LV2_Atom* property = nullptr;
            if (object->body.otype == plugin.urids(LV2_PATCH__Set)) {
                lv2_atom_object_get(object, plugin.urids(LV2_PATCH__property), &property, 0);
            }
            if (property != nullptr && property->type == plugin.urids(LV2_ATOM__URID)) {
                properties.insert(
                    plugin.urids.uris[reinterpret_cast<const LV2_Atom_URID*>(property)->body - 1]);
            }
        }
        return properties;
    };
    plugin.run(64);
    EXPECT_EQ(announced(), std::set<std::string>{"urn:vex:analyzer#tilt"});
    plugin.sendUiMessage(kUiOpenUri);
    plugin.run(64);
    EXPECT_EQ(announced(),
              (std::set<std::string>{"urn:vex:analyzer#tilt", "urn:vex:analyzer#reference"}));
}

} // namespace
} // namespace vex::test

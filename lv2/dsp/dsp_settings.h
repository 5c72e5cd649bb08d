// The DSP's side of the settings: patch:Set and patch:Get messages on the control port,
// their answers on the notify port, and the settings in the host's saved state.
#pragma once

#include "lv2/common/urids.h"
#include "lv2/dsp/settings_store.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/state/state.h>

#include <atomic>
#include <cstdint>

namespace vex::lv2 {

class DspSettings {
public:
    // `urids` are the instance's and outlive the settings.
    explicit DspSettings(const Urids& urids) : urids(urids) {}

    // Audio thread. Takes a patch:Set or patch:Get object from the control port; false for
    // any other object. A set with an unknown property or a value not of the setting's kind
    // changes nothing. No allocation, lock or system call.
    bool take(const LV2_Atom_Object& message);
    // Audio thread: every setting with a value goes out with the next answers (a UI opened,
    // or a host asked for every property).
    void announceAll() { answerPending |= allSettings(); }
    // Audio thread. Settings changed since the last call (by a message or a restore), one
    // bit per setting; clears them.
    std::uint32_t takeChanged();
    // Audio thread. Appends the pending answers as patch:Set events at `time` to the
    // sequence `forge` writes; what does not fit waits for the next block, and so do the
    // settings hosts are not told of (SettingSpec::declared) until `uiListening`.
    void writeAnswers(LV2_Atom_Forge& forge, std::int64_t time, bool uiListening);

    // The host's state calls (never on the audio thread; save may run beside it). A state
    // holding any value not of its setting's kind is refused whole: restore answers
    // LV2_STATE_ERR_BAD_TYPE and every setting keeps its value. A setting the state lacks
    // has no value after a restore.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle) const;
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    const SettingsStore& store() const { return settings; }

private:
    static constexpr std::uint32_t allSettings() { return (1u << kSettingCount) - 1u; }
    static_assert(kSettingCount <= 32, "one bit per setting");
    // A value as the store keeps it.
    struct Value {
        const void* data = nullptr;
        std::uint32_t size = 0;
        std::int32_t choice = 0; // a choice's value, which `data` then points to
    };
    // A value as it arrived in an atom (or a saved state) of `type`, as the store keeps it;
    // false when it is not a value of the setting.
    bool decode(std::uint32_t which, LV2_URID type, const void* body, std::uint32_t size,
                Value& value) const;

    SettingsStore settings;
    const Urids& urids;

    std::uint32_t answerPending = 0;            // audio thread
    std::uint32_t changed = 0;                  // audio thread
    std::atomic<std::uint32_t> restoredBits{0}; // restore to the audio thread
};

} // namespace vex::lv2

// The DSP's side of the settings: patch:Set and patch:Get messages on the control port,
// their answers on the notify port, and the settings in the host's saved state.
#pragma once

#include "lv2/common/setting_urids.h"
#include "lv2/dsp/settings_store.h"

#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>

namespace vex::lv2 {

class DspSettings {
public:
    // Maps every URI it needs (the host's instantiation thread).
    explicit DspSettings(LV2_URID_Map& map);

    // Audio thread. Takes a patch:Set or patch:Get object from the control port; false for
    // any other object. A set with an unknown property or a value not of the setting's kind
    // changes nothing. No allocation, lock or system call.
    bool take(const LV2_Atom_Object& message);
    // Audio thread: every setting with a value goes out with the next answers (a UI opened).
    void announceAll() { answerPending |= allSettings(); }
    // Audio thread. Settings changed since the last call (by a message or a restore), one
    // bit per setting; clears them.
    std::uint32_t takeChanged();
    // Audio thread. Appends the pending answers to `notify` (holding `capacity` bytes in
    // all, header included) as patch:Set events at `time`; what does not fit waits for the
    // next block.
    void writeAnswers(LV2_Atom_Sequence& notify, std::uint32_t capacity, std::int64_t time);

    // The host's state calls (never on the audio thread; save may run beside it).
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle) const;
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    const SettingsStore& store() const { return settings; }

private:
    static constexpr std::uint32_t allSettings() { return (1u << kSettingCount) - 1u; }
    static_assert(kSettingCount <= 32, "one bit per setting");
    // Stores a value as it arrived in an atom (or a saved state) of `type`; false when it
    // is not a value of the setting.
    bool setFromAtom(std::uint32_t which, LV2_URID type, const void* body, std::uint32_t size);

    SettingsStore settings;
    SettingUrids urids;

    std::uint32_t answerPending = 0;            // audio thread
    std::uint32_t changed = 0;                  // audio thread
    std::atomic<std::uint32_t> restoredBits{0}; // restore to the audio thread
};

} // namespace vex::lv2

// The DSP's copy of the plug-in's settings: a fixed buffer per setting, filled on the audio
// thread from the UI's messages and by a state restore, read by a state save on any thread.
#pragma once

#include "lv2/common/plugin_settings.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace vex::lv2 {

class SettingsStore {
public:
    // Room for every setting of `specs` (count entries, which outlive the store).
    // Allocates; nothing afterwards does.
    SettingsStore(const SettingSpec* specs, std::uint32_t count);
    SettingsStore() : SettingsStore(kSettings, kSettingCount) {}

    // Any thread. Whether `size` bytes of `data` are a value of setting `which`: false for
    // an unknown setting or a value that is not of its kind (wrong size, a float that is
    // not finite, a choice out of range, a string that is not UTF-8 or holds control
    // characters).
    bool accepts(std::uint32_t which, const void* data, std::uint32_t size) const;
    // One writer at a time: the audio thread, or a restore (which a host never runs beside
    // the audio thread). False, and nothing changed, for a value it does not accept. No
    // allocation, lock or system call.
    bool set(std::uint32_t which, const void* data, std::uint32_t size);
    // The writer only: the setting has no value again.
    void clear(std::uint32_t which);

    // Any thread. Copies the value into `out` (at most `capacity` bytes) and answers its
    // size; 0 when the setting has no value. `present` tells a value of no bytes (an empty
    // label) from none.
    std::uint32_t get(std::uint32_t which, void* out, std::uint32_t capacity,
                      bool* present = nullptr) const;
    bool has(std::uint32_t which) const;

    std::uint32_t count() const { return settingCount; }
    const SettingSpec& spec(std::uint32_t which) const { return specs[which]; }

private:
    // Why the presence flag in the length word: one sequence covers both, so a reader never
    // pairs a new value with an old flag. Bit 31 set: a value is present.
    static constexpr std::uint32_t kPresent = 0x80000000u;
    struct Slot {
        std::atomic<std::uint32_t> sequence{0};
        std::unique_ptr<std::atomic<std::uint32_t>[]> words; // the length word, then the value
    };

    const SettingSpec* specs;
    std::uint32_t settingCount;
    std::unique_ptr<Slot[]> slots;
};

} // namespace vex::lv2

// The UI's side of the settings: a patch:Set to the DSP when the user changes one, and the
// values the DSP announces on its notify port (all of them when the UI opens, each one
// after any UI changed it).
#pragma once

#include "lv2/common/plugin_settings.h"
#include "lv2/common/urids.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <vector>

namespace vex::lv2 {

class SettingsChannel {
public:
    // The map, `write` and `controller` are the host's, `urids` the UI's; all outlive the
    // channel.
    SettingsChannel(LV2_URID_Map& map, const Urids& urids, LV2UI_Write_Function write,
                    LV2UI_Controller controller);

    // UI thread. Sends a new value of `which` to the DSP; false (nothing sent) when the value
    // is not of the setting's kind. A string's bytes come without a terminator; a choice is
    // 4 bytes of int32.
    bool send(std::uint32_t which, const void* data, std::uint32_t size);

    // UI thread. Whether `atom` (an event of the notify port, `size` bytes with its header)
    // announces a setting; if so `which` and `value` (a string without its terminator) are
    // set; a choice's value is 4 bytes of int32. Anything malformed is not a setting.
    bool take(const LV2_Atom& atom, std::uint32_t size, std::uint32_t& which,
              std::vector<std::uint8_t>& value) const;

private:
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const Urids& urids;
    LV2_Atom_Forge forge; // its own URIDs mapped once, with the channel
};

} // namespace vex::lv2

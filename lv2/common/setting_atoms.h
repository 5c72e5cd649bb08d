// A setting's value as an atom, both ways: the patch:Set message that carries it (written
// with LV2's forge by the DSP and by the UI) and a choice read from the atom types it may
// arrive as.
#pragma once

#include "lv2/common/control_choice.h"
#include "lv2/common/plugin_settings.h"
#include "lv2/common/urids.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace vex::lv2 {

// Writes a patch:Set of setting `which` to `value` (as the store keeps it: a string without
// its terminator, a choice as 4 bytes of int32). The caller has checked the forge's room.
inline void forgeSetting(LV2_Atom_Forge& forge, const Urids& urids, std::uint32_t which,
                         const void* value, std::uint32_t size) {
    const SettingKind kind = kSettings[which].kind;
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge, &object, 0, urids.patchSet);
    lv2_atom_forge_key(&forge, urids.patchProperty);
    lv2_atom_forge_urid(&forge, urids.settings[which]);
    lv2_atom_forge_key(&forge, urids.patchValue);
    if (kind == SettingKind::kChoice) {
        std::int32_t choice;
        std::memcpy(&choice, value, sizeof choice);
        lv2_atom_forge_float(&forge, static_cast<float>(choice));
    } else if (kind == SettingKind::kString) {
        lv2_atom_forge_string(&forge, size > 0 ? static_cast<const char*>(value) : "", size);
    } else {
        lv2_atom_forge_atom(&forge, size, urids.typeOf(kind));
        if (size > 0) {
            lv2_atom_forge_write(&forge, value, size);
        }
    }
    lv2_atom_forge_pop(&forge, &object);
}

// The choice 0..most that a value of `type` (`size` bytes of `body`) states: a finite
// float, rounded into range, or an int as it is (the store checks its range). False for
// any other value.
inline bool choiceFromAtom(const Urids& urids, LV2_URID type, const void* body, std::uint32_t size,
                           std::int32_t most, std::int32_t& choice) {
    if (size != 4 || body == nullptr || (type != urids.atomFloat && type != urids.atomInt)) {
        return false;
    }
    if (type == urids.atomInt) {
        std::memcpy(&choice, body, sizeof choice);
        return true;
    }
    float number;
    std::memcpy(&number, body, sizeof number);
    choice = controlChoice(number, 0, most);
    return std::isfinite(number);
}

} // namespace vex::lv2

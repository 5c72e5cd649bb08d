// The URIDs a settings message needs, mapped once by each side (the DSP and the UI): the
// settings' own, the patch vocabulary and the atom types their values travel as.
#pragma once

#include "lv2/common/plugin_settings.h"

#include <lv2/atom/atom.h>
#include <lv2/patch/patch.h>
#include <lv2/urid/urid.h>

#include <cstdint>

namespace vex::lv2 {

struct SettingUrids {
    // Maps every URI (the host's instantiation or UI thread).
    explicit SettingUrids(LV2_URID_Map& map) {
        for (std::uint32_t i = 0; i < kSettingCount; ++i) {
            settings[i] = map.map(map.handle, kSettings[i].uri);
        }
        patchSet = map.map(map.handle, LV2_PATCH__Set);
        patchGet = map.map(map.handle, LV2_PATCH__Get);
        patchProperty = map.map(map.handle, LV2_PATCH__property);
        patchValue = map.map(map.handle, LV2_PATCH__value);
        atomInt = map.map(map.handle, LV2_ATOM__Int);
        atomFloat = map.map(map.handle, LV2_ATOM__Float);
        atomString = map.map(map.handle, LV2_ATOM__String);
        atomChunk = map.map(map.handle, LV2_ATOM__Chunk);
        atomUrid = map.map(map.handle, LV2_ATOM__URID);
        atomObject = map.map(map.handle, LV2_ATOM__Object);
    }

    // The atom type of `kind`'s values.
    LV2_URID typeOf(SettingKind kind) const {
        switch (kind) {
        case SettingKind::kInt:
            return atomInt;
        case SettingKind::kFloat:
            return atomFloat;
        case SettingKind::kString:
            return atomString;
        case SettingKind::kBytes:
            return atomChunk;
        }
        return 0;
    }

    // The setting a patch:property entry names, or kSettingCount when it names none (no
    // entry, not a URID, an unknown property).
    std::uint32_t settingOf(const LV2_Atom* property) const {
        if (property == nullptr || property->type != atomUrid ||
            property->size != sizeof(LV2_URID)) {
            return kSettingCount;
        }
        const LV2_URID key = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
        for (std::uint32_t i = 0; i < kSettingCount; ++i) {
            if (settings[i] == key && key != 0) {
                return i;
            }
        }
        return kSettingCount;
    }

    LV2_URID settings[kSettingCount] = {};
    LV2_URID patchSet = 0;
    LV2_URID patchGet = 0;
    LV2_URID patchProperty = 0;
    LV2_URID patchValue = 0;
    LV2_URID atomInt = 0;
    LV2_URID atomFloat = 0;
    LV2_URID atomString = 0;
    LV2_URID atomChunk = 0;
    LV2_URID atomUrid = 0;
    LV2_URID atomObject = 0;
};

} // namespace vex::lv2

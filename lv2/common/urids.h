// Every URID the plug-in's libraries use, mapped once per instance (the DSP's when the host
// instantiates it, the UI's when it opens) and handed by reference to the parts that need
// them: the plug-in's own URIs, the settings', the patch vocabulary and the atom types.
#pragma once

#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/plugin_settings.h"

#include <lv2/atom/atom.h>
#include <lv2/parameters/parameters.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>

namespace vex::lv2 {

struct Urids {
    // Maps every URI (the host's instantiation or UI thread).
    explicit Urids(LV2_URID_Map& map) {
        const auto id = [&map](const char* uri) { return map.map(map.handle, uri); };
        for (std::uint32_t i = 0; i < kSettingCount; ++i) {
            settings[i] = id(kSettings[i].uri);
        }
        frame = id(kFrameTypeUri);
        frameTime = id(kFrameTimeUri);
        frameRate = id(kFrameRateUri);
        frameBytes = id(kFrameBytesUri);
        frameAnalysis = id(kFrameAnalysisUri);
        uiOpen = id(kUiOpenUri);
        uiClosed = id(kUiClosedUri);
        patchSet = id(LV2_PATCH__Set);
        patchGet = id(LV2_PATCH__Get);
        patchProperty = id(LV2_PATCH__property);
        patchValue = id(LV2_PATCH__value);
        atomInt = id(LV2_ATOM__Int);
        atomLong = id(LV2_ATOM__Long);
        atomFloat = id(LV2_ATOM__Float);
        atomDouble = id(LV2_ATOM__Double);
        atomString = id(LV2_ATOM__String);
        atomChunk = id(LV2_ATOM__Chunk);
        atomUrid = id(LV2_ATOM__URID);
        atomObject = id(LV2_ATOM__Object);
        atomBlank = id(LV2_ATOM__Blank);
        atomSequence = id(LV2_ATOM__Sequence);
        eventTransfer = id(LV2_ATOM__eventTransfer);
        sampleRate = id(LV2_PARAMETERS__sampleRate);
        scaleFactor = id(LV2_UI__scaleFactor);
    }

    // The atom type `kind`'s values travel as (a choice's as a float, which hosts show).
    LV2_URID typeOf(SettingKind kind) const {
        const LV2_URID types[] = {atomInt, atomFloat, atomString, atomChunk, atomFloat};
        return types[static_cast<std::uint32_t>(kind)];
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
    // The frame event and the UI's messages.
    LV2_URID frame = 0, frameTime = 0, frameRate = 0, frameBytes = 0, frameAnalysis = 0;
    LV2_URID uiOpen = 0, uiClosed = 0;
    LV2_URID patchSet = 0, patchGet = 0, patchProperty = 0, patchValue = 0;
    LV2_URID atomInt = 0, atomLong = 0, atomFloat = 0, atomDouble = 0, atomString = 0;
    LV2_URID atomChunk = 0, atomUrid = 0, atomObject = 0, atomBlank = 0, atomSequence = 0;
    LV2_URID eventTransfer = 0, sampleRate = 0, scaleFactor = 0;
};

} // namespace vex::lv2

#include "lv2/dsp/dsp_settings.h"

#include "lv2/common/patch_entries.h"
#include "lv2/common/setting_atoms.h"

#include <lv2/atom/util.h>

#include <cstring>

namespace vex::lv2 {

namespace {

// The body of a string atom as a value: up to its first terminator.
std::uint32_t stringLength(const void* body, std::uint32_t size) {
    const auto* text = static_cast<const char*>(body);
    const void* end = std::memchr(text, '\0', size);
    return end != nullptr ? static_cast<std::uint32_t>(static_cast<const char*>(end) - text) : size;
}

} // namespace

bool DspSettings::decode(std::uint32_t which, LV2_URID type, const void* body, std::uint32_t size,
                         Value& value) const {
    const SettingSpec& spec = kSettings[which];
    if (size > 0 && body == nullptr) {
        return false;
    }
    value = Value{body, size, 0};
    if (spec.kind == SettingKind::kChoice) {
        value.data = &value.choice;
        return choiceFromAtom(urids, type, body, size, spec.most, value.choice);
    }
    if (type != urids.typeOf(spec.kind)) {
        return false;
    }
    if (spec.kind == SettingKind::kString) {
        value.size = stringLength(body, size);
    }
    return true;
}

bool DspSettings::take(const LV2_Atom_Object& message) {
    if (message.body.otype != urids.patchSet && message.body.otype != urids.patchGet) {
        return false;
    }
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    if (!findPatchEntries(message, urids.patchProperty, urids.patchValue, property, value)) {
        return true; // a patch message, malformed: nothing to take from it
    }
    const std::uint32_t which = urids.settingOf(property);
    if (message.body.otype == urids.patchGet) {
        // Why every setting for a get without a property: that asks for all of them.
        if (property == nullptr) {
            announceAll();
        } else if (which < kSettingCount) {
            answerPending |= 1u << which;
        }
        return true;
    }
    Value taken;
    if (which < kSettingCount && value != nullptr &&
        decode(which, value->type, value + 1, value->size, taken) &&
        settings.set(which, taken.data, taken.size)) {
        changed |= 1u << which;
        answerPending |= 1u << which; // every UI learns the new value
    }
    return true;
}

std::uint32_t DspSettings::takeChanged() {
    const std::uint32_t restored = restoredBits.exchange(0, std::memory_order_acquire);
    answerPending |= restored;
    const std::uint32_t bits = changed | restored;
    changed = 0;
    return bits;
}

void DspSettings::writeAnswers(LV2_Atom_Forge& forge, std::int64_t time, bool uiListening) {
    for (std::uint32_t which = 0; which < kSettingCount && answerPending != 0; ++which) {
        const std::uint32_t bit = 1u << which;
        const SettingSpec& spec = kSettings[which];
        if ((answerPending & bit) == 0 || (!spec.declared && !uiListening)) {
            continue;
        }
        // The event: its header, the object's body, the property and value entries.
        const std::uint32_t most = static_cast<std::uint32_t>(
            sizeof(LV2_Atom_Event) + sizeof(LV2_Atom_Object_Body) +
            2 * sizeof(LV2_Atom_Property_Body) + lv2_atom_pad_size(sizeof(LV2_URID)) +
            lv2_atom_pad_size(spec.capacity + 1)); // a string's terminator
        if (forge.buf == nullptr || forge.offset > forge.size || most > forge.size - forge.offset) {
            return; // the rest go in the next block, in the same order
        }
        answerPending &= ~bit;
        std::uint8_t value[largestSettingValue()];
        bool present = false;
        const std::uint32_t size = settings.get(which, value, spec.capacity, &present);
        if (present) { // nothing to say of a setting with no value
            lv2_atom_forge_frame_time(&forge, time);
            forgeSetting(forge, urids, which, value, size);
        }
    }
}

LV2_State_Status DspSettings::save(LV2_State_Store_Function store, LV2_State_Handle handle) const {
    std::uint8_t value[largestSettingValue() + 1];
    for (std::uint32_t which = 0; which < kSettingCount; ++which) {
        const SettingSpec& spec = kSettings[which];
        bool present = false;
        std::uint32_t size = settings.get(which, value, spec.capacity, &present);
        if (!present) {
            continue;
        }
        LV2_URID type = urids.typeOf(spec.kind);
        float number = 0.0f;
        const void* saved = value;
        if (spec.kind == SettingKind::kString) {
            value[size++] = 0; // a saved string keeps its terminator
        } else if (spec.kind == SettingKind::kChoice) {
            std::int32_t choice;
            std::memcpy(&choice, value, sizeof choice);
            number = static_cast<float>(choice);
            saved = &number;
        }
        const LV2_State_Status status = store(handle, urids.settings[which], saved, size, type,
                                              LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        if (status != LV2_STATE_SUCCESS) {
            return status;
        }
    }
    return LV2_STATE_SUCCESS;
}

LV2_State_Status DspSettings::restore(LV2_State_Retrieve_Function retrieve,
                                      LV2_State_Handle handle) {
    // Why two passes: a state is taken whole or not at all, so every value is checked
    // before any is stored (the host keeps each value until restore returns).
    Value values[kSettingCount];
    bool present[kSettingCount] = {};
    for (std::uint32_t which = 0; which < kSettingCount; ++which) {
        std::size_t size = 0;
        std::uint32_t type = 0;
        std::uint32_t flags = 0;
        const void* value = retrieve(handle, urids.settings[which], &size, &type, &flags);
        present[which] = value != nullptr;
        if (present[which] &&
            (size > 0xFFFFFFFFu ||
             !decode(which, type, value, static_cast<std::uint32_t>(size), values[which]) ||
             !settings.accepts(which, values[which].data, values[which].size))) {
            return LV2_STATE_ERR_BAD_TYPE;
        }
    }
    for (std::uint32_t which = 0; which < kSettingCount; ++which) {
        if (present[which]) {
            settings.set(which, values[which].data, values[which].size);
        } else {
            settings.clear(which);
        }
    }
    restoredBits.fetch_or(allSettings(), std::memory_order_release);
    return LV2_STATE_SUCCESS;
}

} // namespace vex::lv2

#include "lv2/dsp/dsp_settings.h"

#include "lv2/common/patch_entries.h"

#include <lv2/atom/util.h>

#include <cstring>
#include <vector>

namespace vex::lv2 {

namespace {

// The body of a string atom as a value: up to its first terminator.
std::uint32_t stringLength(const void* body, std::uint32_t size) {
    const auto* text = static_cast<const char*>(body);
    const void* end = std::memchr(text, '\0', size);
    return end != nullptr ? static_cast<std::uint32_t>(static_cast<const char*>(end) - text) : size;
}

} // namespace

DspSettings::DspSettings(LV2_URID_Map& map) : urids(map) {}

bool DspSettings::setFromAtom(std::uint32_t which, LV2_URID type, const void* body,
                              std::uint32_t size) {
    const SettingKind kind = kSettings[which].kind;
    if (type != urids.typeOf(kind) || (size > 0 && body == nullptr)) {
        return false;
    }
    if (kind == SettingKind::kString) {
        size = stringLength(body, size);
    }
    return settings.set(which, body, size);
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
    if (which < kSettingCount && value != nullptr &&
        setFromAtom(which, value->type, value + 1, value->size)) {
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

void DspSettings::writeAnswers(LV2_Atom_Sequence& notify, std::uint32_t capacity,
                               std::int64_t time) {
    for (std::uint32_t which = 0; which < kSettingCount && answerPending != 0; ++which) {
        const std::uint32_t bit = 1u << which;
        if ((answerPending & bit) == 0) {
            continue;
        }
        const SettingSpec& spec = kSettings[which];
        const std::uint32_t valueRoom = spec.capacity + 1; // a string's terminator
        // The event: its header, the object's body, the property and value entries.
        const std::uint32_t most = static_cast<std::uint32_t>(
            sizeof(LV2_Atom_Event) + sizeof(LV2_Atom_Object_Body) +
            2 * sizeof(LV2_Atom_Property_Body) + lv2_atom_pad_size(sizeof(LV2_URID)) +
            lv2_atom_pad_size(valueRoom));
        if (sizeof(LV2_Atom) + notify.atom.size + most > capacity) {
            return; // the rest go in the next block, in the same order
        }
        answerPending &= ~bit;
        bool present = false;
        auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<std::uint8_t*>(&notify) +
                                                        sizeof(LV2_Atom) + notify.atom.size);
        auto* object = reinterpret_cast<LV2_Atom_Object*>(&event->body);
        auto* key = reinterpret_cast<LV2_Atom_Property_Body*>(object + 1);
        auto* keyValue = reinterpret_cast<LV2_URID*>(key + 1);
        auto* entry = reinterpret_cast<LV2_Atom_Property_Body*>(
            reinterpret_cast<std::uint8_t*>(keyValue) + lv2_atom_pad_size(sizeof(LV2_URID)));
        auto* body = reinterpret_cast<std::uint8_t*>(entry + 1);
        std::uint32_t size = settings.get(which, body, spec.capacity, &present);
        if (!present) {
            continue; // nothing to say of a setting with no value
        }
        if (spec.kind == SettingKind::kString) {
            body[size++] = '\0';
        }
        std::memset(body + size, 0, lv2_atom_pad_size(size) - size);
        *key = LV2_Atom_Property_Body{urids.patchProperty, 0, {sizeof(LV2_URID), urids.atomUrid}};
        *keyValue = urids.settings[which];
        std::memset(keyValue + 1, 0, lv2_atom_pad_size(sizeof(LV2_URID)) - sizeof(LV2_URID));
        *entry = LV2_Atom_Property_Body{urids.patchValue, 0, {size, urids.typeOf(spec.kind)}};
        object->body.id = 0;
        object->body.otype = urids.patchSet;
        object->atom.type = urids.atomObject;
        object->atom.size = static_cast<std::uint32_t>(
            sizeof(LV2_Atom_Object_Body) + 2 * sizeof(LV2_Atom_Property_Body) +
            lv2_atom_pad_size(sizeof(LV2_URID)) + lv2_atom_pad_size(size));
        event->time.frames = time;
        notify.atom.size += lv2_atom_pad_size(sizeof(LV2_Atom_Event) + object->atom.size);
    }
}

LV2_State_Status DspSettings::save(LV2_State_Store_Function store, LV2_State_Handle handle) const {
    std::vector<std::uint8_t> value(largestSettingValue() + 1);
    for (std::uint32_t which = 0; which < kSettingCount; ++which) {
        bool present = false;
        std::uint32_t size = settings.get(which, value.data(), kSettings[which].capacity, &present);
        if (!present) {
            continue;
        }
        if (kSettings[which].kind == SettingKind::kString) {
            value[size++] = 0; // a saved string keeps its terminator
        }
        const LV2_State_Status status =
            store(handle, urids.settings[which], value.data(), size,
                  urids.typeOf(kSettings[which].kind), LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        if (status != LV2_STATE_SUCCESS) {
            return status;
        }
    }
    return LV2_STATE_SUCCESS;
}

LV2_State_Status DspSettings::restore(LV2_State_Retrieve_Function retrieve,
                                      LV2_State_Handle handle) {
    std::uint32_t restored = 0;
    for (std::uint32_t which = 0; which < kSettingCount; ++which) {
        std::size_t size = 0;
        std::uint32_t type = 0;
        std::uint32_t flags = 0;
        const void* value = retrieve(handle, urids.settings[which], &size, &type, &flags);
        // Why a value that does not fit clears the setting: a restore means "become this
        // state", and a default is closer to it than what was there before.
        if (value == nullptr || size > 0xFFFFFFFFu ||
            !setFromAtom(which, type, value, static_cast<std::uint32_t>(size))) {
            settings.clear(which);
        }
        restored |= 1u << which;
    }
    restoredBits.fetch_or(restored, std::memory_order_release);
    return LV2_STATE_SUCCESS;
}

} // namespace vex::lv2

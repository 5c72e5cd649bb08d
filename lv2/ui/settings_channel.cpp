#include "lv2/ui/settings_channel.h"

#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/patch_entries.h"
#include "lv2/common/setting_atoms.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>

#include <algorithm>
#include <cstring>

namespace vex::lv2 {

SettingsChannel::SettingsChannel(LV2_URID_Map& hostMap, const Urids& uiUrids,
                                 LV2UI_Write_Function writeFunction,
                                 LV2UI_Controller hostController)
    : write(writeFunction), controller(hostController), urids(uiUrids) {
    lv2_atom_forge_init(&forge, &hostMap);
}

bool SettingsChannel::send(std::uint32_t which, const void* data, std::uint32_t size) {
    if (which >= kSettingCount || (size > 0 && data == nullptr) ||
        !settingSizeFits(kSettings[which].kind, kSettings[which].capacity, size)) {
        return false;
    }
    // The message: the object's header and body, two property entries, the URID, the value
    // and a string's terminator.
    std::vector<std::uint64_t> buffer(
        (sizeof(LV2_Atom_Object) + 2 * sizeof(LV2_Atom_Property_Body) + 8 + size + 1 + 7) / 8 + 1);
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer.data()),
                              buffer.size() * sizeof(std::uint64_t));
    forgeSetting(forge, urids, which, data, size);
    const auto* object = reinterpret_cast<const LV2_Atom*>(buffer.data());
    write(controller, kPortControl, static_cast<std::uint32_t>(sizeof(LV2_Atom) + object->size),
          urids.eventTransfer, object);
    return true;
}

bool SettingsChannel::take(const LV2_Atom& atom, std::uint32_t size, std::uint32_t& which,
                           std::vector<std::uint8_t>& value) const {
    if (atom.type != urids.atomObject || size < sizeof(LV2_Atom_Object) ||
        atom.size > size - sizeof(LV2_Atom) || atom.size < sizeof(LV2_Atom_Object_Body)) {
        return false;
    }
    const auto& object = reinterpret_cast<const LV2_Atom_Object&>(atom);
    if (object.body.otype != urids.patchSet) {
        return false;
    }
    const LV2_Atom* property = nullptr;
    const LV2_Atom* entry = nullptr;
    if (!findPatchEntries(object, urids.patchProperty, urids.patchValue, property, entry)) {
        return false;
    }
    which = urids.settingOf(property);
    if (which == kSettingCount || entry == nullptr) {
        return false;
    }
    const SettingKind kind = kSettings[which].kind;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(entry + 1);
    std::int32_t choice = 0;
    if (kind == SettingKind::kChoice &&
        choiceFromAtom(urids, entry->type, bytes, entry->size, kSettings[which].most, choice)) {
        const auto* chosen = reinterpret_cast<const std::uint8_t*>(&choice);
        value.assign(chosen, chosen + sizeof choice);
        return true;
    }
    if (kind == SettingKind::kChoice || entry->type != urids.typeOf(kind)) {
        return false;
    }
    std::uint32_t length = entry->size;
    if (kind == SettingKind::kString) {
        const void* terminator = std::memchr(bytes, 0, length);
        if (terminator != nullptr) {
            length =
                static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(terminator) - bytes);
        }
    }
    if (!settingSizeFits(kind, kSettings[which].capacity, length)) {
        return false;
    }
    value.assign(bytes, bytes + length);
    return true;
}

} // namespace vex::lv2

// The property and value entries of a patch message, found by a walk that checks every
// entry lies inside the object: a message may come from a UI in another process, and LV2's
// own walk (lv2_atom_object_get) trusts each entry's size. Any thread; no allocation.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace vex::lv2 {

// Sets `property` and `value` to the entries of `object` under the keys `propertyKey` and
// `valueKey` (null where there is none). False, with both null, when an entry runs past the
// end of the object (whose atom.size the caller has checked against its buffer).
inline bool findPatchEntries(const LV2_Atom_Object& object, LV2_URID propertyKey, LV2_URID valueKey,
                             const LV2_Atom*& property, const LV2_Atom*& value) {
    property = nullptr;
    value = nullptr;
    const auto* begin = reinterpret_cast<const std::uint8_t*>(&object.body);
    const std::uint8_t* end = begin + object.atom.size;
    const std::uint8_t* at = begin + sizeof(LV2_Atom_Object_Body);
    while (at < end && static_cast<std::size_t>(end - at) >= sizeof(LV2_Atom_Property_Body)) {
        const auto* entry = reinterpret_cast<const LV2_Atom_Property_Body*>(at);
        const std::size_t room = static_cast<std::size_t>(end - at) - sizeof(*entry);
        if (entry->value.size > room) {
            property = nullptr;
            value = nullptr;
            return false;
        }
        if (entry->key == propertyKey) {
            property = &entry->value;
        } else if (entry->key == valueKey) {
            value = &entry->value;
        }
        // Why the least of the two: the object may end inside the last value's padding.
        at += std::min<std::size_t>(
            lv2_atom_pad_size(static_cast<std::uint32_t>(sizeof(*entry) + entry->value.size)),
            static_cast<std::size_t>(end - at));
    }
    return true;
}

} // namespace vex::lv2

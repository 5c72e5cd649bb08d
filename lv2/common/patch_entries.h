// The entries of an object, found by LV2's walk over its properties with every entry
// checked to lie inside the object: a message may come from a UI in another process, and
// LV2's own lookup (lv2_atom_object_get) trusts each entry's size. Any thread; no
// allocation.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/urid/urid.h>

#include <cstddef>
#include <cstdint>

namespace vex::lv2 {

// Sets values[i] to the entry of `object` under keys[i] (null where there is none). False,
// with every value null, when an entry runs past the end of the object (whose atom.size
// the caller has checked against its buffer).
template <std::size_t N>
bool findEntries(const LV2_Atom_Object& object, const LV2_URID (&keys)[N],
                 const LV2_Atom* (&values)[N]) {
    for (const LV2_Atom*& value : values) {
        value = nullptr;
    }
    const auto* end = reinterpret_cast<const std::uint8_t*>(&object.body) + object.atom.size;
    for (const LV2_Atom_Property_Body* entry = lv2_atom_object_begin(&object.body);
         !lv2_atom_object_is_end(&object.body, object.atom.size, entry);
         entry = lv2_atom_object_next(entry)) {
        const auto room =
            static_cast<std::size_t>(end - reinterpret_cast<const std::uint8_t*>(entry));
        if (room < sizeof(*entry) || entry->value.size > room - sizeof(*entry)) {
            for (const LV2_Atom*& value : values) {
                value = nullptr;
            }
            return false;
        }
        for (std::size_t i = 0; i < N; ++i) {
            if (entry->key == keys[i]) {
                values[i] = &entry->value;
            }
        }
    }
    return true;
}

// The patch:property and patch:value entries of a patch message (see findEntries).
inline bool findPatchEntries(const LV2_Atom_Object& object, LV2_URID propertyKey, LV2_URID valueKey,
                             const LV2_Atom*& property, const LV2_Atom*& value) {
    const LV2_URID keys[] = {propertyKey, valueKey};
    const LV2_Atom* found[2] = {};
    const bool whole = findEntries(object, keys, found);
    property = found[0];
    value = found[1];
    return whole;
}

} // namespace vex::lv2

#include "lv2/dsp/settings_store.h"

#include "host/kit/seqlock.h"

#include <cmath>
#include <cstring>

namespace vex::lv2 {

namespace {

// Whether `size` bytes are UTF-8 text without control characters: what a label drawn by
// any UI of the plug-in may hold.
bool printableUtf8(const std::uint8_t* text, std::uint32_t size) {
    for (std::uint32_t i = 0; i < size;) {
        const std::uint8_t lead = text[i];
        std::uint32_t more = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (size - i - 1 < more) {
            return false;
        }
        for (std::uint32_t k = 1; k <= more; ++k) {
            if ((text[i + k] & 0xC0u) != 0x80u) {
                return false;
            }
            code = (code << 6) | (text[i + k] & 0x3Fu);
        }
        const bool overlong = (more == 2 && code < 0x800) || (more == 3 && code < 0x10000);
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        if (overlong || surrogate || code > 0x10FFFF || code < 0x20 || code == 0x7F ||
            (code >= 0x80 && code < 0xA0)) {
            return false;
        }
        i += 1 + more;
    }
    return true;
}

} // namespace

SettingsStore::SettingsStore(const SettingSpec* settingSpecs, std::uint32_t count)
    : specs(settingSpecs), settingCount(count), slots(std::make_unique<Slot[]>(count)) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t words = 1 + host::seqlockWords(specs[i].capacity);
        slots[i].words = std::make_unique<std::atomic<std::uint32_t>[]>(words);
        for (std::size_t w = 0; w < words; ++w) {
            slots[i].words[w].store(0, std::memory_order_relaxed);
        }
    }
}

bool SettingsStore::set(std::uint32_t which, const void* data, std::uint32_t size) {
    if (which >= settingCount || (size > 0 && data == nullptr)) {
        return false;
    }
    const SettingSpec& setting = specs[which];
    if (!settingSizeFits(setting.kind, setting.capacity, size)) {
        return false;
    }
    if (setting.kind == SettingKind::kString &&
        !printableUtf8(static_cast<const std::uint8_t*>(data), size)) {
        return false;
    }
    if (setting.kind == SettingKind::kFloat) {
        float value;
        std::memcpy(&value, data, sizeof value);
        if (!std::isfinite(value)) {
            return false;
        }
    }
    Slot& slot = slots[which];
    // Why not seqlockWriteSized: the length word also carries the presence flag.
    const std::uint32_t start = host::detail::beginWrite(slot.sequence);
    slot.words[0].store(size | kPresent, std::memory_order_relaxed);
    host::detail::storeWords(slot.words.get() + 1, data, size);
    slot.sequence.store((start | 1u) + 1u, std::memory_order_release);
    return true;
}

void SettingsStore::clear(std::uint32_t which) {
    if (which < settingCount) {
        host::seqlockWriteSized(slots[which].sequence, slots[which].words.get(), nullptr, 0);
    }
}

std::uint32_t SettingsStore::get(std::uint32_t which, void* out, std::uint32_t capacity,
                                 bool* present) const {
    if (present != nullptr) {
        *present = false;
    }
    if (which >= settingCount) {
        return 0;
    }
    const Slot& slot = slots[which];
    const std::uint32_t room = capacity < specs[which].capacity ? capacity : specs[which].capacity;
    std::uint32_t length = 0;
    // Why a loop: the writer is one audio thread storing a few words, so a torn copy is
    // rare and the next one whole.
    while (!host::seqlockReadSized(slot.sequence, slot.words.get(), out, room, length)) {
    }
    if ((length & kPresent) == 0) {
        return 0;
    }
    if (present != nullptr) {
        *present = true;
    }
    length &= ~kPresent;
    return length < room ? length : room;
}

bool SettingsStore::has(std::uint32_t which) const {
    bool present = false;
    std::uint8_t none;
    get(which, &none, 0, &present);
    return present;
}

} // namespace vex::lv2

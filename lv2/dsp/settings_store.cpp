#include "lv2/dsp/settings_store.h"

#include "host/kit/seqlock.h"
#include "host/kit/utf8.h"

#include <cmath>
#include <cstring>
#include <string_view>

namespace vex::lv2 {

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

bool SettingsStore::accepts(std::uint32_t which, const void* data, std::uint32_t size) const {
    if (which >= settingCount || (size > 0 && data == nullptr)) {
        return false;
    }
    const SettingSpec& setting = specs[which];
    if (!settingSizeFits(setting.kind, setting.capacity, size)) {
        return false;
    }
    if (setting.kind == SettingKind::kString) {
        return host::utf8::isPrintable(std::string_view(static_cast<const char*>(data), size));
    }
    if (setting.kind == SettingKind::kFloat) {
        float value;
        std::memcpy(&value, data, sizeof value);
        return std::isfinite(value);
    }
    if (setting.kind == SettingKind::kChoice) {
        std::int32_t value;
        std::memcpy(&value, data, sizeof value);
        return value >= 0 && value <= setting.most;
    }
    return true;
}

bool SettingsStore::set(std::uint32_t which, const void* data, std::uint32_t size) {
    if (!accepts(which, data, size)) {
        return false;
    }
    Slot& slot = slots[which];
    // Why the presence flag in the length word: see kPresent.
    host::seqlockWriteHeaded(slot.sequence, slot.words.get(), size | kPresent, data, size);
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

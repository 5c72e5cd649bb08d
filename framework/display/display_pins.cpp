#include "framework/display/display_pins.h"

#include "framework/display/wide_number.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <cwchar>
#include <stdlib.h>
#endif

namespace vex {

namespace {

// Text of `size` bytes: size / 2 UTF-16 code units, no terminator expected. Why memcpy:
// the host's bytes need not be aligned for MpChar.
MpString textFromBytes(std::int32_t size, const void* data) {
    MpString text(static_cast<std::size_t>(size / 2), MpChar(0));
    if (!text.empty()) {
        std::memcpy(&text[0], data, text.size() * sizeof(MpChar));
    }
    return text;
}

bool sameBytes(const void* a, const void* b, std::int32_t size) {
    return size == 0 || std::memcmp(a, b, static_cast<std::size_t>(size)) == 0;
}

std::int32_t textSize(const MpString& text) {
    return static_cast<std::int32_t>(text.size() * sizeof(MpChar));
}

// Stores the text of `size` bytes in `text`; answers whether it differed.
bool replaceText(MpString& text, std::int32_t size, const void* data) {
    if (size == textSize(text) && sameBytes(text.data(), data, size)) {
        return false;
    }
    text = textFromBytes(size, data);
    return true;
}

// Why: the host may write 4-byte values with any alignment.
std::uint32_t readWord(const void* data) {
    std::uint32_t word = 0;
    std::memcpy(&word, data, sizeof(word));
    return word;
}

// Stores a 4-byte value; other sizes are ignored. Answers whether the bits changed.
template <typename T> bool setWord(T& value, std::int32_t size, const void* data) {
    static_assert(sizeof(T) == 4, "4-byte values");
    if (size != 4 || data == nullptr) {
        return false;
    }
    const std::uint32_t incoming = readWord(data);
    if (std::memcmp(&value, &incoming, 4) == 0) {
        return false;
    }
    std::memcpy(&value, &incoming, 4);
    return true;
}

// The runtime's decimal conversions: the C runtime's own on Windows, our UTF-16
// equivalents where wchar_t is 32 bits wide.
std::uint32_t toUnsignedLong(const MpChar* text) {
#ifdef _WIN32
    return static_cast<std::uint32_t>(std::wcstoul(text, nullptr, 10));
#else
    return wideToUnsignedLong(text);
#endif
}

std::int32_t toInt(const MpChar* text) {
#ifdef _WIN32
    return _wtoi(text);
#else
    return wideToInt(text);
#endif
}

// Position of the first `c` at or after `from` in the null-terminated `text`, or -1.
std::ptrdiff_t findFrom(const MpChar* text, std::ptrdiff_t from, MpChar c) {
    for (const MpChar* p = text + from; *p != 0; ++p) {
        if (*p == c) {
            return p - text;
        }
    }
    return -1;
}

bool startsWith(const MpChar* text, std::size_t length, const MpChar* prefix) {
    std::size_t n = 0;
    while (prefix[n] != 0) {
        ++n;
    }
    return length >= n && std::equal(prefix, prefix + n, text);
}

// Reads `count` numbers of "NAME(n1,n2,...,nk)": each by _wtoi rules right after '(' or the
// previous ','; each but the last followed by a ',' and the last by a ')', searched after
// the previous separator. Each clamped to 0..255. False when a separator is missing.
bool readComponents(const MpChar* text, std::int32_t count, std::uint32_t* out) {
    std::ptrdiff_t separator = findFrom(text, 0, MpChar('('));
    if (separator < 0) {
        return false;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t value = toInt(text + separator + 1);
        out[i] = static_cast<std::uint32_t>(std::clamp(value, 0, 255));
        const MpChar expected = MpChar(i + 1 < count ? ',' : ')');
        separator = findFrom(text, separator + 1, expected);
        if (separator < 0) {
            return false;
        }
    }
    return true;
}

} // namespace

void DisplayPin::notify(std::int32_t voice) {
    if (module == nullptr) {
        return;
    }
    if (callback.perVoice != nullptr) {
        (module->*callback.perVoice)(voice);
    } else if (callback.plain != nullptr) {
        (module->*callback.plain)();
    }
}

void DisplayPin::bind(DisplayModuleBase* owner, std::int32_t pinId, PinCallback onChange) {
    id = pinId;
    module = owner;
    callback = onChange;
    if (module != nullptr) {
        module->registerPin(id, this);
    }
}

void DisplayPin::sendToHost(std::int32_t size, const void* data) const {
    if (module != nullptr) {
        module->getHost()->setPin(id, size, data, 0);
    }
}

void SingleValuePin::bind(DisplayModuleBase* owner, std::int32_t pinId, PinCallback onChange) {
    resetValue();
    DisplayPin::bind(owner, pinId, onChange);
}

void PerVoicePin::notify(std::int32_t voice) {
    // Why: a callback indexes the module's own per-voice state with the voice, so a voice
    // without storage must not reach it.
    if (validVoice(voice)) {
        DisplayPin::notify(voice);
    }
}

bool IntPin::setRaw(std::int32_t, std::int32_t size, const void* data) {
    return setWord(value, size, data);
}

void IntPin::write(std::int32_t newValue) {
    if (newValue == value) {
        return;
    }
    value = newValue;
    sendToHost(sizeof(value), &value);
}

bool FloatPin::setRaw(std::int32_t, std::int32_t size, const void* data) {
    return setWord(value, size, data);
}

bool BoolPin::setRaw(std::int32_t, std::int32_t size, const void* data) {
    // Why size 0 is ignored: there is no first byte to store.
    if (size <= 0 || data == nullptr) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size == 1 && bytes[0] == value) {
        return false;
    }
    if (size == 4) {
        value = readWord(data) != 0 ? 1 : 0;
        return true;
    }
    value = bytes[0];
    return true;
}

bool TextPin::setRaw(std::int32_t, std::int32_t size, const void* data) {
    if (!acceptable(size, data)) {
        return false;
    }
    return replaceText(text, size, data);
}

std::int32_t TextPin::valueSize() const {
    return textSize(text);
}

void TextPin::write(const MpString& newText) {
    if (newText == text) {
        return;
    }
    text = newText;
    sendToHost(textSize(text), text.data());
}

bool ColourPin::setRaw(std::int32_t, std::int32_t size, const void* data) {
    if (!acceptable(size, data)) {
        return false;
    }
    // Why unchanged text returns at once: a colour the host sends again keeps the colour
    // it gave the first time instead of switching it off.
    if (!replaceText(text, size, data)) {
        return false;
    }
    none = text.empty() || !parse();
    return true;
}

std::int32_t ColourPin::valueSize() const {
    return textSize(text);
}

bool ColourPin::parse() {
    // The standard conversions stop at a terminator, so the whole parse reads the text as
    // the null-terminated string they see.
    const MpChar* s = text.c_str();
    std::size_t length = 0;
    while (s[length] != 0) {
        ++length;
    }
    if (length > 2 && s[0] == MpChar('0') && s[1] == MpChar('x')) {
        // Every hexadecimal digit shifts in; everything else (the 'x' too) is skipped, and
        // the value keeps its low 32 bits.
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < length; ++i) {
            const MpChar c = s[i];
            std::uint32_t digit = 0;
            if (c >= MpChar('0') && c <= MpChar('9')) {
                digit = static_cast<std::uint32_t>(c - MpChar('0'));
            } else if (c >= MpChar('a') && c <= MpChar('f')) {
                digit = static_cast<std::uint32_t>(c - MpChar('a') + 10);
            } else if (c >= MpChar('A') && c <= MpChar('F')) {
                digit = static_cast<std::uint32_t>(c - MpChar('A') + 10);
            } else {
                continue;
            }
            value = (value << 4) + digit;
        }
        argb = value;
        return true;
    }
    if (length > 0 && s[0] >= MpChar('0') && s[0] <= MpChar('9')) {
        const std::uint32_t value = toUnsignedLong(s);
        if (value == 0) {
            return false;
        }
        argb = value;
        return true;
    }
    std::uint32_t c[4] = {};
    if (length > 4 && startsWith(s, length, MP_TEXT("RGB("))) {
        if (!readComponents(s, 3, c)) {
            return false;
        }
        argb = (0xFFu << 24) | (c[0] << 16) | (c[1] << 8) | c[2];
        return true;
    }
    if (length > 5 && startsWith(s, length, MP_TEXT("ARGB("))) {
        if (!readComponents(s, 4, c)) {
            return false;
        }
        argb = (c[0] << 24) | (c[1] << 16) | (c[2] << 8) | c[3];
        return true;
    }
    return false;
}

bool PerVoiceFloatPin::setVoice(std::int32_t voice, std::int32_t size, const void* data) {
    if (!validVoice(voice)) {
        return false;
    }
    return setWord(values[static_cast<std::size_t>(voice)], size, data);
}

std::int32_t PerVoiceFloatPin::voiceSize(std::int32_t voice) const {
    return validVoice(voice) ? static_cast<std::int32_t>(sizeof(float)) : 0;
}

const void* PerVoiceFloatPin::voicePointer(std::int32_t voice) const {
    return validVoice(voice) ? &values[static_cast<std::size_t>(voice)] : nullptr;
}

float PerVoiceFloatPin::getValue(std::int32_t voice) const {
    return validVoice(voice) ? values[static_cast<std::size_t>(voice)] : 0.0f;
}

bool PerVoiceBlobPin::setVoice(std::int32_t voice, std::int32_t size, const void* data) {
    if (!validVoice(voice) || !acceptable(size, data)) {
        return false;
    }
    Blob& blob = blobs[static_cast<std::size_t>(voice)];
    if (size == blob.size && sameBytes(blob.bytes.get(), data, size)) {
        return false;
    }
    if (size != blob.size) {
        // Why allocate before freeing: a failed allocation leaves the old value whole.
        std::unique_ptr<std::uint8_t[]> fresh;
        if (size > 0) {
            fresh.reset(new std::uint8_t[static_cast<std::size_t>(size)]);
        }
        blob.bytes = std::move(fresh);
        blob.size = size;
    }
    if (size > 0) {
        std::memcpy(blob.bytes.get(), data, static_cast<std::size_t>(size));
    }
    return true;
}

std::int32_t PerVoiceBlobPin::voiceSize(std::int32_t voice) const {
    return validVoice(voice) ? blobs[static_cast<std::size_t>(voice)].size : 0;
}

const void* PerVoiceBlobPin::voicePointer(std::int32_t voice) const {
    return validVoice(voice) ? blobs[static_cast<std::size_t>(voice)].bytes.get() : nullptr;
}

} // namespace vex

// UTF-8 text as the hosts take it from users, files, the plug-in's state and a group's
// shared memory: one set of rules for what is a character, where text may be cut, and how
// it reaches the drawing stand-in as UTF-16. Well-formed means RFC 3629: shortest forms
// only, no surrogates, nothing above U+10FFFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vex::host::utf8 {

// What decode() answers for a byte that starts no well-formed character.
inline constexpr char32_t kInvalid = 0xFFFFFFFFu;

// The character starting at text[at], and in `length` how many bytes it takes (1 for an
// invalid byte, so that a reader always moves on).
inline char32_t decode(std::string_view text, std::size_t at, std::size_t& length) {
    length = 1;
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return lead;
    }
    std::size_t more = 0;
    char32_t code = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        code = lead & 0x1Fu;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        code = lead & 0x0Fu;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        code = lead & 0x07u;
        lowest = 0x10000;
    } else {
        return kInvalid;
    }
    if (text.size() - at - 1 < more) {
        return kInvalid;
    }
    for (std::size_t k = 1; k <= more; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0u) != 0x80u) {
            return kInvalid;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return kInvalid;
    }
    length = more + 1;
    return code;
}

// A character a label may hold: no C0 or C1 control, no DEL.
inline bool printable(char32_t code) {
    return code != kInvalid && code >= 0x20 && !(code >= 0x7F && code <= 0x9F);
}

// Whether all of `text` is well-formed UTF-8 of printable characters.
inline bool isPrintable(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 0;
        if (!printable(decode(text, at, length))) {
            return false;
        }
        at += length;
    }
    return true;
}

// The longest start of `text` that is printable UTF-8 and at most `maxBytes` long: it
// stops before the first byte that is not, and never splits a character.
inline std::string printablePrefix(std::string_view text, std::size_t maxBytes) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 0;
        if (!printable(decode(text, at, length)) || at + length > maxBytes) {
            break;
        }
        at += length;
    }
    return std::string(text.substr(0, at));
}

// Removes the last character of well-formed `text` (Backspace), however many bytes it has.
inline void eraseLast(std::string& text) {
    std::size_t at = text.size();
    while (at > 0 && (static_cast<unsigned char>(text[at - 1]) & 0xC0u) == 0x80u) {
        --at;
    }
    text.resize(at > 0 ? at - 1 : 0);
}

// `text` as UTF-16 for the drawing stand-in: characters above U+FFFF as surrogate pairs,
// an invalid byte as U+FFFD.
inline std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 0;
        char32_t code = decode(text, at, length);
        at += length;
        if (code == kInvalid) {
            code = 0xFFFD;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FFu)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

} // namespace vex::host::utf8

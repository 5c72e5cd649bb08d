// Every interface identifier the code uses, against its text form typed here from the
// interface tables. The bytes are derived from the text by the usual GUID layout (the
// first three groups little-endian, the last two in order), never from the constants.
#include "framework/audio/audio_module_interface.h"
#include "framework/audio/factory_interface.h"
#include "framework/audio/host_audio_interface.h"
#include "framework/display/display_module_interfaces.h"
#include "framework/display/host_display_interfaces.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace vex {
namespace {

using GuidBytes = std::array<unsigned char, 16>;

unsigned hexValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    ADD_FAILURE() << "not a hex digit: " << c;
    return 0;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" to the 16 bytes a GUID holds in memory.
GuidBytes bytesOfText(const std::string& text) {
    EXPECT_EQ(text.size(), 38u) << text;
    std::string hex;
    for (char c : text)
        if (c != '{' && c != '}' && c != '-')
            hex += c;
    EXPECT_EQ(hex.size(), 32u) << text;
    std::array<unsigned char, 16> inTextOrder{};
    for (std::size_t i = 0; i < 16 && 2 * i + 1 < hex.size(); ++i)
        inTextOrder[i] =
            static_cast<unsigned char>(hexValue(hex[2 * i]) * 16 + hexValue(hex[2 * i + 1]));
    // Little-endian fields: 4 bytes, 2 bytes, 2 bytes; then 8 bytes as written.
    static constexpr int memoryOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    GuidBytes bytes{};
    for (int i = 0; i < 16; ++i)
        bytes[i] = inTextOrder[memoryOrder[i]];
    return bytes;
}

GuidBytes bytesOf(const MpGuid& id) {
    GuidBytes bytes{};
    std::memcpy(bytes.data(), &id, sizeof id);
    return bytes;
}

TEST(InterfaceIds, EveryConstantHoldsTheBytesOfItsTextForm) {
    struct Expected {
        const char* name;
        const char* text;
        const MpGuid& id;
    };
    const Expected table[] = {
        {"unknown", "{00000000-0000-C000-0000-000000000046}", kUnknownInterfaceId},
        {"FactoryInterface", "{9A7904B7-7F7F-4D61-B558-C1A6695BB638}", kFactoryInterfaceId},
        {"AudioModuleInterface", "{2B0DFC7E-A539-49CD-B72D-32FF9DF0D9E4}", kAudioModuleInterfaceId},
        {"HostAudioInterface", "{4F1B532F-3C46-4927-A498-614867425BE7}", kHostAudioInterfaceId},
        {"DisplayModuleInterface", "{CACB3203-4A57-4209-9E00-0C4B950457F6}",
         kDisplayModuleInterfaceId},
        {"DrawingInterface", "{0157347B-3FD3-4CEE-947E-88F694349254}", kDrawingInterfaceId},
        {"WindowInterface", "{76FAC807-0C89-465D-9FAF-49B12D964118}", kWindowInterfaceId},
        {"HostDisplayInterface", "{174F9DDC-1850-40DB-BAF0-E0B41D079645}", kHostDisplayInterfaceId},
        {"HostDrawingInterface", "{2A3F4D28-52C5-4A31-BF85-B79853265F65}", kHostDrawingInterfaceId},
        {"HostWindowInterface", "{E52FAA41-42C3-40A6-A11A-E69DB335CE50}", kHostWindowInterfaceId},
        {"HostWindowInterface2", "{B1EFF8C9-9ADC-450B-BCD6-D359CFDC8275}", kHostWindowInterface2Id},
    };
    for (const Expected& entry : table)
        EXPECT_EQ(bytesOf(entry.id), bytesOfText(entry.text)) << entry.name;
}

TEST(InterfaceIds, TheUnknownIdentifierHasItsStatedMemoryBytes) {
    // Stated byte by byte beside the text form, which is not COM's.
    const GuidBytes stated = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0,
                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(bytesOfText("{00000000-0000-C000-0000-000000000046}"), stated);
    EXPECT_EQ(bytesOf(kUnknownInterfaceId), stated);
}

} // namespace
} // namespace vex

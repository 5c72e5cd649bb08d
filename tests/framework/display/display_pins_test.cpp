// Display pins as the host drives them: setPin, then notifyPin, through the ABI.
#include "framework/audio/module_factory.h"
#include "tests/framework/display/test_display.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace vex::test {
namespace {

class DisplayPinsTest : public ::testing::Test {
protected:
    void SetUp() override {
        factory.registerDisplayClass(kTestDisplayId, &createDisplayModule<TestDisplay>);
        void* out = nullptr;
        ASSERT_EQ(factory.createObject(kTestDisplayId, kDisplaySide, host.hostPointer(), &out),
                  kMpOk);
        module = static_cast<DisplayModuleInterface*>(out);
        display = static_cast<TestDisplay*>(module);
    }
    void TearDown() override {
        if (module != nullptr) {
            EXPECT_EQ(module->release(), 0);
        }
        EXPECT_EQ(TestDisplay::live, 0);
    }

    std::int32_t setInt(std::int32_t pinId, std::int32_t value) {
        return module->setPin(pinId, 0, sizeof(value), &value);
    }
    std::int32_t setText(std::int32_t pinId, const MpString& text) {
        return module->setPin(pinId, 0, static_cast<std::int32_t>(text.size() * sizeof(MpChar)),
                              text.data());
    }
    // Delivers `text` to the colour pin and announces it; answers whether the text changed.
    bool colour(const MpString& text) {
        const bool changed = display->colour.setRaw(
            0, static_cast<std::int32_t>(text.size() * sizeof(MpChar)), text.data());
        module->notifyPin(5, 0);
        return changed;
    }

    ModuleFactory factory;
    host::RecordingHost host;
    DisplayModuleInterface* module = nullptr;
    TestDisplay* display = nullptr;
};

TEST_F(DisplayPinsTest, ValuesArriveWithoutCallbackUntilNotified) {
    EXPECT_EQ(setInt(1, 3), kMpOk);
    EXPECT_EQ(display->mode.getValue(), 3);
    EXPECT_TRUE(display->modeValues.empty());
    EXPECT_EQ(module->notifyPin(1, 0), kMpOk);
    ASSERT_EQ(display->modeValues, std::vector<std::int32_t>{3});

    // The same value again: setPin still answers 0 and the notification still runs.
    const std::int32_t three = 3;
    EXPECT_FALSE(display->mode.setRaw(0, 4, &three));
    EXPECT_EQ(setInt(1, 3), kMpOk);
    EXPECT_EQ(module->notifyPin(1, 7), kMpOk);
    EXPECT_EQ(display->modeValues, (std::vector<std::int32_t>{3, 3}));

    // The registry kept the first pin bound under id 1.
    EXPECT_EQ(display->getPin(1), static_cast<DisplayPin*>(&display->mode));
    EXPECT_EQ(display->shadow.getId(), 1);
    EXPECT_EQ(display->shadowCalls, 0);

    // Unregistered ids answer -1 and change nothing; a pin without callback is still fine.
    EXPECT_EQ(setInt(8, 1), kMpFail);
    EXPECT_EQ(setInt(-1, 1), kMpFail);
    EXPECT_EQ(module->notifyPin(8, 0), kMpFail);
    EXPECT_EQ(module->notifyPin(2, 0), kMpOk);
    // A callback that raises an error answers -1 instead of letting it cross the boundary.
    EXPECT_EQ(module->notifyPin(7, 0), kMpFail);

    EXPECT_EQ(display->frames.typeCode(), 10);
    EXPECT_EQ(display->mode.typeCode(), 8);
    EXPECT_EQ(display->level.typeCode(), 6);
    EXPECT_EQ(display->flag.typeCode(), 4);
    EXPECT_EQ(display->label.typeCode(), 1);
    EXPECT_EQ(display->colour.typeCode(), 1);
    EXPECT_EQ(display->gains.typeCode(), 6);
}

TEST_F(DisplayPinsTest, WordValuesTakeExactlyFourBytesAndFloatsCompareByBits) {
    const std::uint8_t wide[8] = {1, 0, 0, 0, 9, 9, 9, 9};
    EXPECT_FALSE(display->mode.setRaw(0, 8, wide));
    EXPECT_FALSE(display->mode.setRaw(0, 2, wide));
    EXPECT_FALSE(display->mode.setRaw(0, -4, wide));
    EXPECT_FALSE(display->mode.setRaw(0, 4, nullptr));
    EXPECT_EQ(display->mode.getValue(), 0);
    // Unaligned bytes are fine.
    std::uint8_t buffer[8] = {};
    const std::int32_t seven = 7;
    std::memcpy(buffer + 1, &seven, 4);
    EXPECT_TRUE(display->mode.setRaw(0, 4, buffer + 1));
    EXPECT_EQ(display->mode.getValue(), 7);

    const float zero = 0.0f;
    const float negativeZero = -0.0f;
    EXPECT_FALSE(display->level.setRaw(0, 4, &zero));
    EXPECT_TRUE(display->level.setRaw(0, 4, &negativeZero));
    EXPECT_TRUE(std::signbit(display->level.getValue()));
    EXPECT_FALSE(display->level.setRaw(0, 4, &negativeZero));
    const double wider = 2.0;
    EXPECT_FALSE(display->level.setRaw(0, 8, &wider));
    EXPECT_EQ(display->level.valueSize(), 4);
}

TEST_F(DisplayPinsTest, BoolsKeepSingleBytesAndReduceFourByteValues) {
    const std::uint8_t seven = 7;
    const std::int32_t fourByteSeven = 7;
    EXPECT_TRUE(display->flag.setRaw(0, 4, &fourByteSeven));
    EXPECT_EQ(display->flag.rawByte(), 1);
    // A 4-byte delivery always counts as a change.
    EXPECT_TRUE(display->flag.setRaw(0, 4, &fourByteSeven));
    EXPECT_TRUE(display->flag.setRaw(0, 1, &seven));
    EXPECT_EQ(display->flag.rawByte(), 7);
    EXPECT_TRUE(display->flag.getValue());
    EXPECT_FALSE(display->flag.setRaw(0, 1, &seven));
    // Size 0 has no byte to store; bad sizes and pointers are ignored.
    EXPECT_FALSE(display->flag.setRaw(0, 0, &seven));
    EXPECT_FALSE(display->flag.setRaw(0, -1, &seven));
    EXPECT_FALSE(display->flag.setRaw(0, 1, nullptr));
    EXPECT_EQ(display->flag.rawByte(), 7);
    const std::uint8_t zeroAndMore[3] = {0, 5, 5};
    EXPECT_TRUE(display->flag.setRaw(0, 3, zeroAndMore));
    EXPECT_FALSE(display->flag.getValue());
    EXPECT_EQ(display->flag.valueSize(), 1);
}

TEST_F(DisplayPinsTest, TextIsUtf16WithoutTerminator) {
    const MpString word = MP_TEXT("Scope \u00e9");
    EXPECT_EQ(setText(4, word), kMpOk);
    EXPECT_EQ(display->label.getValue(), word);
    EXPECT_EQ(display->label.valueSize(), 14);
    EXPECT_FALSE(display->label.setRaw(0, 14, word.data()));
    // An odd byte count takes the whole code units only.
    EXPECT_TRUE(display->label.setRaw(0, 5, word.data()));
    EXPECT_EQ(display->label.getValue(), MP_TEXT("Sc"));
    // Bad input is ignored; an empty text is a value.
    EXPECT_FALSE(display->label.setRaw(0, 4, nullptr));
    EXPECT_FALSE(display->label.setRaw(0, -2, word.data()));
    EXPECT_EQ(display->label.getValue(), MP_TEXT("Sc"));
    EXPECT_TRUE(display->label.setRaw(0, 0, nullptr));
    EXPECT_TRUE(display->label.getValue().empty());
    EXPECT_EQ(display->labelCalls, 0);
}

struct ColourCase {
    const MpChar* text;
    bool noColour;
    std::uint32_t colour; // expected when noColour is false
};

TEST_F(DisplayPinsTest, ColourTextsParseAsTheHostWritesThem) {
    EXPECT_TRUE(display->colour.noColour());
    EXPECT_EQ(display->colour.colour(), 0u);
    const ColourCase cases[] = {
        {MP_TEXT("RGB(300,-5,128)"), false, 0xFFFF0080u},
        {MP_TEXT("ARGB(128,1,2,3)"), false, 0x80010203u},
        {MP_TEXT("0x80FF0000"), false, 0x80FF0000u},
        {MP_TEXT("0xFF0000"), false, 0x00FF0000u},    // no alpha given: alpha 0
        {MP_TEXT("0x1FF0000FF"), false, 0xFF0000FFu}, // low 32 bits kept
        {MP_TEXT("0x12zz34"), false, 0x1234u},        // non-digits skipped
        {MP_TEXT("0xg"), false, 0u},                  // hexadecimal without digits: black
        {MP_TEXT("16711680"), false, 0x00FF0000u},
        {MP_TEXT("255abc"), false, 255u},
        {MP_TEXT("99999999999"), false, 0xFFFFFFFFu}, // saturates like wcstoul
        {MP_TEXT("RGB( 7 , 8,9 )"), false, 0xFF070809u},
        {MP_TEXT("RGB(1 2,3,4)"), false, 0xFF010304u},
        {MP_TEXT("ARGB(-1,256,99999999999,+4)"), false, 0x00FFFF04u},
    };
    for (const ColourCase& c : cases) {
        // Start each case from a known different text so that it counts as a change.
        colour(MP_TEXT("RGB(0,0,1)"));
        EXPECT_TRUE(colour(c.text));
        EXPECT_EQ(display->colour.noColour(), c.noColour) << testing::PrintToString(c.text);
        EXPECT_EQ(display->colour.colour(), c.colour) << testing::PrintToString(c.text);
    }
}

TEST_F(DisplayPinsTest, UnparsableColourTextsSetNoColourAndKeepTheLastColour) {
    const MpChar* failures[] = {
        MP_TEXT("RGB(1,2"), MP_TEXT("RGB(1,2,3"),  MP_TEXT("ARGB(1,2,3)"), MP_TEXT("0"),
        MP_TEXT("0000"),    MP_TEXT("#FF0000"),    MP_TEXT("0XFF"),        MP_TEXT("0x"),
        MP_TEXT("RGB("),    MP_TEXT("rgb(1,2,3)"), MP_TEXT(" RGB(1,2,3)"), MP_TEXT("red"),
    };
    for (const MpChar* text : failures) {
        colour(MP_TEXT("RGB(10,20,30)"));
        ASSERT_FALSE(display->colour.noColour());
        EXPECT_TRUE(colour(text));
        EXPECT_TRUE(display->colour.noColour()) << testing::PrintToString(text);
        EXPECT_EQ(display->colour.colour(), 0xFF0A141Eu) << testing::PrintToString(text);
    }
    // The empty text gives no colour either.
    colour(MP_TEXT("RGB(10,20,30)"));
    EXPECT_TRUE(colour(MP_TEXT("")));
    EXPECT_TRUE(display->colour.noColour());
}

TEST_F(DisplayPinsTest, ColourSentAgainKeepsItsResult) {
    EXPECT_TRUE(colour(MP_TEXT("RGB(1,2,3)")));
    EXPECT_FALSE(colour(MP_TEXT("RGB(1,2,3)")));
    EXPECT_FALSE(display->colour.noColour());
    EXPECT_EQ(display->colour.colour(), 0xFF010203u);
    EXPECT_TRUE(colour(MP_TEXT("none")));
    EXPECT_FALSE(colour(MP_TEXT("none")));
    EXPECT_TRUE(display->colour.noColour());
    EXPECT_EQ(display->colourSeen, (std::vector<std::uint32_t>{0xFF010203u, 0xFF010203u, 0, 0}));
    // Bad input changes nothing.
    EXPECT_FALSE(display->colour.setRaw(0, -2, MP_TEXT("RGB(1,2,3)")));
    EXPECT_FALSE(display->colour.setRaw(0, 6, nullptr));
    EXPECT_EQ(display->colour.getText(), MP_TEXT("none"));
}

TEST_F(DisplayPinsTest, PerVoiceFloatsKeepVoicesApartAndIgnoreOthers) {
    const float a = 0.5f;
    const float b = -2.0f;
    EXPECT_EQ(module->setPin(6, 0, 4, &a), kMpOk);
    EXPECT_EQ(module->setPin(6, 127, 4, &b), kMpOk);
    EXPECT_EQ(display->gains.getValue(0), 0.5f);
    EXPECT_EQ(display->gains.getValue(127), -2.0f);
    EXPECT_EQ(display->gains.getValue(1), 0.0f);
    EXPECT_FALSE(display->gains.setVoice(127, 4, &b));
    EXPECT_FALSE(display->gains.setVoice(5, 8, &b));
    for (std::int32_t voice : {-1, 128, std::numeric_limits<std::int32_t>::min()}) {
        EXPECT_FALSE(display->gains.setRaw(voice, 4, &a));
        EXPECT_EQ(display->gains.voiceSize(voice), 0);
        EXPECT_EQ(display->gains.voicePointer(voice), nullptr);
        EXPECT_EQ(module->setPin(6, voice, 4, &a), kMpOk);
        EXPECT_EQ(module->notifyPin(6, voice), kMpOk);
    }
    EXPECT_EQ(module->notifyPin(6, 127), kMpOk);
    EXPECT_EQ(display->gainVoices, std::vector<std::int32_t>{127});
    EXPECT_EQ(display->gains.voiceSize(3), 4);
}

TEST_F(DisplayPinsTest, BlobsReallocateOnSizeChangeAndReportUnchangedBytes) {
    std::vector<std::uint8_t> big(4228);
    std::vector<std::uint8_t> small(4100);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (std::size_t i = 0; i < small.size(); ++i) {
        small[i] = static_cast<std::uint8_t>(i * 3 + 1);
    }
    EXPECT_TRUE(display->frames.setVoice(9, 4228, big.data()));
    EXPECT_EQ(display->frames.voiceSize(9), 4228);
    EXPECT_TRUE(display->frames.setVoice(9, 4100, small.data()));
    ASSERT_EQ(display->frames.voiceSize(9), 4100);
    EXPECT_EQ(std::memcmp(display->frames.voicePointer(9), small.data(), 4100), 0);
    EXPECT_NE(display->frames.voicePointer(9), static_cast<const void*>(small.data()));
    EXPECT_FALSE(display->frames.setVoice(9, 4100, small.data()));
    // Same size, one byte different: a change, copied into the same buffer.
    const void* before = display->frames.voicePointer(9);
    small[4099] ^= 0xFF;
    EXPECT_TRUE(display->frames.setVoice(9, 4100, small.data()));
    EXPECT_EQ(display->frames.voicePointer(9), before);
    EXPECT_EQ(static_cast<const std::uint8_t*>(before)[4099], small[4099]);

    // Other voices are untouched; empty and bad deliveries.
    EXPECT_EQ(display->frames.voiceSize(8), 0);
    EXPECT_EQ(display->frames.voicePointer(8), nullptr);
    EXPECT_FALSE(display->frames.setVoice(8, 0, nullptr));
    EXPECT_FALSE(display->frames.setVoice(8, 16, nullptr));
    EXPECT_FALSE(display->frames.setVoice(8, -16, big.data()));
    EXPECT_FALSE(display->frames.setVoice(128, 16, big.data()));
    EXPECT_FALSE(display->frames.setVoice(-1, 16, big.data()));
    EXPECT_TRUE(display->frames.setVoice(9, 0, nullptr));
    EXPECT_EQ(display->frames.voiceSize(9), 0);

    // Through the ABI the voice reaches the callback on notification only.
    EXPECT_EQ(module->setPin(0, 3, 4228, big.data()), kMpOk);
    EXPECT_TRUE(display->frameVoices.empty());
    EXPECT_EQ(module->notifyPin(0, 3), kMpOk);
    EXPECT_EQ(display->frameVoices, std::vector<std::int32_t>{3});
}

TEST_F(DisplayPinsTest, WritesSendToTheHostOnlyOnChange) {
    display->mode.write(0);
    EXPECT_TRUE(host.pinWrites.empty());
    display->mode.write(2);
    display->mode.write(2);
    ASSERT_EQ(host.pinWrites.size(), 1u);
    EXPECT_EQ(host.pinWrites[0].pinId, 1);
    EXPECT_EQ(host.pinWrites[0].bytes, (std::vector<std::uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(host.pinWrites[0].fourth, 0);
    EXPECT_EQ(display->mode.getValue(), 2);

    display->label.write(MP_TEXT("ab"));
    display->label.write(MP_TEXT("ab"));
    ASSERT_EQ(host.pinWrites.size(), 2u);
    EXPECT_EQ(host.pinWrites[1].pinId, 4);
    EXPECT_EQ(host.pinWrites[1].bytes, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
    display->label.write(MP_TEXT(""));
    ASSERT_EQ(host.pinWrites.size(), 3u);
    EXPECT_TRUE(host.pinWrites[2].bytes.empty());
    // Writes never run the pin's own callback.
    EXPECT_TRUE(display->modeValues.empty());
    EXPECT_EQ(display->labelCalls, 0);

    // An unbound pin stores without sending.
    IntPin loose;
    loose.write(5);
    EXPECT_EQ(loose.getValue(), 5);
    EXPECT_EQ(loose.getId(), -1);
    EXPECT_EQ(host.pinWrites.size(), 3u);
}

} // namespace
} // namespace vex::test

// The audio pins on their own: values, sizes a host may get wrong, storage, binding.
#include "tests/framework/audio/test_module.h"

#include <gtest/gtest.h>

#include <memory>

namespace vex::test {
namespace {

// Exactly `size` bytes on the heap, so the sanitizers see any read past either side.
std::unique_ptr<std::uint8_t[]> exactBytes(std::initializer_list<std::uint8_t> values) {
    auto bytes = std::make_unique<std::uint8_t[]>(values.size());
    std::copy(values.begin(), values.end(), bytes.get());
    return bytes;
}

TEST(AudioPins, ReportTheirKindAndDirection) {
    DspAudioPin audio;
    DspIntPin intPin;
    DspFloatPin floatPin;
    DspBoolPin boolPin;
    DspBoolPin boolOut(kPinOutput);
    BlobOutputPin blobOut;
    DspBlobPin blobIn;
    EXPECT_EQ(audio.dataType(), 5);
    EXPECT_EQ(floatPin.dataType(), 6);
    EXPECT_EQ(intPin.dataType(), 8);
    EXPECT_EQ(boolPin.dataType(), 4);
    EXPECT_EQ(blobOut.dataType(), 10);
    EXPECT_EQ(audio.direction(), kPinInput);
    EXPECT_EQ(boolPin.direction(), kPinInput);
    EXPECT_EQ(boolOut.direction(), kPinOutput);
    EXPECT_EQ(blobOut.direction(), kPinOutput);
    EXPECT_EQ(blobIn.direction(), kPinInput);
    EXPECT_EQ(intPin.id(), -1) << "unbound";
    EXPECT_EQ(intPin.module(), nullptr);
    EXPECT_EQ(intPin.valueSize(), 4);
    EXPECT_EQ(boolPin.valueSize(), 1);
    EXPECT_EQ(blobIn.valueSize(), 0);
    EXPECT_EQ(audio.valueSize(), 0);
    EXPECT_TRUE(audio.streamingChanged()) << "starts raised";
    EXPECT_FALSE(audio.isStreaming());
    blobOut.sendPinUpdate(-1); // unbound: nowhere to send, and no crash
}

TEST(AudioPins, BoolReadsAWholeWordOrItsFirstByte) {
    DspBoolPin pin;
    const std::int32_t word = 256;
    pin.setValueRaw(4, &word);
    EXPECT_TRUE(pin.get()) << "4 bytes holding 256";
    auto zero = exactBytes({0});
    pin.setValueRaw(1, zero.get());
    EXPECT_FALSE(pin.get());
    auto two = exactBytes({2});
    pin.setValueRaw(1, two.get());
    EXPECT_TRUE(pin.get());
    auto longer = exactBytes({0, 1, 1, 1, 1, 1, 1, 1});
    pin.setValueRaw(8, longer.get());
    EXPECT_FALSE(pin.get()) << "not a word: the first byte counts";
    pin.setValueRaw(1, two.get());
    pin.setValueRaw(0, two.get());
    EXPECT_FALSE(pin.get()) << "no bytes";
    pin.setValueRaw(1, two.get());
    pin.setValueRaw(4, nullptr);
    EXPECT_FALSE(pin.get()) << "a null address is no bytes";
}

TEST(AudioPins, IntAndFloatNeverReadOrWritePastEitherSide) {
    DspIntPin intPin;
    auto two = exactBytes({0x34, 0x12});
    intPin.setValueRaw(-1, nullptr);
    intPin.setValueRaw(2, two.get());
    EXPECT_EQ(intPin.get(), 0x1234) << "the missing high bytes read as 0";
    auto eight = exactBytes({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    intPin.setValueRaw(8, eight.get());
    EXPECT_EQ(intPin.get(), 1) << "cut to its 4 bytes";
    intPin.setValueRaw(-3, eight.get());
    EXPECT_EQ(intPin.get(), 0);

    DspFloatPin floatPin;
    const float half = 0.5f;
    floatPin.setValueRaw(4, &half);
    EXPECT_EQ(floatPin.get(), 0.5f);
    auto three = exactBytes({0, 0, 0x80});
    floatPin.setValueRaw(3, three.get());
    float expected = 0.0f;
    const std::uint8_t low[4] = {0, 0, 0x80, 0};
    std::memcpy(&expected, low, 4);
    EXPECT_EQ(floatPin.get(), expected);
    floatPin.setValueRaw(4, nullptr);
    EXPECT_EQ(floatPin.get(), 0.0f);
}

TEST(AudioPins, BlobKeepsItsStorageForTheSameLengthAndEmptiesOnZero) {
    BlobOutputPin pin;
    std::vector<std::uint8_t> frame(4100);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);
    }
    pin.setValueRaw(4100, frame.data());
    const void* storage = pin.valueAddress();
    frame[100] = 1;
    pin.setValueRaw(4100, frame.data());
    EXPECT_EQ(pin.valueAddress(), storage) << "one storage block for equal lengths";
    EXPECT_EQ(pin.valueSize(), 4100);
    EXPECT_EQ(pin.get(), frame);
    pin.setValueRaw(0, frame.data());
    EXPECT_EQ(pin.valueSize(), 0);
    pin.setValueRaw(1604, frame.data());
    EXPECT_EQ(pin.valueSize(), 1604);
    EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + 1604, pin.get().begin()));
    pin.setValueRaw(-1, frame.data());
    EXPECT_EQ(pin.valueSize(), 0) << "a negative length is an empty block";
    pin.setValueRaw(16, nullptr);
    EXPECT_EQ(pin.valueSize(), 0);
}

// Events through a bound module, for what the record itself carries.
class PinEventTest : public ::testing::Test {
protected:
    host::RecordingHost host;
    TestModule module{host.hostPointer()};
    EventList events;
};

TEST_F(PinEventTest, AValueWithoutPointerIsReadOnlyFromTheRecordsTwoWords) {
    PinEvent& blob = events.add(0, kEventPinValue, TestModule::kBlobIn);
    blob.valueSize = 4100; // claims more than the record holds, with no pointer
    blob.value[0] = 0x04030201;
    blob.value[1] = 0x08070605;
    PinEvent& number = events.add(0, kEventPinValue, TestModule::kInt);
    number.valueSize = 64;
    number.value[0] = -7;
    PinEvent& small = events.add(0, kEventPinValue, TestModule::kBool);
    small.valueSize = 1;
    small.value[0] = 0x100; // only the first byte is the value: 0
    module.process(4, events.first());
    EXPECT_EQ(module.blobIn.get(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(module.intPin.get(), -7);
    EXPECT_FALSE(module.boolPin.get());
}

TEST_F(PinEventTest, AValueBehindItsPointerIsTakenWhole) {
    std::vector<std::uint8_t> frame(1604, 0x5A);
    events.bytes(2, TestModule::kBlobIn, 1604, frame.data());
    auto two = exactBytes({0xFF, 0x7F});
    events.bytes(2, TestModule::kInt, 2, two.get());
    module.process(4, events.first());
    EXPECT_EQ(module.blobIn.get(), frame);
    EXPECT_EQ(module.intPin.get(), 0x7FFF);
}

TEST_F(PinEventTest, StreamingEventsAreIgnoredByValuePinsAndValuesByAudioPins) {
    events.add(0, kEventStreamingStart, TestModule::kInt);
    events.value(0, TestModule::kAudioA, 1);
    events.add(0, kEventStreamingStart, TestModule::kAudioB);
    module.process(4, events.first());
    EXPECT_EQ(module.intPin.get(), 0);
    EXPECT_FALSE(module.intPin.updated());
    EXPECT_FALSE(module.audioA.isStreaming());
    EXPECT_TRUE(module.audioB.isStreaming());
    EXPECT_FALSE(module.audioB.streamingChanged());
    EXPECT_TRUE(module.audioA.streamingChanged()) << "untouched since construction";
}

// A module that registers two pins under one id and one output without a callback.
class DuplicateModule final : public AudioModuleBase {
public:
    explicit DuplicateModule(void* host) : AudioModuleBase(host) {
        initializePin(3, first);
        initializePin(3, second);
        initializePin(4, output, pinSpec(&DuplicateModule::changed));
    }
    void changed(const PinEvent*) { ++changes; }
    DspIntPin first;
    DspIntPin second;
    DspIntPin output{kPinOutput};
    int changes = 0;
};

TEST(AudioPinBinding, AnIdRegisteredTwiceKeepsItsFirstPin) {
    host::RecordingHost host;
    DuplicateModule module(host.hostPointer());
    EXPECT_EQ(module.findPin(3), &module.first);
    EXPECT_EQ(module.first.id(), 3);
    EXPECT_EQ(module.second.id(), 3) << "bound, but not registered";
    EXPECT_EQ(module.first.module(), &module);
    EXPECT_EQ(module.first.callback(), nullptr);
    EXPECT_NE(module.output.callback(), nullptr);
    EventList events;
    events.value(0, 3, 9);
    events.value(1, 4, 5);
    module.process(4, events.first());
    EXPECT_EQ(module.first.get(), 9);
    EXPECT_EQ(module.second.get(), 0);
    EXPECT_EQ(module.changes, 1);
    module.output.sendPinUpdate(-1);
    ASSERT_EQ(host.pinSends.size(), 1u);
    EXPECT_EQ(host.pinSends[0].time, 1);
    EXPECT_EQ(host.pinSends[0].pinId, 4);
    EXPECT_EQ(host.pinSends[0].bytes, (std::vector<std::uint8_t>{5, 0, 0, 0}));
}

} // namespace
} // namespace vex::test

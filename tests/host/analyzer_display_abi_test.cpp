// The analyzer's display side through the plug-in's ABI, as a host uses it: created by the
// factory, fed pin values, painted into the host's surface.
#include "analyzer/analyzer_pins.h"
#include "framework/display/display_module_interfaces.h"
#include "framework/display/host_display_interfaces.h"
#include "host/kit/module_library.h"
#include "host/kit/view/paint_surface.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vex::host {
namespace {

class AnalyzerDisplayAbiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(startGdiplus());
        ASSERT_TRUE(library.load(defaultModulePath())) << library.error();
    }

    DisplayModuleInterface* create(RecordingHost& host) {
        void* out = nullptr;
        EXPECT_EQ(
            library.factory()->createObject(MP_TEXT("VexAnalyzer"), 1, host.hostPointer(), &out),
            kMpOk);
        return static_cast<DisplayModuleInterface*>(out);
    }

    static void setText(DisplayModuleInterface* display, std::int32_t pin,
                        const std::basic_string<MpChar>& text) {
        EXPECT_EQ(display->setPin(pin, 0, static_cast<std::int32_t>(2 * text.size()), text.data()),
                  kMpOk);
        EXPECT_EQ(display->notifyPin(pin, 0), kMpOk);
    }

    ModuleLibrary library;
};

TEST_F(AnalyzerDisplayAbiTest, TheDisplaySidePaintsThroughItsInterfaces) {
    RecordingHost host;
    DisplayModuleInterface* display = create(host);
    ASSERT_NE(display, nullptr);
    void* second = nullptr;
    ASSERT_EQ(display->queryInterface(&kDrawingInterfaceId, &second), kMpOk);
    auto* drawing = static_cast<DrawingInterface*>(second);
    EXPECT_EQ(drawing->arrange(0, 60, 0, 80), kMpOk);

    setText(display, kDisplayBackgroundPin, MP_TEXT("RGB(200,100,50)"));
    setText(display, kDisplayModeItemsPin, MP_TEXT("?"));
    ASSERT_EQ(host.pinWrites.size(), 1u);
    EXPECT_EQ(host.pinWrites[0].pinId, 5);
    EXPECT_EQ(host.pinWrites[0].bytes.size(), 60u);

    PaintSurface surface(80, 60);
    EXPECT_EQ(drawing->paint(surface.dc()), kMpOk);
    EXPECT_EQ(surface.pixel(40, 30), 0xffc86432u);
    EXPECT_EQ(surface.pixel(0, 0), 0xff000000u);
    EXPECT_EQ(surface.pixel(40, 1), 0xff994c26u); // each component times 1/1.3, truncated

    // One count for both interfaces.
    EXPECT_EQ(drawing->release(), 1);
    EXPECT_EQ(display->release(), 0);
}

TEST_F(AnalyzerDisplayAbiTest, AHostWithoutTheDrawingInterfaceGetsNoObject) {
    RecordingHost host;
    host.refuse(kHostDrawingInterfaceId);
    int sentinel = 0;
    void* out = &sentinel;
    EXPECT_EQ(library.factory()->createObject(MP_TEXT("VexAnalyzer"), 1, host.hostPointer(), &out),
              kMpFail);
    EXPECT_EQ(out, nullptr);
}

} // namespace
} // namespace vex::host

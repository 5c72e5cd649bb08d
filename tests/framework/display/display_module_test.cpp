// Composited display objects through the factory and the ABI, with the test host.
#include "framework/audio/module_factory.h"
#include "tests/framework/display/test_display.h"
#include "tests/framework/identity_checks.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <string>

namespace vex::test {
namespace {

class DisplayModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        factory.registerDisplayClass(kTestDisplayId, &createDisplayModule<TestDisplay>);
    }
    void TearDown() override {
        EXPECT_EQ(TestDisplay::live, 0);
        EXPECT_EQ(TestDisplay::allocations, 0);
    }

    // Creates a display for `host` and answers its primary interface, or null.
    DisplayModuleInterface* create(host::RecordingHost& on, std::int32_t* result = nullptr) {
        void* out = nullptr;
        const std::int32_t answer =
            factory.createObject(kTestDisplayId, kDisplaySide, on.hostPointer(), &out);
        if (result != nullptr) {
            *result = answer;
        }
        return static_cast<DisplayModuleInterface*>(out);
    }

    ModuleFactory factory;
    host::RecordingHost host;
};

TEST_F(DisplayModuleTest, QueriesShareOneCountAndTheLastReleaseDestroys) {
    DisplayModuleInterface* module = create(host);
    ASSERT_NE(module, nullptr);
    auto* display = static_cast<TestDisplay*>(module);
    EXPECT_EQ(display->referenceCount(), 1);

    test::expectAnswersWithItself(module, kDisplayModuleInterfaceId);
    test::expectAnswersWithItself(module, kUnknownInterfaceId);
    void* out = nullptr;
    EXPECT_EQ(display->referenceCount(), 3);

    // The drawing interface is a second pointer inside the same object, on the same count.
    void* drawingOut = nullptr;
    EXPECT_EQ(module->queryInterface(&kDrawingInterfaceId, &drawingOut), kMpOk);
    auto* drawing = static_cast<DrawingInterface*>(drawingOut);
    EXPECT_EQ(drawing, static_cast<DrawingInterface*>(display));
    EXPECT_NE(drawingOut, static_cast<void*>(module));
    EXPECT_EQ(drawing->addRef(), 5);
    EXPECT_EQ(drawing->release(), 4);
    EXPECT_EQ(drawing->queryInterface(&kDisplayModuleInterfaceId, &out), kMpOk);
    EXPECT_EQ(out, static_cast<void*>(module));
    EXPECT_EQ(module->release(), 4);

    // Identifiers the object does not answer, COM's own unknown among them.
    const MpGuid comUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    for (const MpGuid& other :
         {comUnknown, kWindowInterfaceId, kHostDisplayInterfaceId, kHostDrawingInterfaceId}) {
        int sentinel = 0;
        out = &sentinel;
        EXPECT_EQ(module->queryInterface(&other, &out), kMpUnsupported);
        EXPECT_EQ(out, nullptr);
        out = &sentinel;
        EXPECT_EQ(drawing->queryInterface(&other, &out), kMpUnsupported);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(module->queryInterface(&kDrawingInterfaceId, nullptr), kMpUnsupported);
    out = &out;
    EXPECT_EQ(module->queryInterface(nullptr, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(display->referenceCount(), 4);

    EXPECT_EQ(drawing->release(), 3);
    EXPECT_EQ(module->release(), 2);
    EXPECT_EQ(module->release(), 1);
    EXPECT_EQ(TestDisplay::live, 1);
    EXPECT_EQ(drawing->release(), 0);
    EXPECT_EQ(TestDisplay::live, 0);
    // The display side holds its host interfaces for its whole life and never releases them.
    EXPECT_EQ(host.releases(), 0);
    EXPECT_EQ(host.references(kHostDisplayInterfaceId), 1);
    EXPECT_EQ(host.references(kHostDrawingInterfaceId), 1);
}

TEST_F(DisplayModuleTest, MeasureClampsEachComponentAndArrangeStoresTheArea) {
    DisplayModuleInterface* module = create(host);
    ASSERT_NE(module, nullptr);
    auto* display = static_cast<TestDisplay*>(module);
    DrawingInterface* drawing = display;

    struct Case {
        std::int32_t width, height, wantWidth, wantHeight;
    };
    for (const Case& c : {Case{10, 500, 15, 100}, Case{15, 100, 15, 100}, Case{50, 60, 50, 60},
                          Case{-7, 14, 15, 15}, Case{101, 16, 100, 16}}) {
        MeasureSize size{-1, -1};
        EXPECT_EQ(drawing->measure(c.width, c.height, &size), kMpOk);
        EXPECT_EQ(size.width, c.wantWidth) << c.width;
        EXPECT_EQ(size.height, c.wantHeight) << c.height;
    }
    EXPECT_EQ(drawing->measure(50, 50, nullptr), kMpFail);

    // The area starts at zero and keeps arrange's order: top, bottom, left, right.
    EXPECT_EQ(display->getArea().width(), 0);
    EXPECT_EQ(display->getArea().height(), 0);
    EXPECT_EQ(drawing->arrange(10, 110, 20, 220), kMpOk);
    const DisplayRect& area = display->getArea();
    EXPECT_EQ(area.top, 10);
    EXPECT_EQ(area.bottom, 110);
    EXPECT_EQ(area.left, 20);
    EXPECT_EQ(area.right, 220);
    EXPECT_EQ(area.width(), 200);
    EXPECT_EQ(area.height(), 100);

    // Operations without a meaning here answer 0 and change nothing.
    EXPECT_EQ(module->reserved4(), kMpOk);
    EXPECT_EQ(module->reserved7(1, 2, 3), kMpOk);
    EXPECT_EQ(module->reserved8(), kMpOk);
    EXPECT_EQ(module->reserved9(4), kMpOk);
    EXPECT_EQ(drawing->reserved7(), kMpOk);
    EXPECT_EQ(drawing->reserved8(), kMpOk);
    EXPECT_EQ(drawing->reserved9(1, 2, 3), kMpOk);
    EXPECT_EQ(drawing->reserved10(1, 2, 3), kMpOk);
    EXPECT_EQ(drawing->reserved11(1, 2, 3), kMpOk);
    EXPECT_EQ(display->getArea().left, 20);
    EXPECT_EQ(display->referenceCount(), 1);

    HDC dc = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x1234));
    EXPECT_EQ(drawing->paint(dc), kMpOk);
    EXPECT_EQ(display->paintedWith, dc);
    module->release();
}

TEST_F(DisplayModuleTest, MissingHostInterfaceFailsCreationAndFreesEverything) {
    for (const MpGuid& missing : {kHostDisplayInterfaceId, kHostDrawingInterfaceId}) {
        host::RecordingHost refusing;
        refusing.refuse(missing);
        std::int32_t result = 0;
        EXPECT_EQ(create(refusing, &result), nullptr);
        EXPECT_EQ(result, kMpFail);
        EXPECT_EQ(refusing.queries(missing), 1);
        EXPECT_EQ(TestDisplay::allocations, 0);
        EXPECT_EQ(TestDisplay::live, 0);
    }
    // The creation function itself raises the error with its text.
    host::RecordingHost refusing;
    refusing.refuse(kHostDrawingInterfaceId);
    try {
        createDisplayModule<TestDisplay>(refusing.hostPointer());
        ADD_FAILURE() << "construction did not fail";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "host Interfaces not supported");
    }
    // No host object at all fails the same way.
    void* out = &out;
    EXPECT_EQ(factory.createObject(kTestDisplayId, kDisplaySide, nullptr, &out), kMpFail);
    EXPECT_EQ(out, nullptr);
}

TEST_F(DisplayModuleTest, RedrawRequestsKeepTheWindowsRectOrderAndCaptureIsForwarded) {
    DisplayModuleInterface* module = create(host);
    ASSERT_NE(module, nullptr);
    auto* display = static_cast<TestDisplay*>(module);
    const RECT rect{1, 2, 3, 4};
    display->invalidateRect(&rect, true);
    display->invalidateRect();
    ASSERT_EQ(host.invalidations.size(), 2u);
    EXPECT_FALSE(host.invalidations[0].whole);
    EXPECT_EQ(host.invalidations[0].left, 1);
    EXPECT_EQ(host.invalidations[0].top, 2);
    EXPECT_EQ(host.invalidations[0].right, 3);
    EXPECT_EQ(host.invalidations[0].bottom, 4);
    EXPECT_TRUE(host.invalidations[1].whole);

    EXPECT_FALSE(display->getCapture());
    display->setCapture();
    EXPECT_TRUE(display->getCapture());
    display->releaseCapture();
    EXPECT_FALSE(display->getCapture());
    EXPECT_EQ(host.setCaptureCalls, 1);
    EXPECT_EQ(host.releaseCaptureCalls, 1);
    module->release();
}

} // namespace
} // namespace vex::test

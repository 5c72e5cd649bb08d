// Windowed displays and their window: natively against the user32 stand-in, under wine
// against the real user32 (with a virtual X display).
#include "framework/audio/module_factory.h"
#include "framework/display/windowed_display.h"
#include "tests/framework/display/message_pump.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vex::test {
namespace {

struct MouseCall {
    UINT message;
    WPARAM flags;
    std::int32_t x, y;
};

// A windowed display that records what reaches its handlers.
template <typename Base> class Recording final : public Base {
public:
    explicit Recording(void* host) : Base(host) { ++live; }
    ~Recording() override { --live; }

    std::int32_t onPaint(HDC dc) override {
        ++paints;
        lastDc = dc;
        return 0;
    }
    std::int32_t onLButtonDown(WPARAM flags, std::int32_t x, std::int32_t y) override {
        mouse.push_back({WM_LBUTTONDOWN, flags, x, y});
        return 0;
    }
    std::int32_t onLButtonUp(WPARAM flags, std::int32_t x, std::int32_t y) override {
        mouse.push_back({WM_LBUTTONUP, flags, x, y});
        return 0;
    }
    std::int32_t onMouseMove(WPARAM flags, std::int32_t x, std::int32_t y) override {
        mouse.push_back({WM_MOUSEMOVE, flags, x, y});
        return 0;
    }
    std::int32_t onTimer() override {
        ++timers;
        return 0;
    }
    void getWindowStyle(DWORD& style, DWORD& exStyle) override {
        Base::getWindowStyle(style, exStyle);
        if (topLevel) {
            style = WS_POPUP | WS_VISIBLE;
        }
    }
    std::int32_t registerWindowClass() override {
        ++registrations;
        return Base::registerWindowClass();
    }

    bool topLevel = false;
    std::int32_t paints = 0;
    HDC lastDc = nullptr;
    std::vector<MouseCall> mouse;
    std::int32_t timers = 0;
    static inline std::int32_t registrations = 0;
    static inline std::int32_t live = 0;
};

using Windowed = Recording<WindowedDisplay>;
using Windowed2 = Recording<WindowedDisplay2>;

constexpr MpChar kWindowedId[] = MP_TEXT("TestWindowed");
constexpr MpChar kWindowed2Id[] = MP_TEXT("TestWindowed2");
constexpr MpChar kParentClass[] = MP_TEXT("VexTestParent");

bool classRegistered() {
    WNDCLASSEXW record{};
    record.cbSize = sizeof(record);
    return GetClassInfoExW(programInstance(), kWindowClassName, &record) != 0;
}

class WindowedDisplayTest : public ::testing::Test {
protected:
    // One visible top-level parent for the whole suite: under wine each top-level window
    // costs seconds.
    static void SetUpTestSuite() {
        useProgramInstance();
        WNDCLASSEXW record{};
        record.cbSize = sizeof(record);
        record.lpfnWndProc = &DefWindowProcW;
        record.hInstance = programInstance();
        record.lpszClassName = kParentClass;
        RegisterClassExW(&record);
        parent = CreateWindowExW(0, kParentClass, nullptr, WS_POPUP | WS_VISIBLE, 30, 40, 400, 300,
                                 nullptr, nullptr, programInstance(), nullptr);
        pumpPending();
    }
    static void TearDownTestSuite() {
        DestroyWindow(parent);
        UnregisterClassW(kParentClass, programInstance());
        pumpPending();
    }
    void SetUp() override {
        ASSERT_NE(parent, nullptr);
        factory.registerDisplayClass(kWindowedId, &createDisplayModule<Windowed>);
        factory.registerDisplayClass(kWindowed2Id, &createDisplayModule<Windowed2>);
        Windowed::registrations = 0;
    }
    void TearDown() override {
        pumpPending();
        EXPECT_EQ(WindowedDisplay::windowCount(), 0);
        EXPECT_FALSE(classRegistered());
        EXPECT_EQ(Windowed::live, 0);
        EXPECT_EQ(Windowed2::live, 0);
    }

    template <typename T> T* create(const MpChar* id, host::RecordingHost& on) {
        void* out = nullptr;
        if (factory.createObject(id, kDisplaySide, on.hostPointer(), &out) != kMpOk) {
            return nullptr;
        }
        return static_cast<T*>(static_cast<DisplayModuleInterface*>(out));
    }
    Windowed* createWindowed() { return create<Windowed>(kWindowedId, host); }
    // A windowed display arranged to the area given, its window open in `parent`; null
    // when either step failed.
    Windowed* openWindowed(std::int32_t top, std::int32_t bottom, std::int32_t left,
                           std::int32_t right) {
        Windowed* display = createWindowed();
        if (display == nullptr) {
            return nullptr;
        }
        display->arrange(top, bottom, left, right);
        HWND window = nullptr;
        display->openWindow(parent, &window);
        return window != nullptr ? display : nullptr;
    }

    ModuleFactory factory;
    host::RecordingHost host;
    static inline HWND parent = nullptr;
};

TEST_F(WindowedDisplayTest, QueriesAnswerTheWindowInterfaceOnOneCount) {
    Windowed2* display = create<Windowed2>(kWindowed2Id, host);
    ASSERT_NE(display, nullptr);
    DisplayModuleInterface* module = display;
    void* out = nullptr;
    EXPECT_EQ(module->queryInterface(&kWindowInterfaceId, &out), kMpOk);
    auto* windowInterface = static_cast<WindowInterface*>(out);
    EXPECT_EQ(windowInterface, static_cast<WindowInterface*>(display));
    EXPECT_NE(out, static_cast<void*>(module));
    EXPECT_EQ(windowInterface->queryInterface(&kUnknownInterfaceId, &out), kMpOk);
    EXPECT_EQ(out, static_cast<void*>(module));
    EXPECT_EQ(display->referenceCount(), 3);
    out = &out;
    EXPECT_EQ(windowInterface->queryInterface(&kDrawingInterfaceId, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);

    MeasureSize size{};
    EXPECT_EQ(windowInterface->measure(10, 500, &size), kMpOk);
    EXPECT_EQ(size.width, 15);
    EXPECT_EQ(size.height, 100);
    EXPECT_EQ(windowInterface->arrange(1, 2, 3, 4), kMpOk);
    EXPECT_EQ(display->getArea().top, 1);
    EXPECT_EQ(display->getArea().right, 4);
    EXPECT_NE(display->getHostWindow(), nullptr);
    EXPECT_NE(display->getHostWindow2(), nullptr);

    EXPECT_EQ(windowInterface->release(), 2);
    EXPECT_EQ(module->release(), 1);
    EXPECT_EQ(windowInterface->release(), 0);
}

TEST_F(WindowedDisplayTest, ConstructionNeedsEachWindowInterface) {
    host::RecordingHost noWindow;
    noWindow.refuse(kHostWindowInterfaceId);
    EXPECT_EQ(create<Windowed>(kWindowedId, noWindow), nullptr);
    EXPECT_EQ(create<Windowed2>(kWindowed2Id, noWindow), nullptr);

    host::RecordingHost noWindow2;
    noWindow2.refuse(kHostWindowInterface2Id);
    EXPECT_EQ(create<Windowed2>(kWindowed2Id, noWindow2), nullptr);
    Windowed* plain = create<Windowed>(kWindowedId, noWindow2);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(noWindow2.queries(kHostWindowInterface2Id), 1); // the failed Windowed2 only
    plain->release();
}

TEST_F(WindowedDisplayTest, ClassIsRegisteredOnceAndUnregisteredWithTheLastWindow) {
    Windowed* first = createWindowed();
    Windowed* second = createWindowed();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(classRegistered());

    HWND a = nullptr;
    HWND b = nullptr;
    EXPECT_EQ(first->openWindow(parent, &a), kMpOk);
    EXPECT_EQ(second->openWindow(parent, &b), kMpOk);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(Windowed::registrations, 1);
    EXPECT_EQ(WindowedDisplay::windowCount(), 2);

    WNDCLASSEXW record{};
    record.cbSize = sizeof(record);
    ASSERT_NE(GetClassInfoExW(programInstance(), kWindowClassName, &record), 0);
    EXPECT_EQ(record.style, CS_VREDRAW | CS_HREDRAW);
    EXPECT_EQ(record.lpfnWndProc, &WindowedDisplay::windowProcedure);
    EXPECT_EQ(record.hCursor, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
    EXPECT_EQ(record.hbrBackground, nullptr);
    EXPECT_EQ(record.cbWndExtra, 0);

    EXPECT_EQ(first->closeWindow(), kMpOk);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_EQ(first->getWindow(), nullptr);
    EXPECT_TRUE(classRegistered());
    EXPECT_EQ(WindowedDisplay::windowCount(), 1);
    EXPECT_EQ(first->closeWindow(), kMpOk); // nothing open: nothing counted
    EXPECT_EQ(WindowedDisplay::windowCount(), 1);
    EXPECT_EQ(second->closeWindow(), kMpOk);
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(WindowedDisplay::windowCount(), 0);

    // Opening again registers again.
    EXPECT_EQ(first->openWindow(parent, &a), kMpOk);
    EXPECT_EQ(Windowed::registrations, 2);
    first->closeWindow();
    first->release();
    second->release();
}

TEST_F(WindowedDisplayTest, WindowSitsAtLeftTopWithTheAreasSize) {
    Windowed* display = createWindowed();
    ASSERT_NE(display, nullptr);
    display->arrange(10, 110, 20, 220);
    HWND window = nullptr;
    display->openWindow(parent, &window);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(display->getWindow(), window);
    EXPECT_EQ(GetParent(window), parent);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA),
              reinterpret_cast<LONG_PTR>(static_cast<WindowedDisplay*>(display)));

    RECT parentRect{};
    RECT childRect{};
    ASSERT_TRUE(GetWindowRect(parent, &parentRect));
    ASSERT_TRUE(GetWindowRect(window, &childRect));
    EXPECT_EQ(childRect.left - parentRect.left, 20);
    EXPECT_EQ(childRect.top - parentRect.top, 10);
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right - client.left, 200);
    EXPECT_EQ(client.bottom - client.top, 100);

    // A second open keeps the one window.
    HWND again = nullptr;
    EXPECT_EQ(display->openWindow(parent, &again), kMpOk);
    EXPECT_EQ(again, window);
    EXPECT_EQ(WindowedDisplay::windowCount(), 1);
    display->closeWindow();
    display->release();
}

TEST_F(WindowedDisplayTest, SevenMessagesAnswerOneAndTheRestGoToTheDefault) {
    Windowed* display = openWindowed(0, 50, 0, 80);
    ASSERT_NE(display, nullptr);
    HWND window = display->getWindow();

    EXPECT_EQ(SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(4, 6)), 1);
    EXPECT_EQ(SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(70, 40)), 1);
    EXPECT_EQ(SendMessageW(window, WM_TIMER, 1, 0), 1);
    EXPECT_EQ(display->timers, 1);

    // While the pointer is captured, positions left of and above the window are negative.
    display->setCapture();
    EXPECT_TRUE(display->getCapture());
    EXPECT_EQ(SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, 5)), 1);
    EXPECT_EQ(SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, -3)), 1);
    display->releaseCapture();
    EXPECT_FALSE(display->getCapture());
    ASSERT_EQ(display->mouse.size(), 4u);
    EXPECT_EQ(display->mouse[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(display->mouse[0].x, 4);
    EXPECT_EQ(display->mouse[0].y, 6);
    EXPECT_EQ(display->mouse[1].message, WM_LBUTTONUP);
    EXPECT_EQ(display->mouse[1].x, 70);
    EXPECT_EQ(display->mouse[2].message, WM_LBUTTONDOWN);
    EXPECT_EQ(display->mouse[2].flags, MK_LBUTTON);
    EXPECT_EQ(display->mouse[2].x, -3);
    EXPECT_EQ(display->mouse[2].y, 5);
    EXPECT_EQ(display->mouse[3].x, 5);
    EXPECT_EQ(display->mouse[3].y, -3);

    // Paint: on request, and when the window is invalidated and the loop runs.
    const std::int32_t paintsBefore = display->paints;
    EXPECT_EQ(SendMessageW(window, WM_PAINT, 0, 0), 1);
    EXPECT_EQ(display->paints, paintsBefore + 1);
    EXPECT_NE(display->lastDc, nullptr);
    // Every paint already due is dispatched first, so the next one answers the request.
    pumpPending();
    const std::int32_t settled = display->paints;
    display->invalidateRect();
    EXPECT_TRUE(pumpUntil([&] { return display->paints > settled; }));

    // Other messages get DefWindowProcW: the title it keeps shows it was called.
    EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), 0);
    const MpChar title[] = MP_TEXT("abc");
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title));
    EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), 3);
    EXPECT_EQ(SendMessageW(window, WM_USER + 7, 1, 2), DefWindowProcW(window, WM_USER + 7, 1, 2));

    // A real window timer reaches onTimer through the message loop.
    const std::int32_t timersBefore = display->timers;
    ASSERT_NE(SetTimer(window, 7, 10, nullptr), 0u);
    EXPECT_TRUE(pumpUntil([&] { return display->timers > timersBefore; }));
    KillTimer(window, 7);

    // WM_CLOSE destroys the window; closeWindow still counts it down.
    EXPECT_EQ(SendMessageW(window, WM_CLOSE, 0, 0), 1);
    EXPECT_FALSE(IsWindow(window));
    display->closeWindow();
    EXPECT_EQ(WindowedDisplay::windowCount(), 0);
    display->release();
}

TEST_F(WindowedDisplayTest, OnlyATopLevelWindowEndsTheMessageLoop) {
    MSG quit;
    Windowed* child = createWindowed();
    ASSERT_NE(child, nullptr);
    HWND window = nullptr;
    child->openWindow(parent, &window);
    ASSERT_NE(window, nullptr);
    child->closeWindow();
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    child->topLevel = true;
    child->arrange(0, 20, 0, 20);
    child->openWindow(nullptr, &window);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), nullptr);
    child->closeWindow();
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.message, WM_QUIT);
    EXPECT_EQ(quit.wParam, 0u);
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    child->release();
}

TEST_F(WindowedDisplayTest, ReleaseWithoutCloseDestroysTheWindowFirst) {
    Windowed* display = createWindowed();
    ASSERT_NE(display, nullptr);
    HWND window = nullptr;
    display->openWindow(parent, &window);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(display->release(), 0);
    EXPECT_EQ(Windowed::live, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WindowedDisplay::windowCount(), 0);
    EXPECT_FALSE(classRegistered());
    // Nothing is left that could reach the freed object.
    EXPECT_EQ(SendMessageW(window, WM_LBUTTONDOWN, 0, 0), 0);
    pumpPending();
}

TEST_F(WindowedDisplayTest, FailedCreationWritesNullAndLeavesNothingRegistered) {
    Windowed* display = createWindowed();
    ASSERT_NE(display, nullptr);
    // A child window needs a parent.
    HWND window = parent;
    EXPECT_EQ(display->openWindow(nullptr, &window), kMpOk);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(display->getWindow(), nullptr);
    EXPECT_EQ(WindowedDisplay::windowCount(), 0);
    EXPECT_FALSE(classRegistered());
    // Without a window the requests do nothing.
    display->invalidateRect();
    display->setCapture();
    EXPECT_FALSE(display->getCapture());
    EXPECT_EQ(display->closeWindow(), kMpOk);
    EXPECT_EQ(WindowedDisplay::windowCount(), 0);
    display->release();
}

// What the window code relies on from user32, checked on both builds: the stand-in must
// answer as the real one does.
TEST_F(WindowedDisplayTest, User32AnswersClassAndWindowErrors) {
    const MpChar name[] = MP_TEXT("VexTestOther");
    WNDCLASSEXW record{};
    record.cbSize = sizeof(record);
    record.lpfnWndProc = &DefWindowProcW;
    record.hInstance = programInstance();
    record.lpszClassName = name;
    ASSERT_NE(RegisterClassExW(&record), 0);
    EXPECT_EQ(RegisterClassExW(&record), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    HWND window = CreateWindowExW(0, name, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                                  nullptr, programInstance(), nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(UnregisterClassW(name, programInstance()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    EXPECT_TRUE(DestroyWindow(window));
    // A stale handle is refused (the error code differs between user32 versions).
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(UnregisterClassW(name, programInstance()));
    EXPECT_FALSE(UnregisterClassW(name, programInstance()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_EQ(CreateWindowExW(0, name, nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              programInstance(), nullptr),
              nullptr);

    // Destroying a window destroys its children.
    ASSERT_NE(RegisterClassExW(&record), 0);
    HWND middle = CreateWindowExW(0, name, nullptr, WS_CHILD, 0, 0, 50, 50, parent, nullptr,
                                  programInstance(), nullptr);
    ASSERT_NE(middle, nullptr);
    window = CreateWindowExW(0, name, nullptr, WS_CHILD, 0, 0, 10, 10, middle, nullptr,
                             programInstance(), nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), middle);
    DestroyWindow(middle);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindow(parent));
    EXPECT_TRUE(UnregisterClassW(name, programInstance()));
}

} // namespace
} // namespace vex::test

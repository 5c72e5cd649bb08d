#include "framework/display/windowed_display.h"

#include "framework/audio/module_factory.h"

#include <cstdint>

namespace vex {

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(WNDCLASSEXW) == 48, "the window class record is 48 bytes");
#endif

namespace {

// Why a plain counter: windows are opened and closed only on the user-interface thread.
std::int32_t openWindows = 0;

HINSTANCE instance() {
    return static_cast<HINSTANCE>(libraryInstance());
}

// The low and high 16 bits of a mouse message's lParam, sign-extended.
std::int32_t lowWord(LPARAM lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam & 0xFFFF));
}

std::int32_t highWord(LPARAM lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((lParam >> 16) & 0xFFFF));
}

} // namespace

WindowedDisplay::WindowedDisplay(void* hostPointer)
    : AreaDisplay(hostPointer), hostWindow(static_cast<HostWindowInterface*>(
                                    queryHostInterface(hostPointer, kHostWindowInterfaceId))) {}

WindowedDisplay::~WindowedDisplay() {
    // Why: a host that releases the object without closing its window would otherwise leave
    // the window's user data pointing at freed memory.
    closeWindow();
}

std::int32_t WindowedDisplay::windowCount() {
    return openWindows;
}

std::int32_t WindowedDisplay::queryInterface(const MpGuid* iid, void** out) noexcept {
    return answerAlso(iid, out, kWindowInterfaceId, static_cast<WindowInterface*>(this));
}

std::int32_t WindowedDisplay::openWindow(HWND parent, HWND* out) noexcept {
    return abiGuard(kMpFail, [&]() -> std::int32_t {
        // Why: a second window would leave the first one unowned, still pointing at this
        // object after it is gone.
        if (window != nullptr) {
            if (out != nullptr) {
                *out = window;
            }
            return kMpOk;
        }
        if (openWindows++ == 0) {
            registerWindowClass();
        }
        if (out != nullptr) {
            *out = nullptr;
        }
        DWORD style = 0;
        DWORD exStyle = 0;
        getWindowStyle(style, exStyle);
        HWND created = CreateWindowExW(exStyle, kWindowClassName, nullptr, style, getArea().left,
                                       getArea().top, getArea().width(), getArea().height(), parent,
                                       nullptr, instance(), nullptr);
        if (created == nullptr) {
            // Why: a failed creation gives its count back, so the class is still unregistered
            // when the last real window closes.
            if (--openWindows == 0) {
                unregisterWindowClass();
            }
            return kMpOk;
        }
        window = created;
        if (out != nullptr) {
            *out = created;
        }
        SetWindowLongPtrW(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return kMpOk;
    });
}

std::int32_t WindowedDisplay::closeWindow() noexcept {
    return abiGuard(kMpFail, [&]() -> std::int32_t {
        if (window == nullptr) {
            return kMpOk;
        }
        // Why the handle is cleared first: a handler that closes again during the destroy
        // messages finds no window and counts nothing twice.
        HWND closing = window;
        window = nullptr;
        DestroyWindow(closing);
        if (--openWindows == 0) {
            unregisterWindowClass();
        }
        return kMpOk;
    });
}

LRESULT CALLBACK WindowedDisplay::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    // Messages sent during creation, before the object is stored, find none.
    auto* object = reinterpret_cast<WindowedDisplay*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Why: an error must not unwind through the system's message dispatch.
    try {
        return object->handleWindowMessage(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT WindowedDisplay::handleWindowMessage(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        // A top-level window ends its thread's message loop; a child does not.
        if (GetParent(window) == nullptr) {
            PostQuitMessage(0);
        }
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        onPaint(dc);
        EndPaint(window, &paint);
        return 1;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 1;
    case WM_TIMER:
        onTimer();
        return 1;
    case WM_MOUSEMOVE:
        onMouseMove(wParam, lowWord(lParam), highWord(lParam));
        return 1;
    case WM_LBUTTONDOWN:
        onLButtonDown(wParam, lowWord(lParam), highWord(lParam));
        return 1;
    case WM_LBUTTONUP:
        onLButtonUp(wParam, lowWord(lParam), highWord(lParam));
        return 1;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void WindowedDisplay::fillWindowClass(WNDCLASSEXW& windowClass) {
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = &WindowedDisplay::windowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance();
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClassName;
    windowClass.hIconSm = nullptr;
}

void WindowedDisplay::getWindowStyle(DWORD& style, DWORD&) {
    style = WS_CHILD | WS_VISIBLE;
}

std::int32_t WindowedDisplay::registerWindowClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    fillWindowClass(windowClass);
    RegisterClassExW(&windowClass);
    return kMpOk;
}

std::int32_t WindowedDisplay::unregisterWindowClass() {
    UnregisterClassW(kWindowClassName, instance());
    return kMpOk;
}

std::int32_t WindowedDisplay::onPaint(HDC) {
    return kMpOk;
}

std::int32_t WindowedDisplay::onLButtonDown(WPARAM, std::int32_t, std::int32_t) {
    return kMpOk;
}

std::int32_t WindowedDisplay::onLButtonUp(WPARAM, std::int32_t, std::int32_t) {
    return kMpOk;
}

std::int32_t WindowedDisplay::onMouseMove(WPARAM, std::int32_t, std::int32_t) {
    return kMpOk;
}

std::int32_t WindowedDisplay::onTimer() {
    return kMpOk;
}

void WindowedDisplay::invalidateRect(const RECT* rect, bool erase) {
    if (window != nullptr) {
        InvalidateRect(window, rect, erase ? TRUE : FALSE);
    }
}

void WindowedDisplay::setCapture() {
    if (window != nullptr) {
        SetCapture(window);
    }
}

void WindowedDisplay::releaseCapture() {
    ReleaseCapture();
}

bool WindowedDisplay::getCapture() {
    return window != nullptr && GetCapture() == window;
}

WindowedDisplay2::WindowedDisplay2(void* hostPointer)
    : WindowedDisplay(hostPointer), hostWindow2(static_cast<HostWindowInterface2*>(
                                        queryHostInterface(hostPointer, kHostWindowInterface2Id))) {
}

} // namespace vex

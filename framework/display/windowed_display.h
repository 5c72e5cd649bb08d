// Display objects that draw into a child window of their own, of class "DefaultMpWClass",
// inside a parent window the host gives them.
#pragma once

#include "framework/display/display_module_base.h"
#include "platform/user32.h"

namespace vex {

// Class name of every windowed display's window.
inline constexpr MpChar kWindowClassName[] = MP_TEXT("DefaultMpWClass");

// Contract: every operation, window creation and destruction and every message run on the
// host's user-interface thread. One reference count serves both interfaces. The class
// "DefaultMpWClass" is registered while any windowed display holds a window (a plain
// process-wide count, used only on that thread).
// Lifetime: the host closes the window before its last release; if it does not, destruction
// closes it, so the window never points at a freed object. A derived class that wants to see
// messages during that close must close the window in its own destructor.
class WindowedDisplay : public AreaDisplay<WindowInterface> {
public:
    // WindowInterface first, then the base's identifiers.
    std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;

    // Creates the window inside `parent` at (left, top) with the area's size and writes its
    // handle, or null when creation failed, to `*window` (which may be null). Always 0.
    // With a window already open it writes that window and creates nothing.
    std::int32_t MP_STDCALL openWindow(HWND parent, HWND* window) noexcept override;
    // Destroys the window, if any; the last window closed unregisters the class. Always 0.
    std::int32_t MP_STDCALL closeWindow() noexcept override;

    // The message map: WM_DESTROY, WM_PAINT, WM_CLOSE, WM_TIMER, WM_MOUSEMOVE,
    // WM_LBUTTONDOWN and WM_LBUTTONUP answer 1; every other message goes to DefWindowProcW.
    virtual LRESULT handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void fillWindowClass(WNDCLASSEXW& windowClass);
    // Style WS_CHILD | WS_VISIBLE; the extended style is left as it is (0).
    virtual void getWindowStyle(DWORD& style, DWORD& exStyle);
    virtual std::int32_t registerWindowClass();
    virtual std::int32_t unregisterWindowClass();
    // Message handlers; x and y are client coordinates, negative left of or above the
    // window while the pointer is captured. The defaults do nothing and answer 0.
    virtual std::int32_t onPaint(HDC dc);
    virtual std::int32_t onLButtonDown(WPARAM flags, std::int32_t x, std::int32_t y);
    virtual std::int32_t onLButtonUp(WPARAM flags, std::int32_t x, std::int32_t y);
    virtual std::int32_t onMouseMove(WPARAM flags, std::int32_t x, std::int32_t y);
    virtual std::int32_t onTimer();

    // Asks Windows to repaint `rect` (client coordinates) or the whole window when null;
    // nothing without a window.
    void invalidateRect(const RECT* rect = nullptr, bool erase = false);
    void setCapture();
    void releaseCapture();
    // True while this object's window holds the pointer capture.
    bool getCapture();

    HWND getWindow() const { return window; }
    HostWindowInterface* getHostWindow() const { return hostWindow; }

    // Windows open across all windowed displays of the process.
    static std::int32_t windowCount();
    // The window procedure of "DefaultMpWClass": finds the object in GWLP_USERDATA.
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

protected:
    // Binds HostDisplayInterface and HostWindowInterface; raises the "host Interfaces not
    // supported" error when either is missing.
    explicit WindowedDisplay(void* hostPointer);
    ~WindowedDisplay() override;

private:
    HWND window = nullptr;
    HostWindowInterface* hostWindow;
};

// A windowed display that also binds HostWindowInterface2 (held, not otherwise used).
class WindowedDisplay2 : public WindowedDisplay {
public:
    HostWindowInterface2* getHostWindow2() const { return hostWindow2; }

protected:
    explicit WindowedDisplay2(void* hostPointer);
    ~WindowedDisplay2() override = default;

private:
    HostWindowInterface2* hostWindow2;
};

} // namespace vex

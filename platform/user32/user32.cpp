// The user32 stand-in used off Windows (see platform/user32.h for what it covers).
// Handles are numbers that are never reused, so a stale handle is always recognised.
#include "platform/user32.h"

#include "platform/device_context.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Text = std::u16string;

constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr std::uintptr_t kFirstHandle = 0x10010;
constexpr std::uintptr_t kFirstCursor = 32512; // IDC_ARROW
constexpr std::uintptr_t kLastCursor = 32651;  // IDC_HELP

struct WindowClass {
    WNDCLASSEXW record;
    Text name;
    ATOM atom;
    int windows = 0;
};

struct Window {
    WindowClass* windowClass;
    DWORD style;
    DWORD exStyle;
    HWND parent;
    int x, y, width, height;
    LONG_PTR userData = 0;
    Text title;
    bool invalid = false;
    RECT update{0, 0, 0, 0};
    bool destroying = false;
    // What BeginPaint hands out: the client size and no surface (there is no screen), so
    // drawing into it fails with a status instead of touching memory.
    HDC__ paintDc{nullptr, 0, 0, 1.0};
};

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC procedure;
    std::chrono::steady_clock::time_point due;
};

struct State {
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::map<std::uintptr_t, Window> windows;
    std::vector<Timer> timers;
    bool quitPosted = false;
    int quitCode = 0;
    HWND capture = nullptr;
    std::uintptr_t nextHandle = kFirstHandle;
    UINT_PTR nextTimerId = 1;
    ATOM nextAtom = 0xC000;
};

// Why a function-local static: created on first use, whichever call comes first.
State& state() {
    static State instance;
    return instance;
}

thread_local DWORD lastError = 0;

std::uintptr_t key(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}

HWND handleOf(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

Window* find(HWND window) {
    auto found = state().windows.find(key(window));
    return found == state().windows.end() ? nullptr : &found->second;
}

Window* findOrFail(HWND window) {
    Window* w = find(window);
    if (w == nullptr) {
        lastError = ERROR_INVALID_WINDOW_HANDLE;
    }
    return w;
}

DWORD tickCount() {
    using namespace std::chrono;
    return static_cast<DWORD>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// A class name is either text or an atom (MAKEINTATOM: a pointer value below 0x10000).
bool isAtom(LPCWSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

char16_t folded(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Class names compare without regard to ASCII letter case, as user32's do.
bool sameName(const Text& a, LPCWSTR b) {
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == 0 || folded(a[i]) != folded(b[i])) {
            return false;
        }
    }
    return b[i] == 0;
}

bool matches(const WindowClass& c, LPCWSTR name) {
    if (name == nullptr) {
        return false;
    }
    if (isAtom(name)) {
        return c.atom == static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
    }
    return sameName(c.name, name);
}

WindowClass* findClass(LPCWSTR name, HINSTANCE instance) {
    for (auto& c : state().classes) {
        if (matches(*c, name) && c->record.hInstance == instance) {
            return c.get();
        }
    }
    return nullptr;
}

bool visible(const Window& w) {
    if ((w.style & WS_VISIBLE) == 0) {
        return false;
    }
    if ((w.style & WS_CHILD) == 0) {
        return true;
    }
    const Window* parent = find(w.parent);
    return parent != nullptr && visible(*parent);
}

bool inRange(UINT message, UINT low, UINT high) {
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

RECT clientRect(const Window& w) {
    return RECT{0, 0, w.width, w.height};
}

void invalidate(Window& w, const RECT* rect) {
    RECT r = clientRect(w);
    if (rect != nullptr) {
        r.left = std::max(r.left, rect->left);
        r.top = std::max(r.top, rect->top);
        r.right = std::min(r.right, rect->right);
        r.bottom = std::min(r.bottom, rect->bottom);
        if (r.left >= r.right || r.top >= r.bottom) {
            return;
        }
    }
    if (!w.invalid) {
        w.update = r;
        w.invalid = true;
        return;
    }
    w.update.left = std::min(w.update.left, r.left);
    w.update.top = std::min(w.update.top, r.top);
    w.update.right = std::max(w.update.right, r.right);
    w.update.bottom = std::max(w.update.bottom, r.bottom);
}

LRESULT callProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = find(window);
    if (w == nullptr) {
        return 0;
    }
    // Why copy the procedure first: the call may create or destroy windows.
    WNDPROC procedure = w->windowClass->record.lpfnWndProc;
    return procedure != nullptr ? procedure(window, message, wParam, lParam)
                                : DefWindowProcW(window, message, wParam, lParam);
}

void removeWindow(HWND window) {
    State& s = state();
    auto found = s.windows.find(key(window));
    if (found == s.windows.end()) {
        return;
    }
    --found->second.windowClass->windows;
    if (s.capture == window) {
        s.capture = nullptr;
    }
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                  [&](const Timer& t) { return t.window == window; }),
                   s.timers.end());
    s.windows.erase(found);
}

// WM_DESTROY to the window, then its children (each the same way), then WM_NCDESTROY.
void destroyTree(HWND window) {
    Window* w = find(window);
    if (w == nullptr || w->destroying) {
        return;
    }
    w->destroying = true;
    callProcedure(window, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    for (const auto& [handle, child] : state().windows) {
        if (child.parent == window) {
            children.push_back(handleOf(handle));
        }
    }
    // Children, and pop-ups the window owns, go with it.
    for (HWND child : children) {
        destroyTree(child);
    }
    callProcedure(window, WM_NCDESTROY, 0, 0);
    removeWindow(window);
}

} // namespace

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXW) ||
        windowClass->lpszClassName == nullptr || isAtom(windowClass->lpszClassName)) {
        lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    if (findClass(windowClass->lpszClassName, windowClass->hInstance) != nullptr) {
        lastError = ERROR_CLASS_ALREADY_EXISTS;
        return 0;
    }
    auto c = std::make_unique<WindowClass>();
    c->record = *windowClass;
    c->name = Text(windowClass->lpszClassName);
    c->atom = state().nextAtom++;
    c->record.lpszClassName = nullptr; // the caller's text is not kept
    c->record.lpszMenuName = nullptr;
    const ATOM atom = c->atom;
    state().classes.push_back(std::move(c));
    return atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
    WindowClass* c = findClass(className, instance);
    if (c == nullptr) {
        lastError = ERROR_CLASS_DOES_NOT_EXIST;
        return FALSE;
    }
    if (c->windows > 0) {
        lastError = ERROR_CLASS_HAS_WINDOWS;
        return FALSE;
    }
    auto& classes = state().classes;
    classes.erase(std::find_if(classes.begin(), classes.end(),
                               [&](const auto& entry) { return entry.get() == c; }));
    return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* windowClass) {
    WindowClass* c = findClass(className, instance);
    if (c == nullptr || windowClass == nullptr) {
        lastError = c == nullptr ? ERROR_CLASS_DOES_NOT_EXIST : ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const UINT size = windowClass->cbSize;
    *windowClass = c->record;
    windowClass->cbSize = size;
    windowClass->lpszClassName = className;
    return c->atom;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    WindowClass* c = findClass(className, instance);
    if (c == nullptr) {
        lastError = ERROR_CANNOT_FIND_WND_CLASS;
        return nullptr;
    }
    if (parent != nullptr && find(parent) == nullptr) {
        lastError = ERROR_INVALID_WINDOW_HANDLE;
        return nullptr;
    }
    if ((style & WS_CHILD) != 0 && parent == nullptr) {
        lastError = ERROR_TLW_WITH_WSCHILD;
        return nullptr;
    }
    State& s = state();
    const std::uintptr_t handle = s.nextHandle;
    s.nextHandle += 4;
    Window w{};
    w.windowClass = c;
    w.style = style;
    w.exStyle = exStyle;
    w.parent = parent;
    w.x = x;
    w.y = y;
    w.width = std::max(width, 0);
    w.height = std::max(height, 0);
    w.title = windowName != nullptr ? Text(windowName) : Text();
    s.windows.emplace(handle, w);
    ++c->windows;

    HWND window = handleOf(handle);
    CREATESTRUCTW create{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    const LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (callProcedure(window, WM_NCCREATE, 0, createParam) == 0) {
        callProcedure(window, WM_NCDESTROY, 0, 0);
        removeWindow(window);
        return nullptr;
    }
    if (callProcedure(window, WM_CREATE, 0, createParam) == -1) {
        destroyTree(window);
        return nullptr;
    }
    Window* created = find(window);
    if (created == nullptr) {
        return nullptr;
    }
    invalidate(*created, nullptr);
    return window;
}

BOOL DestroyWindow(HWND window) {
    Window* w = findOrFail(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (w->destroying) {
        return TRUE;
    }
    destroyTree(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return find(window) != nullptr ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    Window* w = findOrFail(window);
    if (w == nullptr) {
        return nullptr;
    }
    // A child's parent, or a pop-up's owner; other top-level windows have none.
    return (w->style & (WS_CHILD | WS_POPUP)) != 0 ? w->parent : nullptr;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
    Window* w = findOrFail(window);
    if (w == nullptr) {
        return 0;
    }
    if (index != GWLP_USERDATA) {
        lastError = ERROR_INVALID_INDEX;
        return 0;
    }
    return w->userData;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    Window* w = findOrFail(window);
    if (w == nullptr) {
        return 0;
    }
    if (index != GWLP_USERDATA) {
        lastError = ERROR_INVALID_INDEX;
        return 0;
    }
    const LONG_PTR previous = w->userData;
    w->userData = value;
    return previous;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    Window* w = findOrFail(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    // Screen position: a child sits in its parent's client area; the stand-in's windows
    // have no frame, so a client area starts at the window's corner.
    LONG left = w->x;
    LONG top = w->y;
    for (const Window* c = w; (c->style & WS_CHILD) != 0;) {
        c = find(c->parent);
        if (c == nullptr) {
            break;
        }
        left += c->x;
        top += c->y;
    }
    *rect = RECT{left, top, left + w->width, top + w->height};
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    Window* w = findOrFail(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    *rect = clientRect(*w);
    return TRUE;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = find(window);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<LPCWSTR>(lParam);
        w->title = text != nullptr ? Text(text) : Text();
        return TRUE;
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->title.size());
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (buffer == nullptr || wParam == 0) {
            return 0;
        }
        const std::size_t count = std::min<std::size_t>(w->title.size(), wParam - 1);
        std::copy(w->title.begin(), w->title.begin() + static_cast<std::ptrdiff_t>(count), buffer);
        buffer[count] = 0;
        return static_cast<LRESULT>(count);
    }
    default:
        return 0;
    }
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (findOrFail(window) == nullptr) {
        return 0;
    }
    return callProcedure(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    state().quitPosted = true;
    state().quitCode = exitCode;
}

BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (message == nullptr) {
        return FALSE;
    }
    State& s = state();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    *message = MSG{};
    message->time = tickCount();
    // A posted quit comes first, whatever the filter.
    if (s.quitPosted) {
        if (remove) {
            s.quitPosted = false;
        }
        message->message = WM_QUIT;
        message->wParam = static_cast<WPARAM>(s.quitCode);
        return TRUE;
    }
    // Then paint for a visible window with something to redraw; it stays until validated.
    if (inRange(WM_PAINT, filterMin, filterMax)) {
        for (const auto& [handle, w] : s.windows) {
            if (w.invalid && visible(w) && (window == nullptr || key(window) == handle)) {
                message->hwnd = handleOf(handle);
                message->message = WM_PAINT;
                return TRUE;
            }
        }
    }
    // Then the first timer that is due.
    if (inRange(WM_TIMER, filterMin, filterMax)) {
        const auto now = std::chrono::steady_clock::now();
        for (Timer& t : s.timers) {
            if (t.due <= now && (window == nullptr || t.window == window)) {
                message->hwnd = t.window;
                message->message = WM_TIMER;
                message->wParam = t.id;
                message->lParam = reinterpret_cast<LPARAM>(t.procedure);
                if (remove) {
                    t.due = now + std::chrono::milliseconds(t.elapse);
                }
                return TRUE;
            }
        }
    }
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* message) {
    if (message == nullptr) {
        return 0;
    }
    if (message->message == WM_TIMER && message->lParam != 0) {
        // The procedure is called only while a timer still uses it.
        const auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
        const auto& timers = state().timers;
        const bool live = std::any_of(timers.begin(), timers.end(), [&](const Timer& t) {
            return t.procedure == procedure && t.window == message->hwnd;
        });
        if (live) {
            procedure(message->hwnd, WM_TIMER, message->wParam, tickCount());
        }
        return 0;
    }
    if (message->hwnd == nullptr) {
        return 0;
    }
    return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    Window* w = findOrFail(window);
    if (w == nullptr || paint == nullptr) {
        return nullptr;
    }
    *paint = PAINTSTRUCT{};
    w->paintDc = HDC__{nullptr, w->width, w->height, 1.0};
    paint->hdc = &w->paintDc;
    paint->rcPaint = w->invalid ? w->update : RECT{0, 0, 0, 0};
    w->invalid = false;
    w->update = RECT{0, 0, 0, 0};
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    return find(window) != nullptr ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL) {
    if (window == nullptr) {
        for (auto& entry : state().windows) {
            invalidate(entry.second, nullptr);
        }
        return TRUE;
    }
    Window* w = findOrFail(window);
    if (w == nullptr) {
        return FALSE;
    }
    invalidate(*w, rect);
    return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
    Window* w = findOrFail(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (rect != nullptr) {
        *rect = w->invalid ? w->update : RECT{0, 0, 0, 0};
    }
    return w->invalid ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    Window* w = findOrFail(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (w->invalid && visible(*w)) {
        callProcedure(window, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HWND SetCapture(HWND window) {
    State& s = state();
    const HWND previous = s.capture;
    s.capture = find(window) != nullptr ? window : nullptr;
    return previous;
}

BOOL ReleaseCapture() {
    state().capture = nullptr;
    return TRUE;
}

HWND GetCapture() {
    return state().capture;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    const auto id = reinterpret_cast<std::uintptr_t>(name);
    if (instance != nullptr || id < kFirstCursor || id > kLastCursor) {
        lastError = ERROR_RESOURCE_NAME_NOT_FOUND;
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(0x20000 + id);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    if (window != nullptr && findOrFail(window) == nullptr) {
        return 0;
    }
    State& s = state();
    elapse = std::clamp(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(elapse);
    // An existing timer of the same window and id is replaced. Without a window, an id
    // that names no timer is ignored and a new id is made.
    for (Timer& t : s.timers) {
        if (t.window == window && t.id == id) {
            t.elapse = elapse;
            t.procedure = procedure;
            t.due = due;
            return window != nullptr ? 1 : id;
        }
    }
    if (window == nullptr) {
        id = s.nextTimerId++;
    }
    s.timers.push_back(Timer{window, id, elapse, procedure, due});
    return window != nullptr ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto& timers = state().timers;
    auto found = std::find_if(timers.begin(), timers.end(),
                              [&](const Timer& t) { return t.window == window && t.id == id; });
    if (found == timers.end()) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    timers.erase(found);
    return TRUE;
}

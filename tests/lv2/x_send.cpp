// Sends a user's pointer, clicks and typing to an X window, as they reach it:
//   vex_x_send WINDOW_ID enter X Y     the pointer enters at (X, Y) and moves there
//   vex_x_send WINDOW_ID click X Y     a left-button click at (X, Y)
//   vex_x_send WINDOW_ID keys KEY...   each key pressed and released without modifiers;
//                                      a KEY is a key symbol's name ("Return", "a", ...)
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// An event of `type` for `window` at (x, y) where the kind has a place, as X delivers it.
XEvent eventFor(Display* display, Window window, int type, int x, int y) {
    XEvent event{};
    event.xany.type = type;
    event.xany.display = display;
    event.xany.window = window;
    if (type == EnterNotify) {
        event.xcrossing.root = DefaultRootWindow(display);
        event.xcrossing.x = x;
        event.xcrossing.y = y;
        event.xcrossing.mode = NotifyNormal;
        event.xcrossing.same_screen = True;
    } else if (type == MotionNotify) {
        event.xmotion.root = DefaultRootWindow(display);
        event.xmotion.x = x;
        event.xmotion.y = y;
        event.xmotion.same_screen = True;
    } else if (type == ButtonPress || type == ButtonRelease) {
        event.xbutton.root = DefaultRootWindow(display);
        event.xbutton.x = x;
        event.xbutton.y = y;
        event.xbutton.button = Button1;
        event.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
        event.xbutton.same_screen = True;
    } else {
        event.xkey.root = DefaultRootWindow(display);
        event.xkey.same_screen = True;
    }
    return event;
}

bool send(Display* display, Window window, XEvent event, long mask) {
    return XSendEvent(display, window, False, mask, &event) != 0;
}

// Each key pressed and released; false (with a message) for a name that is no key.
bool sendKeys(Display* display, Window window, int count, char** names) {
    for (int i = 0; i < count; ++i) {
        const KeySym symbol = XStringToKeysym(names[i]);
        const KeyCode code = symbol != NoSymbol ? XKeysymToKeycode(display, symbol) : 0;
        if (code == 0) {
            std::fprintf(stderr, "no key for '%s'\n", names[i]);
            return false;
        }
        XEvent press = eventFor(display, window, KeyPress, 0, 0);
        press.xkey.keycode = code;
        XEvent release = press;
        release.xkey.type = KeyRelease;
        if (!send(display, window, press, KeyPressMask) ||
            !send(display, window, release, KeyReleaseMask)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const bool keys = argc >= 4 && std::strcmp(argv[2], "keys") == 0;
    const bool pointer =
        argc == 5 && (std::strcmp(argv[2], "enter") == 0 || std::strcmp(argv[2], "click") == 0);
    if (!keys && !pointer) {
        std::fprintf(stderr, "usage: %s WINDOW_ID enter|click X Y | keys KEY...\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const auto window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    bool sent = false;
    if (keys) {
        sent = sendKeys(display, window, argc - 3, argv + 3);
    } else {
        const int x = std::atoi(argv[3]);
        const int y = std::atoi(argv[4]);
        if (std::strcmp(argv[2], "enter") == 0) {
            sent = send(display, window, eventFor(display, window, EnterNotify, x, y),
                        EnterWindowMask) &&
                   send(display, window, eventFor(display, window, MotionNotify, x, y),
                        PointerMotionMask);
        } else {
            sent = send(display, window, eventFor(display, window, ButtonPress, x, y),
                        ButtonPressMask) &&
                   send(display, window, eventFor(display, window, ButtonRelease, x, y),
                        ButtonReleaseMask);
        }
    }
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}

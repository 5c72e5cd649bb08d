// Sends key presses to an X window, as a user's typing reaches it:
//   vex_x_type WINDOW_ID KEY...
// Each KEY is a key symbol's name ("Return", "Tab", "a", ...), pressed without modifiers.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s WINDOW_ID KEY...\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const auto window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    bool sent = true;
    for (int i = 2; i < argc; ++i) {
        const KeySym symbol = XStringToKeysym(argv[i]);
        const KeyCode code = symbol != NoSymbol ? XKeysymToKeycode(display, symbol) : 0;
        if (code == 0) {
            std::fprintf(stderr, "no key for '%s'\n", argv[i]);
            XCloseDisplay(display);
            return 2;
        }
        XEvent event{};
        event.xkey.type = KeyPress;
        event.xkey.display = display;
        event.xkey.window = window;
        event.xkey.root = DefaultRootWindow(display);
        event.xkey.keycode = code;
        event.xkey.same_screen = True;
        sent = sent && XSendEvent(display, window, False, KeyPressMask, &event) != 0;
        event.xkey.type = KeyRelease;
        sent = sent && XSendEvent(display, window, False, KeyReleaseMask, &event) != 0;
    }
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}

// Sends a user's pointer and clicks to an X window, as they reach it:
//   vex_x_send WINDOW_ID enter X Y     the pointer enters at (X, Y) and moves there
//   vex_x_send WINDOW_ID click X Y     a left-button click at (X, Y)
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 5 || (std::strcmp(argv[2], "enter") != 0 && std::strcmp(argv[2], "click") != 0)) {
        std::fprintf(stderr, "usage: %s WINDOW_ID enter|click X Y\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const auto window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    const int x = std::atoi(argv[3]);
    const int y = std::atoi(argv[4]);
    Status sent = 1;
    XEvent event{};
    if (std::strcmp(argv[2], "enter") == 0) {
        event.xcrossing.type = EnterNotify;
        event.xcrossing.display = display;
        event.xcrossing.window = window;
        event.xcrossing.root = DefaultRootWindow(display);
        event.xcrossing.x = x;
        event.xcrossing.y = y;
        event.xcrossing.mode = NotifyNormal;
        event.xcrossing.same_screen = True;
        sent = XSendEvent(display, window, False, EnterWindowMask, &event);
        event = XEvent{};
        event.xmotion.type = MotionNotify;
        event.xmotion.display = display;
        event.xmotion.window = window;
        event.xmotion.root = DefaultRootWindow(display);
        event.xmotion.x = x;
        event.xmotion.y = y;
        event.xmotion.same_screen = True;
        sent = sent && XSendEvent(display, window, False, PointerMotionMask, &event);
    } else {
        event.xbutton.type = ButtonPress;
        event.xbutton.display = display;
        event.xbutton.window = window;
        event.xbutton.root = DefaultRootWindow(display);
        event.xbutton.x = x;
        event.xbutton.y = y;
        event.xbutton.button = Button1;
        event.xbutton.same_screen = True;
        sent = XSendEvent(display, window, False, ButtonPressMask, &event);
        event.xbutton.type = ButtonRelease;
        event.xbutton.state = Button1Mask;
        sent = sent && XSendEvent(display, window, False, ButtonReleaseMask, &event);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}

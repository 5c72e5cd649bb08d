// Sends a left-button click to an X window, as a user's click reaches it:
//   vex_x_click WINDOW_ID [X Y]
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s WINDOW_ID [X Y]\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const auto window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.display = display;
    event.xbutton.window = window;
    event.xbutton.root = DefaultRootWindow(display);
    event.xbutton.x = argc == 4 ? std::atoi(argv[2]) : 10;
    event.xbutton.y = argc == 4 ? std::atoi(argv[3]) : 10;
    event.xbutton.button = Button1;
    event.xbutton.same_screen = True;
    Status sent = XSendEvent(display, window, False, ButtonPressMask, &event);
    event.xbutton.type = ButtonRelease;
    event.xbutton.state = Button1Mask;
    sent = sent && XSendEvent(display, window, False, ButtonReleaseMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}

// The UI half of the LV2 plug-in: the X11 window's life, its events and its painting.
// Everything here runs on the host's UI thread.
#include "lv2/ui/analyzer_ui.h"

#include "host/kit/frame_view.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <cstring>

namespace vex::lv2 {

bool AnalyzerUi::open(const std::string& bundlePath, Window parent) {
    std::string path = bundlePath;
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    if (!library.load(path + kModuleFileName)) {
        return false;
    }
    host::DisplayLook look = host::defaultLook();
    look.width = kDefaultWidth;
    look.height = kDefaultHeight;
    pane.open(*library.factory(), look, 1);
    const std::int32_t width = pane.width();
    const std::int32_t height = pane.height();

    x = XOpenDisplay(nullptr);
    if (x == nullptr) {
        return false;
    }
    embedded = parent != 0;
    const Window under = embedded ? parent : DefaultRootWindow(x);
    const unsigned long black = BlackPixel(x, DefaultScreen(x));
    window = XCreateSimpleWindow(x, under, 0, 0, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, black, black);
    // The picture covers the whole window: no background repaint before each paint.
    XSetWindowBackgroundPixmap(x, window, None);
    XSelectInput(x, window,
                 ExposureMask | StructureNotifyMask | ButtonPressMask | KeyPressMask |
                     PointerMotionMask | EnterWindowMask | LeaveWindowMask);
    XStoreName(x, window, "VEX analyzer");
    XSizeHints hints{};
    hints.flags = PMinSize | PBaseSize;
    hints.min_width = pane.smallest().width;
    hints.min_height = pane.smallest().height;
    hints.base_width = width;
    hints.base_height = height;
    XSetWMNormalHints(x, window, &hints);
    deleteWindow = XInternAtom(x, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(x, window, &deleteWindow, 1);
    if (resizeHost != nullptr) {
        resizeHost->ui_resize(resizeHost->handle, width, height);
    }
    if (embedded) {
        show();
    }
    XFlush(x);
    return true;
}

AnalyzerUi::~AnalyzerUi() {
    if (listening) {
        tellDsp(urids.uiClosed);
    }
    if (x != nullptr) {
        if (window != 0) {
            XDestroyWindow(x, window);
        }
        XCloseDisplay(x);
    }
}

void AnalyzerUi::tellDsp(LV2_URID message) {
    LV2_Atom_Object object;
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(&object), sizeof object);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge, &frame, 0, message);
    lv2_atom_forge_pop(&forge, &frame);
    write(controller, kPortControl, sizeof object, urids.eventTransfer, &object);
    listening = message == urids.uiOpen;
}

void AnalyzerUi::applySize(std::int32_t newWidth, std::int32_t newHeight) {
    pane.resize(newWidth, newHeight);
    dirty = true;
}

void AnalyzerUi::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                           const void* buffer) {
    if (ports.portEvent(pane, port, size, format, buffer)) {
        dirty = true;
    }
}

int AnalyzerUi::idle() {
    while (XPending(x) > 0) {
        XEvent event;
        XNextEvent(x, &event);
        handle(event);
    }
    if (ports.followGroup(pane)) {
        dirty = true;
    }
    if (mapped && (dirty || pane.dirty())) {
        paint();
    }
    return closed ? 1 : 0;
}

void AnalyzerUi::handle(XEvent& event) {
    // The group sees the pointer too (the member nearest it), and a label being typed
    // takes every key before the tools' keys do.
    if (event.type == MotionNotify || event.type == LeaveNotify) {
        const bool left = event.type == LeaveNotify;
        group.pointerAt(left ? -1 : event.xmotion.x, left ? -1 : event.xmotion.y);
        dirty = dirty || group.showing();
    } else if (event.type == KeyPress && group.editing()) {
        keyPressed(event.xkey);
        return;
    }
    if (tools.event(event)) {
        return;
    }
    switch (event.type) {
    case Expose:
        dirty = true;
        break;
    case ConfigureNotify:
        if (event.xconfigure.width != pane.width() || event.xconfigure.height != pane.height()) {
            applySize(event.xconfigure.width, event.xconfigure.height);
        }
        break;
    case ButtonPress:
        // A click shows the next view, and the host's mode control follows.
        if (event.xbutton.button == Button1) {
            ports.showMode(pane, host::modeOf(host::nextView(pane.view())), true);
            group.chooseView(ports.mode());
            dirty = true;
        }
        break;
    case KeyPress:
        keyPressed(event.xkey);
        break;
    case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
            closed = true;
        }
        break;
    default:
        break;
    }
}

// Tab highlights the next member; Return types this instance's label (Return again sets
// it, Escape cancels).
void AnalyzerUi::keyPressed(XKeyEvent& event) {
    char text[16] = {};
    KeySym key = 0;
    const int length = XLookupString(&event, text, sizeof text - 1, &key, nullptr);
    if (!group.showing()) {
        return;
    }
    if (group.editing()) {
        if (key == XK_Return || key == XK_KP_Enter) {
            const std::string label = group.finish();
            settings.send(kSettingLabel, label.data(), static_cast<std::uint32_t>(label.size()));
        } else if (key == XK_Escape) {
            group.cancel();
        } else if (key == XK_BackSpace) {
            group.erase();
        } else if (length > 0) {
            group.type(std::string(text, static_cast<std::size_t>(length)));
        }
    } else if (key == XK_Tab) {
        group.highlightNext();
    } else if (key == XK_Return || key == XK_KP_Enter) {
        group.startEditing();
    }
    dirty = true;
}

void AnalyzerUi::paint() {
    dirty = false;
    pane.setCaption(group.caption(pane));
    const host::PaintSurface* surface = nullptr;
    try {
        surface = &pane.paint();
    } catch (const std::exception&) {
        return; // the display refused to paint: the window keeps its last picture
    }
    const std::int32_t width = surface->width();
    const std::int32_t height = surface->height();
    std::vector<std::uint32_t> pixels = surface->pixels();
    cairo_surface_t* image =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data()),
                                            CAIRO_FORMAT_ARGB32, width, height, width * 4);
    XWindowAttributes attributes{};
    XGetWindowAttributes(x, window, &attributes);
    cairo_surface_t* target = cairo_xlib_surface_create(x, window, attributes.visual,
                                                        attributes.width, attributes.height);
    cairo_t* cr = cairo_create(target);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
    cairo_surface_destroy(image);
    XFlush(x);
}

int AnalyzerUi::show() {
    if (!mapped) {
        XMapRaised(x, window);
        XFlush(x);
        mapped = true;
        dirty = true;
    }
    if (!listening) {
        tellDsp(urids.uiOpen);
    }
    return 0;
}

int AnalyzerUi::hide() {
    if (mapped) {
        XUnmapWindow(x, window);
        XFlush(x);
        mapped = false;
    }
    if (listening) {
        tellDsp(urids.uiClosed);
    }
    return 0;
}

int AnalyzerUi::resize(int newWidth, int newHeight) {
    applySize(newWidth, newHeight);
    XResizeWindow(x, window, static_cast<unsigned>(pane.width()),
                  static_cast<unsigned>(pane.height()));
    XFlush(x);
    return 0;
}

} // namespace vex::lv2

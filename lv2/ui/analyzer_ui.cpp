// The UI half of the LV2 plug-in: the X11 window's life, its events and its painting, and
// the LV2 UI entry points. Everything here runs on the host's UI thread.
#include "lv2/ui/analyzer_ui.h"

#include "host/kit/module_objects.h"
#include "host/kit/view/group_caption.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <lv2/core/lv2_util.h>

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
    host::startGdiplus();
    session = std::make_unique<host::DisplaySession>(*library.factory(), ports.mode(),
                                                     host::defaultLook(), 1, 48000.0);
    // Why only the lower limit: the display's measure clamps both sides to 15..100, and a
    // picture of at most 100 x 100 pixels cannot show the analysis; the window follows
    // the host's size down to the display's smallest.
    const MeasureSize smallest = session->measure(0, 0);
    minimumWidth = std::max<std::int32_t>(1, smallest.width);
    minimumHeight = std::max<std::int32_t>(1, smallest.height);
    applySize(kDefaultWidth, kDefaultHeight);

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
    hints.min_width = minimumWidth;
    hints.min_height = minimumHeight;
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
    surface.reset();
    session.reset();
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
    width = std::max(minimumWidth, newWidth);
    height = std::max(minimumHeight, newHeight);
    session->resize(width, height);
    if (!surface || surface->width() != width || surface->height() != height) {
        surface = std::make_unique<host::PaintSurface>(width, height);
    }
    dirty = true;
}

void AnalyzerUi::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                           const void* buffer) {
    if (ports.portEvent(*session, port, size, format, buffer)) {
        dirty = true;
    }
}

int AnalyzerUi::idle() {
    while (XPending(x) > 0) {
        XEvent event;
        XNextEvent(x, &event);
        // The group sees the pointer too (the member nearest it), and a label being typed
        // takes every key before the tools' keys do.
        if (event.type == MotionNotify || event.type == LeaveNotify) {
            const bool left = event.type == LeaveNotify;
            group.pointerAt(left ? -1 : event.xmotion.x, left ? -1 : event.xmotion.y);
            dirty = dirty || group.showing();
        } else if (event.type == KeyPress && group.editing()) {
            keyPressed(event.xkey);
            continue;
        }
        if (tools.event(event)) {
            continue;
        }
        switch (event.type) {
        case Expose:
            dirty = true;
            break;
        case ConfigureNotify:
            if (event.xconfigure.width != width || event.xconfigure.height != height) {
                applySize(event.xconfigure.width, event.xconfigure.height);
            }
            break;
        case ButtonPress:
            // A click shows the next view, and the host's mode control follows.
            if (event.xbutton.button == Button1) {
                ports.showMode(*session, (ports.mode() + 1) % 3, true);
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
    if (ports.followGroup(*session)) {
        dirty = true;
    }
    if (mapped && (dirty || session->invalidated() || tools.dirty())) {
        paint();
    }
    return closed ? 1 : 0;
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
    try {
        session->paint(*surface, 0);
        tools.draw(*surface, width, height, !host::defaultLook().label.empty());
    } catch (const std::exception&) {
        return; // the display refused to paint: the window keeps its last picture
    }
    host::group::drawCaption(*surface, group.caption(ports.mode(), width, height));
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
    XResizeWindow(x, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(x);
    return 0;
}

namespace {

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char* bundlePath,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    auto* map = static_cast<LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    if (map == nullptr || bundlePath == nullptr || write == nullptr || widget == nullptr) {
        return nullptr;
    }
    const auto parent = static_cast<Window>(
        reinterpret_cast<std::uintptr_t>(lv2_features_data(features, LV2_UI__parent)));
    const auto* hostResize =
        static_cast<const LV2UI_Resize*>(lv2_features_data(features, LV2_UI__resize));
    try {
        auto ui = std::make_unique<AnalyzerUi>(write, controller, *map, hostResize);
        ui->readOptions(features);
        if (!ui->open(bundlePath, parent)) {
            return nullptr;
        }
        *widget = reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(ui->widget()));
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) {
    delete static_cast<AnalyzerUi*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    try {
        static_cast<AnalyzerUi*>(handle)->portEvent(port, size, format, buffer);
    } catch (...) {
        // A value the display refused: it keeps what it had.
    }
}

int idle(LV2UI_Handle handle) {
    try {
        return static_cast<AnalyzerUi*>(handle)->idle();
    } catch (...) {
        return 1;
    }
}

int show(LV2UI_Handle handle) {
    return static_cast<AnalyzerUi*>(handle)->show();
}

int hide(LV2UI_Handle handle) {
    return static_cast<AnalyzerUi*>(handle)->hide();
}

int resize(LV2UI_Feature_Handle handle, int width, int height) {
    try {
        return static_cast<AnalyzerUi*>(handle)->resize(width, height);
    } catch (...) {
        return 1;
    }
}

const void* extensionData(const char* uri) {
    static const LV2UI_Idle_Interface idleInterface = {idle};
    static const LV2UI_Show_Interface showInterface = {show, hide};
    // The host calls it with the UI's own handle as the first argument.
    static const LV2UI_Resize resizeInterface = {nullptr, resize};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) {
        return &idleInterface;
    }
    if (std::strcmp(uri, LV2_UI__showInterface) == 0) {
        return &showInterface;
    }
    if (std::strcmp(uri, LV2_UI__resize) == 0) {
        return &resizeInterface;
    }
    return nullptr;
}

const LV2UI_Descriptor descriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

} // namespace vex::lv2

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &vex::lv2::descriptor : nullptr;
}

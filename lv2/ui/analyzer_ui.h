// The UI half of the LV2 plug-in: an X11 window around the kit's viewer pane (the module's
// display object, created through the module's factory, with the viewer's tools and a
// group's caption), fed the frames the DSP sends on its notify port. This file keeps the
// window system, the event loop and the plug-in's own ports and settings.
#pragma once

// Why first: X11's headers define Bool, a name LV2's forge uses.
#include <lv2/atom/forge.h>

#include "host/kit/module_library.h"
#include "host/kit/view/viewer_pane.h"
#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/urids.h"
#include "lv2/ui/group_ui.h"
#include "lv2/ui/settings_channel.h"
#include "lv2/ui/ui_ports.h"
#include "lv2/ui/ui_tools.h"

#include <X11/Xlib.h>
#include <lv2/atom/atom.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex::lv2 {

// vexhost's default picture size; the host may size the window otherwise.
inline constexpr std::int32_t kDefaultWidth = 640;
inline constexpr std::int32_t kDefaultHeight = 360;

// One UI instance. Every operation runs on the host's UI thread.
class AnalyzerUi {
public:
    AnalyzerUi(LV2UI_Write_Function writeFunction, LV2UI_Controller hostController,
               LV2_URID_Map& map, const LV2UI_Resize* hostResize)
        : write(writeFunction), controller(hostController), resizeHost(hostResize), urids(map),
          settings(map, urids, writeFunction, hostController), tools(settings, pane),
          ports(urids, writeFunction, hostController, settings, tools, group) {
        lv2_atom_forge_init(&forge, &map);
        tools.connectControls(writeFunction, hostController);
        tools.connectGroup(group);
    }
    ~AnalyzerUi();
    AnalyzerUi(const AnalyzerUi&) = delete;
    AnalyzerUi& operator=(const AnalyzerUi&) = delete;

    // Loads the module, creates the display object and the window (inside `parent` when
    // the host gives one). False when any of them cannot be made.
    bool open(const std::string& bundlePath, Window parent);
    Window widget() const { return window; }
    // The host's options the pane reads (the sample rate, the scale factor); before open().
    void readOptions(const LV2_Feature* const* features) { tools.readOptions(features, urids); }

    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer);
    int idle();
    int show();
    int hide();
    int resize(int width, int height);

private:
    void applySize(std::int32_t width, std::int32_t height);
    void tellDsp(LV2_URID message);
    void paint();
    // One event of the window: the group's and tools' first, then the window's own.
    void handle(XEvent& event);
    void keyPressed(XKeyEvent& event);

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Resize* resizeHost;
    Urids urids;
    LV2_Atom_Forge forge;
    SettingsChannel settings;
    host::ViewerPane pane{0, 48000.0};
    UiTools tools;
    UiGroup group;
    UiPorts ports;

    host::ModuleLibrary library;

    Display* x = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;
    bool embedded = false;
    bool mapped = false;
    bool listening = false;
    bool dirty = true;
    bool closed = false;
};

} // namespace vex::lv2

// What the UI does with the port events the host hands it: the DSP's frames (through the
// window's tools into the display) and the settings it announces on the notify port, the
// update-rate, group and slot controls, the analysis control, and the mode control, which the
// display's view follows and which follows the view back. Also the group's members followed into
// the display. Needs no window: the UI's window drives it, and so can a test. UI thread only.
#pragma once

#include "host/kit/view/viewer_pane.h"
#include "lv2/common/urids.h"
#include "lv2/ui/group_ui.h"
#include "lv2/ui/settings_channel.h"
#include "lv2/ui/ui_tools.h"

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>

namespace vex::lv2 {

class UiPorts {
public:
    // `write` and `controller` are the host's; the URIDs, channel, tools and group the UI's.
    // All outlive the ports.
    UiPorts(const Urids& urids, LV2UI_Write_Function write, LV2UI_Controller controller,
            SettingsChannel& settings, UiTools& tools, UiGroup& group);

    // One port event (any port, size, format and bytes) for `pane`. True when what the
    // window shows changed.
    bool portEvent(host::ViewerPane& pane, std::uint32_t port, std::uint32_t size,
                   std::uint32_t format, const void* buffer);
    // Reads the group into `pane` and follows the group's view. True when what the window
    // shows changed.
    bool followGroup(host::ViewerPane& pane);

    // Shows view `wanted` (the display may show another); the mode control follows when
    // `tellHost`.
    void showMode(host::ViewerPane& pane, std::int32_t wanted, bool tellHost);
    // The view the display shows (0..2 for this module).
    std::int32_t mode() const { return view; }

private:
    void sendMode();

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    SettingsChannel& settings;
    UiTools& tools;
    UiGroup& group;
    const Urids& urids;
    std::int32_t view = 0;
};

} // namespace vex::lv2

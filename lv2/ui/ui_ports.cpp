// Why first: X11's headers define Bool, a name LV2's forge uses.
#include "lv2/common/frame_event.h"

#include "lv2/ui/ui_ports.h"

#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/control_choice.h"

#include <lv2/atom/atom.h>

#include <vector>

namespace vex::lv2 {

UiPorts::UiPorts(const Urids& uiUrids, LV2UI_Write_Function writeFunction,
                 LV2UI_Controller hostController, SettingsChannel& channel, UiTools& uiTools,
                 UiGroup& uiGroup)
    : write(writeFunction), controller(hostController), settings(channel), tools(uiTools),
      group(uiGroup), urids(uiUrids) {}

void UiPorts::sendMode() {
    const auto shown = static_cast<float>(view);
    write(controller, kPortMode, sizeof shown, 0, &shown);
}

void UiPorts::showMode(host::ViewerPane& pane, std::int32_t wanted, bool tellHost) {
    view = pane.setMode(wanted);
    if (tellHost) {
        sendMode();
    }
}

bool UiPorts::portEvent(host::ViewerPane& pane, std::uint32_t port, std::uint32_t size,
                        std::uint32_t format, const void* buffer) {
    if (buffer == nullptr || !pane.opened()) {
        return false;
    }
    if (port == kPortNotify && format == urids.eventTransfer && size >= sizeof(LV2_Atom)) {
        const auto* atom = static_cast<const LV2_Atom*>(buffer);
        std::uint32_t which = 0;
        std::vector<std::uint8_t> value;
        FrameEvent frame;
        if (frameFromAtom(urids, *atom, size, frame)) {
            if (frame.size == static_cast<std::uint32_t>(host::frameSizeOf(host::View::kLinear)) ||
                frame.size == static_cast<std::uint32_t>(host::frameSizeOf(host::View::kLog))) {
                tools.frameAnalysis(frame.analysis);
            }
            const std::int64_t sample = tools.frameSample(frame.time, frame.sampleRate);
            if (group.showing()) {
                // This instance's frames come with the group's, in its slot; their times
                // keep the clock.
                pane.advanceTo(sample);
                return false;
            }
            pane.take(0, frame.bytes, static_cast<std::int32_t>(frame.size), sample);
        } else if (settings.take(*atom, size, which, value)) {
            tools.setting(which, value);
            return true;
        }
    } else if ((port == kPortGroup || port == kPortSlot) && format == 0 && size == sizeof(float)) {
        const float value = *static_cast<const float*>(buffer);
        port == kPortGroup ? group.setGroup(value) : group.setSlot(value);
        return true;
    } else if (port == kPortAnalysis && format == 0 && size == sizeof(float)) {
        tools.analysisControl(*static_cast<const float*>(buffer));
        return true;
    } else if (port == kPortMode && format == 0 && size == sizeof(float)) {
        const float value = *static_cast<const float*>(buffer);
        // Why the clamp here: the display's mode pin takes whole numbers; NaN shows 0.
        const std::int32_t wanted = controlChoice(value, 0, 1000);
        const bool changed = wanted != view || pane.session().modeShown() < 0;
        if (changed) {
            showMode(pane, wanted, false);
        }
        // The control follows the mode the display shows, should the host's differ.
        if (static_cast<float>(view) != value) {
            sendMode();
        }
        return changed;
    }
    return false;
}

// The group's members into the display, and the group's view into this UI and the
// instance's mode control (so the control says what the instance sends).
bool UiPorts::followGroup(host::ViewerPane& pane) {
    const std::int32_t groupView = group.update(pane);
    bool changed = group.changed();
    if (groupView >= 0 && groupView != view) {
        showMode(pane, groupView, true);
        changed = true;
    }
    return changed;
}

} // namespace vex::lv2

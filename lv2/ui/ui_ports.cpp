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

void UiPorts::showMode(host::DisplaySession& session, std::int32_t wanted, bool tellHost) {
    session.setMode(wanted);
    const std::int32_t shown = session.modeShown();
    view = shown >= 0 ? shown : wanted;
    tools.setView(view);
    if (tellHost) {
        sendMode();
    }
}

bool UiPorts::portEvent(host::DisplaySession& session, std::uint32_t port, std::uint32_t size,
                        std::uint32_t format, const void* buffer) {
    if (buffer == nullptr) {
        return false;
    }
    if (port == kPortNotify && format == urids.eventTransfer && size >= sizeof(LV2_Atom)) {
        const auto* atom = static_cast<const LV2_Atom*>(buffer);
        std::uint32_t which = 0;
        std::vector<std::uint8_t> value;
        FrameEvent frame;
        if (frameFromAtom(urids, *atom, size, frame)) {
            if (group.showing()) {
                return false; // this instance's frames come with the group's, in its slot
            }
            const auto frameSize = static_cast<std::int32_t>(frame.size);
            const std::uint8_t* bytes =
                tools.frame(0, frame.bytes, frameSize, frame.time, frame.sampleRate);
            if (bytes != nullptr) {
                session.deliverFrame(0, bytes, frameSize, 0);
            }
        } else if (settings.take(*atom, size, which, value)) {
            tools.setting(which, value);
            return true;
        }
    } else if (port == kPortRate && format == 0 && size == sizeof(float)) {
        tools.rateControl(*static_cast<const float*>(buffer));
    } else if ((port == kPortGroup || port == kPortSlot) && format == 0 && size == sizeof(float)) {
        const float value = *static_cast<const float*>(buffer);
        port == kPortGroup ? group.setGroup(value) : group.setSlot(value);
        return true;
    } else if (port == kPortMode && format == 0 && size == sizeof(float)) {
        const float value = *static_cast<const float*>(buffer);
        // Why the clamp here: the display's mode pin takes whole numbers; NaN shows 0.
        const std::int32_t wanted = controlChoice(value, 0, 1000);
        const bool changed = wanted != view || session.modeShown() < 0;
        if (changed) {
            showMode(session, wanted, false);
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
bool UiPorts::followGroup(host::DisplaySession& session) {
    const std::int32_t groupView = group.update(
        session, view, [this](std::int32_t voice, const std::uint8_t* bytes, std::int32_t size) {
            return tools.frame(voice, bytes, size);
        });
    tools.setHighlighted(group.showing() ? group.highlighted() : 0);
    bool changed = group.changed();
    if (groupView >= 0 && groupView != view) {
        showMode(session, groupView, true);
        changed = true;
    }
    return changed;
}

} // namespace vex::lv2

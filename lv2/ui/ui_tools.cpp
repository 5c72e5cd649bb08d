#include "lv2/ui/ui_tools.h"

#include "lv2/common/control_choice.h"

#include <X11/Xutil.h>
#include <lv2/core/lv2_util.h>
#include <lv2/options/options.h>

#include <cstring>

namespace vex::lv2 {

void UiTools::readOptions(const LV2_Feature* const* features, const Urids& urids) {
    const auto* options =
        static_cast<const LV2_Options_Option*>(lv2_features_data(features, LV2_OPTIONS__options));
    if (options == nullptr) {
        return;
    }
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->key == urids.sampleRate && o->type == urids.atomFloat && o->size == sizeof(float) &&
            o->value != nullptr) {
            float rate = 0.0f;
            std::memcpy(&rate, o->value, sizeof rate);
            // Why the bounds: a host's option is input; a rate outside them is not one.
            if (rate >= 1000.0f && rate <= 1e6f) {
                tools.setSampleRate(rate);
            }
        }
    }
}

void UiTools::rateControl(float value) {
    // The control's choices 0..7 are 5, 10, ..., 40 frames a second; NaN reads 0.
    framePeriod = 1.0 / (5.0 * (controlChoice(value, 0, 7) + 1));
}

const std::uint8_t* UiTools::frame(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                                   std::int64_t sampleTime, double sampleRate) {
    if (!tools.frozen() && voice == highlighted) {
        // Why the step and not the time itself: the clock runs on across an activation,
        // which starts the times at 0 again.
        const bool timed = sampleTime > lastTime && lastTime >= 0 && sampleRate > 0.0;
        clock += timed ? static_cast<double>(sampleTime - lastTime) / sampleRate : framePeriod;
    }
    if (voice == highlighted) {
        lastTime = sampleTime;
    }
    return tools.take(voice, bytes, size, clock);
}

void UiTools::sendInt(std::uint32_t which, std::int32_t value) {
    settings.send(which, &value, sizeof value);
}

void UiTools::changed(host::ToolChange change) {
    switch (change) {
    case host::ToolChange::kPeakHold:
        sendInt(kSettingPeakHold, tools.peakHold() ? 1 : 0);
        break;
    case host::ToolChange::kReadout:
        sendInt(kSettingReadout, tools.readout() ? 1 : 0);
        break;
    case host::ToolChange::kTilt:
        sendInt(kSettingTilt, static_cast<std::int32_t>(tools.tilt()));
        break;
    case host::ToolChange::kSmoothing:
        sendInt(kSettingSmoothing, static_cast<std::int32_t>(tools.smoothing()));
        break;
    case host::ToolChange::kReference: {
        const std::vector<std::uint8_t> bytes = host::encodeReference(tools.reference());
        settings.send(kSettingReference, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        break;
    }
    default:
        break;
    }
}

void UiTools::setting(std::uint32_t which, const std::vector<std::uint8_t>& value) {
    std::int32_t number = 0;
    if (value.size() == sizeof number) {
        std::memcpy(&number, value.data(), sizeof number);
    }
    const bool choice = value.size() == sizeof number && number >= 0 && number <= 2;
    switch (which) {
    case kSettingPeakHold:
        tools.setPeakHold(number != 0);
        break;
    case kSettingReadout:
        tools.setReadout(number != 0);
        break;
    case kSettingTilt:
        if (choice) {
            tools.setTilt(static_cast<host::Tilt>(number));
        }
        break;
    case kSettingSmoothing:
        if (choice) {
            tools.setSmoothing(static_cast<host::Smoothing>(number));
        }
        break;
    case kSettingReference: {
        if (value.empty()) {
            tools.clearReference();
            break;
        }
        host::ReferenceTrace trace;
        std::string error;
        if (host::decodeReference(value.data(), value.size(), trace, error)) {
            tools.setReference(trace);
        } else {
            tools.setMessage("the reference in the plug-in's state is not used: " + error);
        }
        break;
    }
    default:
        break;
    }
}

bool UiTools::event(XEvent& event) {
    switch (event.type) {
    case KeyPress: {
        char text[8] = {};
        KeySym symbol = 0;
        if (XLookupString(&event.xkey, text, sizeof text, &symbol, nullptr) == 1) {
            const host::ToolChange change = tools.key(text[0]);
            changed(change);
            return change != host::ToolChange::kNone;
        }
        return false;
    }
    case ButtonPress: {
        if (event.xbutton.button != Button1) {
            return false;
        }
        const host::ToolChange change = tools.click(event.xbutton.x, event.xbutton.y);
        changed(change);
        // Why: a click on the strip that changed nothing (r with no frame yet) is still
        // the strip's, not a request for the next view.
        return change != host::ToolChange::kNone || tools.onStrip(event.xbutton.x, event.xbutton.y);
    }
    case MotionNotify:
        tools.setStripShown(true);
        tools.pointerAt(event.xmotion.x, event.xmotion.y);
        return true;
    case EnterNotify:
        tools.setStripShown(true);
        tools.pointerAt(event.xcrossing.x, event.xcrossing.y);
        return true;
    case LeaveNotify:
        tools.setStripShown(false);
        tools.pointerLeft();
        return true;
    default:
        return false;
    }
}

void UiTools::draw(host::PaintSurface& surface, std::int32_t width, std::int32_t height,
                   bool labels) {
    tools.draw(surface, host::plotLayout(width, height, labels, false), false, clock);
}

} // namespace vex::lv2

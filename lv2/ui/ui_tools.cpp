#include "lv2/ui/ui_tools.h"

#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/control_choice.h"

#include <X11/Xutil.h>
#include <lv2/core/lv2_util.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <cmath>
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
                pane.setSampleRate(rate);
            }
        } else if (o->key == urids.scaleFactor && o->type == urids.atomFloat &&
                   o->size == sizeof(float) && o->value != nullptr) {
            float factor = 1.0f;
            std::memcpy(&factor, o->value, sizeof factor);
            pane.setScale(factor); // a factor outside 1..4 (or none at all) is 1
        }
    }
}

std::int64_t UiTools::frameSample(std::int64_t sampleTime, double sampleRate) {
    if (sampleTime > lastTime && lastTime >= 0 && sampleRate > 0.0 && std::isfinite(sampleRate)) {
        clock += static_cast<double>(sampleTime - lastTime) / sampleRate;
    }
    lastTime = sampleTime;
    // Why the bound: the times come from the host's events; no clock overflows a sample
    // count (4e18 samples are 2.6 million years at 48 kHz).
    return std::llround(std::min(clock * pane.sampleRate(), 4e18));
}

void UiTools::sendInt(std::uint32_t which, std::int32_t value) {
    settings.send(which, &value, sizeof value);
}

void UiTools::showAnalysis(host::Analysis analysis) {
    // Why the comparison: every frame states its analysis, and a change redraws the tools.
    const host::Analysis shown = unavailable.empty() ? analysis : host::Analysis::kModule;
    if (shown != tools().analysis() || unavailable != shownReason) {
        shownReason = unavailable;
        tools().setAnalysis(analysis, unavailable);
    }
}

void UiTools::analysisControl(float value) {
    showAnalysis(controlChoice(value, 0, 1) == 1 ? host::Analysis::kFine : host::Analysis::kModule);
}

void UiTools::frameAnalysis(std::int32_t analysis) {
    if (analysis == kFrameAnalysisModuleOnly) {
        unavailable = "the host gives no worker thread (or the rate is outside 8 to 768 kHz): "
                      "module analysis";
        showAnalysis(host::Analysis::kModule);
    } else if (analysis == kFrameAnalysisModule || analysis == kFrameAnalysisFine) {
        unavailable.clear();
        showAnalysis(analysis == kFrameAnalysisFine ? host::Analysis::kFine
                                                    : host::Analysis::kModule);
    }
}

void UiTools::changed(host::ToolChange change) {
    switch (change) {
    case host::ToolChange::kAnalysis:
        if (write != nullptr) {
            const float value = tools().analysis() == host::Analysis::kFine ? 1.0f : 0.0f;
            write(controller, kPortAnalysis, sizeof value, 0, &value);
        }
        break;
    case host::ToolChange::kPeakHold:
        sendInt(kSettingPeakHold, tools().peakHold() ? 1 : 0);
        break;
    case host::ToolChange::kReadout:
        sendInt(kSettingReadout, tools().readout() ? 1 : 0);
        break;
    case host::ToolChange::kTilt:
        sendInt(kSettingTilt, static_cast<std::int32_t>(tools().tilt()));
        break;
    case host::ToolChange::kSmoothing:
        sendInt(kSettingSmoothing, static_cast<std::int32_t>(tools().smoothing()));
        break;
    case host::ToolChange::kSpectrogram:
    case host::ToolChange::kSpectrogramRange:
        sendInt(kSettingSpectrogram, (tools().spectrogram() ? 1 : 0) +
                                         2 * static_cast<std::int32_t>(tools().colourRange()));
        break;
    case host::ToolChange::kReference: {
        const std::vector<std::uint8_t> bytes = host::encodeReference(tools().reference());
        settings.send(kSettingReference, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        break;
    }
    case host::ToolChange::kDifference:
        sendInt(kSettingDifference, tools().difference() ? 1 : 0);
        break;
    case host::ToolChange::kDifferenceReference:
        pickReference();
        break;
    default:
        break;
    }
}

// The state keeps the reference by its label, which names it again only while exactly one
// member has it: an unlabelled member is kept as none, and the window says either.
void UiTools::pickReference() {
    if (group == nullptr || !group->showing()) {
        return;
    }
    group->pickReference();
    const std::string label = group->referenceLabel();
    std::string said;
    if (group->reference() < 0) {
        said = "no other member to compare with";
    } else if (label.empty()) {
        said = "the reference (member " + std::to_string(group->reference()) +
               ") has no label: the plug-in's state does not keep it";
    } else if (group->labelled(label) > 1) {
        said = std::to_string(group->labelled(label)) + " members are labelled " + label +
               ": the plug-in's state cannot name the reference";
    }
    // Why only our own message is cleared: another (a bad reference trace) stays.
    if (!said.empty() || tools().message() == referenceSaid) {
        tools().setMessage(said);
    }
    referenceSaid = said;
    // Why a bound: a host that never passes the DSP's answers back leaves them all here.
    if (sentLabels.size() >= 16) {
        sentLabels.pop_front();
    }
    sentLabels.push_back(label);
    settings.send(kSettingDifferenceReference, label.data(),
                  static_cast<std::uint32_t>(label.size()));
}

void UiTools::referenceAnnounced(const std::string& label) {
    // Why the labels sent are skipped as they come back: the group holds the member picked,
    // which its label alone may not name (none, or two members share it).
    if (!sentLabels.empty() && sentLabels.front() == label) {
        sentLabels.pop_front();
        return;
    }
    sentLabels.clear();
    if (group != nullptr && label != group->referenceLabel()) {
        group->setReferenceLabel(label);
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
        tools().setPeakHold(number != 0);
        break;
    case kSettingReadout:
        tools().setReadout(number != 0);
        break;
    case kSettingTilt:
        if (choice) {
            tools().setTilt(static_cast<host::Tilt>(number));
        }
        break;
    case kSettingSmoothing:
        if (choice) {
            tools().setSmoothing(static_cast<host::Smoothing>(number));
        }
        break;
    case kSettingDifference:
        if (value.size() == sizeof number) {
            tools().setDifference(number != 0);
        }
        break;
    case kSettingDifferenceReference:
        referenceAnnounced(std::string(value.begin(), value.end()));
        break;
    case kSettingSpectrogram:
        if (value.size() == sizeof number && number >= 0 && number <= 5) {
            tools().setSpectrogram((number & 1) != 0);
            tools().setSpectrogramRange(static_cast<host::SpectrogramRange>(number / 2));
        }
        break;
    case kSettingReference: {
        if (value.empty()) {
            tools().clearReference();
            break;
        }
        host::ReferenceTrace trace;
        std::string error;
        if (host::decodeReference(value.data(), value.size(), trace, error)) {
            tools().setReference(trace);
        } else {
            tools().setMessage("the reference in the plug-in's state is not used: " + error);
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
            const host::ToolChange change = tools().key(text[0]);
            changed(change);
            return change != host::ToolChange::kNone;
        }
        return false;
    }
    case ButtonPress: {
        if (event.xbutton.button != Button1) {
            return false;
        }
        const host::ToolChange change = pane.click(event.xbutton.x, event.xbutton.y);
        changed(change);
        // Why: a click on the strip that changed nothing (r with no frame yet) is still
        // the strip's, not a request for the next view.
        return change != host::ToolChange::kNone || pane.onStrip(event.xbutton.x, event.xbutton.y);
    }
    case MotionNotify:
        tools().setStripShown(true);
        pane.pointerAt(event.xmotion.x, event.xmotion.y);
        return true;
    case EnterNotify:
        tools().setStripShown(true);
        pane.pointerAt(event.xcrossing.x, event.xcrossing.y);
        return true;
    case LeaveNotify:
        tools().setStripShown(false);
        tools().pointerLeft();
        return true;
    default:
        return false;
    }
}

} // namespace vex::lv2

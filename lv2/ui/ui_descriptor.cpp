// The UI library's LV2 entry points: its descriptor, instantiation, and the idle, show and
// resize interfaces, each handing on to the instance (lv2/ui/analyzer_ui.h). The host's UI
// thread calls every one; no exception leaves them.
#include "lv2/ui/analyzer_ui.h"

#include <lv2/core/lv2_util.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace vex::lv2 {

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

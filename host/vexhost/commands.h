// vexhost's commands apart from live: what each does with its options, and the options as
// the command line fills them in. The command line itself is in vexhost_app.cpp.
#pragma once

#include "host/vexhost/inputs/session.h"
#include "host/vexhost/look_options.h"
#include "host/vexhost/output/console.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// The views by name, in mode order; and the same with "all" for render.
extern const std::vector<std::string> kViewNames;
extern const std::vector<std::string> kViewsAndAll;
// The mode of a view name (0 for an unknown one; the command line checks names first).
std::int32_t viewIndex(const std::string& view);

// Each command answers the exit status (0) or throws HostError.

// The module's path, framework version and build text.
int info(const std::string& modulePath, Console& console);

struct FramesOptions {
    std::string view = "scope";
    std::string format = "csv";
    std::string output = "-";
};

// Every frame the voices send, as CSV or JSON, to a file or the output stream.
int frames(const SessionOptions& options, const FramesOptions& framesOptions, Console& console);

struct RenderOptions {
    std::string view = "scope";
    double at = 0.0; // 0: the end of the session
    std::string output;
};

// One view, or all three side by side, as a PNG picture.
int render(const SessionOptions& options, const LookOptions& lookOptions,
           const RenderOptions& renderOptions, Console& console);

struct AnimateOptions {
    std::string view = "scope";
    std::string folder;
};

// A PNG picture per display frame into a folder.
int animate(const SessionOptions& options, const LookOptions& lookOptions,
            const AnimateOptions& animateOptions, Console& console);

struct DemoOptions {
    std::string folder = "out";
    std::string size = "640x360";
};

// The built-in scene in every view and a sheet of all three.
int demo(const SessionOptions& common, const DemoOptions& demoOptions, Console& console);

} // namespace vex::host

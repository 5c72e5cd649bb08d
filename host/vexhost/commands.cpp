// The offline commands of vexhost (the look's options are checked in look_options.cpp).
#include "host/vexhost/commands.h"

#include "host/kit/module_library.h"
#include "host/kit/voice_engine.h"
#include "host/vexhost/inputs/signal_source.h"
#include "host/vexhost/output/frame_export.h"
#include "host/vexhost/output/offline_run.h"
#include "host/vexhost/output/output_files.h"
#include "host/vexhost/output/png_writer.h"
#include "host/vexhost/output/progress.h"
#include "host/vexhost/output/render_views.h"

#include <chrono>
#include <cmath>

namespace vex::host {

namespace {

std::string narrow(const MpChar* text) {
    std::string out;
    for (; *text != 0; ++text) {
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    }
    return out;
}

// The sheet behind side-by-side views: a shade darker than the default panel.
constexpr std::uint32_t kSheetColour = 0xFF0A0D13u;
constexpr std::int32_t kSheetGap = 12;

// The built-in scene: an A major chord of three waveforms over a sweep, each voice with a
// different signal B (drawn in the lower pane). The plain sine is gated last, so the display
// follows it and draws it in the main colours; the picture is taken 0.6 s into a 1 s sweep.
const std::vector<std::string> kDemoScene = {
    "sweep:50-5k@0.6+sine:110@0.4",
    "saw:554.37@0.5+square:138.59@0.3",
    "square:659.26@0.35+saw:329.63@0.3",
    "sine:440@0.8+sine:880@0.4",
};
constexpr double kDemoSeconds = 1.0;
constexpr double kDemoAt = 0.6;

} // namespace

const std::vector<std::string> kViewNames = {"scope", "linear", "log"};
const std::vector<std::string> kViewsAndAll = {"scope", "linear", "log", "all"};

std::int32_t viewIndex(const std::string& view) {
    for (std::size_t i = 0; i < kViewNames.size(); ++i) {
        if (kViewNames[i] == view) {
            return static_cast<std::int32_t>(i);
        }
    }
    return 0;
}

int info(const std::string& modulePath, Console& console) {
    ModuleLibrary library;
    if (!library.load(modulePath)) {
        throw HostError(library.error());
    }
    std::int32_t version = 0;
    MpChar text[64] = {};
    library.factory()->getBuildInfo(&version, 64, text);
    console.out << "module: " << modulePath << "\nframework version: " << version
                << "\nbuilt with: " << narrow(text) << "\n";
    return 0;
}

int frames(const SessionOptions& options, const FramesOptions& framesOptions, Console& console) {
    Session session(options);
    const double seconds = session.seconds(options.duration);
    std::vector<RecordedFrame> recorded;
    {
        Progress progress(console.err, console.errIsTerminal && !options.quiet, "frames");
        auto engine =
            session.makeEngine(viewIndex(framesOptions.view), seconds, [&](const SentFrame& frame) {
                recorded.push_back(RecordedFrame{
                    frame.sample, frame.voice,
                    std::vector<std::uint8_t>(frame.bytes, frame.bytes + frame.size)});
            });
        runWithProgress(*engine, session.sampleCount(seconds), progress);
    }
    const auto write = [&](std::ostream& stream) {
        if (framesOptions.format == "json") {
            writeFramesJson(stream, recorded, session.sampleRate());
        } else {
            writeFramesCsv(stream, recorded, session.sampleRate());
        }
    };
    if (framesOptions.output == "-") {
        write(console.out);
        console.out.flush();
    } else {
        OutputFile file(framesOptions.output);
        write(file.stream());
        file.commit();
    }
    return 0;
}

int render(const SessionOptions& options, const LookOptions& lookOptions,
           const RenderOptions& renderOptions, Console& console) {
    const DisplayLook look =
        checkLook(lookOptions, static_cast<std::int32_t>(options.inputs.size()));
    Session session(options);
    const double seconds = session.seconds(0.0);
    const double at = renderOptions.at > 0.0 ? renderOptions.at : seconds;
    std::vector<std::int32_t> modes;
    if (renderOptions.view == "all") {
        modes = {0, 1, 2};
    } else {
        modes = {viewIndex(renderOptions.view)};
    }
    std::vector<Picture> pictures;
    for (std::int32_t mode : modes) {
        Progress progress(console.err, console.errIsTerminal && !options.quiet,
                          kViewNames[static_cast<std::size_t>(mode)]);
        pictures.push_back(renderView(session, mode, look, at, seconds, progress));
    }
    const Picture picture =
        pictures.size() == 1 ? pictures[0] : composeSheet(pictures, kSheetColour, kSheetGap);
    writeWholeFile(renderOptions.output, encodePng(picture.pixels, picture.width, picture.height));
    console.out << renderOptions.output << "\n";
    return 0;
}

int animate(const SessionOptions& options, const LookOptions& lookOptions,
            const AnimateOptions& animateOptions, Console& console) {
    const auto started = std::chrono::steady_clock::now();
    const DisplayLook look =
        checkLook(lookOptions, static_cast<std::int32_t>(options.inputs.size()));
    Session session(options);
    const double seconds = session.seconds(options.duration);
    OutputBatch batch(animateOptions.folder);
    Progress progress(console.err, console.errIsTerminal && !options.quiet, "animate");
    const std::int32_t fps =
        animateView(session, viewIndex(animateOptions.view), look, seconds, batch, progress);
    batch.keep();
    if (!options.quiet) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        console.err << speedSummary("animate", static_cast<std::int64_t>(batch.written().size()),
                                    seconds, elapsed.count())
                    << "\n";
    }
    if (batch.written().empty()) {
        console.out << "no frames (" << seconds << " s is shorter than one frame at " << fps
                    << " frames per second)\n";
        return 0;
    }
    console.out << batch.written().front() << "\n...\n"
                << batch.written().back() << "\n"
                << batch.written().size() << " frames at " << fps << " frames per second\n";
    return 0;
}

int demo(const SessionOptions& common, const DemoOptions& demoOptions, Console& console) {
    SessionOptions options = common;
    options.inputs = kDemoScene;
    LookOptions lookOptions;
    lookOptions.size = demoOptions.size;
    lookOptions.follow = true;
    lookOptions.split = true;
    const DisplayLook look = checkLook(lookOptions, static_cast<std::int32_t>(kDemoScene.size()));
    Session session(options);
    OutputBatch batch(demoOptions.folder);
    std::vector<Picture> pictures;
    for (std::int32_t mode = 0; mode < 3; ++mode) {
        const std::string& name = kViewNames[static_cast<std::size_t>(mode)];
        Progress progress(console.err, console.errIsTerminal && !options.quiet, name);
        pictures.push_back(renderView(session, mode, look, kDemoAt, kDemoSeconds, progress));
        const Picture& picture = pictures.back();
        batch.write("demo-" + name + ".png",
                    encodePng(picture.pixels, picture.width, picture.height));
    }
    const Picture sheet = composeSheet(pictures, kSheetColour, kSheetGap);
    batch.write("demo-sheet.png", encodePng(sheet.pixels, sheet.width, sheet.height));
    batch.keep();
    for (const std::string& path : batch.written()) {
        console.out << path << "\n";
    }
    return 0;
}

} // namespace vex::host

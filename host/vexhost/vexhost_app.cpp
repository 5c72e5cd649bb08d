// vexhost's command line and the commands it runs (info, frames, render, animate, demo,
// live). Why one file of about 500 lines: each command is a short function over the rooms
// below (inputs, output, live) beside the options that feed it, and the options are shared
// between commands through the helpers here; read together they are the program's manual.
#include "host/vexhost/vexhost_app.h"

#include "host/vexhost/output/frame_export.h"
#ifdef VEX_HAVE_LIVE
#include "host/vexhost/live/live_command.h"
#endif
#include "host/kit/module_library.h"
#include "host/kit/voice_engine.h"
#include "host/vexhost/inputs/session.h"
#include "host/vexhost/inputs/signal_source.h"
#include "host/vexhost/output/offline_run.h"
#include "host/vexhost/output/output_files.h"
#include "host/vexhost/output/png_writer.h"
#include "host/vexhost/output/progress.h"
#include "host/vexhost/output/render_views.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <memory>

namespace vex::host {

namespace {

std::string narrow(const MpChar* text) {
    std::string out;
    for (; *text != 0; ++text) {
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    }
    return out;
}

const std::vector<std::string> kViewNames = {"scope", "linear", "log"};

std::int32_t viewIndex(const std::string& view) {
    for (std::size_t i = 0; i < kViewNames.size(); ++i) {
        if (kViewNames[i] == view) {
            return static_cast<std::int32_t>(i);
        }
    }
    return 0;
}

// Options every command that runs the module takes.
void addModuleOptions(CLI::App& command, SessionOptions& options) {
    command.add_option("--module", options.modulePath,
                       "the plug-in to load (default: the VEX_ANALYZER.sem beside vexhost, or "
                       "the one installed with it)");
    command.add_flag("-q,--quiet", options.quiet, "no progress bar");
}

// The options of the signals a command runs: rate, block, update rate and the module.
// `smallestBlock` and `blockHelp` differ for live, whose devices bring their own periods.
void addSignalOptions(CLI::App& command, SessionOptions& options, std::int32_t smallestBlock,
                      const std::string& blockHelp) {
    command
        .add_option("--sample-rate", options.sampleRate,
                    "sample rate of built-in signals in hertz (files bring their own)")
        ->check(CLI::Range(1000.0, 384000.0));
    command.add_option("--block", options.blockSize, blockHelp)
        ->check(CLI::Range(smallestBlock, 8192))
        ->capture_default_str();
    command
        .add_option("--rate", options.rate,
                    "update-rate choice 0..7: 5, 10, ... 40 frames per second")
        ->check(CLI::Range(0, 7))
        ->capture_default_str();
    addModuleOptions(command, options);
}

void addInputOptions(CLI::App& command, SessionOptions& options) {
    command.add_option("INPUT", options.inputs, signalHelp())->required();
    addSignalOptions(command, options, 1, "sample frames per process call");
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

struct FramesOptions {
    std::string view = "scope";
    std::string format = "csv";
    std::string output = "-";
};

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

// The display's look as the command line gives it, before checking.
struct LookOptions {
    std::string size = "640x360";
    bool split = false;
    bool follow = false;
    std::vector<float> gates;
    DisplayLook colours = defaultLook();
};

constexpr std::int32_t kMinWidth = 80;
constexpr std::int32_t kMinHeight = 60;
constexpr std::int32_t kMaxSide = 4096;

// "WxH" within the sizes the display can be drawn at.
void parseSize(const std::string& text, std::int32_t& width, std::int32_t& height) {
    const std::size_t x = text.find('x');
    const auto number = [&](const std::string& part, std::int32_t& out) {
        if (part.empty() || part.size() > 6 ||
            part.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        out = static_cast<std::int32_t>(std::stol(part));
        return true;
    };
    if (x == std::string::npos || !number(text.substr(0, x), width) ||
        !number(text.substr(x + 1), height)) {
        throw HostError("--size: '" + text + "' is not WIDTHxHEIGHT, for example 640x360");
    }
    if (width < kMinWidth || height < kMinHeight) {
        throw HostError("--size: " + text + " is too small to draw (at least " +
                        std::to_string(kMinWidth) + "x" + std::to_string(kMinHeight) + ")");
    }
    if (width > kMaxSide || height > kMaxSide) {
        throw HostError("--size: " + text + " is too large (at most " + std::to_string(kMaxSide) +
                        "x" + std::to_string(kMaxSide) + ")");
    }
}

DisplayLook checkLook(const LookOptions& options, std::int32_t voices) {
    DisplayLook look = options.colours;
    parseSize(options.size, look.width, look.height);
    look.split = options.split;
    look.follow = options.follow;
    look.background = colourPinText(options.colours.background, "--background");
    look.trace1 = colourPinText(options.colours.trace1, "--trace1");
    look.trace2 = colourPinText(options.colours.trace2, "--trace2");
    look.label = colourPinText(options.colours.label, "--label");
    look.grid = colourPinText(options.colours.grid, "--grid");
    if (!std::isfinite(look.shade)) {
        throw HostError("--shade: not a number");
    }
    if (static_cast<std::int32_t>(options.gates.size()) > voices) {
        throw HostError("--voice-gates gives " + std::to_string(options.gates.size()) +
                        " gates for " + std::to_string(voices) + " voices");
    }
    look.gates = options.gates;
    return look;
}

void addLookOptions(CLI::App& command, LookOptions& options) {
    command.add_option("--size", options.size, "picture size WIDTHxHEIGHT")->capture_default_str();
    command.add_flag("--split", options.split, "signal A in the upper pane, B in the lower");
    command.add_flag("--follow", options.follow,
                     "draw every active voice, the last gated one in the main colours "
                     "(without it only voice 0 is drawn)");
    command
        .add_option("--voice-gates", options.gates,
                    "gate of each voice in order, e.g. 1,0,1 (default 1 for every voice; with "
                    "--follow an ungated voice shows while its frames are fresh)")
        ->delimiter(',');
    const char* colourHelp = "colour as the pins take it: RGB(r,g,b), ARGB(a,r,g,b), "
                             "0xAARRGGBB, or none";
    command.add_option("--background", options.colours.background, colourHelp)
        ->capture_default_str();
    command.add_option("--trace1", options.colours.trace1, "signal A's traces; same forms")
        ->capture_default_str();
    command.add_option("--trace2", options.colours.trace2, "signal B's traces; same forms")
        ->capture_default_str();
    command.add_option("--label", options.colours.label, "axis labels; same forms")
        ->capture_default_str();
    command.add_option("--grid", options.colours.grid, "grid; same forms")->capture_default_str();
    command
        .add_option("--shade", options.colours.shade,
                    "other voices' colours: below 0 darker, above 0 lighter")
        ->capture_default_str();
}

struct RenderOptions {
    std::string view = "scope";
    double at = 0.0; // 0: the end of the session
    std::string output;
};

const std::vector<std::string> kViewsAndAll = {"scope", "linear", "log", "all"};

// The sheet behind side-by-side views: a shade darker than the default panel.
constexpr std::uint32_t kSheetColour = 0xFF0A0D13u;
constexpr std::int32_t kSheetGap = 12;

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

struct AnimateOptions {
    std::string view = "scope";
    std::string folder;
};

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

struct DemoOptions {
    std::string folder = "out";
    std::string size = "640x360";
};

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

} // namespace

int runVexhost(const std::vector<std::string>& args, Console& console) {
    CLI::App app("vexhost: runs the VEX analyzer plug-in on audio and shows what it draws.",
                 "vexhost");
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "help for every command");
    app.set_version_flag("--version", std::string("vexhost ") + VEX_VERSION,
                         "the program's version");

    SessionOptions session;
    session.modulePath = console.defaultModule;

    LookOptions look;

    DemoOptions demoOptions;
    CLI::App* demoCommand = app.add_subcommand(
        "demo", "the built-in scene (a chord of three waveforms over a sweep, four voices) in "
                "all three views and side by side; prints the paths it wrote");
    demoCommand->add_option("-o,--output", demoOptions.folder, "folder for the pictures")
        ->capture_default_str();
    demoCommand->add_option("--size", demoOptions.size, "size of each view WIDTHxHEIGHT")
        ->capture_default_str();
    addModuleOptions(*demoCommand, session);

    RenderOptions renderOptions;
    CLI::App* renderCommand =
        app.add_subcommand("render", "the display after the inputs have played, as a PNG picture");
    addInputOptions(*renderCommand, session);
    renderCommand
        ->add_option("--view", renderOptions.view, "the view to draw; all: the three side by side")
        ->check(CLI::IsMember(kViewsAndAll))
        ->capture_default_str();
    renderCommand
        ->add_option("--at", renderOptions.at,
                     "seconds of input to play before drawing (default: the longest file, or "
                     "1 second of built-in signals)")
        ->check(CLI::Range(0.001, 3600.0));
    renderCommand->add_option("-o,--output", renderOptions.output, "the PNG file to write")
        ->required();
    addLookOptions(*renderCommand, look);

    AnimateOptions animateOptions;
    CLI::App* animateCommand = app.add_subcommand(
        "animate", "one PNG per painted frame at the module's frame rate (5 to 40 per second, "
                   "see --rate), numbered for turning into a video");
    addInputOptions(*animateCommand, session);
    animateCommand->add_option("--view", animateOptions.view, "the view to draw")
        ->check(CLI::IsMember(kViewNames))
        ->capture_default_str();
    animateCommand
        ->add_option("--duration", session.duration,
                     "seconds to play (default: the longest file, or 1 second of built-in "
                     "signals)")
        ->check(CLI::Range(0.001, 3600.0));
    animateCommand->add_option("-o,--output", animateOptions.folder, "folder for the pictures")
        ->required();
    addLookOptions(*animateCommand, look);

#ifdef VEX_HAVE_LIVE
    LiveOptions liveOptions;
    std::string liveView = "log";
    CLI::App* liveCommand = app.add_subcommand(
        "live", "the display in a window, in real time, from INPUT files and signals played "
                "at their pace, a JACK graph (--jack N) or the default capture device "
                "(--capture); keys: 1 2 3 views, s split, f follow, space freeze, p peak hold, "
                "c cursor readout, q or Esc quit");
    liveCommand->add_option("INPUT", session.inputs, signalHelp());
    addSignalOptions(*liveCommand, session, 16,
                     "sample frames per process call for INPUT (JACK and capture use the "
                     "device's period)");
    liveCommand
        ->add_option("--jack", liveOptions.jackVoices,
                     "N voices from JACK: client 'vexhost', ports a and b (one voice) or "
                     "voice1.a, voice1.b, voice2.a, ... (several)")
        ->check(CLI::Range(1, kMaxVoices));
    liveCommand
        ->add_option("--connect", liveOptions.connect,
                     "with --jack: connect these JACK output ports to vexhost's inputs in "
                     "order (a, b of voice 1, then voice 2, ...; an empty PORT skips one) "
                     "before the audio clock of --after and --duration starts")
        ->type_name("PORT[,PORT...]");
    liveCommand->add_flag("--capture", liveOptions.capture,
                          "one voice from the default capture device (channels 1 and 2 as "
                          "signals A and B)");
    liveCommand->add_flag("--play", liveOptions.play, "play INPUT on the default output");
    liveCommand->add_option("--view", liveView, "the view to start in")
        ->check(CLI::IsMember(kViewNames))
        ->capture_default_str();
    liveCommand->add_option("--screenshot", liveOptions.screenshot,
                            "write the window's pixels to this PNG file and quit");
    liveCommand
        ->add_option("--after", liveOptions.after,
                     "seconds of audio before the screenshot (default 1)")
        ->check(CLI::Range(0.001, 3600.0));
    liveCommand
        ->add_option("--duration", liveOptions.duration,
                     "quit after this many seconds of audio; also the span of sweeps "
                     "(default: run until quit; sweeps span the longest file or 1 second)")
        ->check(CLI::Range(0.001, 36000.0));
    liveCommand->add_option("--mouse", liveOptions.mouse,
                            "X,Y: move the pointer there at start (for scripts and tests)");
    liveCommand->add_flag("--peak-hold,!--no-peak-hold", liveOptions.peakHold,
                          "start with peak hold on (default) or off");
    liveCommand->add_flag("--stats", liveOptions.stats,
                          "print CPU time and frame-to-screen latency on quitting");
    addLookOptions(*liveCommand, look);
#endif

    CLI::App* infoCommand = app.add_subcommand("info", "the loaded module's build information");
    addModuleOptions(*infoCommand, session);

    FramesOptions framesOptions;
    CLI::App* framesCommand = app.add_subcommand(
        "frames", "every frame the audio side sends, with its time, voice, presence bytes "
                  "and values, as CSV or JSON");
    addInputOptions(*framesCommand, session);
    framesCommand->add_option("--view", framesOptions.view, "the analysis to run")
        ->check(CLI::IsMember(kViewNames))
        ->capture_default_str();
    framesCommand->add_option("--format", framesOptions.format, "output format")
        ->check(CLI::IsMember({"csv", "json"}))
        ->capture_default_str();
    framesCommand->add_option("-o,--output", framesOptions.output, "output file ('-': stdout)")
        ->capture_default_str();
    framesCommand
        ->add_option("--duration", session.duration,
                     "seconds to run (default: the longest file, or 1 second of built-in "
                     "signals)")
        ->check(CLI::Range(0.001, 3600.0));

    std::vector<const char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return app.exit(e, console.out, console.err);
        }
        console.err << "vexhost: error: " << e.what() << "\nRun 'vexhost --help' for usage.\n";
        return 2;
    }

    try {
        if (infoCommand->parsed()) {
            return info(session.modulePath, console);
        }
        if (framesCommand->parsed()) {
            return frames(session, framesOptions, console);
        }
        if (demoCommand->parsed()) {
            return demo(session, demoOptions, console);
        }
        if (renderCommand->parsed()) {
            return render(session, look, renderOptions, console);
        }
        if (animateCommand->parsed()) {
            return animate(session, look, animateOptions, console);
        }
#ifdef VEX_HAVE_LIVE
        if (liveCommand->parsed()) {
            liveOptions.mode = viewIndex(liveView);
            const DisplayLook liveLook = checkLook(
                look,
                liveOptions.jackVoices > 0
                    ? liveOptions.jackVoices
                    : std::max<std::int32_t>(1, static_cast<std::int32_t>(session.inputs.size())));
            return runLive(session, liveLook, liveOptions, console);
        }
#endif
    } catch (const HostError& e) {
        console.err << "vexhost: error: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        console.err << "vexhost: error: " << e.what() << "\n";
        return 2;
    }
    return 2;
}

} // namespace vex::host

// vexhost's command line: its commands and options, checked by CLI11, handed to the
// commands (commands.h; live in live/).
#include "host/vexhost/vexhost_app.h"

#include "host/vexhost/commands.h"
#include "host/vexhost/inputs/signal_source.h"
#include "host/vexhost/reference_command.h"
#ifdef VEX_HAVE_LIVE
#include "host/kit/view/spectrum_tools.h"
#include "host/vexhost/live/live_command.h"
#endif

#include <CLI/CLI.hpp>

namespace vex::host {

namespace {

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
                "c cursor readout, t tilt, a smoothing, r keep the reference, x clear it, "
                "h help, q or Esc quit");
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
    liveCommand
        ->add_option("--group", liveOptions.group,
                     "show every member of group N (1 to 16) of this user, the plug-ins' and "
                     "other vexhosts', as the display's voices; with a source its voices join "
                     "too, without one the window only watches")
        ->check(CLI::Range(1, 16));
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
    liveCommand
        ->add_option("--tilt", liveOptions.tilt, "spectral tilt in dB per octave around 1 kHz")
        ->check(CLI::IsMember(std::vector<std::string>(kTiltNames.begin(), kTiltNames.end())))
        ->capture_default_str();
    liveCommand
        ->add_option("--smooth", liveOptions.smooth,
                     "smoothing of the spectra over time: fast (0.125 s) or slow (1 s)")
        ->check(
            CLI::IsMember(std::vector<std::string>(kSmoothingNames.begin(), kSmoothingNames.end())))
        ->capture_default_str();
    liveCommand->add_option("--reference", liveOptions.reference,
                            "a reference file (see the reference command) drawn from the start");
    liveCommand->add_option("--save-reference", liveOptions.saveReference,
                            "write the reference kept on quitting to this file");
    liveCommand->add_flag("--stats", liveOptions.stats,
                          "print CPU time and frame-to-screen latency on quitting");
    addLookOptions(*liveCommand, look);
#endif

    ReferenceOptions referenceOptions;
    CLI::App* referenceCommand = app.add_subcommand(
        "reference", "a reference trace for live's --reference: the last frame an input sent "
                     "after playing, with its view and sample rate");
    addInputOptions(*referenceCommand, session);
    referenceCommand->add_option("--view", referenceOptions.view, "the analysis to run")
        ->check(CLI::IsMember(kViewNames))
        ->capture_default_str();
    referenceCommand->add_option("--voice", referenceOptions.voice, "the input to take, from 1")
        ->check(CLI::Range(1, kMaxVoices))
        ->capture_default_str();
    referenceCommand
        ->add_option("--at", referenceOptions.at,
                     "seconds of input to play (default: the longest file, or 1 second of "
                     "built-in signals)")
        ->check(CLI::Range(0.001, 3600.0));
    referenceCommand->add_option("-o,--output", referenceOptions.output, "the file to write")
        ->required();

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

    session.warnings = &console.err;
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
        if (referenceCommand->parsed()) {
            return makeReference(session, referenceOptions, console);
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

// vexhost's command line: its commands and options, checked by CLI11, handed to the
// commands (commands.h; live in live/).
#include "host/vexhost/vexhost_app.h"

#include "host/vexhost/cli_options.h"
#include "host/vexhost/commands.h"
#include "host/vexhost/compare_command.h"
#include "host/vexhost/inputs/signal_source.h"
#include "host/vexhost/reference_command.h"
#include "host/vexhost/spectrogram_command.h"
#ifdef VEX_HAVE_LIVE
#include "host/kit/view/spectrum_tools.h"
#include "host/vexhost/live/live_command.h"
#endif

#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>

namespace vex::host {

namespace {

// What --analysis says of the spectra of a command that runs them.
const char* const kAnalysisHelp =
    "the spectra's analysis: module (the plug-in's own frames) or fine (levels of windows "
    "of up to a second, in the plug-in's formats, in place of its spectrum frames)";

// What the command line fills in, read by the command that runs.
struct CommandLine {
    SessionOptions session;
    LookOptions look;
    DemoOptions demo;
    RenderOptions render;
    AnimateOptions animate;
    ReferenceOptions reference;
    FramesOptions frames;
    SpectrogramOptions spectrogram;
    std::string analysis = analysisName(Analysis::kModule);
#ifdef VEX_HAVE_LIVE
    LiveOptions live;
    std::string liveView = "log";
#endif
};

// A command as registered, and what runs it once the command line has been read.
struct Command {
    CLI::App* app;
    std::function<int(CommandLine&, Console&)> run;
};

Command addDemo(CLI::App& app, CommandLine& line) {
    CLI::App* command = app.add_subcommand(
        "demo", "the built-in scene (a chord of three waveforms over a sweep, four voices) in "
                "all three views and side by side; prints the paths it wrote");
    command->add_option("-o,--output", line.demo.folder, "folder for the pictures")
        ->capture_default_str();
    command->add_option("--size", line.demo.size, "size of each view WIDTHxHEIGHT")
        ->capture_default_str();
    addModuleOptions(*command, line.session);
    return {command, [](CommandLine& l, Console& c) { return demo(l.session, l.demo, c); }};
}

Command addRender(CLI::App& app, CommandLine& line) {
    CLI::App* command =
        app.add_subcommand("render", "the display after the inputs have played, as a PNG picture");
    addInputOptions(*command, line.session);
    addViewOption(*command, line.render.view, "the view to draw; all: the three side by side",
                  kViewsAndAll);
    addAnalysisOption(*command, line.analysis, kAnalysisHelp);
    addSecondsOption(*command, "--at", line.render.at,
                     "seconds of input to play before drawing (default: the longest file, or "
                     "1 second of built-in signals)");
    addOutputOption(*command, line.render.output, "the PNG file to write");
    addLookOptions(*command, line.look);
    return {command,
            [](CommandLine& l, Console& c) { return render(l.session, l.look, l.render, c); }};
}

Command addAnimate(CLI::App& app, CommandLine& line) {
    CLI::App* command = app.add_subcommand(
        "animate", "one PNG per painted frame at the module's frame rate (5 to 40 per second, "
                   "see --rate), numbered for turning into a video");
    addInputOptions(*command, line.session);
    addViewOption(*command, line.animate.view, "the view to draw");
    addAnalysisOption(*command, line.analysis, kAnalysisHelp);
    addSecondsOption(*command, "--duration", line.session.duration,
                     "seconds to play (default: the longest file, or 1 second of built-in "
                     "signals)");
    addOutputOption(*command, line.animate.folder, "folder for the pictures");
    addLookOptions(*command, line.look);
    return {command,
            [](CommandLine& l, Console& c) { return animate(l.session, l.look, l.animate, c); }};
}

#ifdef VEX_HAVE_LIVE
// live's sources: JACK, capture and group (INPUT is added with the signal options).
void addLiveSources(CLI::App& command, LiveOptions& options) {
    command
        .add_option("--jack", options.jackVoices,
                    "N voices from JACK: client 'vexhost', ports a and b (one voice) or "
                    "voice1.a, voice1.b, voice2.a, ... (several)")
        ->check(CLI::Range(1, kMaxVoices));
    command
        .add_option("--connect", options.connect,
                    "with --jack: connect these JACK output ports to vexhost's inputs in "
                    "order (a, b of voice 1, then voice 2, ...; an empty PORT skips one) "
                    "before the audio clock of --after and --duration starts")
        ->type_name("PORT[,PORT...]");
    command
        .add_option("--group", options.group,
                    "show every member of group N (1 to 16) of this user, the plug-ins' and "
                    "other vexhosts', as the display's voices; with a source its voices join "
                    "too, without one the window only watches")
        ->check(CLI::Range(1, 16));
    command.add_flag("--difference", options.difference,
                     "start with the difference on: B against A, or in a group the "
                     "highlighted member against a reference member (key d switches)");
    command
        .add_option("--difference-against", options.differenceAgainst,
                    "with --group: the difference against the member labelled LABEL")
        ->type_name("LABEL");
    command.add_flag("--capture", options.capture,
                     "one voice from the default capture device (channels 1 and 2 as "
                     "signals A and B)");
    command.add_flag("--play", options.play, "play INPUT on the default output");
}

// live's window: its start, scripted runs, the tools and the reference.
void addLiveWindowOptions(CLI::App& command, CommandLine& line) {
    LiveOptions& options = line.live;
    addViewOption(command, line.liveView, "the view to start in");
    addAnalysisOption(command, line.analysis,
                      "the spectra's analysis to start with (key m switches): module or fine");
    command.add_option("--screenshot", options.screenshot,
                       "write the window's pixels to this PNG file and quit");
    addSecondsOption(command, "--after", options.after,
                     "seconds of audio before the screenshot (default 1)");
    addSecondsOption(command, "--duration", options.duration,
                     "quit after this many seconds of audio; also the span of sweeps "
                     "(default: run until quit; sweeps span the longest file or 1 second)",
                     36000.0);
    command.add_option("--mouse", options.mouse,
                       "X,Y: move the pointer there at start (for scripts and tests)");
    command.add_flag("--peak-hold,!--no-peak-hold", options.peakHold,
                     "start with peak hold on (default) or off");
    command.add_flag("--spectrogram", options.spectrogram,
                     "start with the spectrogram in the spectra (key w switches)");
    command.add_option("--tilt", options.tilt, "spectral tilt in dB per octave around 1 kHz")
        ->check(CLI::IsMember(std::vector<std::string>(kTiltNames.begin(), kTiltNames.end())))
        ->capture_default_str();
    command
        .add_option("--smooth", options.smooth,
                    "smoothing of the spectra over time: fast (0.125 s) or slow (1 s)")
        ->check(
            CLI::IsMember(std::vector<std::string>(kSmoothingNames.begin(), kSmoothingNames.end())))
        ->capture_default_str();
    command.add_option("--reference", options.reference,
                       "a reference file (see the reference command) drawn from the start");
    command.add_option("--save-reference", options.saveReference,
                       "write the reference kept on quitting to this file");
    command.add_flag("--stats", options.stats,
                     "print CPU time and frame-to-screen latency on quitting");
    command.add_option("--scale", options.scale,
                       "paint the picture at N pixels per unit of its size, 1 to 4, fractions "
                       "allowed (default 1; other values are taken as 1): the window is N "
                       "times --size, its text, lines and plot drawn at that resolution");
}

int runLiveCommand(CommandLine& line, Console& console) {
    line.live.mode = viewIndex(line.liveView);
    const std::int32_t voices =
        line.live.jackVoices > 0
            ? line.live.jackVoices
            : std::max<std::int32_t>(1, static_cast<std::int32_t>(line.session.inputs.size()));
    return runLive(line.session, checkLook(line.look, voices), line.live, console);
}

Command addLive(CLI::App& app, CommandLine& line) {
    CLI::App* command = app.add_subcommand(
        "live", "the display in a window, in real time, from INPUT files and signals played "
                "at their pace, a JACK graph (--jack N) or the default capture device "
                "(--capture); keys: 1 2 3 views, s split, f follow, space freeze, p peak hold, "
                "c cursor readout, t tilt, a smoothing, m module or fine analysis, r keep the "
                "reference, x clear it, d difference, v its reference member (groups), h "
                "help, q or Esc quit");
    command->add_option("INPUT", line.session.inputs, signalHelp());
    addSignalOptions(*command, line.session, 16,
                     "sample frames per process call for INPUT (JACK and capture use the "
                     "device's period)");
    addLiveSources(*command, line.live);
    addLiveWindowOptions(*command, line);
    addLookOptions(*command, line.look);
    return {command, runLiveCommand};
}
#endif

Command addReference(CLI::App& app, CommandLine& line) {
    CLI::App* command = app.add_subcommand(
        "reference", "a reference trace for live's --reference: the last frame an input sent "
                     "after playing, with its view and sample rate");
    addInputOptions(*command, line.session);
    addViewOption(*command, line.reference.view, "the analysis to run");
    addAnalysisOption(*command, line.analysis, kAnalysisHelp);
    command->add_option("--voice", line.reference.voice, "the input to take, from 1")
        ->check(CLI::Range(1, kMaxVoices))
        ->capture_default_str();
    addSecondsOption(*command, "--at", line.reference.at,
                     "seconds of input to play (default: the longest file, or 1 second of "
                     "built-in signals)");
    addOutputOption(*command, line.reference.output, "the file to write");
    return {command,
            [](CommandLine& l, Console& c) { return makeReference(l.session, l.reference, c); }};
}

Command addInfo(CLI::App& app, CommandLine& line) {
    CLI::App* command = app.add_subcommand("info", "the loaded module's build information");
    addModuleOptions(*command, line.session);
    return {command, [](CommandLine& l, Console& c) { return info(l.session.modulePath, c); }};
}

Command addFrames(CLI::App& app, CommandLine& line) {
    CLI::App* command = app.add_subcommand(
        "frames", "every frame the audio side sends, with its time, voice, presence bytes "
                  "and values, as CSV or JSON");
    addInputOptions(*command, line.session);
    addViewOption(*command, line.frames.view, "the analysis to run");
    addAnalysisOption(*command, line.analysis, kAnalysisHelp);
    command->add_option("--format", line.frames.format, "output format")
        ->check(CLI::IsMember({"csv", "json"}))
        ->capture_default_str();
    command->add_option("-o,--output", line.frames.output, "output file ('-': stdout)")
        ->capture_default_str();
    addSecondsOption(*command, "--duration", line.session.duration,
                     "seconds to run (default: the longest file, or 1 second of built-in "
                     "signals)");
    return {command, [](CommandLine& l, Console& c) { return frames(l.session, l.frames, c); }};
}

// The first word that is not an option names the command. Why checked before parsing:
// CLI11 takes an unknown word for an extra argument and answers "A subcommand is
// required", or with --help after it prints the general help and succeeds. Answers 2 after
// naming the word and the commands, or 0 when the word is a command or there is none.
int refuseUnknownCommand(CLI::App& app, const std::vector<std::string>& args, Console& console) {
    const auto word = std::find_if(args.begin() + (args.empty() ? 0 : 1), args.end(),
                                   [](const std::string& arg) { return arg.rfind('-', 0) != 0; });
    if (word == args.end()) {
        return 0;
    }
    std::string names;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (command->get_name() == *word) {
            return 0;
        }
        names += (names.empty() ? "" : ", ") + command->get_name();
    }
    console.err << "vexhost: error: unknown command '" << *word << "'; the commands are: " << names
                << "\nRun 'vexhost --help' for usage.\n";
    return 2;
}

// Reads the command line into the options. Answers -1 when a command is to run, else the
// exit status (0 after help or the version, 2 after a mistake, which it names).
int parse(CLI::App& app, const std::vector<std::string>& args, Console& console) {
    if (const int status = refuseUnknownCommand(app, args, console)) {
        return status;
    }
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
    return -1;
}

} // namespace

int runVexhost(const std::vector<std::string>& args, Console& console) {
    CLI::App app("vexhost: runs the VEX analyzer plug-in on audio and shows what it draws.",
                 "vexhost");
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "help for every command");
    app.set_version_flag("--version", std::string("vexhost ") + VEX_VERSION,
                         "the program's version");

    CommandLine line;
    line.session.modulePath = console.defaultModule;
    // Why in this order: it is the order --help lists them in.
    const std::vector<Command> commands = {
        addDemo(app, line),
        addRender(app, line),
        addAnimate(app, line),
#ifdef VEX_HAVE_LIVE
        addLive(app, line),
#endif
        addReference(app, line),
        addInfo(app, line),
        addFrames(app, line),
        addCompare<Command>(app, line),
        addSpectrogram<Command>(app, line),
    };
    const int status = parse(app, args, console);
    if (status >= 0) {
        return status;
    }

    line.session.warnings = &console.err;
    // Checked by the command line: one of the names.
    analysisOfName(line.analysis.c_str(), line.session.analysis);
    try {
        for (const Command& command : commands) {
            if (command.app->parsed()) {
                return command.run(line, console);
            }
        }
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

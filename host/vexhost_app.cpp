#include "host/vexhost_app.h"

#include "host/frame_export.h"
#include "host/module_library.h"
#include "host/output_files.h"
#include "host/progress.h"
#include "host/session.h"
#include "host/signal_source.h"
#include "host/voice_engine.h"

#include <CLI/CLI.hpp>

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
                       "the plug-in to load (default: the VEX_ANALYZER.sem beside vexhost)");
    command.add_flag("-q,--quiet", options.quiet, "no progress bar");
}

void addInputOptions(CLI::App& command, SessionOptions& options) {
    command.add_option("INPUT", options.inputs, signalHelp())->required();
    command
        .add_option("--sample-rate", options.sampleRate,
                    "sample rate of built-in signals in hertz (files bring their own)")
        ->check(CLI::Range(1000.0, 384000.0));
    command.add_option("--block", options.blockSize, "sample frames per process call")
        ->check(CLI::Range(1, 8192))
        ->capture_default_str();
    command
        .add_option("--rate", options.rate,
                    "update-rate choice 0..7: 5, 10, ... 40 frames per second")
        ->check(CLI::Range(0, 7))
        ->capture_default_str();
    addModuleOptions(command, options);
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
    Session session(options, console);
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
        session.run(*engine, session.sampleCount(seconds), progress);
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

} // namespace

int runVexhost(const std::vector<std::string>& args, Console& console) {
    CLI::App app("vexhost: runs the VEX analyzer plug-in on audio and shows what it draws.",
                 "vexhost");
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "help for every command");

    SessionOptions session;
    session.modulePath = console.defaultModule;

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

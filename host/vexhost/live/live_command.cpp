// `vexhost live`: the options checked, SDL started, and one LiveRun set up, run and
// reported.
#include "host/vexhost/live/live_command.h"

#include "host/vexhost/live/live_run.h"
#include "host/vexhost/live/live_window.h"

namespace vex::host {

int runLive(const SessionOptions& sessionOptions, const DisplayLook& look,
            const LiveOptions& options, Console& console) {
    const int sources = (options.jackVoices > 0 ? 1 : 0) + (options.capture ? 1 : 0) +
                        (sessionOptions.inputs.empty() ? 0 : 1);
    if (sources > 1 || (sources == 0 && options.group == 0)) {
        throw HostError("live takes one source: INPUT..., --jack N or --capture (or none with "
                        "--group N)");
    }
    if (options.play && sessionOptions.inputs.empty()) {
        throw HostError("--play plays INPUT files and signals; JACK and capture play nothing");
    }
    if (!options.connect.empty() && options.jackVoices == 0) {
        throw HostError("--connect connects JACK ports: it needs --jack N");
    }
    std::int32_t mouseX = 0;
    std::int32_t mouseY = 0;
    if (!options.mouse.empty() && !parsePoint(options.mouse, mouseX, mouseY)) {
        throw HostError("--mouse: '" + options.mouse + "' is not X,Y");
    }

    startSdl(options.play || options.capture);
    LiveRun run(sessionOptions, look, options);
    run.run(console);
    run.report(console);
    run.saveKeptReference();
    return 0;
}

} // namespace vex::host

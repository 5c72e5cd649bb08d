// `vexhost live`: the options checked and read, SDL started, and one LiveRun set up, run
// and reported.
#include "host/vexhost/live/live_command.h"

#include "host/vexhost/live/live_run.h"
#include "host/vexhost/live/live_window.h"
#include "platform/device_context.h"

#include <cstdio>

namespace vex::host {

namespace {

// Reads "X,Y" into x and y; false (and both untouched) when the text is anything else.
bool parsePoint(const std::string& text, std::int32_t& x, std::int32_t& y) {
    int px = 0;
    int py = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d,%d%c", &px, &py, &end) != 2) {
        return false;
    }
    x = px;
    y = py;
    return true;
}

// The comma-separated entries of `text`, empty ones kept ("a,,b": "a", "", "b").
std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> entries;
    std::size_t from = 0;
    for (std::size_t comma = text.find(','); comma != std::string::npos;
         comma = text.find(',', from)) {
        entries.push_back(text.substr(from, comma - from));
        from = comma + 1;
    }
    entries.push_back(text.substr(from));
    return entries;
}

} // namespace

int runLive(const SessionOptions& sessionOptions, const DisplayLook& look, const LiveOptions& given,
            Console& console) {
    const int sources = (given.jackVoices > 0 ? 1 : 0) + (given.capture ? 1 : 0) +
                        (sessionOptions.inputs.empty() ? 0 : 1);
    if (sources > 1 || (sources == 0 && given.group == 0)) {
        throw HostError("live takes one source: INPUT..., --jack N or --capture (or none with "
                        "--group N)");
    }
    if (given.play && sessionOptions.inputs.empty()) {
        throw HostError("--play plays INPUT files and signals; JACK and capture play nothing");
    }
    if (!given.connect.empty() && given.jackVoices == 0) {
        throw HostError("--connect connects JACK ports: it needs --jack N");
    }
    if (!given.differenceAgainst.empty() && given.group == 0) {
        throw HostError("--difference-against names a group's member: it needs --group N");
    }
    LiveOptions options = given;
    options.difference = options.difference || !options.differenceAgainst.empty();
    if (!options.mouse.empty()) {
        if (!parsePoint(options.mouse, options.pointerX, options.pointerY)) {
            throw HostError("--mouse: '" + options.mouse + "' is not X,Y");
        }
        options.pointerGiven = true;
    }
    if (!options.connect.empty()) {
        options.connectPorts = splitList(options.connect);
    }
    if (platform::usableScale(options.scale) != options.scale) {
        console.err << "vexhost: --scale " << options.scale << " is outside 1 to 4: taken as 1\n";
        options.scale = 1.0;
    }

    startSdl(options.play || options.capture);
    LiveRun run(sessionOptions, look, options);
    run.run(console);
    run.report(console);
    run.saveKeptReference();
    return 0;
}

} // namespace vex::host

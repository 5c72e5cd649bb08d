#include "host/vexhost/reference_command.h"

#include "analyzer/display/plot_geometry.h"
#include "host/kit/host_error.h"
#include "host/kit/view/reference_trace.h"
#include "host/vexhost/commands.h"
#include "host/vexhost/output/offline_run.h"
#include "host/vexhost/output/progress.h"

#include <vector>

namespace vex::host {

int makeReference(const SessionOptions& options, const ReferenceOptions& referenceOptions,
                  Console& console) {
    Session session(options);
    if (referenceOptions.voice < 1 || referenceOptions.voice > session.voiceCount()) {
        throw HostError("--voice: " + std::to_string(referenceOptions.voice) +
                        " is not one of the " + std::to_string(session.voiceCount()) + " inputs");
    }
    const std::int32_t view = viewIndex(referenceOptions.view);
    const double seconds = session.seconds(referenceOptions.at);
    std::vector<std::uint8_t> last;
    {
        Progress progress(console.err, console.errIsTerminal && !options.quiet, "reference");
        auto engine = session.makeEngine(view, seconds, [&](const SentFrame& frame) {
            if (frame.voice == referenceOptions.voice - 1 &&
                frame.size == plot::frameSizeOfView(view)) {
                last.assign(frame.bytes, frame.bytes + frame.size);
            }
        });
        runWithProgress(*engine, session.sampleCount(seconds), progress);
    }
    ReferenceTrace trace;
    if (last.empty() || !referenceFromFrame(last.data(), static_cast<std::int32_t>(last.size()),
                                            session.sampleRate(), trace)) {
        throw HostError("voice " + std::to_string(referenceOptions.voice) + " sent no " +
                        referenceOptions.view + " frame with finite values in " +
                        std::to_string(seconds) + " s");
    }
    std::string error;
    if (!saveReference(referenceOptions.output, trace, error)) {
        throw HostError(error);
    }
    console.out << referenceOptions.output << "\n";
    return 0;
}

} // namespace vex::host

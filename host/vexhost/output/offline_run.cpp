#include "host/vexhost/output/offline_run.h"

#include <algorithm>

namespace vex::host {

void runWithProgress(VoiceEngine& engine, std::int64_t endSample, Progress& progress) {
    const std::int64_t block = engine.settings().blockSize;
    const std::int64_t start = engine.position();
    const std::int64_t total = std::max<std::int64_t>(1, endSample - start);
    // About a hundred steps, each a whole number of blocks.
    const std::int64_t step = std::max<std::int64_t>(1, total / 100 / block) * block;
    while (engine.position() < endSample) {
        engine.runTo(std::min(endSample, engine.position() + step));
        progress.update(static_cast<double>(engine.position() - start) / total);
    }
    progress.finish();
}

} // namespace vex::host

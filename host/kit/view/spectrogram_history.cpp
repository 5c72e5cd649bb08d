#include "host/kit/view/spectrogram_history.h"

#include "host/kit/frame_view.h"

#include <algorithm>

namespace vex::host {

SpectrogramHistory::SpectrogramHistory(std::int32_t columns)
    : room(std::clamp(columns, 1, kMostColumns)) {
    times.assign(static_cast<std::size_t>(room), 0.0);
}

void SpectrogramHistory::reserve(std::int32_t columns) {
    const std::int32_t wanted = std::clamp(columns, 1, kMostColumns);
    if (wanted <= room) {
        return;
    }
    // The held columns moved to slots 0..held - 1, oldest first.
    std::vector<float> moved(static_cast<std::size_t>(wanted) * pointCount);
    std::vector<double> movedTimes(static_cast<std::size_t>(wanted), 0.0);
    for (std::int32_t i = 0; i < held; ++i) {
        const std::int32_t back = held - 1 - i;
        std::copy_n(column(back), pointCount,
                    moved.begin() + static_cast<std::ptrdiff_t>(i) * pointCount);
        movedTimes[static_cast<std::size_t>(i)] = time(back);
    }
    levels.swap(moved);
    times.swap(movedTimes);
    room = wanted;
    newest = held - 1;
    ++restartCount;
}

bool SpectrogramHistory::add(const std::uint8_t* bytes, std::int32_t size, double seconds) {
    if (bytes == nullptr) {
        return false;
    }
    const std::int32_t view = plot::viewOfFrameSize(size);
    if (view == plot::kScopeView) {
        clear();
    }
    if (view < 0 || view == plot::kScopeView) {
        return false;
    }
    // Why read only now: the presence bytes are there in a frame of a spectrum's length.
    const bool hasA = bytes[0] != 0;
    if (!hasA && bytes[1] == 0) {
        return false;
    }
    if (view != shownView) {
        clear();
        shownView = view;
        pointCount = plot::pointsOfView(view);
        levels.assign(static_cast<std::size_t>(room) * pointCount, 0.0f);
    }
    newest = (newest + 1) % room;
    held = std::min(held + 1, room);
    float* out = levels.data() + static_cast<std::ptrdiff_t>(newest) * pointCount;
    const std::int32_t signal = hasA ? 0 : 1;
    for (std::int32_t k = 0; k < pointCount; ++k) {
        out[k] = frameValue(bytes, signal, k);
    }
    times[static_cast<std::size_t>(newest)] = seconds;
    ++addedCount;
    return true;
}

void SpectrogramHistory::clear() {
    if (shownView >= 0 || held > 0) {
        ++restartCount;
    }
    shownView = -1;
    pointCount = 0;
    held = 0;
    newest = -1;
    levels.clear();
}

std::int32_t SpectrogramHistory::slotOf(std::int32_t back) const {
    return ((newest - back) % room + room) % room;
}

const float* SpectrogramHistory::column(std::int32_t back) const {
    return levels.data() + static_cast<std::ptrdiff_t>(slotOf(back)) * pointCount;
}

double SpectrogramHistory::time(std::int32_t back) const {
    return times[static_cast<std::size_t>(slotOf(back))];
}

} // namespace vex::host

// The frames a spectrogram shows: one column per spectrum frame of one voice, signal A's
// levels (signal B's where the frame has no A) with the time the frame was sent, newest
// last, in a ring that holds at least a given number of columns. Frames of another view
// start it over; frames of any other length, or with neither signal, are left out. Runs on
// the thread that shows the window; nothing here is shared with the audio thread.
#pragma once

#include <cstdint>
#include <vector>

namespace vex::host {

class SpectrogramHistory {
public:
    // The most columns a history keeps, whatever it is asked to hold (a window 8192 pixels
    // wide; 17 MB of log columns).
    static constexpr std::int32_t kMostColumns = 8192;

    // Room for `columns` columns (1..kMostColumns).
    explicit SpectrogramHistory(std::int32_t columns = 1);

    // Room for at least `columns` columns (clamped to 1..kMostColumns); never less than
    // before, so that a window made narrower and wide again shows what it showed. Keeps
    // the columns held.
    void reserve(std::int32_t columns);
    // A frame of `size` bytes sent at `seconds`: added as the newest column when it is a
    // spectrum frame with either signal present (true), after starting over when the
    // columns held are of another view. Anything else (null, the scope's or any other
    // length, neither signal) is left out (false); a scope frame starts the history over.
    bool add(const std::uint8_t* bytes, std::int32_t size, double seconds);
    // Forgets every column (the view too).
    void clear();

    // The view the columns are of (as the mode pins number them), -1 with none.
    std::int32_t view() const { return shownView; }
    // The levels per column (the view's points), 0 with none.
    std::int32_t points() const { return pointCount; }
    std::int32_t size() const { return held; }
    std::int32_t capacity() const { return room; }
    // Column `back` counted from the newest (0): its levels (points() of them) and the time
    // of its frame. `back` must be below size().
    const float* column(std::int32_t back) const;
    double time(std::int32_t back) const;
    // Counts that tell a painter what changed: columns added since the history was made,
    // and how often it started over (a clear, a view, a reserve that moved the columns).
    std::uint64_t added() const { return addedCount; }
    std::uint64_t restarts() const { return restartCount; }

private:
    std::int32_t slotOf(std::int32_t back) const;

    std::int32_t shownView = -1;
    std::int32_t pointCount = 0;
    std::int32_t room;
    std::int32_t held = 0;
    std::int32_t newest = -1;  // slot of the newest column
    std::vector<float> levels; // room x pointCount, slot by slot
    std::vector<double> times;
    std::uint64_t addedCount = 0;
    std::uint64_t restartCount = 0;
};

} // namespace vex::host

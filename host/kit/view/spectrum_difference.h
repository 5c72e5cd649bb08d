// The difference between two spectra: per point of a spectrum view, the level of one signal
// minus the level of another, each from its power averaged over frames. In one display it
// is signal B of the highlighted voice against its signal A; in a group, a signal of the
// highlighted member against the same signal of a reference member. Frames are the module's
// formats (host/kit/frame_view.h); a point where either side is too low to mean anything
// has no difference (NaN), so the drawing leaves a gap there instead of noise. Runs on the
// thread that shows the display (or an offline command's); nothing here is shared with the
// audio thread.
#pragma once

#include "host/kit/frame_view.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// A side is too low where its averaged level is more than this far below the loudest point
// of its own average. Why 40 dB: white noise alone spans about 25 dB across the log bands,
// and a filter's notch may go 15 dB further before the difference turns to guesswork.
inline constexpr double kDifferenceRangeDb = 40.0;
// The levels the module never goes below, per view (its frames state them); a point whose
// average lies within a tenth of a dB of its view's floor holds no signal.
inline constexpr double kLinearFloorDb = -130.758;
inline constexpr double kLogFloorDb = -119.891;
double floorDbOf(View view);

// The power of one signal per point of a spectrum view, averaged over frames.
class PowerAverage {
public:
    // Starts over with `points` points (0: takes nothing).
    void reset(std::int32_t points);
    // Adds signal `signal` (0 A, 1 B) of `frame` (a frame of `points` points), sent at
    // `seconds`: with `tau` > 0 an exponential average of time constant `tau` seconds
    // (y += (1 - exp(-dt / tau)) * (x - y), the first frame taken as it is); with `tau` 0
    // the plain mean of every frame added. A level that is not finite counts as the floor.
    void add(const std::uint8_t* frame, std::int32_t signal, double seconds, double tau,
             double floorDb);
    std::int32_t points() const { return static_cast<std::int32_t>(power.size()); }
    std::int64_t frames() const { return count; }
    // The averaged level of point `k` in dB.
    double levelDb(std::int32_t k) const;
    // The loudest averaged point in dB (the floor when nothing was added).
    double loudestDb() const;

private:
    std::vector<double> power;
    std::int64_t count = 0;
    double lastSeconds = 0.0;
};

// `subject` minus `reference` per point in dB, into `out` (resized to their points): NaN
// where either side is at `floorDb` or more than kDifferenceRangeDb below its own loudest
// point, or when either has taken no frame or they differ in points.
void differenceDb(const PowerAverage& subject, const PowerAverage& reference, double floorDb,
                  std::vector<float>& out);

// The running difference a window shows.
class SpectrumDifference {
public:
    // Frames of `view` (0..2; the scope has no difference). Starts over.
    void setView(std::int32_t view);
    // The averaging's time constant in seconds (> 0). Starts over when it changes.
    void setSeconds(double tau);
    // The voices compared: signal B of `subject` against its signal A (`reference` -1), or
    // signal A of `subject` (B where it has no A) against the same signal of `reference`.
    // Starts over when they change.
    void setVoices(std::int32_t subject, std::int32_t reference);
    void restart();

    // A frame of `voice` (`size` bytes) sent at `seconds`; frames of other voices or views
    // are ignored.
    void take(std::int32_t voice, const std::uint8_t* frame, std::int32_t size, double seconds);

    // The difference per point (NaN: none there), worked out again after new frames. Empty
    // for the scope.
    const std::vector<float>& values() const;
    // In a group, the signal of the subject compared (0 A, 1 B), or -1 before its first
    // frame; -1 in one display (always B against A).
    std::int32_t signal() const { return referenceVoice >= 0 ? subjectSignal : -1; }
    // Why there is no difference at all, or empty: a side that sent frames without the
    // signal compared ("no signal B", "the reference has no signal A").
    std::string problem() const;
    std::int32_t subject() const { return subjectVoice; }
    std::int32_t reference() const { return referenceVoice; }

private:
    std::int32_t view = 0;
    std::int32_t points = 0;
    double tau = 1.0;
    std::int32_t subjectVoice = 0;
    std::int32_t referenceVoice = -1;
    std::int32_t subjectSignal = -1; // in a group: the signal of the subject compared
    bool subjectLacks = false;       // the subject's last frame had no signal to compare
    bool referenceLacks = false;     // the reference's last frame had no such signal
    mutable bool stale = true;       // the values are worked out when asked for
    PowerAverage subjectPower;
    PowerAverage referencePower;
    mutable std::vector<float> shown;
};

// The text of a difference at `hz`: "1.00 kHz  +6.0 dB B−A" (`against` "B−A"), or the
// frequency and "no difference" for a NaN.
std::string differenceText(double hz, float db, const std::string& against);
// A frequency as the difference's readout gives it: "50 Hz", "1.00 kHz", "12.5 kHz".
std::string frequencyText(double hz);

} // namespace vex::host

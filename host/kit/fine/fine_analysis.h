// The fine analysis: levels for the two spectrum views in the module's own scales, from
// Hann windows of several lengths, each for a range of frequencies (a second for the bass,
// down to 40 ms from 4 kHz up), so that a band's level is the energy of the signal within
// the band wherever a window of up to a second resolves it.
//
// Windows and ranges, in seconds and hertz (the same at every sample rate):
//   1.00 s below 100 Hz, 0.78 s from 100 Hz, 0.56 s from 250 Hz, 0.28 s from 500 Hz,
//   0.14 s from 1 kHz, 0.07 s from 2 kHz, 0.04 s from 4 kHz
// (two tones a 24th of an octave apart resolve from 250 Hz to 2 kHz whatever their phases; a
// tone is read whole 0.78 s after it starts at 100 Hz, 40 ms after from 4 kHz);
// across the sixth of an octave below each boundary a band takes a mix of the two windows'
// energies, fading linearly (in octaves) from the longer to the shorter one, so a tone's
// energy summed over neighbouring bands is the same wherever it falls. Each window's
// transform is the power of two at or above its length; the rest is zeros.
//
// A window reads the signal at the lowest rate that still carries its frequencies (the
// rate halved d times, 2.5 times the highest frequency it serves or more): the signal goes
// through a cascade of half-band filters (65 taps, Kaiser, flat within 0.001 dB to 0.2 of
// the rate they take, 100 dB down from 0.3), so a second of bass is a transform of a few
// hundred points. The long windows lag by the cascade's delay (85 ms at 48 kHz for the
// longest).
//
// Calibration: a window's power spectrum, summed over the bins of an interval, is scaled to
// the energy the module's 1024-point Hann analysis gives the same interval (the ratio of the
// two windows' squared sums and lengths), so the two agree wherever the module resolves:
// - "Freq (Log)" band b (10·2^(b/48) Hz, edges a 96th of an octave either side): its energy,
//   in the module's log scale (floor 1e-11, times 105/1024, in dB);
// - "Freq (Linear)" point k (k·rate/1024 Hz): the energy within 0.75 of a point either side
//   (1.5 points, the module's Hann window's noise bandwidth), times the module window's
//   peak-to-energy ratio, in the module's linear scale (floor 1e-11, times 8.6/1024, in dB):
//   a tone reads the module's level at a bin's centre wherever it falls, and noise reads
//   the module's mean level. A point's window is the one its frequency takes in the log
//   view, but never one whose main lobe is wider than a quarter of a point.
#pragma once

#include "analyzer/dsp/power_spectrum_plan.h"
#include "host/kit/fine/half_band_cascade.h"
#include "host/kit/frame_view.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace vex::host {

// Which analysis fills a host's spectrum frames: the module's own, or the fine one.
enum class Analysis : std::int32_t { kModule = 0, kFine = 1 };
// "module" / "fine": the names the command lines, windows and settings use.
const char* analysisName(Analysis analysis);
// The analysis named `name`; false for any other text.
bool analysisOfName(const char* name, Analysis& analysis);

class FineAnalysis;

// One signal's past as the analysis reads it: fed its samples in order, it keeps the
// newest of them at every rate the windows read. Made for one FineAnalysis (allocates);
// feeding allocates nothing.
class FineSignal {
public:
    explicit FineSignal(const FineAnalysis& analysis);
    // Forgets everything fed (all zeros).
    void reset() { cascade.reset(); }
    // The next `count` samples; samples that are not finite count as 0.
    void feed(const float* samples, std::int32_t count) { cascade.feed(samples, count); }

private:
    friend class FineAnalysis;
    const FineAnalysis* owner;
    HalfBandCascade cascade;
};

class FineAnalysis {
public:
    static constexpr double kMinRate = 8000.0;
    static constexpr double kMaxRate = 768000.0;
    static constexpr std::int32_t kWindows = 7;

    // Prepares every window, transform and band for `sampleRate` (taken into 8 kHz..768 kHz;
    // a rate that is not finite is taken as 48 kHz). Allocates: not on an audio thread.
    explicit FineAnalysis(double sampleRate);
    ~FineAnalysis();
    FineAnalysis(const FineAnalysis&) = delete;
    FineAnalysis& operator=(const FineAnalysis&) = delete;

    double sampleRate() const { return rate; }
    // How many of a signal's newest samples the analysis of a block of samples reads: the
    // longest window and the cascade's delay before it.
    std::int32_t historyLength() const { return longest; }

    // How far the centre of the windows that point `point` of `view` reads lies behind the
    // newest sample fed, in samples at the analysis's rate (the cascade's delay included;
    // between a point's two windows, weighted as its level is); 0 for the scope and for
    // points out of range.
    double pointLag(View view, std::int32_t point) const;

    // The levels in `view` of a signal fed so far: levels[0..pointsOf(view)-1] receive them
    // (nothing for the scope). Every level is finite, at or above the module's floor of the
    // view. No allocation; one thread at a time per instance.
    void analyse(View view, const FineSignal& signal, float* levels);
    // The same for a signal whose newest samples are samples[0..historyLength()-1], oldest
    // first, and nothing before them.
    void analyse(View view, const float* samples, float* levels);

private:
    friend class FineSignal;
    // What one point of a view takes: up to two windows, their weights and the point's
    // interval in each window's bins.
    struct PointPlan {
        std::int32_t window[2];
        float weight[2];
        double low[2];
        double high[2];
    };
    struct Window {
        std::int32_t seconds = 0; // which of the lengths
        std::int32_t depth = 0;   // read at the rate halved this many times
        std::int32_t length = 0;  // samples at that rate
        double scale = 0.0;       // bin powers to the module's energy
        std::vector<float> coefficients;
        PowerSpectrumPlan plan{0};
        std::vector<float> power; // transform size / 2 + 1
    };

    // A window of kSeconds[length] read at `depth` (made on first use, at construction).
    std::int32_t windowOf(std::int32_t length, std::int32_t depth);
    void planPoints(View view, std::vector<PointPlan>& plans, std::int32_t shortestAllowed);
    void transformWindow(std::int32_t w, const FineSignal& signal);
    // How many values a signal keeps at each depth: its longest window there.
    std::vector<std::int32_t> keptPerDepth() const;
    double pointEnergy(const PointPlan& plan) const;

    double rate = 48000.0;
    std::int32_t longest = 0;
    std::int32_t deepest = 0;
    std::vector<Window> windows;
    std::vector<float> staging;
    std::unique_ptr<FineSignal> scratch; // for analyse of a block of samples
    std::vector<PointPlan> logPlans;
    std::vector<PointPlan> linearPlans;
    double linearPeakRatio = 0.0;
    double moduleSquares = 0.0;
};

} // namespace vex::host

// A voice's frames of the fine analysis in place of the module's: the voice's newest samples,
// and the spectrum frames made from them in the module's own formats, so the module's
// display draws them unchanged.
//
// The audio thread appends every block to history(); whoever handles a spectrum frame the
// module sent (on that thread or another) asks refine for the fine frame of the same view,
// the same presence bytes and the same moment. A signal whose presence byte is 0 keeps its
// earlier values of that view, as in the module's frames.
#pragma once

#include "host/kit/fine/fine_analysis.h"
#include "host/kit/fine/sample_history.h"

#include <cstdint>
#include <vector>

namespace vex::host {

class FineFrames {
public:
    // Keeps the newest two seconds of samples at the rate of `analysis` (the one refine will
    // be given), so an analysis on another thread may lag a second behind the audio. Each
    // refine feeds the analysis the samples since the last one. Allocates.
    explicit FineFrames(const FineAnalysis& analysis);

    // Back to as made: nothing written, fed or analysed. Not while the history is written
    // or read.
    void restart();

    SampleHistory& history() { return samples; }
    const SampleHistory& history() const { return samples; }

    // The fine frame for a spectrum frame of `view` whose presence bytes are `streamingA` and
    // `streamingB`, the module having sent it when sample `end` (exclusive) was the newest:
    // frameSizeOf(view) bytes kept here until the next refine of the view. Null for the scope,
    // for a moment the history has not reached, and when the history was overwritten while
    // read (the analysis then starts again from what it holds, as it does when it lags more
    // than that). Uses `analysis` (made for this voice's rate); no allocation.
    const std::uint8_t* refine(FineAnalysis& analysis, View view, bool streamingA, bool streamingB,
                               std::int64_t end);

    // The same for a frame the module sent (bytes and size as it sent them): a spectrum
    // frame's fine twin, or the frame itself for any other (a scope frame, an empty or
    // unknown value). Null when the history lost the window.
    const std::uint8_t* refine(FineAnalysis& analysis, const std::uint8_t* frame, std::int32_t size,
                               std::int64_t end);

private:
    // Feeds both signals the history's samples up to `end`; false when the history lost
    // some of them (then both start again from what it holds).
    bool catchUp(std::int64_t end);

    SampleHistory samples;
    FineSignal signals[2];
    std::int64_t fed = 0; // samples of the history fed to the signals
    std::vector<float> chunk;
    std::vector<float> levels;
    LinearSpectrumPayload linear{};
    LogSpectrumPayload log{};
};

} // namespace vex::host

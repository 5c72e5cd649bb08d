// The spectrum analyzer's levels computed the plain way, one frame at a time: the window
// product per sample, the FFT's plain loops, the band edges worked out from the sample rate
// on every frame and the runtime's log10 per level. SpectrumAnalyzer computes exactly these
// bits faster; the tests and the benchmark use this as its reference.
#pragma once

#include <cstdint>

namespace vex::plain {

// Levels of one signal's 1024 captured samples: 512 bin levels when `linear`, else 528
// log-band levels at `sampleRate` (a rate that is not positive gives every band the floor).
void spectrumLevels(const float* samples, float sampleRate, bool linear, float* levels);

} // namespace vex::plain

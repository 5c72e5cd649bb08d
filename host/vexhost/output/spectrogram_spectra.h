// Spectra of one signal taken at moments the caller picks, for a picture of a whole input:
// the module's own analysis (a fresh audio object per moment, which captures exactly the
// newest 1024 samples) or the fine analysis, both as levels of a spectrum view in its frame
// format. A host that tiles an input with these, their windows overlapping, sees all of it,
// where one audio object running freely analyses 1024 of every 2224 samples or more.
#pragma once

#include "framework/audio/factory_interface.h"
#include "host/kit/frame_view.h"

#include <cstdint>
#include <memory>

namespace vex::host {

// Not thread-safe; allocates when made, and an analysis of the module's allocates what the
// audio object does.
class MomentSpectra {
public:
    virtual ~MomentSpectra() = default;
    // The points of the view the levels are in.
    virtual std::int32_t points() const = 0;
    // How far the centre of point `point`'s window lies behind the newest sample fed, in
    // samples (0 for the newest sample itself).
    virtual double lag(std::int32_t point) const = 0;
    // How many of the newest samples an analysis reads.
    virtual std::int64_t reach() const = 0;
    // The next `count` samples of the signal, in order.
    virtual void feed(const float* samples, std::int32_t count) = 0;
    // The levels of the newest samples fed into levels[0..points()-1] (dB, as in the view's
    // frames; finite, within -300..300). Throws HostError when the module sends no frame.
    virtual void analyse(float* levels) = 0;
};

// The module's analysis in spectrum view `view`, a fresh audio object of `factory` per
// analysis at `sampleRate`. Throws HostError.
std::unique_ptr<MomentSpectra> makeModuleSpectra(FactoryInterface& factory, double sampleRate,
                                                 View view);
// The fine analysis in spectrum view `view` at `sampleRate`.
std::unique_ptr<MomentSpectra> makeFineSpectra(double sampleRate, View view);

} // namespace vex::host

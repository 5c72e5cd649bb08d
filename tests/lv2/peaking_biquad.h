// A peaking equaliser's biquad as the audio cookbook gives it (its gain at the centre
// frequency, its Q), and its magnitude at any frequency: the filter the difference tests
// put between the two signals, and the gain they expect to read back.
#pragma once

#include <cmath>
#include <complex>

namespace vex::test {

struct PeakingBiquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0; // divided by a0

    PeakingBiquad(double sampleRate, double hertz, double gainDb, double q) {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w0 = 2.0 * M_PI * hertz / sampleRate;
        const double alpha = std::sin(w0) / (2.0 * q);
        const double a0 = 1.0 + alpha / a;
        b0 = (1.0 + alpha * a) / a0;
        b1 = -2.0 * std::cos(w0) / a0;
        b2 = (1.0 - alpha * a) / a0;
        a1 = -2.0 * std::cos(w0) / a0;
        a2 = (1.0 - alpha / a) / a0;
    }

    // |H| at `hertz` in dB.
    double gainDbAt(double hertz, double sampleRate) const {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * hertz / sampleRate);
        const std::complex<double> z2 = z1 * z1;
        return 20.0 * std::log10(std::abs((b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2)));
    }
};

} // namespace vex::test

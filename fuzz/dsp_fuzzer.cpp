// Differential fuzzing of the FFT engine against a plain double-precision DFT, and of the
// window builder against its contract (writes exactly n finite values, or nothing).
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/window_table.h"
#include "fuzz/fuzz_checks.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

namespace {

constexpr float kSentinel = -12345.0f;

// e^(+2 pi i m / n) for m < n, n = 2^bits, computed once per size.
const std::vector<std::complex<double>>& twiddles(int bits) {
    static std::vector<std::complex<double>> tables[9];
    std::vector<std::complex<double>>& table = tables[bits];
    if (table.empty()) {
        const std::size_t n = std::size_t{1} << bits;
        const double pi = std::acos(-1.0);
        table.resize(n);
        for (std::size_t m = 0; m < n; ++m) {
            table[m] = std::polar(1.0, 2.0 * pi * static_cast<double>(m) / static_cast<double>(n));
        }
    }
    return table;
}

// X[k] = sum_j x[j] e^(+2 pi i j k / n), the engine's forward convention; n = 2^bits.
// Why outside the coverage instrumentation: the reference is the harness's own arithmetic,
// and a hook per term made it most of an input's cost. Not inlined, or the caller's
// instrumentation would cover it again.
__attribute__((no_sanitize("coverage"), noinline)) std::vector<std::complex<double>>
plainDft(int bits, const std::vector<float>& re, const std::vector<float>& im) {
    const std::vector<std::complex<double>>& turn = twiddles(bits);
    const std::size_t n = re.size();
    const std::size_t wrap = n - 1; // (j k) mod n, as n is a power of two
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0.0;
        std::size_t m = 0; // j k mod n
        for (std::size_t j = 0; j < n; ++j, m = (m + k) & wrap) {
            sum += std::complex<double>(re[j], im[j]) * turn[m];
        }
        out[k] = sum;
    }
    return out;
}

void fuzzTransforms(FuzzedDataProvider& data) {
    const int bits = data.ConsumeIntegralInRange<int>(1, 8);
    const std::int32_t n = 1 << bits;
    std::vector<float> re(n), im(n);
    double magnitude = 0.0;
    for (std::int32_t j = 0; j < n; ++j) {
        re[j] = data.ConsumeFloatingPointInRange<float>(-1000.0f, 1000.0f);
        im[j] = data.ConsumeFloatingPointInRange<float>(-1000.0f, 1000.0f);
        magnitude += std::abs(re[j]) + std::abs(im[j]);
    }
    // Float storage of each butterfly's result bounds the error by a few float steps of the
    // largest possible value, per stage.
    const double tolerance = 1e-5 * (magnitude + 1.0) * bits;

    const auto reference = plainDft(bits, re, im);
    std::vector<float> outRe(n, kSentinel), outIm(n, kSentinel);
    vex::fftComplex(n, re.data(), im.data(), outRe.data(), outIm.data(), false);
    for (std::int32_t k = 0; k < n; ++k) {
        check(std::abs(outRe[k] - reference[k].real()) <= tolerance);
        check(std::abs(outIm[k] - reference[k].imag()) <= tolerance);
    }
    // Inverse of the forward result gives the input back.
    std::vector<float> backRe(n), backIm(n);
    vex::fftComplex(n, outRe.data(), outIm.data(), backRe.data(), backIm.data(), true);
    for (std::int32_t j = 0; j < n; ++j) {
        check(std::abs(backRe[j] - re[j]) <= tolerance / n + 1e-3);
        check(std::abs(backIm[j] - im[j]) <= tolerance / n + 1e-3);
    }

    if (n >= 4) {
        // Real input: the power spectrum, with DC and Nyquist sharing element 0.
        const std::vector<float> zero(n, 0.0f);
        const auto realReference = plainDft(bits, re, zero);
        std::vector<float> power(n, kSentinel);
        vex::computePowerSpectrum(n, re.data(), power.data());
        const double powerTolerance = 2.0 * tolerance * (magnitude + 1.0) + 1e-3;
        for (std::int32_t k = 0; k < n / 2; ++k) {
            double expected = std::norm(realReference[k]);
            if (k == 0) {
                expected = realReference[0].real() * realReference[0].real() +
                           realReference[n / 2].real() * realReference[n / 2].real();
            }
            check(std::abs(power[k] - expected) <= powerTolerance);
        }
        for (std::int32_t k = n / 2; k < n; ++k) {
            check(power[k] == kSentinel); // nothing written past n/2
        }
        // In place gives the same bits as out of place.
        std::vector<float> inPlace = re;
        vex::computePowerSpectrum(n, inPlace.data(), inPlace.data());
        for (std::int32_t k = 0; k < n / 2; ++k) {
            check(std::memcmp(&inPlace[k], &power[k], sizeof(float)) == 0);
        }
    }
}

void fuzzBadSizes(FuzzedDataProvider& data) {
    // Sizes that are not powers of two (or too small) write nothing.
    std::int32_t n = data.ConsumeIntegralInRange<std::int32_t>(-8, 300);
    if (n > 0 && (n & (n - 1)) == 0 && n >= 4) {
        n += 1;
    }
    std::vector<float> in(512, 1.0f), outRe(512, kSentinel), outIm(512, kSentinel);
    vex::computePowerSpectrum(n, in.data(), outRe.data());
    if (n < 2 || (n & (n - 1)) != 0) {
        vex::fftComplex(n, in.data(), nullptr, outRe.data(), outIm.data(), false);
        vex::fftRealPacked(n, in.data(), outRe.data(), outIm.data());
    }
    for (std::size_t i = 0; i < outRe.size(); ++i) {
        check(outRe[i] == kSentinel && outIm[i] == kSentinel);
    }
}

void fuzzWindow(FuzzedDataProvider& data) {
    const std::int32_t n = data.ConsumeIntegralInRange<std::int32_t>(-4, 4096);
    const auto type = data.ConsumeIntegralInRange<std::int32_t>(-2, 10);
    std::vector<float> table(4100, kSentinel);
    vex::fillWindowTable(table.data(), n, type);
    const bool written = table[0] != kSentinel;
    for (std::int32_t i = 0; i < 4100; ++i) {
        if (written && i < n) {
            check(std::isfinite(table[i]) && table[i] >= -1e-6f && table[i] <= 1.0f + 1e-6f);
        } else {
            check(table[i] == kSentinel);
        }
    }
    if (n < 1 || type < 0 || type > 8) {
        check(!written);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    switch (data.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        fuzzTransforms(data);
        break;
    case 1:
        fuzzBadSizes(data);
        break;
    default:
        fuzzWindow(data);
        break;
    }
    return 0;
}

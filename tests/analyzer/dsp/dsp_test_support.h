// Shared helpers of the DSP tests: a seeded generator that gives the same numbers in every
// build, a hash of float bits, and a plain double-precision DFT as the reference.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vex::test {

// splitmix64: the same sequence on every compiler and runtime (unlike the standard
// distributions, whose results the library may choose).
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // Uniform in [-1, 1), exactly representable as float.
    float uniform() {
        return static_cast<float>(static_cast<std::int32_t>(next() >> 40) - (1 << 23)) *
               (1.0f / (1 << 23));
    }
    std::vector<float> signal(std::size_t n, float scale = 1.0f) {
        std::vector<float> values(n);
        for (float& v : values) {
            v = uniform() * scale;
        }
        return values;
    }

private:
    std::uint64_t state;
};

// FNV-1a over the bit patterns of the floats.
inline std::uint64_t hashFloats(const float* values, std::size_t n,
                                std::uint64_t hash = 0xcbf29ce484222325ull) {
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        for (int b = 0; b < 4; ++b) {
            hash ^= (bits >> (8 * b)) & 0xffu;
            hash *= 0x100000001b3ull;
        }
    }
    return hash;
}

inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// X[k] = sum_j x[j] * e^(sign * 2*pi*i*j*k/n) in double precision, for the listed bins.
// The angles are reduced exactly (j*k mod n) before the sine and cosine.
class Dft {
public:
    explicit Dft(std::size_t n) : n(n), roots(n) {
        const double pi = std::acos(-1.0);
        for (std::size_t m = 0; m < n; ++m) {
            const double angle = 2.0 * pi * static_cast<double>(m) / static_cast<double>(n);
            roots[m] = {std::cos(angle), std::sin(angle)};
        }
    }
    std::complex<double> bin(const float* re, const float* im, std::size_t k, int sign) const {
        std::complex<double> sum = 0.0;
        std::size_t index = 0; // j*k mod n
        for (std::size_t j = 0; j < n; ++j) {
            const std::complex<double> root = sign > 0 ? roots[index] : std::conj(roots[index]);
            sum += std::complex<double>(re[j], im != nullptr ? im[j] : 0.0) * root;
            index = (index + k) % n;
        }
        return sum;
    }

private:
    std::size_t n;
    std::vector<std::complex<double>> roots;
};

// The bins checked at size n: all of them for small n, an even spread plus the edges above.
inline std::vector<std::size_t> binsToCheck(std::size_t n) {
    std::vector<std::size_t> bins;
    if (n <= 2048) {
        for (std::size_t k = 0; k < n; ++k) {
            bins.push_back(k);
        }
        return bins;
    }
    for (std::size_t k :
         {std::size_t{0}, std::size_t{1}, n / 4, n / 2 - 1, n / 2, n / 2 + 1, n - 1}) {
        bins.push_back(k);
    }
    for (std::size_t k = 7; k < n; k += n / 24 + 3) {
        bins.push_back(k);
    }
    return bins;
}

inline double norm2(const std::vector<float>& re, const std::vector<float>& im) {
    double sum = 0.0;
    for (std::size_t i = 0; i < re.size(); ++i) {
        sum += static_cast<double>(re[i]) * re[i] + (im.empty() ? 0.0 : double(im[i]) * im[i]);
    }
    return std::sqrt(sum);
}

} // namespace vex::test

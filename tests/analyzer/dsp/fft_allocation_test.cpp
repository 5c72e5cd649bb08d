// The transforms of up to 1024 points never touch the heap once the process-wide tables
// exist: the audio thread calls them. This binary counts every operator new.
#include "analyzer/dsp/fft_engine.h"
#include "tests/analyzer/dsp/dsp_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
int allocations = 0;
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace vex {
namespace {

TEST(FftAllocation, NoHeapUpTo1024Points) {
    prepareFftTables();
    test::Random random(21);
    const std::vector<float> x = random.signal(4096);
    std::vector<float> a(4096), b(4096);
    const int before = allocations;
    for (std::int32_t n = 4; n <= 1024; n *= 2) {
        computePowerSpectrum(n, x.data(), a.data());
        fftRealPacked(n, x.data(), a.data(), b.data());
    }
    for (std::int32_t n = 2; n <= 4096; n *= 2) {
        fftComplex(n, x.data(), x.data(), a.data(), b.data(), false);
        fftComplex(n, x.data(), nullptr, a.data(), b.data(), true);
    }
    EXPECT_EQ(allocations, before);
    // The counter does see the heap: larger power spectra take their scratch from it.
    computePowerSpectrum(2048, x.data(), a.data());
    EXPECT_GT(allocations, before);
}

} // namespace
} // namespace vex

#include "host/vexhost/output/spectrogram_spectra.h"

#include "analyzer/analyzer_pins.h"
#include "host/kit/block_driver.h"
#include "host/kit/fine/fine_analysis.h"
#include "host/kit/host_error.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vex::host {

namespace {

// The module's capture: 1024 samples, the transform's length.
constexpr std::int32_t kCapture = 2 * kLinearBins;
// Its highest update rate (choice 7, 40 frames per second): the shortest hold-off.
constexpr std::int32_t kFastestRate = 7;
constexpr std::int32_t kFastestUpdates = 40;
// Levels are kept within this many dB of 0 (the module's floors lie far inside).
constexpr float kMostLevel = 300.0f;

// The module's analysis of chosen stretches from one audio object. Why this works: an object
// captures its first frame from its first sample; after each frame it waits out a hold-off
// and then starts the next frame at a rising zero crossing of either signal. So after every
// frame the object is handed a block of silence as long as the hold-off (ending it), then a
// block whose first sample is 0 on both signals and whose second carries a positive sample on
// signal B, which never streams: the trigger fires there, and the 1024 samples of signal A
// captured from it are exactly the stretch asked for (a signal that does not stream is not
// captured, and its level is not sent).
class ModuleSpectra final : public MomentSpectra {
public:
    ModuleSpectra(FactoryInterface& factory, double sampleRate, View spectrumView)
        : view(spectrumView), holdOff(static_cast<std::int32_t>(sampleRate) / kFastestUpdates + 1),
          ring(kCapture, 0.0f) {
        const auto length = static_cast<std::size_t>(std::max(holdOff, kCapture + 1));
        signalA.assign(length, 0.0f);
        signalB.assign(length, 0.0f);
        values.assign(static_cast<std::size_t>(pointsOf(view)) * sizeof(PayloadRecord) / 4, 0.0f);
        driver.services().sampleRate = static_cast<float>(sampleRate);
        driver.onFrame = [this](std::int32_t, const std::uint8_t* bytes, std::int32_t size) {
            if (size == frameSizeOf(view) && target != nullptr) {
                std::memcpy(values.data(), bytes + valueOffset(0, 0), values.size() * 4);
                constexpr std::size_t stride = sizeof(PayloadRecord) / sizeof(float);
                for (std::size_t k = 0; k < static_cast<std::size_t>(pointsOf(view)); ++k) {
                    // Why in this order: a NaN reads the least level.
                    const float level = values[k * stride];
                    const float least = level > -kMostLevel ? level : -kMostLevel;
                    target[k] = least < kMostLevel ? least : kMostLevel;
                }
                target = nullptr;
            }
        };
        driver.create(factory);
        if (driver.open() != kMpOk || !driver.setBuffers(signalA.data(), signalB.data())) {
            throw HostError("the module's audio object refused to open");
        }
        const std::int32_t mode = modeOf(view);
        const std::int32_t rate = kFastestRate;
        const float enable = 1.0f;
        driver.addEvent(0, kEventGraphStart, 0);
        driver.addValue(0, kAudioModePin, &mode);
        driver.addValue(0, kAudioRatePin, &rate);
        driver.addValue(0, kAudioEnablePin, &enable);
        driver.addEvent(0, kEventStreamingStart, kAudioSignalAPin);
    }

    std::int32_t points() const override { return pointsOf(view); }
    // The window's centre lies between samples 512 and 511 before the newest one's end.
    double lag(std::int32_t) const override { return (kCapture - 1) * 0.5; }
    std::int64_t reach() const override { return kCapture; }

    void feed(const float* samples, std::int32_t count) override {
        if (count > kCapture) {
            samples += count - kCapture;
            count = kCapture;
        }
        while (count > 0) {
            const std::int32_t n = std::min(count, kCapture - next);
            std::copy(samples, samples + n, ring.begin() + next);
            next = (next + n) % kCapture;
            samples += n;
            count -= n;
        }
    }

    void analyse(float* levels) override {
        // After the first frame: the hold-off, then the trigger one sample before the stretch.
        const std::int32_t lead = started ? 1 : 0;
        if (started) {
            // The hold-off reads no samples; signal B holds zeros but for the trigger.
            driver.process(holdOff);
            signalA[0] = 0.0f;
            signalB[1] = 1.0f;
        }
        const auto split = ring.begin() + next;
        const auto at = signalA.begin() + lead;
        std::copy(split, ring.end(), at);
        std::copy(ring.begin(), split, at + (ring.end() - split));
        target = levels;
        driver.process(kCapture + lead);
        signalB[1] = 0.0f;
        started = true;
        if (target != nullptr) {
            target = nullptr;
            throw HostError("the module's audio object sent no spectrum");
        }
    }

private:
    View view;
    std::int32_t holdOff; // samples that end the hold-off after a frame
    BlockDriver driver;
    std::vector<float> ring; // the newest samples, the oldest at `next`
    std::vector<float> signalA;
    std::vector<float> signalB;
    std::vector<float> values; // a frame's records
    std::int32_t next = 0;
    bool started = false;
    float* target = nullptr;
};

class FineSpectra final : public MomentSpectra {
public:
    FineSpectra(double sampleRate, View spectrumView)
        : analysis(sampleRate), signal(analysis), view(spectrumView),
          lags(static_cast<std::size_t>(pointsOf(spectrumView))) {
        for (std::int32_t k = 0; k < pointsOf(view); ++k) {
            lags[static_cast<std::size_t>(k)] = analysis.pointLag(view, k);
        }
    }

    std::int32_t points() const override { return pointsOf(view); }
    double lag(std::int32_t point) const override { return lags[static_cast<std::size_t>(point)]; }
    std::int64_t reach() const override { return analysis.historyLength(); }
    void feed(const float* samples, std::int32_t count) override { signal.feed(samples, count); }
    void analyse(float* levels) override { analysis.analyse(view, signal, levels); }

private:
    FineAnalysis analysis;
    FineSignal signal;
    View view;
    std::vector<double> lags;
};

} // namespace

std::unique_ptr<MomentSpectra> makeModuleSpectra(FactoryInterface& factory, double sampleRate,
                                                 View view) {
    return std::make_unique<ModuleSpectra>(factory, sampleRate, view);
}

std::unique_ptr<MomentSpectra> makeFineSpectra(double sampleRate, View view) {
    return std::make_unique<FineSpectra>(sampleRate, view);
}

} // namespace vex::host

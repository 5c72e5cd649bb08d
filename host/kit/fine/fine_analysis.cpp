#include "host/kit/fine/fine_analysis.h"

#include "analyzer/dsp/window_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vex::host {
namespace {

constexpr double kSeconds[FineAnalysis::kWindows] = {1.0, 0.78, 0.48, 0.24, 0.12, 0.06, 0.04};
constexpr double kFromHz[FineAnalysis::kWindows] = {0.0,    100.0,  250.0, 500.0,
                                                    1000.0, 2000.0, 4000.0};
// The module's analysis: 1024 samples, scaled by 0.15 before its Hann window.
constexpr std::int32_t kModuleLength = 2 * kLinearBins;
constexpr double kInputScale = 0.15;
// Its levels: log bands floored at 1e-11 (a float) times 105/1024, linear bins floored at
// 1e-11 times 8.6/1024 (a float), both in dB.
constexpr double kLogFloor = static_cast<double>(1e-11f);
constexpr double kLogScale = 105.0 / 1024.0;
constexpr double kLinearFloor = 1e-11;
constexpr double kLinearScale = static_cast<double>(8.6f / 1024.0f);
// No energy above this: levels stay finite even for samples near the float range's top.
constexpr double kEnergyCeiling = 1e30;
// A linear point's interval, in points either side of its centre.
constexpr double kLinearHalfWidth = 0.75;
// The fade below each window's first frequency, in octaves.
constexpr double kFadeOctaves = 1.0 / 6.0;

std::int32_t powerOfTwoAtLeast(std::int32_t n) {
    std::int32_t p = PowerSpectrumPlan::kMinSize;
    while (p < n) {
        p *= 2;
    }
    return p;
}

double squaredSum(const std::vector<float>& w) {
    double sum = 0.0;
    for (float c : w) {
        sum += static_cast<double>(c) * c;
    }
    return sum;
}

// The integral of the power between bin positions low and high (0 <= low, high <= the last
// bin), the power taken as linear between neighbouring bins.
double integrate(const std::vector<float>& power, double low, double high) {
    if (!(high > low)) {
        return 0.0;
    }
    const auto last = static_cast<std::int32_t>(power.size()) - 1;
    const auto at = [&](double x) {
        const std::int32_t k = std::min(static_cast<std::int32_t>(x), last - 1);
        const double f = x - k;
        return power[k] * (1.0 - f) + power[k + 1] * f;
    };
    const auto k0 = static_cast<std::int32_t>(low);
    const auto k1 = static_cast<std::int32_t>(high);
    if (k0 == k1) {
        return (high - low) * (at(low) + at(high)) * 0.5;
    }
    double energy = (k0 + 1 - low) * (at(low) + power[k0 + 1]) * 0.5;
    for (std::int32_t k = k0 + 1; k < k1; ++k) {
        energy += (static_cast<double>(power[k]) + power[k + 1]) * 0.5;
    }
    return energy + (high - k1) * (power[k1] + at(high)) * 0.5;
}

} // namespace

const char* analysisName(Analysis analysis) {
    return analysis == Analysis::kFine ? "fine" : "module";
}

bool analysisOfName(const char* name, Analysis& analysis) {
    if (name == nullptr) {
        return false;
    }
    for (const Analysis a : {Analysis::kModule, Analysis::kFine}) {
        if (std::strcmp(name, analysisName(a)) == 0) {
            analysis = a;
            return true;
        }
    }
    return false;
}

FineAnalysis::FineAnalysis(double sampleRate) {
    rate = std::isfinite(sampleRate) ? std::clamp(sampleRate, kMinRate, kMaxRate) : 48000.0;
    std::vector<float> module(kModuleLength);
    fillWindowTable(module.data(), kModuleLength, kWindowHann);
    const double moduleSquares = squaredSum(module);
    double moduleSum = 0.0;
    for (float c : module) {
        moduleSum += c;
    }
    linearPeakRatio = moduleSum * moduleSum / (kModuleLength * moduleSquares);

    std::int32_t largest = 0;
    for (std::int32_t w = 0; w < kWindows; ++w) {
        Window& window = windows[w];
        window.length =
            std::max<std::int32_t>(2, static_cast<std::int32_t>(std::lround(kSeconds[w] * rate)));
        const std::int32_t n = powerOfTwoAtLeast(window.length);
        window.coefficients.resize(static_cast<std::size_t>(window.length));
        fillWindowTable(window.coefficients.data(), window.length, kWindowHann);
        window.scale = kInputScale * kInputScale * moduleSquares * kModuleLength /
                       (squaredSum(window.coefficients) * n);
        window.plan = PowerSpectrumPlan(n);
        window.power.assign(static_cast<std::size_t>(n / 2 + 1), 0.0f);
        largest = std::max(largest, n);
        longest = std::max(longest, window.length);
    }
    staging.assign(static_cast<std::size_t>(largest), 0.0f);

    // A linear point's window must have a main lobe (two bins either side) no wider than a
    // quarter of a point: length at least 8 transforms of the module's.
    const double shortestSeconds = 8.0 * kModuleLength / rate;
    std::int32_t shortestAllowed = 0;
    while (shortestAllowed + 1 < kWindows && kSeconds[shortestAllowed + 1] >= shortestSeconds) {
        ++shortestAllowed;
    }
    planPoints(View::kLog, logPlans, kWindows - 1);
    planPoints(View::kLinear, linearPlans, shortestAllowed);
}

void FineAnalysis::planPoints(View view, std::vector<PointPlan>& plans,
                              std::int32_t shortestAllowed) {
    const std::int32_t points = pointsOf(view);
    plans.resize(static_cast<std::size_t>(points));
    const double nyquist = rate / 2.0;
    for (std::int32_t p = 0; p < points; ++p) {
        const double centre = pointHz(view, p, rate);
        double lowHz, highHz;
        if (view == View::kLog) {
            lowHz = centre * std::pow(2.0, -1.0 / 96.0);
            highHz = centre * std::pow(2.0, 1.0 / 96.0);
        } else {
            lowHz = pointHz(view, std::max(0.0, p - kLinearHalfWidth), rate);
            highHz = pointHz(view, p + kLinearHalfWidth, rate);
        }
        lowHz = std::min(lowHz, nyquist);
        highHz = std::min(highHz, nyquist);

        PointPlan& plan = plans[static_cast<std::size_t>(p)];
        std::int32_t w = 0;
        while (w + 1 < kWindows && kFromHz[w + 1] <= centre) {
            ++w;
        }
        plan.window[0] = std::min(w, shortestAllowed);
        plan.weight[0] = 1.0f;
        plan.window[1] = plan.window[0];
        plan.weight[1] = 0.0f;
        if (w < shortestAllowed) {
            const double fadeFrom = kFromHz[w + 1] * std::pow(2.0, -kFadeOctaves);
            if (centre > fadeFrom) {
                const auto u = static_cast<float>(std::log2(centre / fadeFrom) / kFadeOctaves);
                plan.weight[0] = 1.0f - u;
                plan.window[1] = w + 1;
                plan.weight[1] = u;
            }
        }
        for (int i = 0; i < 2; ++i) {
            const Window& window = windows[plan.window[i]];
            const double binsPerHz = static_cast<double>(window.plan.size()) / rate;
            plan.low[i] = lowHz * binsPerHz;
            plan.high[i] = highHz * binsPerHz;
        }
    }
}

void FineAnalysis::transformWindow(std::int32_t w, const float* samples) {
    Window& window = windows[w];
    const float* first = samples + (longest - window.length);
    for (std::int32_t i = 0; i < window.length; ++i) {
        const float s = std::isfinite(first[i]) ? first[i] : 0.0f;
        staging[static_cast<std::size_t>(i)] = s * window.coefficients[static_cast<std::size_t>(i)];
    }
    std::fill(staging.begin() + window.length, staging.begin() + window.plan.size(), 0.0f);
    window.plan.powerSpectrum(staging.data(), window.power.data());
}

double FineAnalysis::pointEnergy(const PointPlan& plan) const {
    double energy = 0.0;
    for (int i = 0; i < 2; ++i) {
        if (plan.weight[i] > 0.0f) {
            const Window& window = windows[plan.window[i]];
            energy +=
                plan.weight[i] * window.scale * integrate(window.power, plan.low[i], plan.high[i]);
        }
    }
    return energy;
}

void FineAnalysis::analyse(View view, const float* samples, float* levels) {
    if (!isSpectrum(view) || samples == nullptr || levels == nullptr) {
        return;
    }
    const bool log = view == View::kLog;
    const std::vector<PointPlan>& plans = log ? logPlans : linearPlans;
    std::array<bool, kWindows> used{};
    for (const PointPlan& plan : plans) {
        for (int i = 0; i < 2; ++i) {
            used[plan.window[i]] = used[plan.window[i]] || plan.weight[i] > 0.0f;
        }
    }
    for (std::int32_t w = 0; w < kWindows; ++w) {
        if (used[w]) {
            transformWindow(w, samples);
        }
    }
    for (std::size_t p = 0; p < plans.size(); ++p) {
        double energy = pointEnergy(plans[p]);
        if (!log) {
            energy *= linearPeakRatio;
        }
        const double floor = log ? kLogFloor : kLinearFloor;
        // Why the negated comparisons: a NaN energy reads the floor.
        if (!(energy >= floor)) {
            energy = floor;
        } else if (!(energy <= kEnergyCeiling)) {
            energy = kEnergyCeiling;
        }
        levels[p] =
            static_cast<float>(10.0 * std::log10(energy * (log ? kLogScale : kLinearScale)));
    }
}

} // namespace vex::host

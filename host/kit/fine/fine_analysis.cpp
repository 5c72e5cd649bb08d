#include "host/kit/fine/fine_analysis.h"

#include "analyzer/dsp/window_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vex::host {
namespace {

constexpr double kSeconds[FineAnalysis::kWindows] = {1.0, 0.78, 0.56, 0.28, 0.14, 0.07, 0.04};
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
// A window reads the rate that is at least kRateMargin times the highest frequency it
// serves, halved at most kMaxDepth times.
constexpr double kRateMargin = 2.5;
constexpr std::int32_t kMaxDepth = 12;

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

// ---- A signal's past at every rate.

FineSignal::FineSignal(const FineAnalysis& analysis)
    : owner(&analysis), cascade(analysis.deepest, analysis.keptPerDepth()) {}

std::vector<std::int32_t> FineAnalysis::keptPerDepth() const {
    std::vector<std::int32_t> kept(static_cast<std::size_t>(deepest + 1), 0);
    for (const Window& window : windows) {
        auto& at = kept[static_cast<std::size_t>(window.depth)];
        at = std::max(at, window.length);
    }
    return kept;
}

// ---- The analysis.

FineAnalysis::FineAnalysis(double sampleRate) {
    rate = std::isfinite(sampleRate) ? std::clamp(sampleRate, kMinRate, kMaxRate) : 48000.0;
    std::vector<float> module(kModuleLength);
    fillWindowTable(module.data(), kModuleLength, kWindowHann);
    moduleSquares = squaredSum(module);
    double moduleSum = 0.0;
    for (float c : module) {
        moduleSum += c;
    }
    linearPeakRatio = moduleSum * moduleSum / (kModuleLength * moduleSquares);

    // A linear point's window must have a main lobe (two bins either side) no wider than a
    // quarter of a point: length at least 8 transforms of the module's.
    const double shortestSeconds = 8.0 * kModuleLength / rate;
    std::int32_t shortestAllowed = 0;
    while (shortestAllowed + 1 < kWindows && kSeconds[shortestAllowed + 1] >= shortestSeconds) {
        ++shortestAllowed;
    }
    planPoints(View::kLog, logPlans, kWindows - 1);
    planPoints(View::kLinear, linearPlans, shortestAllowed);

    std::size_t largest = 0;
    for (const Window& window : windows) {
        largest = std::max(largest, static_cast<std::size_t>(window.plan.size()));
        deepest = std::max(deepest, window.depth);
        // Enough samples for the window at its rate and the cascade's delay before it.
        longest = std::max(longest, (window.length + 2 * HalfBandCascade::kTaps) << window.depth);
    }
    staging.assign(largest, 0.0f);
    scratch = std::make_unique<FineSignal>(*this);
}

FineAnalysis::~FineAnalysis() = default;

std::int32_t FineAnalysis::windowOf(std::int32_t length, std::int32_t depth) {
    for (std::size_t w = 0; w < windows.size(); ++w) {
        if (windows[w].seconds == length && windows[w].depth == depth) {
            return static_cast<std::int32_t>(w);
        }
    }
    Window window;
    window.seconds = length;
    window.depth = depth;
    const double windowRate = std::ldexp(rate, -depth);
    window.length = std::max<std::int32_t>(
        2, static_cast<std::int32_t>(std::lround(kSeconds[length] * windowRate)));
    const std::int32_t n = powerOfTwoAtLeast(window.length);
    window.coefficients.resize(static_cast<std::size_t>(window.length));
    fillWindowTable(window.coefficients.data(), window.length, kWindowHann);
    window.scale = kInputScale * kInputScale * moduleSquares * kModuleLength /
                   (squaredSum(window.coefficients) * n);
    window.plan = PowerSpectrumPlan(n);
    window.power.assign(static_cast<std::size_t>(n / 2 + 1), 0.0f);
    windows.push_back(std::move(window));
    return static_cast<std::int32_t>(windows.size() - 1);
}

void FineAnalysis::planPoints(View view, std::vector<PointPlan>& plans,
                              std::int32_t shortestAllowed) {
    const std::int32_t points = pointsOf(view);
    plans.resize(static_cast<std::size_t>(points));
    const double nyquist = rate / 2.0;
    // First which lengths each point takes, and the highest frequency each length serves.
    std::array<double, kWindows> top{};
    for (std::int32_t p = 0; p < points; ++p) {
        const double centre = pointHz(view, p, rate);
        PointPlan& plan = plans[static_cast<std::size_t>(p)];
        if (view == View::kLog) {
            plan.low[0] = centre * std::pow(2.0, -1.0 / 96.0);
            plan.high[0] = centre * std::pow(2.0, 1.0 / 96.0);
        } else {
            plan.low[0] = pointHz(view, std::max(0.0, p - kLinearHalfWidth), rate);
            plan.high[0] = pointHz(view, p + kLinearHalfWidth, rate);
        }
        plan.low[0] = std::min(plan.low[0], nyquist);
        plan.high[0] = std::min(plan.high[0], nyquist);
        plan.low[1] = plan.low[0];
        plan.high[1] = plan.high[0];

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
            if (plan.weight[i] > 0.0f) {
                top[static_cast<std::size_t>(plan.window[i])] =
                    std::max(top[static_cast<std::size_t>(plan.window[i])], plan.high[i]);
            }
        }
    }
    // Then each length's rate, and the points' intervals in its window's bins.
    std::array<std::int32_t, kWindows> windowAt{};
    for (std::int32_t length = 0; length < kWindows; ++length) {
        if (!(top[static_cast<std::size_t>(length)] > 0.0)) {
            continue; // no point of the view takes it
        }
        std::int32_t depth = 0;
        while (depth < kMaxDepth && std::ldexp(rate, -(depth + 1)) >= kRateMargin * top[length]) {
            ++depth;
        }
        windowAt[static_cast<std::size_t>(length)] = windowOf(length, depth);
    }
    for (PointPlan& plan : plans) {
        for (int i = 0; i < 2; ++i) {
            plan.window[i] = windowAt[static_cast<std::size_t>(plan.window[i])];
            const Window& window = windows[static_cast<std::size_t>(plan.window[i])];
            const double binsPerHz = window.plan.size() / std::ldexp(rate, -window.depth);
            plan.low[i] *= binsPerHz;
            plan.high[i] *= binsPerHz;
        }
    }
}

void FineAnalysis::transformWindow(std::int32_t w, const FineSignal& signal) {
    Window& window = windows[static_cast<std::size_t>(w)];
    signal.cascade.newest(window.depth, window.length, staging.data());
    for (std::int32_t i = 0; i < window.length; ++i) {
        staging[static_cast<std::size_t>(i)] *= window.coefficients[static_cast<std::size_t>(i)];
    }
    std::fill(staging.begin() + window.length, staging.begin() + window.plan.size(), 0.0f);
    window.plan.powerSpectrum(staging.data(), window.power.data());
}

double FineAnalysis::pointEnergy(const PointPlan& plan) const {
    double energy = 0.0;
    for (int i = 0; i < 2; ++i) {
        if (plan.weight[i] > 0.0f) {
            const Window& window = windows[static_cast<std::size_t>(plan.window[i])];
            energy +=
                plan.weight[i] * window.scale * integrate(window.power, plan.low[i], plan.high[i]);
        }
    }
    return energy;
}

double FineAnalysis::pointLag(View view, std::int32_t point) const {
    const std::vector<PointPlan>& plans = view == View::kLog ? logPlans : linearPlans;
    if (!isSpectrum(view) || point < 0 || point >= static_cast<std::int32_t>(plans.size())) {
        return 0.0;
    }
    const PointPlan& plan = plans[static_cast<std::size_t>(point)];
    double lag = 0.0;
    double weights = 0.0;
    for (int i = 0; i < 2; ++i) {
        if (plan.weight[i] > 0.0f) {
            const Window& window = windows[static_cast<std::size_t>(plan.window[i])];
            // Each stage of the cascade delays by kHalfTaps of the values it takes.
            const double step = std::ldexp(1.0, window.depth);
            const double delay = HalfBandCascade::kHalfTaps * (step - 1.0);
            // Why weighed by the inverse length: a window's energy of a passing event is
            // spread over its length, so the shorter window's share peaks higher.
            const double weight = plan.weight[i] / (window.length * step);
            lag += weight * (delay + (window.length - 1) * 0.5 * step);
            weights += weight;
        }
    }
    return weights > 0.0 ? lag / weights : 0.0;
}

void FineAnalysis::analyse(View view, const FineSignal& signal, float* levels) {
    if (!isSpectrum(view) || levels == nullptr || signal.owner != this) {
        return;
    }
    const bool log = view == View::kLog;
    const std::vector<PointPlan>& plans = log ? logPlans : linearPlans;
    // Why a fixed-size mark per window: no allocation here, and a view uses at most two
    // windows per length.
    std::array<bool, 2 * kWindows> used{};
    for (const PointPlan& plan : plans) {
        for (int i = 0; i < 2; ++i) {
            used[static_cast<std::size_t>(plan.window[i])] =
                used[static_cast<std::size_t>(plan.window[i])] || plan.weight[i] > 0.0f;
        }
    }
    for (std::size_t w = 0; w < windows.size(); ++w) {
        if (used[w]) {
            transformWindow(static_cast<std::int32_t>(w), signal);
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

void FineAnalysis::analyse(View view, const float* samples, float* levels) {
    if (samples == nullptr) {
        return;
    }
    scratch->reset();
    scratch->feed(samples, longest);
    analyse(view, *scratch, levels);
}

} // namespace vex::host

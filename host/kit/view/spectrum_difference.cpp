#include "host/kit/view/spectrum_difference.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vex::host {

namespace {

// Why 0.1 dB: an average of floor levels is the floor again, give or take the rounding of
// the powers summed.
constexpr double kAtFloorDb = 0.1;

// Why through exp2f and log2f in float: a window takes every frame of every voice compared
// and works out the curve again for each paint; the double functions cost most of that,
// and a float keeps a level to a millionth of a dB.
constexpr float kLog2TenTenths = 0.332192809f; // log2(10) / 10
constexpr float kTenLog10Two = 3.01029996f;    // 10 * log10(2)

double powerOf(double db) {
    return static_cast<double>(std::exp2(static_cast<float>(db) * kLog2TenTenths));
}

double dbOf(double power) {
    return static_cast<double>(kTenLog10Two * std::log2(static_cast<float>(power)));
}

} // namespace

double floorDbOf(View view) {
    return view == View::kLinear ? kLinearFloorDb : kLogFloorDb;
}

void PowerAverage::reset(std::int32_t points) {
    power.assign(static_cast<std::size_t>(std::max(points, 0)), 0.0);
    count = 0;
    lastSeconds = 0.0;
}

void PowerAverage::add(const std::uint8_t* frame, std::int32_t signal, double seconds, double tau,
                       double floorDb) {
    if (frame == nullptr || power.empty()) {
        return;
    }
    double weight = 1.0;
    if (count > 0) {
        if (tau > 0.0) {
            // Why clamped: frames from another clock (a group member's) may arrive out of
            // order; they count as arriving at once, never with a negative weight.
            const double dt = std::isfinite(seconds) ? std::max(0.0, seconds - lastSeconds) : 0.0;
            weight = 1.0 - std::exp(-dt / tau);
        } else {
            weight = 1.0 / static_cast<double>(count + 1);
        }
    }
    const std::int32_t n = points();
    for (std::int32_t k = 0; k < n; ++k) {
        const float level = frameValue(frame, signal, k);
        const double x =
            std::isfinite(level) ? powerOf(std::max<double>(level, floorDb)) : powerOf(floorDb);
        double& y = power[static_cast<std::size_t>(k)];
        y += weight * (x - y);
    }
    ++count;
    if (std::isfinite(seconds) && (count == 1 || seconds > lastSeconds)) {
        lastSeconds = seconds;
    }
}

double PowerAverage::levelDb(std::int32_t k) const {
    const double p = power[static_cast<std::size_t>(k)];
    return p > 0.0 ? dbOf(p) : -std::numeric_limits<double>::infinity();
}

double PowerAverage::loudestDb() const {
    double loudest = 0.0;
    for (const double p : power) {
        loudest = std::max(loudest, p);
    }
    return loudest > 0.0 ? dbOf(loudest) : -std::numeric_limits<double>::infinity();
}

void differenceDb(const PowerAverage& subject, const PowerAverage& reference, double floorDb,
                  std::vector<float>& out) {
    const std::int32_t n = subject.points();
    out.assign(static_cast<std::size_t>(n), std::numeric_limits<float>::quiet_NaN());
    if (n != reference.points() || subject.frames() == 0 || reference.frames() == 0) {
        return;
    }
    const double lowestSubject =
        std::max(subject.loudestDb() - kDifferenceRangeDb, floorDb + kAtFloorDb);
    const double lowestReference =
        std::max(reference.loudestDb() - kDifferenceRangeDb, floorDb + kAtFloorDb);
    for (std::int32_t k = 0; k < n; ++k) {
        const double s = subject.levelDb(k);
        const double r = reference.levelDb(k);
        if (s >= lowestSubject && r >= lowestReference) {
            out[static_cast<std::size_t>(k)] = static_cast<float>(s - r);
        }
    }
}

void SpectrumDifference::setView(std::int32_t newView) {
    view = newView;
    points = isSpectrum(viewOf(view)) ? pointsOf(viewOf(view)) : 0;
    restart();
}

void SpectrumDifference::setSeconds(double seconds) {
    if (seconds == tau || !(seconds > 0.0)) {
        return;
    }
    tau = seconds;
    restart();
}

void SpectrumDifference::setVoices(std::int32_t subject, std::int32_t reference) {
    if (subject == subjectVoice && reference == referenceVoice) {
        return;
    }
    subjectVoice = subject;
    referenceVoice = reference;
    restart();
}

void SpectrumDifference::restart() {
    subjectPower.reset(points);
    referencePower.reset(points);
    subjectSignal = -1;
    subjectLacks = false;
    referenceLacks = false;
    stale = true;
}

void SpectrumDifference::take(std::int32_t voice, const std::uint8_t* frame, std::int32_t size,
                              double seconds) {
    if (frame == nullptr || points == 0 || size != frameSizeOf(viewOf(view)) ||
        (voice != subjectVoice && voice != referenceVoice)) {
        return;
    }
    const bool present[2] = {frame[0] != 0, frame[1] != 0};
    const double floorDb = floorDbOf(viewOf(view));
    if (referenceVoice < 0) {
        subjectLacks = !present[1];
        referenceLacks = !present[0];
        if (present[0] && present[1]) {
            subjectPower.add(frame, 1, seconds, tau, floorDb);
            referencePower.add(frame, 0, seconds, tau, floorDb);
            stale = true;
        }
        return;
    }
    // Why both roles may fall on one voice: a group whose reference is the highlighted
    // member itself compares it with itself (0 dB), which is what the user picked.
    if (voice == subjectVoice) {
        const std::int32_t signal = present[0] ? 0 : present[1] ? 1 : -1;
        subjectLacks = signal < 0;
        if (signal >= 0) {
            if (signal != subjectSignal) {
                subjectPower.reset(points);
                referencePower.reset(points);
                subjectSignal = signal;
            }
            subjectPower.add(frame, signal, seconds, tau, floorDb);
            stale = true;
        }
    }
    if (voice == referenceVoice) {
        const std::int32_t signal = subjectSignal >= 0 ? subjectSignal : 0;
        referenceLacks = !present[signal];
        if (present[signal]) {
            referencePower.add(frame, signal, seconds, tau, floorDb);
            stale = true;
        }
    }
}

const std::vector<float>& SpectrumDifference::values() const {
    if (stale) {
        differenceDb(subjectPower, referencePower, floorDbOf(viewOf(view)), shown);
        stale = false;
    }
    return shown;
}

std::string SpectrumDifference::problem() const {
    if (referenceVoice < 0) {
        return subjectLacks     ? "no signal B to compare"
               : referenceLacks ? "no signal A to compare"
                                : "";
    }
    if (subjectLacks) {
        return "the highlighted member sends no signal";
    }
    if (referenceLacks) {
        return std::string("the reference has no signal ") + (subjectSignal == 1 ? "B" : "A");
    }
    return std::string();
}

std::string frequencyText(double hz) {
    char text[32];
    if (hz < 1000.0) {
        std::snprintf(text, sizeof text, "%.0f Hz", hz);
    } else if (hz < 10000.0) {
        std::snprintf(text, sizeof text, "%.2f kHz", hz / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f kHz", hz / 1000.0);
    }
    return text;
}

std::string differenceText(double hz, float db, const std::string& against) {
    if (std::isnan(db)) {
        return frequencyText(hz) + "  no difference";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dB", static_cast<double>(db));
    return frequencyText(hz) + "  " + text + " " + against;
}

} // namespace vex::host

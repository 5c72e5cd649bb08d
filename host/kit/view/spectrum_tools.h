// What a host may change in the spectrum frames it hands the display: a spectral tilt
// (levels raised above 1 kHz and lowered below it by a fixed slope per octave) and
// smoothing over time (an exponential average over frames, its time constant in seconds
// of audio). Both work on a copy of a frame; the module's frames stay as they were sent.
// Runs on the thread that shows the display; nothing here is shared with the audio thread.
#pragma once

#include "host/kit/frame_view.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

enum class Tilt : std::int32_t { kOff = 0, kThree = 1, kFourAndHalf = 2 };
enum class Smoothing : std::int32_t { kOff = 0, kFast = 1, kSlow = 2 };

// The slope in dB per octave: 0, 3 or 4.5.
double tiltSlope(Tilt tilt);
// The time constant in seconds of audio: 0 (off), 0.125 (fast) or 1.0 (slow).
double smoothingSeconds(Smoothing smoothing);
// The settings' names, as the windows show them and the options take them: tilt "0", "3",
// "4.5" (dB per octave); smoothing "off", "fast", "slow". In the enums' order.
inline constexpr std::array<const char*, 3> kTiltNames = {"0", "3", "4.5"};
inline constexpr std::array<const char*, 3> kSmoothingNames = {"off", "fast", "slow"};
const char* tiltName(Tilt tilt);
const char* smoothingName(Smoothing smoothing);
// The setting `name` names; false (and `tilt` or `smoothing` untouched) for any other text.
bool tiltNamed(const std::string& name, Tilt& tilt);
bool smoothingNamed(const std::string& name, Smoothing& smoothing);
// The next setting in the order off, then the others as numbered (the keys cycle so).
Tilt nextTilt(Tilt tilt);
Smoothing nextSmoothing(Smoothing smoothing);

// The tilt in dB added to a level at `hz`: slope * log2(hz / 1000). Why the floor: bin 0
// of the linear view (DC) has no octave; frequencies below 10 Hz, the lowest log band,
// take the tilt of 10 Hz.
double tiltDb(double slope, double hz);

// A tilt for one view: the dB to add to each point, worked out once per setting.
class TiltTable {
public:
    // Points of `view` at `sampleRate` tilted by `tilt`; views other than the spectra get
    // no table (apply() then leaves frames alone).
    void set(std::int32_t view, double sampleRate, Tilt tilt);
    bool active() const { return !offsets.empty(); }
    // Adds the tilt to every finite level of each present signal of `frame` (`size`
    // bytes); a frame of another length is left alone.
    void apply(std::uint8_t* frame, std::int32_t size) const;
    float offset(std::int32_t k) const;

private:
    std::int32_t frameSize = 0;
    std::vector<float> offsets;
};

// Exponential smoothing of the spectra of every voice: per point and signal,
// y += (1 - exp(-dt / tau)) * (x - y), dt the audio time since the voice's previous frame.
// A voice's first frame (and the first after a reset or a change of view) is taken as it
// is; a level that is not finite leaves the point as it was.
class SpectrumSmoother {
public:
    void set(std::int32_t view, Smoothing smoothing);
    Smoothing smoothing() const { return setting; }
    // Forgets every voice's history.
    void reset();
    // Smooths `frame` (`size` bytes, of the set view) of `voice` (0..127) in place, the
    // frame sent at `seconds` of audio. Frames of another length, other voices, and any
    // frame while smoothing is off pass unchanged.
    void apply(std::int32_t voice, std::uint8_t* frame, std::int32_t size, double seconds);

private:
    struct Voice {
        double seconds = 0.0;
        std::vector<float> levels; // signal A's points, then signal B's; NaN: none yet
    };
    Smoothing setting = Smoothing::kOff;
    std::int32_t frameSize = 0;
    std::int32_t points = 0;
    std::vector<Voice> voices;
};

} // namespace vex::host

// The display session: one display object of the module, told its look through its pins,
// fed every frame of every voice, and painted into an image on request.
#pragma once

#include "analyzer/analyzer_pins.h"
#include "framework/audio/factory_interface.h"
#include "framework/display/display_module_interfaces.h"
#include "host/kit/host_services.h"
#include "host/kit/view/paint_surface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// What the display is told besides the frames.
struct DisplayLook {
    std::int32_t width = 640;
    std::int32_t height = 360;
    bool follow = false; // draw every active voice, the last gated one with the main pens
    bool split = false;  // signal A above, signal B below
    float shade = -0.8f; // other voices' colours: < 0 darker, > 0 lighter
    // Colour texts as the colour pins take them; empty leaves a pin without a colour.
    std::string background;
    std::string trace1;
    std::string trace2;
    std::string label;
    std::string grid;
    // Gate of voice v; voices past the end are gated 1.
    std::vector<float> gates;
};

// The look vexhost uses unless told otherwise: dark panel, green and amber traces.
DisplayLook defaultLook();

// Not thread-safe: runs on the caller's thread, which plays the host's user-interface
// thread.
class DisplaySession {
public:
    // Creates the display object, arranges it to the look's size and delivers the look.
    // `voices` voices get their gates. Throws HostError.
    DisplaySession(FactoryInterface& factory, std::int32_t mode, const DisplayLook& look,
                   std::int32_t voices, double sampleRate);
    ~DisplaySession();
    DisplaySession(const DisplaySession&) = delete;
    DisplaySession& operator=(const DisplaySession&) = delete;

    // Delivers one frame the audio side sent for `voice` at session sample `sample`:
    // setPin then notifyPin on the frames pin.
    void deliverFrame(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                      std::int64_t sample);

    // Paints the display as it stands at session sample `now` into `surface`, cleared
    // first. Throws HostError when the display answers an error.
    void paint(PaintSurface& surface, std::int64_t now);

    // Delivers a new mode to the display's mode input; the display writes back the mode
    // it shows (modeShown).
    void setMode(std::int32_t mode);
    // Arranges the display to a new size; paints then take surfaces of that size.
    void resize(std::int32_t width, std::int32_t height);
    // The display's answer to measure for a wanted size.
    MeasureSize measure(std::int32_t width, std::int32_t height) const;
    // Delivers new values of the split and follow inputs.
    void setSplit(bool split);
    void setFollow(bool follow);
    // Delivers a voice's gate (0..127); with follow on, the voice last gated on is drawn in
    // the main colours.
    void setGate(std::int32_t voice, float gate);

    // Whether the display asked for a redraw since the last paint.
    bool invalidated() const;
    // The last mode the display wrote back on its mode output, or -1.
    std::int32_t modeShown() const;
    // The last mode list the display wrote back, or empty.
    std::string modeList() const;

private:
    void deliver(std::int32_t pinId, std::int32_t voice, const void* data, std::int32_t size);
    void deliverText(std::int32_t pinId, const std::string& text);
    void refreshActivity(std::int64_t now);

    HostServices host;
    DisplayModuleInterface* display = nullptr;
    DrawingInterface* drawing = nullptr;
    DisplayLook look;
    double sampleRate;
    // Per voice: when its last frame came (session samples, -1 none), and its length.
    std::vector<std::int64_t> frameSample;
    std::vector<std::int32_t> frameSize;
    // What the display last wrote on its mode output (-1 none) and its mode list.
    std::int32_t shownMode = -1;
    std::string shownModeList;
};

} // namespace vex::host

// The display's look as vexhost's options give it (--size, --split, --follow, --voice-gates
// and the colours), and its checks before any command runs the module.
#pragma once

#include "host/kit/view/display_session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// The display's look as the command line gives it, before checking.
struct LookOptions {
    std::string size = "640x360";
    bool split = false;
    bool follow = false;
    std::vector<float> gates;
    DisplayLook colours = defaultLook();
};

// The look the options give, checked for `voices` voices. Throws HostError naming the
// option at fault.
DisplayLook checkLook(const LookOptions& options, std::int32_t voices);

// Checks a colour text against the forms the colour pins parse: "RGB(r,g,b)",
// "ARGB(a,r,g,b)", "0xAARRGGBB" or a decimal number; "none" gives the empty text.
// Throws HostError naming `option` for anything else.
std::string colourPinText(const std::string& text, const std::string& option);

// Reads "WIDTHxHEIGHT", each a whole number of at most six digits, into `width` and
// `height`; throws HostError naming --size with `example` ("640x360") for any other text.
// The bounds are the caller's.
void parseWidthHeight(const std::string& text, const char* example, std::int32_t& width,
                      std::int32_t& height);

} // namespace vex::host

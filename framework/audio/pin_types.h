// Pin data type codes, the same on both sides of a module: the audio side reports them from
// its pins' type operation, the display side from typeCode.
#pragma once

#include <cstdint>

namespace vex {

enum PinDataType : std::int32_t {
    kPinText = 1, // display side only
    kPinBool = 4,
    kPinAudio = 5, // audio side only
    kPinFloat = 6,
    kPinInt = 8,
    kPinBlob = 10,
};

} // namespace vex

// The display side's creation function, for the factory's start-up registration.
// Why a header of its own: it keeps the display's pin declarations out of the translation
// unit that also registers the audio side.
#pragma once

#include "framework/audio/abi.h"

namespace vex {

// Builds an AnalyzerDisplay for `host` with a count of 0; null when out of memory. A failed
// construction raises its error (createObject answers kMpFail).
UnknownInterface* createAnalyzerDisplay(void* host);

} // namespace vex

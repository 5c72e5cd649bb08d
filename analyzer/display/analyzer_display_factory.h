// The display side's creation function, for the factory's start-up registration.
// Why a header of its own: the registration needs this function only, not the display's
// classes and drawing declarations.
#pragma once

#include "framework/audio/abi.h"

namespace vex {

// Builds an AnalyzerDisplay for `host` with a count of 0; null when out of memory. A failed
// construction raises its error (createObject answers kMpFail).
UnknownInterface* createAnalyzerDisplay(void* host);

} // namespace vex

// The reference file reader under any bytes: it answers a whole reference or an error, never
// reads past the input, and a reference it takes encodes back to the same bytes (apart from
// an absent signal's values and the reserved bytes, which are written 0) and draws finite
// values only.
#include "host/kit/view/reference_trace.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so AddressSanitizer catches any read past the input.
    const std::vector<std::uint8_t> input(data, data + size);
    vex::host::ReferenceTrace trace;
    std::string error;
    if (!vex::host::decodeReference(input.data(), input.size(), trace, error)) {
        if (error.empty() || !trace.empty()) {
            std::abort(); // a refusal says why and leaves the trace alone
        }
        return 0;
    }
    const std::vector<std::uint8_t> again = vex::host::encodeReference(trace);
    if (again.size() != input.size() || std::memcmp(again.data(), input.data(), 18) != 0 ||
        std::memcmp(again.data() + 20, input.data() + 20, 4) != 0) {
        std::abort();
    }
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        for (std::int32_t k = 0; trace.present[signal] && k < trace.points(); ++k) {
            const double index = vex::host::referenceIndex(trace, trace.view, 48000.0, k);
            const double value = vex::host::referenceValueAt(trace, signal, index);
            if (std::isinf(value) ||
                (!std::isnan(value) &&
                 std::memcmp(again.data() + 24 + 8 * k + 4 * signal,
                             input.data() + 24 + 8 * k + 4 * signal, 4) != 0)) {
                std::abort();
            }
        }
    }
    return 0;
}

// An LV2 host's URID map for the test hosts, fuzzers and benchmarks of the plug-in: a URI's
// URID is its place in the list of URIs mapped so far (from 1). Not thread-safe: hosts of
// ours map at instantiation only.
#pragma once

#include <lv2/urid/urid.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vex::test {

struct UridMap {
    std::vector<std::string> uris;
    LV2_URID_Map feature{this, map};

    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<UridMap*>(handle)->uris;
        const auto found = std::find(uris.begin(), uris.end(), uri);
        if (found != uris.end()) {
            return static_cast<LV2_URID>(found - uris.begin() + 1);
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    LV2_URID operator()(const char* uri) { return map(this, uri); }
};

} // namespace vex::test

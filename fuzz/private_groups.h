// Groups of the fuzzing process alone: the instances a target makes join segments named
// with a scope of this process (never a user's session), removed when the process ends.
#pragma once

#include "host/kit/group/group_segment.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

struct PrivateGroups {
    // `prefix` names the target in the scope, beside the process id.
    explicit PrivateGroups(const char* prefix) {
        const std::string scope = prefix + std::to_string(getpid());
        setenv("VEX_GROUP_SCOPE", scope.c_str(), 1);
    }
    ~PrivateGroups() {
        for (std::int32_t group = 1; group <= vex::host::group::kGroups; ++group) {
            shm_unlink(vex::host::group::segmentName(group).c_str());
        }
    }
    PrivateGroups(const PrivateGroups&) = delete;
    PrivateGroups& operator=(const PrivateGroups&) = delete;
};

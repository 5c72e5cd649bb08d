// Checks of an object's identity as the host sees it through queryInterface.
#pragma once

#include "framework/audio/abi.h"

#include <gtest/gtest.h>

namespace vex::test {

// `object` answers `iid` with kMpOk and its own pointer.
template <typename Interface> void expectAnswersWithItself(Interface* object, const MpGuid& iid) {
    void* out = nullptr;
    EXPECT_EQ(object->queryInterface(&iid, &out), kMpOk);
    EXPECT_EQ(out, static_cast<void*>(object));
}

} // namespace vex::test

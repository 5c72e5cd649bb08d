// The real plug-in, loaded through MP_GetFactory as a host loads it.
#include "framework/audio/audio_module_interface.h"
#include "host/kit/module_library.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

namespace vex::host {
namespace {

class FactoryAbiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library.load(defaultModulePath())) << library.error(); }
    ModuleLibrary library;
};

TEST_F(FactoryAbiTest, GetFactoryAnswersTheSameObjectEveryTime) {
    void* first = nullptr;
    void* second = nullptr;
    EXPECT_EQ(library.getFactory(&first), kMpOk);
    EXPECT_EQ(library.getFactory(&second), kMpOk);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, static_cast<void*>(library.factory()));
}

TEST_F(FactoryAbiTest, QueryAnswersOnlyUnknownAndFactoryIdentifiers) {
    FactoryInterface* factory = library.factory();
    void* out = nullptr;
    EXPECT_EQ(factory->queryInterface(&kUnknownInterfaceId, &out), kMpOk);
    EXPECT_EQ(out, static_cast<void*>(factory));
    out = nullptr;
    EXPECT_EQ(factory->queryInterface(&kFactoryInterfaceId, &out), kMpOk);
    EXPECT_EQ(out, static_cast<void*>(factory));

    // COM's own unknown identifier is not this ABI's.
    const MpGuid comUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    for (const MpGuid& other : {comUnknown, kAudioModuleInterfaceId, kHostAudioInterfaceId}) {
        int sentinel = 0;
        out = &sentinel;
        EXPECT_EQ(factory->queryInterface(&other, &out), kMpUnsupported);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(factory->queryInterface(&kFactoryInterfaceId, nullptr), kMpUnsupported);
}

TEST_F(FactoryAbiTest, ReferenceCountingIsFixedAndTheFactoryStaysUsable) {
    FactoryInterface* factory = library.factory();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(factory->release(), 1);
    }
    EXPECT_EQ(factory->addRef(), 16);
    std::int32_t version = 0;
    EXPECT_EQ(factory->getBuildInfo(&version, 0, nullptr), kMpOk);
    EXPECT_EQ(version, 30400);
}

// A host that destroys the factory anyway still gets the same, working factory; it is freed
// once, when the library unloads (the sanitizers' build reports a second free or a use
// after free).
TEST_F(FactoryAbiTest, DestroyFromTheHostLeavesTheFactoryUsable) {
    FactoryInterface* factory = library.factory();
    EXPECT_EQ(factory->destroy(1), kMpOk);
    EXPECT_EQ(factory->destroy(0), kMpOk);
    void* again = nullptr;
    ASSERT_EQ(library.getFactory(&again), kMpOk);
    EXPECT_EQ(again, static_cast<void*>(factory));
    auto* same = static_cast<FactoryInterface*>(static_cast<UnknownInterface*>(again));
    RecordingHost host;
    void* out = nullptr;
    ASSERT_EQ(same->createObject(MP_TEXT("VexAnalyzer"), kAudioSide, host.hostPointer(), &out),
              kMpOk);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(static_cast<UnknownInterface*>(out)->release(), 0);
}

TEST_F(FactoryAbiTest, BuildInfoWritesVersionAndCompilerText) {
    std::int32_t version = 0;
    MpChar text[20];
    std::fill(std::begin(text), std::end(text), MpChar('#'));
    EXPECT_EQ(library.factory()->getBuildInfo(&version, 20, text), kMpOk);
    EXPECT_EQ(version, 30400);
    EXPECT_EQ(std::basic_string<MpChar>(text), MP_TEXT("Unknown Compiler"));
    EXPECT_EQ(text[17], MpChar('#'));
    std::fill(std::begin(text), std::end(text), MpChar('#'));
    library.factory()->getBuildInfo(&version, 4, text);
    EXPECT_EQ(std::basic_string<MpChar>(text), MP_TEXT("Unk"));
    EXPECT_EQ(text[4], MpChar('#'));
}

TEST_F(FactoryAbiTest, BadIdentifiersSidesAndPointersAnswerUnsupported) {
    FactoryInterface* factory = library.factory();
    RecordingHost host;
    int sentinel = 0;
    void* out = &sentinel;
    EXPECT_EQ(factory->createObject(MP_TEXT("vexanalyzer"), 0, host.hostPointer(), &out),
              kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    out = &sentinel;
    EXPECT_EQ(factory->createObject(MP_TEXT("VexAnalyzer"), 2, host.hostPointer(), &out),
              kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    out = &sentinel;
    EXPECT_EQ(factory->createObject(nullptr, 0, host.hostPointer(), &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->createObject(MP_TEXT("VexAnalyzer"), 0, host.hostPointer(), nullptr),
              kMpUnsupported);
}

TEST(ModuleLibraryTest, MissingLibraryIsReportedNotFatal) {
    ModuleLibrary library;
    EXPECT_FALSE(library.load("no-such-directory/NO_SUCH_MODULE.sem"));
    EXPECT_FALSE(library.loaded());
    EXPECT_FALSE(library.error().empty());
    EXPECT_EQ(library.factory(), nullptr);
}

} // namespace
} // namespace vex::host

// The factory registry on its own, with a module class entered by the test.
#include "framework/audio/module_factory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vex {
namespace {

// A minimal object: identity and a count, nothing else.
class CountedObject final : public UnknownInterface {
public:
    explicit CountedObject(void* host) : host(host) {}
    std::int32_t MP_STDCALL queryInterface(const MpGuid*, void** out) noexcept override {
        *out = nullptr;
        return kMpUnsupported;
    }
    std::int32_t MP_STDCALL addRef() noexcept override { return ++count; }
    std::int32_t MP_STDCALL release() noexcept override {
        if (--count == 0) {
            delete this;
            return 0;
        }
        return count;
    }
    void* host;
    std::int32_t count = 0;
};

int created = 0;
UnknownInterface* createCounted(void* host) {
    ++created;
    return new CountedObject(host);
}
UnknownInterface* createOther(void* host) {
    return new CountedObject(host);
}
UnknownInterface* createThrowing(void*) {
    throw std::runtime_error("host Interfaces not supported");
}
UnknownInterface* createNothing(void*) {
    return nullptr;
}

const MpChar kTestId[] = MP_TEXT("TestModule");

class ModuleFactoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        factory.registerAudioClass(kTestId, createCounted);
        factory.registerDisplayClass(kTestId, createOther);
    }
    ModuleFactory factory;
};

TEST_F(ModuleFactoryTest, CreatesEachSideWithOneReferenceAndPassesTheHost) {
    int host = 0;
    void* out = nullptr;
    created = 0;
    ASSERT_EQ(factory.createObject(kTestId, kAudioSide, &host, &out), kMpOk);
    auto* audio = static_cast<CountedObject*>(static_cast<UnknownInterface*>(out));
    EXPECT_EQ(audio->count, 1);
    EXPECT_EQ(audio->host, &host);
    EXPECT_EQ(created, 1);
    ASSERT_EQ(factory.createObject(kTestId, kDisplaySide, &host, &out), kMpOk);
    auto* display = static_cast<CountedObject*>(static_cast<UnknownInterface*>(out));
    EXPECT_EQ(display->count, 1);
    EXPECT_EQ(created, 1) << "the display side has its own creation function";
    EXPECT_EQ(audio->release(), 0);
    EXPECT_EQ(display->release(), 0);
}

TEST_F(ModuleFactoryTest, UnknownSidesAndIdentifiersAnswerUnsupportedAndNull) {
    int sentinel = 0;
    void* out = &sentinel;
    EXPECT_EQ(factory.createObject(kTestId, 2, nullptr, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    out = &sentinel;
    EXPECT_EQ(factory.createObject(kTestId, -1, nullptr, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    out = &sentinel;
    EXPECT_EQ(factory.createObject(MP_TEXT("testmodule"), 0, nullptr, &out), kMpUnsupported)
        << "identifiers are case-sensitive";
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory.createObject(MP_TEXT("TestModule "), 0, nullptr, &out), kMpUnsupported);
    EXPECT_EQ(factory.createObject(MP_TEXT(""), 0, nullptr, &out), kMpUnsupported);
}

// Two pages, the second inaccessible: text placed at the end of the first has nothing
// readable after it, so a read past its last unit faults.
class GuardedText {
public:
    GuardedText() {
#ifdef _WIN32
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page = info.dwPageSize;
        base = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        usable = base != nullptr && VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
#else
        page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* p =
            mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
        usable = base != nullptr && mprotect(base + page, page, PROT_NONE) == 0;
#endif
    }
    ~GuardedText() {
#ifdef _WIN32
        if (base != nullptr) {
            VirtualFree(base, 0, MEM_RELEASE);
        }
#else
        if (base != nullptr) {
            munmap(base, 2 * page);
        }
#endif
    }
    // `units` code units (no terminator) ending right at the inaccessible page.
    const MpChar* place(const MpString& units) {
        char* at = base + page - units.size() * sizeof(MpChar);
        std::memcpy(at, units.data(), units.size() * sizeof(MpChar));
        return reinterpret_cast<const MpChar*>(at);
    }
    bool usable = false;

private:
    std::size_t page = 0;
    char* base = nullptr;
};

TEST_F(ModuleFactoryTest, AnIdentifierWithoutTerminatorIsNotReadPastTheRegisteredLength) {
    GuardedText guarded;
    ASSERT_TRUE(guarded.usable);
    void* out = nullptr;
    // Longer than any registered identifier, with no terminator before the guard page.
    MpString units;
    for (int i = 0; i < 40; ++i) {
        units += MpChar('T');
    }
    EXPECT_EQ(factory.createObject(guarded.place(units), 0, nullptr, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    // A registered identifier followed by another unit and no terminator: read up to that
    // unit, no further.
    EXPECT_EQ(
        factory.createObject(guarded.place(MpString(kTestId) + MpChar('x')), 0, nullptr, &out),
        kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    // Terminated right at the guard, it is found.
    ASSERT_EQ(factory.createObject(guarded.place(MpString(kTestId) + MpChar(0)), 0, nullptr, &out),
              kMpOk);
    static_cast<UnknownInterface*>(out)->release();
}

TEST_F(ModuleFactoryTest, ASideWithoutFunctionAnswersUnsupported) {
    factory.registerAudioClass(MP_TEXT("AudioOnly"), createCounted);
    void* out = nullptr;
    EXPECT_EQ(factory.createObject(MP_TEXT("AudioOnly"), kDisplaySide, nullptr, &out),
              kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(factory.createObject(MP_TEXT("AudioOnly"), kAudioSide, nullptr, &out), kMpOk);
    static_cast<UnknownInterface*>(out)->release();
}

TEST_F(ModuleFactoryTest, FailedConstructionAnswersFailureAndLeavesRegistryIntact) {
    factory.registerAudioClass(MP_TEXT("Throws"), createThrowing);
    factory.registerAudioClass(MP_TEXT("NoMemory"), createNothing);
    int sentinel = 0;
    void* out = &sentinel;
    EXPECT_EQ(factory.createObject(MP_TEXT("Throws"), 0, nullptr, &out), kMpFail);
    EXPECT_EQ(out, nullptr);
    out = &sentinel;
    EXPECT_EQ(factory.createObject(MP_TEXT("NoMemory"), 0, nullptr, &out), kMpFail);
    EXPECT_EQ(out, nullptr);
    ASSERT_NE(factory.find(MP_TEXT("Throws")), nullptr);
    EXPECT_EQ(factory.find(MP_TEXT("Throws"))->audioCreate, &createThrowing);
    ASSERT_EQ(factory.createObject(kTestId, 0, nullptr, &out), kMpOk);
    static_cast<UnknownInterface*>(out)->release();
}

TEST_F(ModuleFactoryTest, RegistrationReplacesOneSideAndKeepsTheOther) {
    EXPECT_EQ(factory.registerAudioClass(kTestId, createOther), kMpOk);
    const FactoryEntry* entry = factory.find(kTestId);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->audioCreate, &createOther);
    EXPECT_EQ(entry->displayCreate, &createOther);
    EXPECT_EQ(entry->id, MpString(kTestId));
}

TEST_F(ModuleFactoryTest, NullArgumentsAnswerUnsupportedWithoutTouchingMemory) {
    int sentinel = 0;
    void* out = &sentinel;
    EXPECT_EQ(factory.createObject(nullptr, 0, nullptr, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory.createObject(kTestId, 0, nullptr, nullptr), kMpUnsupported);
    EXPECT_EQ(factory.queryInterface(&kFactoryInterfaceId, nullptr), kMpUnsupported);
    out = &sentinel;
    EXPECT_EQ(factory.queryInterface(nullptr, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ModuleFactoryTest, BuildInfoIsBoundedByTheGivenLength) {
    std::int32_t version = 0;
    MpChar text[32];
    std::fill(std::begin(text), std::end(text), MpChar('#'));
    EXPECT_EQ(factory.getBuildInfo(&version, 32, text), kMpOk);
    EXPECT_EQ(version, 30400);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT("Unknown Compiler")));
    EXPECT_EQ(text[17], MpChar('#')) << "nothing written past the terminator";

    std::fill(std::begin(text), std::end(text), MpChar('#'));
    factory.getBuildInfo(&version, 17, text);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT("Unknown Compiler")));

    std::fill(std::begin(text), std::end(text), MpChar('#'));
    factory.getBuildInfo(&version, 8, text);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT("Unknown")));
    EXPECT_EQ(text[8], MpChar('#'));

    std::fill(std::begin(text), std::end(text), MpChar('#'));
    version = 0;
    factory.getBuildInfo(&version, 0, text);
    EXPECT_EQ(text[0], MpChar('#'));
    EXPECT_EQ(version, 30400);
    factory.getBuildInfo(&version, -5, text);
    EXPECT_EQ(text[0], MpChar('#'));
    EXPECT_EQ(factory.getBuildInfo(nullptr, 32, nullptr), kMpOk);
}

TEST(ModuleFactoryGuid, ComparesAllSixteenBytes) {
    MpGuid a = kFactoryInterfaceId;
    EXPECT_TRUE(sameGuid(a, kFactoryInterfaceId));
    for (std::size_t i = 0; i < sizeof(MpGuid); ++i) {
        MpGuid b = a;
        reinterpret_cast<unsigned char*>(&b)[i] ^= 0x01;
        EXPECT_FALSE(sameGuid(b, a)) << "byte " << i;
    }
    const unsigned char expected[16] = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_EQ(std::memcmp(&kUnknownInterfaceId, expected, 16), 0);
}

} // namespace
} // namespace vex

// A host for tests and tools: implements every host interface the library queries,
// records each call the module makes, and can refuse any query to exercise failure paths.
#pragma once

#include "framework/audio/host_audio_interface.h"
#include "framework/display/host_display_interfaces.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

namespace vex::host {

// One value the audio object sent with HostAudioInterface::setPin.
struct PinSend {
    std::int32_t time;
    std::int32_t pinId;
    std::vector<std::uint8_t> bytes;
};

// One value the display object wrote with HostDisplayInterface::setPin.
struct PinWrite {
    std::int32_t pinId;
    std::vector<std::uint8_t> bytes;
    std::int32_t fourth;
};

// One redraw request; `whole` when the display passed null for its whole area.
struct Invalidation {
    bool whole;
    std::int32_t left, top, right, bottom;
};

// Serves one module object: pass hostPointer() to createObject. Not thread-safe; the
// object calls it on the thread the test drives it from.
class TestHost {
public:
    TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // The host object pointer for createObject.
    void* hostPointer() { return static_cast<UnknownInterface*>(&unknown); }

    // Answer null to queries for `iid` from now on.
    void refuse(const MpGuid& iid) { refused.push_back(iid); }

    // References the module holds on host interface `iid` (queries minus releases).
    std::int32_t references(const MpGuid& iid) const;
    // How many times the module queried `iid`, whatever the answer.
    std::int32_t queries(const MpGuid& iid) const;
    // Releases on any host interface; a module releases each reference once.
    std::int32_t releases() const { return releaseCount; }

    // Answers to the module's questions.
    float sampleRate = 48000.0f;
    std::int32_t hostFlag = 0;
    std::int32_t captureAnswer = 0;

    // What the module did. Sends are recorded only while recordSends is true.
    bool recordSends = true;
    std::vector<PinSend> pinSends;
    std::int32_t sleepRequests = 0;
    std::vector<PinWrite> pinWrites;
    std::vector<Invalidation> invalidations;
    std::int32_t setCaptureCalls = 0;
    std::int32_t releaseCaptureCalls = 0;

    // Called for every audio-side send before it is recorded (vexhost routes frames here).
    // What it throws is kept for rethrowFailure, and the module gets kMpFail.
    std::function<void(std::int32_t time, std::int32_t pinId, const void* data, std::int32_t size)>
        onPinSend;

    void clearRecords();

    // Rethrows the first exception a host operation caught since the last call (from
    // onPinSend, or from recording when memory ran out), then forgets it. Why: no exception
    // may cross back into the module, so whoever drives the module collects it here after
    // each call into it.
    void rethrowFailure();

private:
    // Runs an operation's work: an exception becomes kMpFail, the first one kept.
    template <typename Work> std::int32_t guarded(Work&& work) noexcept {
        try {
            return work();
        } catch (...) {
            if (!failure) {
                failure = std::current_exception();
            }
            return kMpFail;
        }
    }

    std::int32_t query(const MpGuid* iid, void** out);
    std::int32_t addReference(const MpGuid& iid);
    std::int32_t releaseReference(const MpGuid& iid);

    struct Unknown final : UnknownInterface {
        TestHost* owner;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
        std::int32_t MP_STDCALL addRef() noexcept override;
        std::int32_t MP_STDCALL release() noexcept override;
    };
    struct Audio final : HostAudioInterface {
        TestHost* owner;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
        std::int32_t MP_STDCALL addRef() noexcept override;
        std::int32_t MP_STDCALL release() noexcept override;
        std::int32_t MP_STDCALL setPin(std::int32_t time, std::int32_t pinId, std::int32_t size,
                                       const void* data) noexcept override;
        std::int32_t MP_STDCALL reserved5() noexcept override { return 0; }
        std::int32_t MP_STDCALL sleep() noexcept override;
        std::int32_t MP_STDCALL reserved7() noexcept override { return 0; }
        std::int32_t MP_STDCALL reserved8() noexcept override { return 0; }
        std::int32_t MP_STDCALL getSampleRate(float* rate) noexcept override;
        std::int32_t MP_STDCALL reserved10() noexcept override { return 0; }
        std::int32_t MP_STDCALL reserved11() noexcept override { return 0; }
        std::int32_t MP_STDCALL reserved12() noexcept override { return 0; }
        std::int32_t MP_STDCALL reserved13() noexcept override { return 0; }
        std::int32_t MP_STDCALL reserved14() noexcept override { return 0; }
        std::int32_t MP_STDCALL getHostFlag(std::int32_t* flag) noexcept override;
    };
    struct Display final : HostDisplayInterface {
        TestHost* owner;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
        std::int32_t MP_STDCALL addRef() noexcept override;
        std::int32_t MP_STDCALL release() noexcept override;
        std::int32_t MP_STDCALL setPin(std::int32_t pinId, std::int32_t size, const void* data,
                                       std::int32_t fourth) noexcept override;
    };
    struct Drawing final : HostDrawingInterface {
        TestHost* owner;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
        std::int32_t MP_STDCALL addRef() noexcept override;
        std::int32_t MP_STDCALL release() noexcept override;
        std::int32_t MP_STDCALL setCapture() noexcept override;
        std::int32_t MP_STDCALL getCapture(std::int32_t* captured) noexcept override;
        std::int32_t MP_STDCALL releaseCapture() noexcept override;
        std::int32_t MP_STDCALL invalidateRect(const std::int32_t* rect) noexcept override;
    };
    struct Window final : HostWindowInterface {
        TestHost* owner;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
        std::int32_t MP_STDCALL addRef() noexcept override;
        std::int32_t MP_STDCALL release() noexcept override;
    };
    struct Window2 final : HostWindowInterface2 {
        TestHost* owner;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;
        std::int32_t MP_STDCALL addRef() noexcept override;
        std::int32_t MP_STDCALL release() noexcept override;
    };

    struct Count {
        MpGuid iid;
        std::int32_t queries = 0;
        std::int32_t references = 0;
    };
    Count* countFor(const MpGuid& iid);
    const Count* countFor(const MpGuid& iid) const;

    Unknown unknown;
    Audio audio;
    Display display;
    Drawing drawing;
    Window window;
    Window2 window2;
    std::vector<MpGuid> refused;
    std::vector<Count> counts;
    std::int32_t releaseCount = 0;
    std::exception_ptr failure;
};

} // namespace vex::host

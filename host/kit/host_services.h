// The host interfaces a host of ours serves to one module object: the audio host's (values
// the object sends, sleep requests, sample rate, host flag) and the display host's (values
// the display writes, mouse capture, redraw requests, the window interfaces). Nothing is
// recorded: each call goes to the owner's hook or sets a plain state.
#pragma once

#include "framework/audio/host_audio_interface.h"
#include "framework/display/host_display_interfaces.h"

#include <cstdint>
#include <exception>
#include <functional>

namespace vex::host {

// Serves one module object: pass hostPointer() to createObject; it must outlive the object.
// Not thread-safe: the object calls it on the thread its host drives it from (the audio
// object from the audio thread, the display object from the user-interface thread). The
// audio path allocates nothing here: setPin calls onPinSend and counts, sleep counts.
class HostServices {
public:
    HostServices();
    virtual ~HostServices() = default;
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;

    // The host object pointer for createObject.
    void* hostPointer() { return static_cast<UnknownInterface*>(&unknown); }

    // Answers to the module's questions.
    float sampleRate = 48000.0f;
    std::int32_t hostFlag = 0;
    // What getCapture answers: setCapture makes it 1, releaseCapture 0.
    std::int32_t captureAnswer = 0;

    // How many times the audio object asked to sleep.
    std::int32_t sleepRequests = 0;
    // Set by every redraw request of the display; the host clears it when it paints.
    bool invalidated = false;

    // Called for every value the audio object sends (its thread). What it throws is kept for
    // rethrowFailure, and the module gets kMpFail.
    std::function<void(std::int32_t time, std::int32_t pinId, const void* data, std::int32_t size)>
        onPinSend;
    // Called for every value the display object writes on one of its outputs (its thread);
    // the bytes live during the call only. Exceptions as for onPinSend.
    std::function<void(std::int32_t pinId, const void* data, std::int32_t size)> onPinWrite;

    // Rethrows the first exception a host operation caught since the last call, then
    // forgets it. Why: no exception may cross back into the module, so whoever drives the
    // module collects it here after each call into it.
    void rethrowFailure();

protected:
    // Hooks for a host that watches or refuses what the module asks (the tests' recording
    // host). Each runs inside the guard of the operation that calls it.
    virtual bool refuses(const MpGuid&) { return false; }
    // A query for `iid`, answered or not.
    virtual void queried(const MpGuid&) {}
    // A reference on `iid` taken (+1) or released (-1); answers the count addRef or release
    // reports.
    virtual std::int32_t referenceChanged(const MpGuid& iid, std::int32_t delta);
    virtual void sent(std::int32_t /*time*/, std::int32_t /*pinId*/, const void* /*data*/,
                      std::int32_t /*size*/) {}
    virtual void written(std::int32_t /*pinId*/, const void* /*data*/, std::int32_t /*size*/,
                         std::int32_t /*fourth*/) {}
    // A redraw request; `rect` is {left, top, right, bottom} or null for the whole area.
    virtual void invalidatedArea(const std::int32_t* /*rect*/) {}
    virtual void captureChanged(bool /*set*/) {}

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

private:
    std::int32_t query(const MpGuid* iid, void** out);

    // One host interface's identity operations, answered for `owner` and counted against
    // `iid`; the interfaces with operations of their own derive from it.
    template <typename Interface> struct Served : Interface {
        HostServices* owner = nullptr;
        const MpGuid* iid = nullptr;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* id, void** out) noexcept override {
            return owner->guarded([&] { return owner->query(id, out); });
        }
        std::int32_t MP_STDCALL addRef() noexcept override {
            return owner->guarded([&] { return owner->referenceChanged(*iid, 1); });
        }
        std::int32_t MP_STDCALL release() noexcept override {
            return owner->guarded([&] { return owner->referenceChanged(*iid, -1); });
        }
    };
    struct Audio final : Served<HostAudioInterface> {
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
    struct Display final : Served<HostDisplayInterface> {
        std::int32_t MP_STDCALL setPin(std::int32_t pinId, std::int32_t size, const void* data,
                                       std::int32_t fourth) noexcept override;
    };
    struct Drawing final : Served<HostDrawingInterface> {
        std::int32_t MP_STDCALL setCapture() noexcept override;
        std::int32_t MP_STDCALL getCapture(std::int32_t* captured) noexcept override;
        std::int32_t MP_STDCALL releaseCapture() noexcept override;
        std::int32_t MP_STDCALL invalidateRect(const std::int32_t* rect) noexcept override;
    };

    // Served to the module; set up by the constructor.
    template <typename Entry> void serve(Entry& entry, const MpGuid& id) {
        entry.owner = this;
        entry.iid = &id;
    }

    Served<UnknownInterface> unknown;
    Audio audio;
    Display display;
    Drawing drawing;
    Served<HostWindowInterface> window;
    Served<HostWindowInterface2> window2;
    std::int32_t references = 0;
    std::exception_ptr failure;
};

} // namespace vex::host

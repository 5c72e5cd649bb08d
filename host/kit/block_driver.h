// Drives one audio object of the module one block at a time, as a host does: the block's
// events in the order the host adds them, process, the object's sleep requests, and the
// frames it sends handed to the host. Every host of ours that runs audio objects (the voice
// engine, the LV2 plug-in) drives them through this.
#pragma once

#include "framework/audio/audio_module_interface.h"
#include "framework/audio/factory_interface.h"
#include "host/kit/host_services.h"

#include <array>
#include <cstdint>
#include <functional>

namespace vex::host {

// Not thread-safe. create, release and open run where the host makes its objects; the
// event calls and process on the host's audio thread, where they allocate, lock and wait
// for nothing (the frame sink's own work aside). Not movable: the object keeps the address
// of the driver's host services.
class BlockDriver {
public:
    // A block carries at most this many events; more are dropped and counted.
    static constexpr std::int32_t kMaxEvents = 8;

    BlockDriver();
    ~BlockDriver();
    BlockDriver(const BlockDriver&) = delete;
    BlockDriver& operator=(const BlockDriver&) = delete;

    // What the object asks of its host: set sampleRate and hostFlag before create.
    HostServices& services() { return host; }

    // Creates a fresh audio object of the module (releasing any earlier one) and forgets the
    // earlier one's sleep and events. Throws HostError.
    void create(FactoryInterface& factory);
    // Releases the object; process then does nothing.
    void release();
    bool hasObject() const { return object != nullptr; }

    // Opens the object; answers its result. Rethrows what the frame sink threw meanwhile.
    std::int32_t open();
    // Hands the object its two signal buffers (the object only reads them). False when it
    // refuses either, or there is no object.
    bool setBuffers(const float* signalA, const float* signalB);

    // Events for the next block, delivered in the order added. A value event carries four
    // bytes from `value`.
    void addValue(std::int32_t time, std::int32_t pinId, const void* value);
    void addEvent(std::int32_t time, std::int32_t type, std::int32_t pinId);
    std::int32_t pendingEvents() const { return eventCount; }

    // Runs one block of `frames` sample frames with the events added since the last block;
    // a sleeping object is left alone until there are events for it. Answers whether the
    // object was called. Rethrows what the frame sink threw during the block (the module
    // finished the block with kMpFail for that send).
    bool process(std::int32_t frames);

    // Whether the object asked to sleep in its last block and has had no events since.
    bool asleep() const { return sleeping; }
    std::int64_t processCalls() const { return calls; }
    // Events dropped because a block had more than kMaxEvents.
    std::int64_t droppedEvents() const { return dropped; }

    // Receives every value the object sends on its frame pin (on the thread of open and
    // process): its time within the block (never below 0), and its bytes, null when `size`
    // is 0. The bytes live during the call only.
    std::function<void(std::int32_t time, const std::uint8_t* bytes, std::int32_t size)> onFrame;

private:
    // The next free event, filled in; null (and counted) when the block has no room left.
    PinEvent* nextEvent(std::int32_t time, std::int32_t type, std::int32_t pinId);

    HostServices host;
    AudioModuleInterface* object = nullptr;
    std::array<PinEvent, kMaxEvents> events{};
    std::int32_t eventCount = 0;
    bool sleeping = false;
    std::int64_t calls = 0;
    std::int64_t dropped = 0;
};

} // namespace vex::host

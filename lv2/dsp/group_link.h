// The DSP's membership of a group (host/kit/group): which group the group control asks
// for, the slot the instance holds there, the frames it publishes, and how its mode
// control relates to the group's view.
//
// Joining maps the group's shared memory, which an audio thread may not do: activate joins
// directly, and a change of the group control while running is joined through the host's
// worker (work:schedule) when it offers one, else at the next activate.
#pragma once

#include "host/kit/group/group_member.h"
#include "host/kit/group/group_segment.h"

#include <lv2/worker/worker.h>

#include <cstdint>
#include <memory>

namespace vex::lv2 {

class GroupLink {
public:
    // `clock` is the group's time source (tests may hand in their own).
    explicit GroupLink(host::group::Clock clock = host::group::monotonicNanos) : clock(clock) {}
    ~GroupLink();
    GroupLink(const GroupLink&) = delete;
    GroupLink& operator=(const GroupLink&) = delete;

    // Instantiation thread: the host's worker, or null.
    void setWorker(const LV2_Worker_Schedule* schedule) { worker = schedule; }

    // Activation thread (not the audio thread): joins `group` (0: none), claiming a slot.
    void activate(std::int32_t group);
    // Activation thread: frees the slot; the mapping stays for the next activate.
    void deactivate();

    // Audio thread, once per run before the block goes to the audio object. `wanted` is the
    // group control's value (0..16), `ownMode` the mode control's (0..2), `samples` the
    // block's length. Answers the mode the audio object is to run: the group's view while
    // in a group (the mode control, when it changes, chooses the view for the group),
    // else `ownMode`.
    std::int32_t run(std::int32_t wanted, std::int32_t ownMode, std::int32_t samples,
                     double sampleRate);
    // Audio thread: a frame the audio object sent (or its fine twin), made by `analysis`.
    void publish(const std::uint8_t* bytes, std::int32_t size, float sampleRate,
                 host::Analysis analysis);
    // Audio thread (or activation): the member's label.
    void setLabel(const char* text, std::uint32_t size);

    std::int32_t members() const { return memberCount; }
    // Whether the instance is in a group (its frames are published).
    bool joined() const { return current != nullptr; }
    std::int32_t slot() const;

    // The worker interface: `work` runs on the host's worker thread, `response` on the
    // audio thread.
    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           std::uint32_t size, const void* data);
    LV2_Worker_Status response(std::uint32_t size, const void* data);

private:
    struct Membership;
    struct Message;
    static Membership* join(std::int32_t group, host::group::Clock clock);
    void adopt(Membership* joined);
    void dropLater(Membership* old);
    void freeRetired();

    host::group::Clock clock;
    const LV2_Worker_Schedule* worker = nullptr;
    Membership* current = nullptr; // owned; swapped on the audio thread
    Membership* retired[4] = {};   // owned: left on the audio thread, freed off it
    std::int32_t requested = 0;    // the group last joined or asked of the worker
    bool pending = false;          // a join is with the worker
    bool active = false;
    std::int32_t memberCount = 0;
    std::int32_t lastOwnMode = -1;
    std::int64_t samplesSinceCount = 0;
    std::int64_t samplesSinceClaim = 0;
    char label[host::group::kLabelBytes] = {};
    std::uint32_t labelSize = 0;
};

} // namespace vex::lv2

#include "lv2/dsp/group_link.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include <unistd.h>

namespace vex::lv2 {

using host::group::GroupMember;
using host::group::GroupSegment;

struct GroupLink::Membership {
    Membership(std::int32_t number, std::unique_ptr<GroupSegment> mapped, host::group::Clock clock)
        : group(number), segment(std::move(mapped)),
          member(segment->segment(), clock, static_cast<std::uint32_t>(getpid())) {}
    std::int32_t group;
    std::unique_ptr<GroupSegment> segment;
    GroupMember member; // released before the segment is unmapped
};

// What goes through the worker: a join request (to the worker), a joined membership (back
// to the audio thread), or one to free (to the worker).
struct GroupLink::Message {
    enum Kind : std::uint32_t { kJoin = 1, kJoined = 2, kFree = 3 };
    Kind kind;
    std::int32_t group;
    Membership* membership;
};

namespace {

// Members are counted again after this many seconds of audio; a slot is sought again after
// kClaimSeconds when none was free.
constexpr double kCountSeconds = 0.1;
constexpr double kClaimSeconds = 1.0;

// Samples in `seconds` at `sampleRate`, at least 1. Why bounded: a host may state any rate,
// and a count beyond a 64-bit integer is undefined to convert; a day of samples at the
// highest rate any host runs is far below the bound.
std::int64_t samplesIn(double seconds, double sampleRate) {
    const double samples = seconds * sampleRate;
    constexpr double kMost = 1e15;
    return samples >= 1.0 ? static_cast<std::int64_t>(samples < kMost ? samples : kMost) : 1;
}

} // namespace

GroupLink::~GroupLink() {
    freeRetired();
    delete current;
}

std::int32_t GroupLink::slot() const {
    return current != nullptr ? current->member.slot() : -1;
}

void GroupLink::freeRetired() {
    for (Membership*& old : retired) {
        delete old;
        old = nullptr;
    }
}

GroupLink::Membership* GroupLink::join(std::int32_t group, host::group::Clock clock) {
    if (group < 1 || group > host::group::kGroups) {
        return nullptr;
    }
    std::string error;
    auto segment = GroupSegment::openGroup(group, error);
    if (!segment) {
        return nullptr; // the instance runs alone; its slot output says -1
    }
    auto* joined = new (std::nothrow) Membership(group, std::move(segment), clock);
    if (joined != nullptr) {
        joined->member.claim();
    }
    return joined;
}

void GroupLink::activate(std::int32_t group) {
    freeRetired();
    active = true;
    samplesSinceCount = samplesSinceClaim = 0;
    if (current != nullptr && current->group != group) {
        delete current;
        current = nullptr;
    }
    if (current == nullptr && group > 0) {
        current = join(group, clock);
        lastOwnMode = -1;
    }
    if (current != nullptr) {
        current->member.claim();
        current->member.setLabel(label, labelSize);
        memberCount = host::group::countMembers(current->segment->segment(), clock());
    } else {
        memberCount = 0;
    }
    requested = group;
}

void GroupLink::deactivate() {
    active = false;
    if (current != nullptr) {
        current->member.release();
    }
}

void GroupLink::adopt(Membership* joined) {
    pending = false;
    Membership* old = current;
    current = joined;
    lastOwnMode = -1;
    samplesSinceCount = 1 << 30; // count at once
    if (current != nullptr) {
        current->member.setLabel(label, labelSize);
        if (!active) {
            current->member.release(); // deactivated while the worker joined
        }
    }
    if (old != nullptr) {
        old->member.release();
        dropLater(old);
    }
}

void GroupLink::dropLater(Membership* old) {
    const Message message{Message::kFree, 0, old};
    if (worker == nullptr ||
        worker->schedule_work(worker->handle, sizeof message, &message) != LV2_WORKER_SUCCESS) {
        // Why not delete here: unmapping is a system call. The slot is free already; the
        // mapping stays until the next activate or the instance is freed.
        for (Membership*& place : retired) {
            if (place == nullptr) {
                place = old;
                return;
            }
        }
        old->member.release(); // no room: kept mapped for the process's life
    }
}

std::int32_t GroupLink::run(std::int32_t wanted, std::int32_t ownMode, std::int32_t samples,
                            double sampleRate) {
    if (wanted != requested && !pending && worker != nullptr && active) {
        const Message message{Message::kJoin, wanted, nullptr};
        // Why pending before it is scheduled: a host that runs the job at once (offline)
        // answers inside schedule_work, and the answer ends the wait.
        const std::int32_t before = requested;
        pending = true;
        requested = wanted;
        if (worker->schedule_work(worker->handle, sizeof message, &message) != LV2_WORKER_SUCCESS) {
            pending = false;
            requested = before;
        }
    }
    if (current == nullptr) {
        memberCount = 0;
        lastOwnMode = ownMode;
        return ownMode;
    }
    GroupMember& member = current->member;
    if (current->group != wanted) {
        member.release(); // lock-free; the worker (or the next activate) does the rest
    } else if (member.slot() < 0) {
        samplesSinceClaim += samples;
        if (samplesSinceClaim >= samplesIn(kClaimSeconds, sampleRate)) {
            samplesSinceClaim = 0;
            if (member.claim() >= 0) {
                member.setLabel(label, labelSize);
            }
        }
    }
    member.beat();
    host::group::Segment& segment = current->segment->segment();
    samplesSinceCount += samples;
    if (samplesSinceCount >= samplesIn(kCountSeconds, sampleRate)) {
        samplesSinceCount = 0;
        memberCount = host::group::countMembers(segment, member.now());
    }
    if (member.slot() < 0) {
        lastOwnMode = ownMode;
        return ownMode;
    }
    // The mode control chooses the group's view when it changes; a member that joins a group
    // with a view follows it.
    if (ownMode != lastOwnMode && (lastOwnMode >= 0 || host::group::groupView(segment) < 0)) {
        host::group::setGroupView(segment, ownMode);
    }
    lastOwnMode = ownMode;
    const std::int32_t view = host::group::groupView(segment);
    return view >= 0 ? view : ownMode;
}

void GroupLink::publish(const std::uint8_t* bytes, std::int32_t size, float sampleRate,
                        host::Analysis analysis) {
    if (current != nullptr && size >= 0) {
        current->member.publish(bytes, static_cast<std::uint32_t>(size), sampleRate, analysis);
    }
}

void GroupLink::setLabel(const char* text, std::uint32_t size) {
    labelSize = std::min<std::uint32_t>(size, host::group::kLabelBytes - 1);
    std::memset(label, 0, sizeof label);
    if (text != nullptr && labelSize > 0) {
        std::memcpy(label, text, labelSize);
    }
    if (current != nullptr) {
        current->member.setLabel(label, labelSize);
    }
}

LV2_Worker_Status GroupLink::work(LV2_Worker_Respond_Function respond,
                                  LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                  const void* data) {
    if (size != sizeof(Message) || data == nullptr) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
    Message message;
    std::memcpy(&message, data, sizeof message);
    if (message.kind == Message::kFree) {
        delete message.membership;
        return LV2_WORKER_SUCCESS;
    }
    if (message.kind != Message::kJoin) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
    const Message answer{Message::kJoined, message.group, join(message.group, clock)};
    if (respond(handle, sizeof answer, &answer) != LV2_WORKER_SUCCESS) {
        delete answer.membership;
        return LV2_WORKER_ERR_NO_SPACE;
    }
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status GroupLink::response(std::uint32_t size, const void* data) {
    if (size != sizeof(Message) || data == nullptr) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
    Message message;
    std::memcpy(&message, data, sizeof message);
    if (message.kind != Message::kJoined) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
    adopt(message.membership);
    return LV2_WORKER_SUCCESS;
}

} // namespace vex::lv2

// Groups across processes: the segment's name, mode and layout as stated in the design, slot
// claims racing in several processes, members that crash or freeze, and segments another
// process spoiled. Each test uses a segment of its own, removed at its end.
#include "host/kit/group/group_member.h"
#include "host/kit/group/group_reader.h"
#include "host/kit/group/group_segment.h"
#include "host/kit/view/group_voices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vex::host::group {
namespace {

// A segment name of this test process, unlinked when the test ends.
class TestSegment {
public:
    TestSegment() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        name = "/vex-group-test-" + std::to_string(getpid()) + "-" + info->name();
        shm_unlink(name.c_str());
    }
    ~TestSegment() { shm_unlink(name.c_str()); }
    std::unique_ptr<GroupSegment> open() {
        std::string error;
        auto segment = GroupSegment::open(name, error);
        EXPECT_TRUE(segment) << error;
        return segment;
    }
    std::string name;
};

std::int64_t fakeNow = 0;
std::int64_t fakeClock() {
    return fakeNow;
}

TEST(Group, SegmentNameModeAndLayoutAreAsDesigned) {
    // The name carries the user and the group; the scope word sets tests apart.
    unsetenv("VEX_GROUP_SCOPE");
    EXPECT_EQ(segmentName(3), "/vex-analyzer-" + std::to_string(geteuid()) + "-group-3");
    setenv("VEX_GROUP_SCOPE", "t_1", 1);
    EXPECT_EQ(segmentName(16), "/vex-analyzer-" + std::to_string(geteuid()) + "-group-16-t_1");
    setenv("VEX_GROUP_SCOPE", "../x", 1); // not a word: ignored
    EXPECT_EQ(segmentName(1), "/vex-analyzer-" + std::to_string(geteuid()) + "-group-1");
    unsetenv("VEX_GROUP_SCOPE");
    std::string error;
    EXPECT_FALSE(GroupSegment::openGroup(0, error));
    EXPECT_FALSE(GroupSegment::openGroup(17, error));

    TestSegment name;
    const mode_t oldMask = umask(0277); // a umask that would take the owner's write bit
    auto segment = name.open();
    umask(oldMask);
    ASSERT_TRUE(segment);
    const int fd = shm_open(name.name.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    struct stat status {};
    ASSERT_EQ(fstat(fd, &status), 0);
    close(fd);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(status.st_uid, geteuid());
    // 128 slots of a 64-byte-aligned record each holding the largest (log) frame of 4228
    // bytes behind a 16-byte head, and a 64-byte label.
    EXPECT_EQ(sizeof(Segment) % 64, 0u);
    EXPECT_GE(sizeof(Slot), 4228u + 16u + 64u);
    EXPECT_EQ(static_cast<std::size_t>(status.st_size), 64u + 128u * sizeof(Slot));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&segment->segment());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), "VEXG");
    std::uint32_t words[5];
    std::memcpy(words, bytes + 4, sizeof words);
    EXPECT_EQ(words[0], 1u);   // version
    EXPECT_EQ(words[1], 128u); // slots
    EXPECT_EQ(words[2], sizeof(Slot));
    EXPECT_EQ(words[3], static_cast<std::uint32_t>(status.st_size));
    EXPECT_EQ(words[4], 0u); // no view chosen
}

// 10 processes of 16 members each start at once: 128 claims succeed, each on its own slot,
// and 32 find the group full.
TEST(Group, ClaimsRacingInManyProcessesNeverShareASlot) {
    TestSegment name;
    auto segment = name.open();
    ASSERT_TRUE(segment);
    int results[2];
    ASSERT_EQ(pipe(results), 0);
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < 10; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            char go = 0;
            (void)!read(start[0], &go, 1);
            std::vector<std::unique_ptr<GroupMember>> members;
            std::int32_t slots[16];
            for (std::int32_t& slot : slots) {
                members.push_back(std::make_unique<GroupMember>(
                    segment->segment(), monotonicNanos, static_cast<std::uint32_t>(getpid())));
                slot = members.back()->claim();
                members.back()->beat();
            }
            (void)!write(results[1], slots, sizeof slots);
            _exit(0); // the members stay in the segment: no release
        }
        children.push_back(child);
    }
    close(start[0]);
    close(results[1]);
    const char go[10] = {};
    ASSERT_EQ(write(start[1], go, sizeof go), 10);
    close(start[1]);
    std::vector<std::int32_t> slots;
    std::int32_t batch[16];
    while (read(results[0], batch, sizeof batch) == static_cast<ssize_t>(sizeof batch)) {
        slots.insert(slots.end(), batch, batch + 16);
    }
    close(results[0]);
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_EQ(slots.size(), 160u);
    std::set<std::int32_t> taken;
    std::int32_t refused = 0;
    for (std::int32_t slot : slots) {
        if (slot < 0) {
            ++refused;
        } else {
            EXPECT_LT(slot, 128);
            EXPECT_TRUE(taken.insert(slot).second) << "slot " << slot << " claimed twice";
        }
    }
    EXPECT_EQ(taken.size(), 128u);
    EXPECT_EQ(refused, 32);
    EXPECT_EQ(countMembers(segment->segment(), monotonicNanos()), 128);
}

// A member killed with SIGKILL leaves no trace but its last run time: 2 s after it, its
// slot counts as free and the next member takes it. The clock is moved, not waited for.
TEST(Group, KilledMemberLeavesAndItsSlotIsTakenAgain) {
    TestSegment name;
    auto segment = name.open();
    ASSERT_TRUE(segment);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        GroupMember member(segment->segment(), monotonicNanos,
                           static_cast<std::uint32_t>(getpid()));
        const std::int32_t slot = member.claim();
        member.beat();
        (void)!write(ready[1], &slot, sizeof slot);
        for (;;) {
            member.beat();
            usleep(1000);
        }
    }
    std::int32_t childSlot = -2;
    ASSERT_EQ(read(ready[0], &childSlot, sizeof childSlot), static_cast<ssize_t>(sizeof childSlot));
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(childSlot, 0);
    EXPECT_EQ(countMembers(segment->segment(), monotonicNanos()), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::int64_t killedAt = monotonicNanos();

    fakeNow = killedAt + 1900000000; // within 2 s of its last run: still a member
    GroupReader reader;
    ASSERT_TRUE(reader.read(&segment->segment(), kSegmentBytes, fakeNow));
    EXPECT_EQ(countMembers(segment->segment(), fakeNow), 1);
    fakeNow = killedAt + 3000000000LL; // 3 s on: gone, and its slot is the first free one
    EXPECT_EQ(countMembers(segment->segment(), fakeNow), 0);
    GroupMember next(segment->segment(), fakeClock, 1);
    EXPECT_EQ(next.claim(), 0);
    next.beat();
    EXPECT_EQ(countMembers(segment->segment(), fakeNow), 1);
}

// A member frozen past 2 s loses its slot to a newcomer and learns so at its next run; a
// member that left frees its slot at once; the 129th member finds none.
TEST(Group, FrozenMemberYieldsItsSlotAndAFullGroupRefuses) {
    TestSegment name;
    auto segment = name.open();
    ASSERT_TRUE(segment);
    fakeNow = 1000000000000LL;
    std::vector<std::unique_ptr<GroupMember>> members;
    for (int i = 0; i < 128; ++i) {
        members.push_back(std::make_unique<GroupMember>(segment->segment(), fakeClock, 7));
        ASSERT_EQ(members.back()->claim(), i);
    }
    GroupMember extra(segment->segment(), fakeClock, 8);
    EXPECT_EQ(extra.claim(), -1);
    members[5]->release();
    EXPECT_EQ(countMembers(segment->segment(), fakeNow), 127);
    EXPECT_EQ(extra.claim(), 5);
    extra.release();
    EXPECT_EQ(members[5]->claim(), 5);

    fakeNow += 2100000000; // everyone froze; members 0..9 wake up first
    for (int i = 0; i < 10; ++i) {
        members[static_cast<std::size_t>(i)]->beat();
    }
    EXPECT_EQ(countMembers(segment->segment(), fakeNow), 10);
    EXPECT_EQ(extra.claim(), 10);
    members[10]->beat(); // the frozen holder of slot 10 finds it gone
    EXPECT_EQ(members[10]->slot(), -1);
    EXPECT_EQ(extra.slot(), 10);
    members[10]->release(); // and leaving does not free the newcomer's slot
    EXPECT_TRUE(slotIsLive(segment->segment().slots[10], fakeNow));
}

// Frames and labels come through whole with the member's rate; a spoiled segment (another
// version, garbage in slots, a writer stopped mid-frame) never yields a bad member.
TEST(Group, ReaderTakesWholeFramesAndSkipsSpoiledSlots) {
    TestSegment name;
    auto segment = name.open();
    ASSERT_TRUE(segment);
    fakeNow = 5000000000LL;
    GroupMember member(segment->segment(), fakeClock, 42);
    ASSERT_EQ(member.claim(), 0);
    member.beat();
    member.setLabel("Bass \xC3\xA9", 7);
    std::vector<std::uint8_t> frame(4228);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);
    }
    GroupReader reader;
    ASSERT_TRUE(reader.read(&segment->segment(), kSegmentBytes, fakeNow));
    EXPECT_FALSE(reader.member(0).present); // nothing sent yet
    member.publish(frame.data(), 4228, 44100.0f);
    ASSERT_TRUE(reader.read(&segment->segment(), kSegmentBytes, fakeNow));
    const MemberState& got = reader.member(0);
    ASSERT_TRUE(got.present);
    EXPECT_TRUE(got.fresh);
    EXPECT_EQ(got.bytes, 4228u);
    EXPECT_EQ(got.sampleRate, 44100.0f);
    EXPECT_EQ(got.label, "Bass \xC3\xA9");
    EXPECT_EQ(got.pid, 42u);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), got.frame.begin()));
    EXPECT_EQ(reader.memberCount(), 1);
    reader.read(&segment->segment(), kSegmentBytes, fakeNow);
    EXPECT_FALSE(reader.member(0).fresh);

    // A writer stopped inside a frame: the reader keeps the last whole one.
    Slot& slot = segment->segment().slots[0];
    slot.frameSequence.fetch_add(1);
    reader.read(&segment->segment(), kSegmentBytes, fakeNow);
    EXPECT_TRUE(reader.member(0).present);
    EXPECT_FALSE(reader.member(0).fresh);
    EXPECT_GT(reader.busy(), 0);
    slot.frameSequence.fetch_add(1);

    // Garbage written over every slot by another process: no member with a bad length,
    // rate or label, and nothing read outside the segment (the sanitizers check).
    std::mt19937 random(23);
    auto* raw = reinterpret_cast<std::uint32_t*>(&segment->segment().slots[0]);
    for (std::size_t i = 0; i < sizeof(Slot) * kSlots / 4; ++i) {
        raw[i] = random();
    }
    for (std::int32_t s = 0; s < kSlots; s += 2) { // half the slots look live, even counters
        Slot& spoiled = segment->segment().slots[s];
        spoiled.lastRun.store(fakeNow);
        spoiled.frameSequence.store(2);
        spoiled.labelSequence.store(4);
    }
    ASSERT_TRUE(reader.read(&segment->segment(), kSegmentBytes, fakeNow));
    for (std::int32_t s = 0; s < kSlots; ++s) {
        const MemberState& state = reader.member(s);
        if (state.present) {
            EXPECT_TRUE(isFrameLength(state.bytes));
            EXPECT_GE(state.sampleRate, 1000.0f);
            EXPECT_LT(state.label.size(), 64u);
        }
    }
    // Another version's header: nothing is read, and no member opens it.
    segment->segment().header.version.store(2);
    EXPECT_FALSE(reader.read(&segment->segment(), kSegmentBytes, fakeNow));
    EXPECT_EQ(reader.memberCount(), 0);
    EXPECT_FALSE(reader.read(&segment->segment(), kSegmentBytes - 1, fakeNow));
    std::string error;
    EXPECT_FALSE(GroupSegment::open(name.name, error));
    EXPECT_NE(error.find("another version"), std::string::npos) << error;
}

// A segment of another size or mode is refused before it is mapped.
TEST(Group, SegmentOfAnotherSizeOrModeIsRefused) {
    TestSegment name;
    int fd = shm_open(name.name.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 4096), 0);
    std::string error;
    EXPECT_FALSE(GroupSegment::open(name.name, error));
    EXPECT_NE(error.find("size"), std::string::npos) << error;
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kSegmentBytes)), 0);
    ASSERT_EQ(fchmod(fd, 0644), 0);
    EXPECT_FALSE(GroupSegment::open(name.name, error));
    EXPECT_NE(error.find("0600"), std::string::npos) << error;
    ASSERT_EQ(fchmod(fd, 0600), 0);
    close(fd);
    EXPECT_TRUE(GroupSegment::open(name.name, error)) << error; // zeros: a blank segment
}

// A frame of `size` bytes (4100 linear, 4228 log) whose signal A reads `level` dB at every
// point, signal B absent: a 4-byte header (A present, B absent), then A, B floats per point.
std::vector<std::uint8_t> flatFrame(std::size_t size, float level) {
    std::vector<std::uint8_t> frame(size, 0);
    frame[0] = 1;
    for (std::size_t at = 4; at + 8 <= size; at += 8) {
        std::memcpy(&frame[at], &level, 4);
    }
    return frame;
}

// Members become voices: each new frame of the view's kind once, gates on for members
// present and off (with an empty frame) for those that left, the highlighted member gated
// last; members at another rate shown in the log view only; the pointer's nearest trace.
TEST(Group, MembersBecomeVoicesOfTheDisplay) {
    TestSegment name;
    auto segment = name.open();
    ASSERT_TRUE(segment);
    fakeNow = 9000000000LL;
    std::vector<std::unique_ptr<GroupMember>> members;
    const float rates[3] = {48000.0f, 96000.0f, 48000.0f};
    const float levels[3] = {-10.0f, -40.0f, -70.0f};
    const auto publish = [&](std::size_t size) {
        for (std::size_t i = 0; i < members.size(); ++i) {
            members[i]->beat();
            const auto frame = flatFrame(size, levels[i]);
            members[i]->publish(frame.data(), static_cast<std::uint32_t>(size), rates[i]);
        }
    };
    for (int i = 0; i < 3; ++i) {
        members.push_back(std::make_unique<GroupMember>(segment->segment(), fakeClock, 1));
        ASSERT_EQ(members.back()->claim(), i);
    }
    std::vector<std::string> calls;
    VoiceSink sink;
    sink.frame = [&](std::int32_t voice, const std::uint8_t*, std::int32_t size) {
        calls.push_back("frame " + std::to_string(voice) + " " + std::to_string(size));
    };
    sink.gate = [&](std::int32_t voice, float gate) {
        calls.push_back("gate " + std::to_string(voice) + " " + std::to_string(gate > 0.5f));
    };
    GroupReader reader;
    GroupVoices voices;
    publish(4228);
    reader.read(&segment->segment(), kSegmentBytes, fakeNow);
    voices.update(reader, 2, 48000.0, 1, sink);
    EXPECT_EQ(calls, (std::vector<std::string>{"frame 0 4228", "frame 1 4228", "frame 2 4228",
                                               "gate 0 1", "gate 1 1", "gate 2 1", "gate 1 1"}));
    EXPECT_EQ(voices.otherRates(), 0);
    // Nearest the pointer at -35 dB on signal A: member 1 (-40); nothing on signal B.
    EXPECT_EQ(voices.nearestMember(reader, 2, 0, 100.0, -35.0), 1);
    EXPECT_EQ(voices.nearestMember(reader, 2, 0, 527.4, -65.0), 2);
    EXPECT_EQ(voices.nearestMember(reader, 2, 1, 100.0, -35.0), -1);
    EXPECT_EQ(voices.nearestMember(reader, 1, 0, 100.0, -35.0), -1); // no linear frames

    // The linear view: member 1 at 96 kHz leaves the picture; nothing new is sent again.
    calls.clear();
    publish(4100);
    reader.read(&segment->segment(), kSegmentBytes, fakeNow);
    voices.update(reader, 1, 48000.0, 1, sink);
    EXPECT_EQ(calls, (std::vector<std::string>{"frame 0 4100", "frame 2 4100", "gate 1 0",
                                               "frame 1 0", "gate 0 1"}));
    EXPECT_EQ(voices.otherRates(), 1);
    EXPECT_EQ(voices.note(), "1 member at another sample rate is not shown");
    EXPECT_EQ(voices.highlighted(), 0);
    calls.clear();
    reader.read(&segment->segment(), kSegmentBytes, fakeNow);
    voices.update(reader, 1, 48000.0, 1, sink);
    EXPECT_TRUE(calls.empty());

    // Member 0 leaves: its voice is cleared and the highlight moves to the lowest left.
    members[0]->release();
    reader.read(&segment->segment(), kSegmentBytes, fakeNow);
    voices.update(reader, 1, 48000.0, 0, sink);
    EXPECT_EQ(calls, (std::vector<std::string>{"gate 0 0", "frame 0 0", "gate 2 1"}));
    EXPECT_EQ(GroupVoices::labelOf(reader, 2), "2");
}

} // namespace
} // namespace vex::host::group

// Groups across processes: the segment's name, mode and layout as stated in the design, slot
// claims racing in several processes, members that crash or freeze, and segments another
// process spoiled. Each test uses a segment of its own, removed at its end.
#include "host/kit/group/group_member.h"
#include "host/kit/group/group_reader.h"
#include "host/kit/group/group_segment.h"
#include "host/kit/view/group_view.h"
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

// Each test opens its segment under a umask that would take the owner's write bit.
class Group : public ::testing::Test {
protected:
    void SetUp() override {
        const mode_t oldMask = umask(0277);
        segment = name.open();
        umask(oldMask);
        ASSERT_TRUE(segment);
    }
    Segment& shared() { return segment->segment(); }

    TestSegment name;
    std::unique_ptr<GroupSegment> segment;
};

TEST_F(Group, SegmentNameModeAndLayoutAreAsDesigned) {
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

    const int fd = shm_open(name.name.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    struct stat status {};
    ASSERT_EQ(fstat(fd, &status), 0);
    close(fd);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(status.st_uid, geteuid());

    // The layout as designed: a 64-byte header, then 128 slots of 4352 bytes (a 64-bit
    // claim, a 64-bit last run, the pid, the frame and label counters, a 64-byte label at
    // 28, and at 92 a frame record: length, rate, serial, the frame's analysis (0 module,
    // 1 fine) and 4228 bytes of frame; 4336 bytes rounded up to 64).
    constexpr std::size_t kHeader = 64, kSlot = 4352, kLabelAt = 28, kRecordAt = 92;
    EXPECT_EQ(static_cast<std::size_t>(status.st_size), kHeader + 128 * kSlot);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&shared());
    const auto word = [&](std::size_t at) {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes + at, sizeof value);
        return value;
    };
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), "VEXG");
    EXPECT_EQ(word(4), 1u);   // version
    EXPECT_EQ(word(8), 128u); // slots
    EXPECT_EQ(word(12), kSlot);
    EXPECT_EQ(word(16), static_cast<std::uint32_t>(status.st_size));
    EXPECT_EQ(word(20), 0u); // no view chosen

    fakeNow = 0x0102030405060708LL;
    GroupMember first(shared(), fakeClock, 11);
    GroupMember second(shared(), fakeClock, 0xABCD);
    ASSERT_EQ(first.claim(), 0);
    ASSERT_EQ(second.claim(), 1);
    second.setLabel("Kick", 4);
    const std::uint8_t frame[4] = {9, 8, 7, 6};
    second.publish(frame, sizeof frame, 48000.0f, Analysis::kFine);
    const std::size_t slot = kHeader + kSlot; // the second slot
    std::int64_t lastRun = 0;
    std::memcpy(&lastRun, bytes + slot + 8, sizeof lastRun);
    EXPECT_EQ(lastRun, fakeNow);
    EXPECT_NE(word(slot) | word(slot + 4), 0u); // claimed
    EXPECT_EQ(word(slot + 16), 0xABCDu);
    EXPECT_EQ(word(slot + 20), 2u); // one whole frame write
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + slot + kLabelAt)), "Kick");
    EXPECT_EQ(word(slot + kRecordAt), 4u);
    float rate = 0.0f;
    std::memcpy(&rate, bytes + slot + kRecordAt + 4, sizeof rate);
    EXPECT_EQ(rate, 48000.0f);
    EXPECT_EQ(word(slot + kRecordAt + 8), 1u);  // serial
    EXPECT_EQ(word(slot + kRecordAt + 12), 1u); // fine
    EXPECT_EQ(bytes[slot + kRecordAt + 16], 9);
    EXPECT_EQ(bytes[slot + kRecordAt + 19], 6);
}

// 10 processes of 16 members each start at once: 128 claims succeed, each on its own slot,
// and 32 find the group full.
TEST_F(Group, ClaimsRacingInManyProcessesNeverShareASlot) {
    fakeNow = 7000000000LL; // the children's clock, copied by fork: a stall costs no slot
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
                    shared(), fakeClock, static_cast<std::uint32_t>(getpid())));
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
    EXPECT_EQ(countMembers(shared(), fakeNow), 128);
}

// A member killed with SIGKILL leaves no trace but its last run time: 2 s after it, its
// slot counts as free and the next member takes it. The clock is moved, not waited for.
TEST_F(Group, KilledMemberLeavesAndItsSlotIsTakenAgain) {
    fakeNow = 3000000000000LL; // the child's clock, copied by fork
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        GroupMember member(shared(), fakeClock, static_cast<std::uint32_t>(getpid()));
        const std::int32_t slot = member.claim();
        member.beat();
        (void)!write(ready[1], &slot, sizeof slot);
        for (;;) {
            member.beat();
            usleep(1000);
        }
    }
    std::int32_t childSlot = -2;
    const ssize_t got = read(ready[0], &childSlot, sizeof childSlot);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(countMembers(shared(), fakeNow), 1);
    kill(child, SIGKILL); // before any assertion, so that none leaves it running
    waitpid(child, nullptr, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof childSlot));
    EXPECT_EQ(childSlot, 0);
    const std::int64_t killedAt = fakeNow;

    fakeNow = killedAt + 1900000000; // within 2 s of its last run: still a member
    GroupReader reader;
    ASSERT_TRUE(reader.read(&shared(), kSegmentBytes, fakeNow));
    EXPECT_EQ(countMembers(shared(), fakeNow), 1);
    fakeNow = killedAt + 3000000000LL; // 3 s on: gone, and its slot is the first free one
    EXPECT_EQ(countMembers(shared(), fakeNow), 0);
    GroupMember next(shared(), fakeClock, 1);
    EXPECT_EQ(next.claim(), 0);
    next.beat();
    EXPECT_EQ(countMembers(shared(), fakeNow), 1);
}

// A member frozen past 2 s loses its slot to a newcomer and learns so at its next run; a
// member that left frees its slot at once; the 129th member finds none.
TEST_F(Group, FrozenMemberYieldsItsSlotAndAFullGroupRefuses) {
    fakeNow = 1000000000000LL;
    std::vector<std::unique_ptr<GroupMember>> members;
    for (int i = 0; i < 128; ++i) {
        members.push_back(std::make_unique<GroupMember>(shared(), fakeClock, 7));
        ASSERT_EQ(members.back()->claim(), i);
    }
    GroupMember extra(shared(), fakeClock, 8);
    EXPECT_EQ(extra.claim(), -1);
    members[5]->release();
    EXPECT_EQ(countMembers(shared(), fakeNow), 127);
    EXPECT_EQ(extra.claim(), 5);
    extra.release();
    EXPECT_EQ(members[5]->claim(), 5);

    fakeNow += 2100000000; // everyone froze; members 0..9 wake up first
    for (int i = 0; i < 10; ++i) {
        members[static_cast<std::size_t>(i)]->beat();
    }
    EXPECT_EQ(countMembers(shared(), fakeNow), 10);
    EXPECT_EQ(extra.claim(), 10);
    members[10]->beat(); // the frozen holder of slot 10 finds it gone
    EXPECT_EQ(members[10]->slot(), -1);
    EXPECT_EQ(extra.slot(), 10);
    members[10]->release(); // and leaving does not free the newcomer's slot
    EXPECT_TRUE(slotIsLive(shared().slots[10], fakeNow));
}

// Frames and labels come through whole with the member's rate; a spoiled segment (another
// version, garbage in slots, a writer stopped mid-frame) never yields a bad member.
TEST_F(Group, ReaderTakesWholeFramesAndSkipsSpoiledSlots) {
    fakeNow = 5000000000LL;
    GroupMember member(shared(), fakeClock, 42);
    ASSERT_EQ(member.claim(), 0);
    member.beat();
    member.setLabel("Bass \xC3\xA9", 7);
    std::vector<std::uint8_t> frame(4228);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);
    }
    GroupReader reader;
    ASSERT_TRUE(reader.read(&shared(), kSegmentBytes, fakeNow));
    EXPECT_FALSE(reader.member(0).present); // nothing sent yet
    member.publish(frame.data(), 4228, 44100.0f, Analysis::kModule);
    ASSERT_TRUE(reader.read(&shared(), kSegmentBytes, fakeNow));
    const MemberState& got = reader.member(0);
    ASSERT_TRUE(got.present);
    EXPECT_TRUE(got.fresh);
    EXPECT_EQ(got.bytes, 4228u);
    EXPECT_EQ(got.sampleRate, 44100.0f);
    EXPECT_EQ(got.label, "Bass \xC3\xA9");
    EXPECT_EQ(got.pid, 42u);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), got.frame.begin()));
    EXPECT_EQ(got.analysis, Analysis::kModule);
    EXPECT_EQ(reader.memberCount(), 1);
    reader.read(&shared(), kSegmentBytes, fakeNow);
    EXPECT_FALSE(reader.member(0).fresh);
    member.publish(frame.data(), 4228, 44100.0f, Analysis::kFine);
    reader.read(&shared(), kSegmentBytes, fakeNow);
    EXPECT_EQ(reader.member(0).analysis, Analysis::kFine);

    // A writer stopped inside a frame: the reader keeps the last whole one.
    Slot& slot = shared().slots[0];
    slot.frameSequence.fetch_add(1);
    reader.read(&shared(), kSegmentBytes, fakeNow);
    EXPECT_TRUE(reader.member(0).present);
    EXPECT_FALSE(reader.member(0).fresh);
    EXPECT_GT(reader.busy(), 0);
    slot.frameSequence.fetch_add(1);

    // Garbage written over every slot by another process: no member with a bad length,
    // rate or label, and nothing read outside the segment (the sanitizers check).
    std::mt19937 random(23);
    auto* raw = reinterpret_cast<std::uint32_t*>(&shared().slots[0]);
    for (std::size_t i = 0; i < sizeof(Slot) * kSlots / 4; ++i) {
        raw[i] = random();
    }
    for (std::int32_t s = 0; s < kSlots; s += 2) { // half the slots look live, even counters
        Slot& spoiled = shared().slots[s];
        spoiled.lastRun.store(fakeNow);
        spoiled.frameSequence.store(2);
        spoiled.labelSequence.store(4);
    }
    ASSERT_TRUE(reader.read(&shared(), kSegmentBytes, fakeNow));
    for (std::int32_t s = 0; s < kSlots; ++s) {
        const MemberState& state = reader.member(s);
        if (state.present) {
            EXPECT_TRUE(isFrameLength(state.bytes));
            EXPECT_GE(state.sampleRate, 1000.0f);
            EXPECT_LT(state.label.size(), 64u);
        }
    }
    // Another version's header: nothing is read, and no member opens it.
    shared().header.version.store(2);
    EXPECT_FALSE(reader.read(&shared(), kSegmentBytes, fakeNow));
    EXPECT_EQ(reader.memberCount(), 0);
    EXPECT_FALSE(reader.read(&shared(), kSegmentBytes - 1, fakeNow));
    std::string error;
    EXPECT_FALSE(GroupSegment::open(name.name, error));
    EXPECT_NE(error.find("another version"), std::string::npos) << error;
}

// A segment of another size or mode is refused before it is mapped.
TEST_F(Group, SegmentOfAnotherSizeOrModeIsRefused) {
    segment.reset();
    shm_unlink(name.name.c_str());
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
TEST_F(Group, MembersBecomeVoicesOfTheDisplay) {
    fakeNow = 9000000000LL;
    std::vector<std::unique_ptr<GroupMember>> members;
    const float rates[3] = {48000.0f, 96000.0f, 48000.0f};
    const float levels[3] = {-10.0f, -40.0f, -70.0f};
    const auto publish = [&](std::size_t size) {
        for (std::size_t i = 0; i < members.size(); ++i) {
            members[i]->beat();
            const auto frame = flatFrame(size, levels[i]);
            members[i]->publish(frame.data(), static_cast<std::uint32_t>(size), rates[i],
                                Analysis::kModule);
        }
    };
    for (int i = 0; i < 3; ++i) {
        members.push_back(std::make_unique<GroupMember>(shared(), fakeClock, 1));
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
    reader.read(&shared(), kSegmentBytes, fakeNow);
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
    reader.read(&shared(), kSegmentBytes, fakeNow);
    voices.update(reader, 1, 48000.0, 1, sink);
    EXPECT_EQ(calls, (std::vector<std::string>{"frame 0 4100", "frame 2 4100", "gate 1 0",
                                               "frame 1 0", "gate 0 1"}));
    EXPECT_EQ(voices.otherRates(), 1);
    EXPECT_EQ(voices.note(), "1 member at another sample rate is not shown");
    EXPECT_EQ(voices.highlighted(), 0);
    calls.clear();
    reader.read(&shared(), kSegmentBytes, fakeNow);
    voices.update(reader, 1, 48000.0, 1, sink);
    EXPECT_TRUE(calls.empty());

    // Member 0 leaves: its voice is cleared and the highlight moves to the lowest left.
    members[0]->release();
    reader.read(&shared(), kSegmentBytes, fakeNow);
    voices.update(reader, 1, 48000.0, 0, sink);
    EXPECT_EQ(calls, (std::vector<std::string>{"gate 0 0", "frame 0 0", "gate 2 1"}));
    EXPECT_EQ(GroupVoices::labelOf(reader, 2), "2");

    // The caption names the members whose analysis is not the highlighted one's.
    EXPECT_EQ(otherAnalyses(reader, 1), "");
    const auto fine = flatFrame(4100, -20.0f);
    members[2]->publish(fine.data(), 4100, 48000.0f, Analysis::kFine);
    reader.read(&shared(), kSegmentBytes, fakeNow);
    EXPECT_EQ(otherAnalyses(reader, 1), "2 (fine)");
    EXPECT_EQ(otherAnalyses(reader, 2), "1 (module)");
    EXPECT_EQ(otherAnalyses(reader, 0), ""); // not a member any more
}

} // namespace
} // namespace vex::host::group

namespace vex::host::group {
namespace {

// The difference's reference member: picked with v past the highlighted one, named by a
// label (found once exactly one member has it), and said when it cannot be compared: in
// another view or analysis, at another rate in the linear view, or gone.
TEST_F(Group, TheDifferenceReferenceIsPickedNamedAndCheckedAgainstTheHighlightedMember) {
    fakeNow = monotonicNanos();
    std::vector<std::unique_ptr<GroupMember>> members;
    const char* labels[3] = {"Kick", "Bus", "Bus"};
    for (int i = 0; i < 3; ++i) {
        members.push_back(std::make_unique<GroupMember>(shared(), fakeClock, 1));
        ASSERT_EQ(members.back()->claim(), i);
        members.back()->setLabel(labels[i], static_cast<std::uint32_t>(std::strlen(labels[i])));
    }
    const auto publish = [&](std::size_t size, float rate2, Analysis analysis2) {
        fakeNow = monotonicNanos();
        for (std::size_t i = 0; i < members.size(); ++i) {
            members[i]->beat();
            const auto frame = flatFrame(size, -20.0f);
            members[i]->publish(frame.data(), static_cast<std::uint32_t>(size),
                                i == 2 ? rate2 : 48000.0f, i == 2 ? analysis2 : Analysis::kModule);
        }
    };
    ViewerPane pane(1, 48000.0);
    pane.tools().setDifference(true);
    GroupView view;
    publish(4100, 48000.0f, Analysis::kModule);
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "pick the reference member (v)");

    view.setReferenceLabel("Bus");
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(),
              "2 members are labelled Bus: pick the reference (v)");
    view.pickReference(0); // past the highlighted member 0: member 1
    EXPECT_EQ(view.reference(), 1);
    view.pickReference(0);
    EXPECT_EQ(view.reference(), 2);
    publish(4100, 96000.0f, Analysis::kModule);
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "the reference Bus runs at another sample rate");
    publish(4100, 48000.0f, Analysis::kFine);
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "the reference Bus uses another analysis");
    publish(4228, 48000.0f, Analysis::kModule);
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "the reference Bus shows another view");
    publish(4100, 48000.0f, Analysis::kModule);
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "");
    EXPECT_EQ(pane.tools().differenceAgainst(), "against Bus");

    // The reference leaves: said until another is picked, even if its slot is taken again.
    members[2]->release();
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "the reference Bus left: pick another (v)");
    members.push_back(std::make_unique<GroupMember>(shared(), fakeClock, 2));
    ASSERT_EQ(members.back()->claim(), 2);
    publish(4100, 48000.0f, Analysis::kModule);
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "the reference Bus left: pick another (v)");
    view.pickReference(0);
    view.update(*segment, pane, 0, 48000.0);
    EXPECT_EQ(pane.tools().differenceProblem(), "");
}

} // namespace
} // namespace vex::host::group

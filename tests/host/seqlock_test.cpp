#include "host/kit/seqlock.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace vex::host {
namespace {

TEST(Seqlock, CopiesWholeAndOddLengthsOnly) {
    std::atomic<std::uint32_t> sequence{0};
    std::array<std::atomic<std::uint32_t>, 3> words{};
    const char text[] = "label:9";               // 8 bytes with the terminator
    const std::uint8_t odd[5] = {1, 2, 3, 4, 5}; // one whole word and a byte
    seqlockWrite(sequence, words.data(), text, sizeof text);
    char back[sizeof text] = {};
    ASSERT_TRUE(seqlockRead(sequence, words.data(), back, sizeof back));
    EXPECT_STREQ(back, "label:9");
    EXPECT_EQ(sequence.load(), 2u);

    seqlockWrite(sequence, words.data(), odd, sizeof odd);
    std::uint8_t oddBack[5] = {};
    ASSERT_TRUE(seqlockRead(sequence, words.data(), oddBack, sizeof oddBack));
    EXPECT_EQ(oddBack[0], 1);
    EXPECT_EQ(oddBack[4], 5);

    // A length-prefixed block: the stored length is reported, the copy bounded by the
    // reader's capacity (in shared memory the length is untrusted).
    seqlockWriteSized(sequence, words.data(), text, 6);
    char part[4] = {};
    std::uint32_t length = 0;
    ASSERT_TRUE(seqlockReadSized(sequence, words.data(), part, sizeof part, length));
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(std::string(part, 4), "labe");
    words[0].store(0xFFFFFFFFu);
    ASSERT_TRUE(seqlockReadSized(sequence, words.data(), part, sizeof part, length));
    EXPECT_EQ(length, 0xFFFFFFFFu);

    // A writer that died mid-write leaves the counter odd: no read succeeds.
    sequence.store(7u);
    EXPECT_FALSE(seqlockRead(sequence, words.data(), oddBack, sizeof oddBack));
}

// A writer fills every word with one value per write; a whole copy never mixes two writes.
// Why the writer runs until the reader has enough: a writer that finished first would leave
// the reader nothing to race, and the test would check nothing.
TEST(Seqlock, ReaderNeverAcceptsATornCopy) {
    constexpr std::size_t kWords = 64;
    constexpr int kWholeCopies = 2000; // whole copies taken while the writes go on
    constexpr int kWritesSeen = 100;   // different writes among them
    std::atomic<std::uint32_t> sequence{0};
    std::array<std::atomic<std::uint32_t>, kWords> words{};
    std::atomic<bool> enough{false};
    std::atomic<bool> done{false};
    std::atomic<std::uint32_t> written{0};
    std::atomic<int> whole{0};
    // Why the writer waits for a whole copy after every 16 writes: the reader is sure to
    // get its copies however the machine schedules the two threads, while 16 writes at a
    // time still race its reads.
    std::thread writer([&] {
        std::array<std::uint32_t, kWords> block{};
        for (std::uint32_t n = 1; !enough.load(); ++n) {
            block.fill(n);
            seqlockWrite(sequence, words.data(), block.data(), sizeof block);
            written.store(n);
            if (n % 16 == 0) {
                const int before = whole.load();
                while (whole.load() == before && !enough.load()) {
                    std::this_thread::yield();
                }
            }
        }
        done.store(true);
    });
    int writesSeen = 0;
    int torn = 0;
    int backwards = 0;
    std::uint32_t last = 0;
    while (!done.load()) {
        std::array<std::uint32_t, kWords> copy{};
        if (!seqlockRead(sequence, words.data(), copy.data(), sizeof copy)) {
            continue;
        }
        for (std::uint32_t value : copy) {
            torn += value != copy[0] ? 1 : 0;
        }
        backwards += copy[0] < last ? 1 : 0; // writes are seen in order
        writesSeen += copy[0] != last ? 1 : 0;
        last = copy[0];
        if (whole.fetch_add(1) + 1 >= kWholeCopies && writesSeen >= kWritesSeen) {
            enough.store(true);
        }
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_GE(whole.load(), kWholeCopies);
    EXPECT_GE(writesSeen, kWritesSeen);
    std::array<std::uint32_t, kWords> final{};
    ASSERT_TRUE(seqlockRead(sequence, words.data(), final.data(), sizeof final));
    EXPECT_EQ(final[0], written.load());
    EXPECT_EQ(final[kWords - 1], written.load());
}

} // namespace
} // namespace vex::host

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
TEST(Seqlock, ReaderNeverAcceptsATornCopy) {
    constexpr std::size_t kWords = 64;
    std::atomic<std::uint32_t> sequence{0};
    std::array<std::atomic<std::uint32_t>, kWords> words{};
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::array<std::uint32_t, kWords> block{};
        for (std::uint32_t n = 1; n <= 20000; ++n) {
            block.fill(n);
            seqlockWrite(sequence, words.data(), block.data(), sizeof block);
        }
        done.store(true);
    });
    std::uint32_t last = 0;
    while (!done.load()) {
        std::array<std::uint32_t, kWords> copy{};
        if (!seqlockRead(sequence, words.data(), copy.data(), sizeof copy)) {
            continue;
        }
        for (std::uint32_t value : copy) {
            ASSERT_EQ(value, copy[0]);
        }
        EXPECT_GE(copy[0], last); // writes are seen in order
        last = copy[0];
    }
    writer.join();
    std::array<std::uint32_t, kWords> final{};
    ASSERT_TRUE(seqlockRead(sequence, words.data(), final.data(), sizeof final));
    EXPECT_EQ(final[0], 20000u);
    EXPECT_EQ(final[kWords - 1], 20000u);
}

} // namespace
} // namespace vex::host

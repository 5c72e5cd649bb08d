// The PNG writer, read back by the platform's own PNG reader (Cairo natively, GDI+ on
// Windows), and its deflate stream on inputs that exercise literals and long matches.
#include "host/paint_surface.h"
#include "host/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace vex::host {
namespace {

std::vector<std::uint32_t> readBack(const std::vector<std::uint8_t>& png, std::int32_t& width,
                                    std::int32_t& height) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "vexhost-png-writer-test.png").u8string();
    std::ofstream(std::filesystem::u8path(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    std::vector<std::uint32_t> pixels;
    EXPECT_TRUE(readPng(path, width, height, pixels));
    std::filesystem::remove(std::filesystem::u8path(path));
    return pixels;
}

TEST(PngWriterTest, OpaqueImageReadsBackExactly) {
    std::mt19937 random(77);
    const std::int32_t width = 97;
    const std::int32_t height = 61;
    std::vector<std::uint32_t> pixels(width * height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            // Flat areas, gradients and noise: filters and matches of every kind.
            std::uint32_t rgb = y < 20   ? 0x102030u
                                : y < 40 ? static_cast<std::uint32_t>(x * 2 << 8 | y)
                                         : random() & 0xFFFFFFu;
            pixels[y * width + x] = 0xFF000000u | rgb;
        }
    }
    std::int32_t readWidth = 0;
    std::int32_t readHeight = 0;
    const auto back = readBack(encodePng(pixels, width, height), readWidth, readHeight);
    EXPECT_EQ(readWidth, width);
    EXPECT_EQ(readHeight, height);
    EXPECT_EQ(back, pixels);
}

TEST(PngWriterTest, TranslucentPixelsKeepTheirAlphaAndColourWithinRounding) {
    const std::vector<std::uint32_t> pixels = {0x00000000u, 0x80400000u, 0x40102030u,
                                               0xFF00FF00u, 0x01010101u, 0x7F7F7F7Fu};
    std::int32_t width = 0;
    std::int32_t height = 0;
    const auto back = readBack(encodePng(pixels, 3, 2), width, height);
    ASSERT_EQ(back.size(), pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        EXPECT_EQ(back[i] >> 24, pixels[i] >> 24) << i;
        for (int shift = 0; shift < 24; shift += 8) {
            EXPECT_NEAR(static_cast<int>((back[i] >> shift) & 0xFF),
                        static_cast<int>((pixels[i] >> shift) & 0xFF), 1)
                << i;
        }
    }
}

TEST(PngWriterTest, FlatPicturesCompressAndOutputIsDeterministic) {
    std::vector<std::uint32_t> pixels(640 * 360, 0xFF101418u);
    for (int x = 0; x < 640; ++x) {
        pixels[180 * 640 + x] = 0xFF48E6A0u;
    }
    const auto png = encodePng(pixels, 640, 360);
    EXPECT_LT(png.size(), pixels.size() * 4 / 50);
    EXPECT_EQ(png, encodePng(pixels, 640, 360));
    EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
}

TEST(PngWriterTest, LongRepeatsAtTheWindowsFarEndDecode) {
    // A 40000-byte random block repeated: matches reach back across the whole window.
    std::mt19937 random(5);
    const std::int32_t width = 10000; // 40000 bytes per row
    std::vector<std::uint32_t> pixels(width * 3);
    for (std::int32_t x = 0; x < width; ++x) {
        pixels[x] = 0xFF000000u | (random() & 0xFFFFFFu);
        pixels[width + x] = pixels[x];
        pixels[2 * width + x] = pixels[(x * 7) % width];
    }
    std::int32_t readWidth = 0;
    std::int32_t readHeight = 0;
    EXPECT_EQ(readBack(encodePng(pixels, width, 3), readWidth, readHeight), pixels);
}

} // namespace
} // namespace vex::host

// The PNG writer, read back by the platform's own PNG reader (Cairo natively, GDI+ on
// Windows), and its deflate stream on inputs that exercise literals and long matches.
#include "host/kit/view/paint_surface.h"
#include "host/vexhost/output/png_writer.h"
#include "tests/support/temp_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace vex::host {
namespace {

std::vector<std::uint32_t> readBack(const std::vector<std::uint8_t>& png, std::int32_t& width,
                                    std::int32_t& height) {
    const test::TempPath path("vexhost-png-writer", ".png");
    std::ofstream(path.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    std::vector<std::uint32_t> pixels;
    EXPECT_TRUE(readPng(path.u8string(), width, height, pixels));
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

// The encoder writes the same bytes after any change to how fast it writes them: a fixed
// set of pictures is encoded and each file's 64-bit FNV-1a hash compared with hashes
// recorded before the encoder was made fast. After a deliberate change to the output,
// print the new table with
//   VEX_PRINT_PNG_HASHES=1 build/linux/host_unit_tests --gtest_filter='PngWriterTest.Fixed*'
// and paste it below (the test still compares, so it fails until the table is pasted).
std::uint64_t hashBytes(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t value = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) {
        value = (value ^ b) * 0x100000001b3ull;
    }
    return value;
}

struct Picture {
    const char* name;
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint32_t> pixels;
};

// A valid premultiplied pixel: alpha `a`, channels at most `a`.
std::uint32_t premultipliedPixel(std::mt19937& random, std::uint32_t a) {
    std::uint32_t p = a << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        p |= (a == 0 ? 0u : static_cast<std::uint32_t>(random() % (a + 1))) << shift;
    }
    return p;
}

std::vector<Picture> fixedPictures() {
    std::mt19937 random(2024);
    std::vector<Picture> out;
    // A display-like frame: flat panel, grid lines, noisy traces, a translucent corner.
    Picture panel{"panel", 640, 360, std::vector<std::uint32_t>(640 * 360, 0xff141e28u)};
    for (int y = 20; y < 355; y += 40) {
        for (int x = 20; x < 635; ++x) {
            panel.pixels[static_cast<std::size_t>(y) * 640 + x] = 0xff005000u;
        }
    }
    for (int trace = 0; trace < 16; ++trace) {
        int y = 100 + trace * 10;
        for (int x = 21; x < 634; ++x) {
            y = std::clamp(y + static_cast<int>(random() % 21) - 10, 21, 354);
            panel.pixels[static_cast<std::size_t>(y) * 640 + x] =
                trace % 2 == 0 ? 0xff00ff00u : 0xffffff00u;
        }
    }
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            panel.pixels[static_cast<std::size_t>(y) * 640 + x] = 0x80402010u;
        }
    }
    out.push_back(std::move(panel));
    // Noise of every alpha: literals and short matches.
    Picture noise{"noise", 300, 200, {}};
    for (int i = 0; i < 300 * 200; ++i) {
        noise.pixels.push_back(premultipliedPixel(random, random() % 256));
    }
    out.push_back(std::move(noise));
    // Few colours: many short and medium matches at many distances.
    Picture speckle{"speckle", 211, 97, {}};
    const std::uint32_t palette[4] = {0xff000000u, 0xffffffffu, 0x7f7f0000u, 0u};
    for (int i = 0; i < 211 * 97; ++i) {
        speckle.pixels.push_back(palette[random() % 4]);
    }
    out.push_back(std::move(speckle));
    // Tiny pictures.
    out.push_back(Picture{"1x1", 1, 1, {0xff336699u}});
    out.push_back(Picture{"5x1", 5, 1, {0u, 0x01010101u, 0xffffffffu, 0x80808080u, 0xff000001u}});
    out.push_back(Picture{"1x7", 1, 7, std::vector<std::uint32_t>(7, 0x40102030u)});
    // Repeats right at the window's far end and just beyond it.
    for (const std::int32_t width : {8192, 8193, 8191}) {
        Picture repeat{"repeat", width, 4, std::vector<std::uint32_t>(width * 4u)};
        for (std::int32_t x = 0; x < width; ++x) {
            repeat.pixels[static_cast<std::size_t>(x)] = 0xff000000u | (random() & 0xffffffu);
        }
        for (std::int32_t y = 1; y < 4; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                repeat.pixels[static_cast<std::size_t>(y) * width + x] =
                    repeat.pixels[static_cast<std::size_t>(x + y) % width];
            }
        }
        out.push_back(std::move(repeat));
    }
    // A large flat picture with sparse dots: long runs over many windows.
    Picture large{"large", 1500, 1000, std::vector<std::uint32_t>(1500 * 1000, 0xff202020u)};
    for (int i = 0; i < 3000; ++i) {
        large.pixels[random() % large.pixels.size()] = premultipliedPixel(random, 255);
    }
    out.push_back(std::move(large));
    return out;
}

// Recorded from the native build, in the order of fixedPictures().
constexpr std::uint64_t kExpectedPng[] = {
    0xfe85066b5bf7ee97ull, // panel 640x360
    0x250ce98bcddfa818ull, // noise 300x200
    0x1f1a7dcb44432f5cull, // speckle 211x97
    0x80c4444590e0aa9aull, // 1x1 1x1
    0x5a39068bccd7b4f9ull, // 5x1 5x1
    0x523efa625fcdf29cull, // 1x7 1x7
    0x24b7fd13afcf60c6ull, // repeat 8192x4
    0xa1569e6d53eb983full, // repeat 8193x4
    0xe1c65d5e5cd6b8daull, // repeat 8191x4
    0x1b61189fb1afe025ull, // large 1500x1000
};

TEST(PngWriterTest, FixedPicturesKeepTheirBytes) {
    const bool print = std::getenv("VEX_PRINT_PNG_HASHES") != nullptr;
    const std::vector<Picture> pictures = fixedPictures();
    ASSERT_EQ(pictures.size(), sizeof(kExpectedPng) / sizeof(kExpectedPng[0]));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        const std::uint64_t hash = hashBytes(encodePng(p.pixels, p.width, p.height));
        if (print) {
            std::printf("    0x%016" PRIx64 "ull, // %s %dx%d\n", hash, p.name, p.width, p.height);
        }
        EXPECT_EQ(hash, kExpectedPng[i]) << p.name << " " << p.width << "x" << p.height;
    }
}

} // namespace
} // namespace vex::host

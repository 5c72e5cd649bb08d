// One scene rendered by the native vexhost (an earlier test step) and by the Windows build
// under wine, with the real GDI+: grid, frame and trace pixels must be identical; the
// labels, drawn by two font engines, are compared by the boxes their ink covers.
#include "cli_test_support.h"
#include "host/kit/view/paint_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace vex::test {
namespace {

// The scene's layout: three views of kWidth x kHeight on a sheet with kGap around each.
constexpr std::int32_t kWidth = 425;
constexpr std::int32_t kHeight = 225;
constexpr std::int32_t kGap = 12;
constexpr std::uint32_t kBackground = 0xFF10141Cu;
constexpr std::int32_t kTolerance = 2; // pixels a label box edge may move

struct Rect {
    std::int32_t left, top, right, bottom; // right and bottom exclusive
    bool contains(std::int32_t x, std::int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
};

struct Box {
    std::int32_t left, top, right, bottom; // inclusive ink extent
};

struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(std::int32_t x, std::int32_t y) const { return pixels[y * width + x]; }
};

// The label zones of each view: the left margin (amplitude and level labels) and the top
// margin (frequency labels), inside the 5-pixel frame.
std::vector<Rect> labelZones() {
    std::vector<Rect> zones;
    for (std::int32_t view = 0; view < 3; ++view) {
        const std::int32_t x0 = kGap + view * (kWidth + kGap);
        const std::int32_t y0 = kGap;
        zones.push_back({x0 + 3, y0 + 3, x0 + 20, y0 + kHeight - 3});
        zones.push_back({x0 + 20, y0 + 3, x0 + kWidth - 3, y0 + 20});
    }
    return zones;
}

// Ink boxes of a zone: runs of rows (a tall zone) or columns (a wide zone) holding any
// pixel other than the background, split at empty rows or columns.
std::vector<Box> inkBoxes(const Image& image, const Rect& zone) {
    const bool tall = zone.bottom - zone.top > zone.right - zone.left;
    std::vector<Box> boxes;
    bool open = false;
    const std::int32_t from = tall ? zone.top : zone.left;
    const std::int32_t to = tall ? zone.bottom : zone.right;
    for (std::int32_t line = from; line < to; ++line) {
        Box ink{1 << 30, 1 << 30, -1, -1};
        const std::int32_t across0 = tall ? zone.left : zone.top;
        const std::int32_t across1 = tall ? zone.right : zone.bottom;
        for (std::int32_t a = across0; a < across1; ++a) {
            const std::int32_t x = tall ? a : line;
            const std::int32_t y = tall ? line : a;
            if (image.at(x, y) != kBackground) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
        if (ink.right < 0) {
            open = false;
            continue;
        }
        if (!open) {
            boxes.push_back(ink);
            open = true;
        } else {
            Box& last = boxes.back();
            last.left = std::min(last.left, ink.left);
            last.right = std::max(last.right, ink.right);
            last.top = std::min(last.top, ink.top);
            last.bottom = std::max(last.bottom, ink.bottom);
        }
    }
    return boxes;
}

std::vector<std::string> sceneArguments() {
    std::vector<std::string> args(1);
    for (const char* c = VEX_COMPARE_SCENE; *c != 0; ++c) {
        if (*c == '|') {
            args.emplace_back();
        } else {
            args.back().push_back(*c);
        }
    }
    return args;
}

TEST(NativeWineTest, SameSceneGivesTheSamePixelsAndLabelBoxes) {
    const std::string folder = VEX_COMPARE_DIR;
    Image native;
    if (!host::readPng(folder + "/native.png", native.width, native.height, native.pixels)) {
        GTEST_SKIP() << "no native picture in " << folder << " (build the linux preset first)";
    }
    auto args = sceneArguments();
    args.insert(args.end(), {"-o", folder + "/wine.png"});
    const CliRun run = vexhost(args);
    ASSERT_EQ(run.status, 0) << run.err;
    Image wine;
    ASSERT_TRUE(host::readPng(folder + "/wine.png", wine.width, wine.height, wine.pixels));
    ASSERT_EQ(wine.width, native.width);
    ASSERT_EQ(wine.height, native.height);
    ASSERT_EQ(native.width, 3 * kWidth + 4 * kGap);

    const std::vector<Rect> zones = labelZones();
    std::size_t strict = 0;
    std::size_t strictDiffering = 0;
    std::size_t labelDiffering = 0;
    std::string firstDifference;
    for (std::int32_t y = 0; y < native.height; ++y) {
        for (std::int32_t x = 0; x < native.width; ++x) {
            const bool inLabels = std::any_of(zones.begin(), zones.end(),
                                              [&](const Rect& z) { return z.contains(x, y); });
            const bool differs = native.at(x, y) != wine.at(x, y);
            if (inLabels) {
                labelDiffering += differs ? 1 : 0;
                continue;
            }
            ++strict;
            if (differs && strictDiffering++ == 0) {
                char text[96];
                std::snprintf(text, sizeof(text), "(%d, %d): native %08X, wine %08X", x, y,
                              native.at(x, y), wine.at(x, y));
                firstDifference = text;
            }
        }
    }

    std::size_t nativeBoxes = 0;
    std::size_t wineBoxes = 0;
    std::int32_t largestOffset = 0;
    bool boxesMatch = true;
    for (const Rect& zone : zones) {
        const auto a = inkBoxes(native, zone);
        const auto b = inkBoxes(wine, zone);
        nativeBoxes += a.size();
        wineBoxes += b.size();
        if (a.size() != b.size()) {
            boxesMatch = false;
            continue;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            largestOffset = std::max(
                {largestOffset, std::abs(a[i].left - b[i].left), std::abs(a[i].right - b[i].right),
                 std::abs(a[i].top - b[i].top), std::abs(a[i].bottom - b[i].bottom)});
        }
    }

    std::cout << "native vs wine: " << strictDiffering << " of " << strict
              << " grid, frame and trace pixels differ"
              << (firstDifference.empty() ? "" : ", first ") << firstDifference
              << "; label boxes native " << nativeBoxes << ", wine " << wineBoxes
              << ", largest edge offset " << largestOffset << " px; " << labelDiffering
              << " label-zone pixels differ\n";
    EXPECT_EQ(strictDiffering, 0u) << firstDifference;
    EXPECT_TRUE(boxesMatch) << nativeBoxes << " label boxes natively, " << wineBoxes
                            << " under wine";
    EXPECT_GT(nativeBoxes, 20u) << "the scene has labels in every view";
    EXPECT_LE(largestOffset, kTolerance);
}

} // namespace
} // namespace vex::test

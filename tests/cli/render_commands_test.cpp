// `vexhost render`, `animate` and `demo` against the real plug-in: the pictures' sizes, the
// colours the display was told, which voices are drawn, and identical output every run.
#include "cli_test_support.h"
#include "host/kit/view/paint_surface.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vex::test {
namespace {

struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(std::int32_t x, std::int32_t y) const { return pixels[y * width + x]; }
    std::size_t count(std::uint32_t argb) const {
        return static_cast<std::size_t>(std::count(pixels.begin(), pixels.end(), argb));
    }
};

Image load(const std::string& path) {
    Image image;
    EXPECT_TRUE(host::readPng(path, image.width, image.height, image.pixels)) << path;
    return image;
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The default look's colours, opaque.
constexpr std::uint32_t kBackground = 0xFF10141Cu;  // RGB(16,20,28)
constexpr std::uint32_t kFrame = 0xFF0C0F15u;       // the background darkened by 0.3
constexpr std::uint32_t kTrace1 = 0xFF48E6A0u;      // RGB(72,230,160)
constexpr std::uint32_t kTrace1Other = 0xFF287F58u; // darkened by 0.8 for other voices
constexpr std::uint32_t kTrace2 = 0xFFFFB446u;      // RGB(255,180,70)

TEST(RenderCommandTest, DefaultLookPaintsBackgroundFrameAndTraces) {
    ScratchFolder folder("render-default");
    const std::string out = folder / "scope.png";
    const CliRun run = vexhost({"render", "sine:1k", "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, out + "\n");
    const Image image = load(out);
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 360);
    EXPECT_EQ(image.at(0, 180), 0xFF000000u) << "black outline";
    EXPECT_EQ(image.at(2, 180), kFrame);
    EXPECT_EQ(image.at(12, 3 * 360 / 4 + 10), kBackground) << "label margin";
    EXPECT_GT(image.count(kTrace1), 300u);
    EXPECT_EQ(image.count(kTrace2), 0u) << "a mono input has no signal B";
    EXPECT_EQ(folder.entries(), 1u);
}

TEST(RenderCommandTest, ColoursSplitAndSizeReachTheDisplay) {
    ScratchFolder folder("render-look");
    const std::string out = folder / "look.png";
    const CliRun run =
        vexhost({"render", "sine:1k+saw:300", "--view", "log", "--size", "425x225", "--split",
                 "--trace1", "RGB(255,0,0)", "--trace2", "0xFF0000FF", "--background", "none",
                 "--label", "none", "--grid", "none", "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image image = load(out);
    ASSERT_EQ(image.width, 425);
    ASSERT_EQ(image.height, 225);
    EXPECT_EQ(image.at(0, 0), 0u) << "no background: nothing painted there";
    EXPECT_EQ(image.count(kTrace1), 0u);
    // With split panes, red (signal A) stays in the upper half and blue (B) in the lower.
    std::size_t redBelow = 0;
    std::size_t blueAbove = 0;
    std::size_t red = 0;
    std::size_t blue = 0;
    for (std::int32_t y = 0; y < image.height; ++y) {
        for (std::int32_t x = 0; x < image.width; ++x) {
            const bool upper = y < 5 + (225 - 10) / 2;
            red += image.at(x, y) == 0xFFFF0000u ? 1 : 0;
            blue += image.at(x, y) == 0xFF0000FFu ? 1 : 0;
            redBelow += image.at(x, y) == 0xFFFF0000u && !upper ? 1 : 0;
            blueAbove += image.at(x, y) == 0xFF0000FFu && upper ? 1 : 0;
        }
    }
    EXPECT_GT(red, 200u);
    EXPECT_GT(blue, 200u);
    EXPECT_EQ(redBelow, 0u);
    EXPECT_EQ(blueAbove, 0u);
}

TEST(RenderCommandTest, OtherVoicesAreDrawnShadedOnlyWhenFollowing) {
    ScratchFolder folder("render-follow");
    const std::vector<std::string> inputs = {"render", "sine:500", "square:900@0.5"};
    auto follow = inputs;
    follow.insert(follow.end(), {"--follow", "-o", folder / "follow.png"});
    auto single = inputs;
    single.insert(single.end(), {"-o", folder / "single.png"});
    ASSERT_EQ(vexhost(follow).status, 0);
    ASSERT_EQ(vexhost(single).status, 0);
    const Image followed = load(folder / "follow.png");
    const Image alone = load(folder / "single.png");
    EXPECT_GT(followed.count(kTrace1Other), 100u) << "voice 0 drawn as another voice";
    EXPECT_GT(followed.count(kTrace1), 100u) << "voice 1, gated last, in the main colour";
    EXPECT_EQ(alone.count(kTrace1Other), 0u) << "without --follow only voice 0 is drawn";
    EXPECT_GT(alone.count(kTrace1), 100u);
    // An ungated voice still shows while its frames are fresh.
    auto gated = follow;
    gated.back() = folder / "gated.png";
    gated.insert(gated.end(), {"--voice-gates", "1,0"});
    ASSERT_EQ(vexhost(gated).status, 0);
    EXPECT_GT(load(folder / "gated.png").count(kTrace1Other), 100u);
}

TEST(RenderCommandTest, AllViewsMakeOneSheetAndEveryRunWritesTheSameBytes) {
    ScratchFolder folder("render-all");
    const std::vector<std::string> args = {"render",  "noise@0.3+sweep:200-2k",
                                           "saw:220", "--view",
                                           "all",     "--size",
                                           "200x120", "--follow",
                                           "-o"};
    auto first = args;
    first.push_back(folder / "a.png");
    auto second = args;
    second.push_back(folder / "b.png");
    ASSERT_EQ(vexhost(first).status, 0);
    ASSERT_EQ(vexhost(second).status, 0);
    const Image sheet = load(folder / "a.png");
    EXPECT_EQ(sheet.width, 3 * 200 + 4 * 12);
    EXPECT_EQ(sheet.height, 120 + 2 * 12);
    EXPECT_EQ(bytesOf(folder / "a.png"), bytesOf(folder / "b.png"));
}

TEST(RenderCommandTest, BadLookOrTimeIsAnErrorAndWritesNothing) {
    ScratchFolder folder("render-errors");
    const std::string out = folder / "x.png";
    const std::vector<std::vector<std::string>> mistakes = {
        {"--size", "79x200"},     {"--size", "200x59"},  {"--size", "5000x300"},
        {"--size", "640by360"},   {"--grid", "#102030"}, {"--trace1", "RGB(1,2)"},
        {"--voice-gates", "1,1"}, {"--at", "0"},         {"--view", "waterfall"},
        {"--shade", "dark"},
    };
    for (const auto& mistake : mistakes) {
        std::vector<std::string> args = {"render", "sine:100", "-o", out};
        args.insert(args.end(), mistake.begin(), mistake.end());
        const CliRun run = vexhost(args);
        EXPECT_EQ(run.status, 2) << mistake[0] << " " << mistake[1];
        EXPECT_TRUE(contains(run.err, "vexhost: error: ")) << run.err;
    }
    EXPECT_TRUE(contains(vexhost({"render", "sine:1", "--size", "20x20", "-o", out}).err,
                         "too small to draw"));
    EXPECT_EQ(vexhost({"render", "sine:1"}).status, 2) << "-o is required";
    EXPECT_EQ(folder.entries(), 0u);
}

TEST(AnimateCommandTest, OnePicturePerTickAndTheLastIsTheRenderAtThatTime) {
    ScratchFolder folder("animate");
    const CliRun run = vexhost(
        {"animate", "sine:500", "--duration", "0.2", "--size", "160x100", "-o", folder / "frames"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "5 frames at 25 frames per second")) << run.out;
    EXPECT_TRUE(contains(run.err, "animate: 5 frames, 0.2 s of audio in ")) << run.err;
    EXPECT_TRUE(contains(run.err, "x real time\n")) << run.err;
    for (int i = 1; i <= 5; ++i) {
        EXPECT_TRUE(std::filesystem::exists(folder.path / "frames" /
                                            ("frame-0000" + std::to_string(i) + ".png")));
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path / "frames" / "frame-00006.png"));
    ASSERT_EQ(
        vexhost({"render", "sine:500", "--at", "0.2", "--size", "160x100", "-o", folder / "at.png"})
            .status,
        0);
    EXPECT_EQ(bytesOf(folder / "frames/frame-00005.png"), bytesOf(folder / "at.png"));

    const CliRun fast = vexhost({"animate", "sine:500", "--duration", "0.2", "--rate", "7",
                                 "--size", "160x100", "-o", folder / "fast"});
    EXPECT_TRUE(contains(fast.out, "8 frames at 40 frames per second")) << fast.out;
    const CliRun quiet = vexhost({"animate", "sine:500", "--duration", "0.2", "--size", "160x100",
                                  "-q", "-o", folder / "quiet"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "") << "--quiet prints no summary";
    EXPECT_EQ(bytesOf(folder / "quiet/frame-00005.png"),
              bytesOf(folder / "frames/frame-00005.png"));

    std::ofstream(folder.path / "plain-file") << "x";
    const CliRun notFolder = vexhost({"animate", "sine:500", "-o", folder / "plain-file"});
    EXPECT_EQ(notFolder.status, 2);
    EXPECT_TRUE(contains(notFolder.err, "is not a folder")) << notFolder.err;
    EXPECT_EQ(vexhost({"animate", "sine:500", "--view", "all", "-o", folder / "all"}).status, 2);

    // A picture that cannot be written (a folder stands in its place) fails the run, which
    // takes back the pictures it wrote.
    std::filesystem::create_directories(folder.path / "blocked" / "frame-00004.png" / "inside");
    const CliRun blocked = vexhost({"animate", "sine:500", "--duration", "0.4", "--size", "160x100",
                                    "-o", folder / "blocked"});
    EXPECT_EQ(blocked.status, 2);
    EXPECT_TRUE(contains(blocked.err, "cannot write")) << blocked.err;
    EXPECT_FALSE(std::filesystem::exists(folder.path / "blocked" / "frame-00001.png"));
    EXPECT_FALSE(std::filesystem::exists(folder.path / "blocked" / "frame-00005.png"));
    EXPECT_TRUE(std::filesystem::exists(folder.path / "blocked" / "frame-00004.png" / "inside"));
}

TEST(DemoCommandTest, WritesTheThreeViewsAndTheSheetAndPrintsTheirPaths) {
    ScratchFolder folder("demo");
    const std::string out = folder / "out";
    const CliRun run = vexhost({"demo", "-o", out, "--size", "320x200"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> names = {"demo-scope.png", "demo-linear.png", "demo-log.png",
                                            "demo-sheet.png"};
    std::string listed;
    for (const std::string& name : names) {
        const std::string path = (folder.path / "out" / name).u8string();
        listed += path + "\n";
        const Image image = load(path);
        EXPECT_EQ(image.width, name == "demo-sheet.png" ? 3 * 320 + 48 : 320) << name;
        EXPECT_EQ(image.height, name == "demo-sheet.png" ? 224 : 200) << name;
        EXPECT_GT(image.count(kTrace1), 50u) << name;
        EXPECT_GT(image.count(kTrace2), 50u) << name;
        EXPECT_GT(image.count(kTrace1Other), 50u) << name;
    }
    EXPECT_EQ(run.out, listed);
}

} // namespace
} // namespace vex::test

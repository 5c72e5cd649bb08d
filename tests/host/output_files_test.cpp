// Output appears whole or not at all.
#include "host/kit/host_error.h"
#include "host/vexhost/output/output_files.h"
#include "tests/support/temp_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vex::host {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct OutputFilesTest : ::testing::Test {
    test::TempPath scratch{"vexhost-output"};
    const fs::path& folder = scratch.path;
    void SetUp() override { fs::create_directories(folder); }
    std::size_t entries(const fs::path& where) const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(where), fs::directory_iterator()));
    }
};

TEST_F(OutputFilesTest, UncommittedFileLeavesTheOldContentAndNoTemporary) {
    const fs::path path = folder / "frames.csv";
    std::ofstream(path) << "old";
    {
        OutputFile file(path.u8string());
        file.stream() << "half of the new";
    }
    EXPECT_EQ(readAll(path), "old");
    EXPECT_EQ(entries(folder), 1u);
    {
        OutputFile file(path.u8string());
        file.stream() << "new\n";
        file.commit();
    }
    EXPECT_EQ(readAll(path), "new\n");
    EXPECT_EQ(entries(folder), 1u);
}

TEST_F(OutputFilesTest, UnwritablePlaceIsAnError) {
    EXPECT_THROW(OutputFile((folder / "no" / "such" / "x.csv").u8string()), HostError);
    EXPECT_THROW(writeWholeFile((folder / "missing" / "x.png").u8string(), {1, 2}), HostError);
}

TEST_F(OutputFilesTest, FailedBatchRemovesItsFilesAndTheFolderItMade) {
    const fs::path made = folder / "run";
    {
        OutputBatch batch(made.u8string());
        batch.write("a.png", {1, 2, 3});
        batch.write("b.png", {4});
        EXPECT_EQ(batch.written().size(), 2u);
        EXPECT_EQ(readAll(made / "b.png"), "\x04");
    }
    EXPECT_FALSE(fs::exists(made));
    // In an existing folder, files it did not write stay.
    std::ofstream(folder / "keep.txt") << "mine";
    {
        OutputBatch batch(folder.u8string());
        batch.write("c.png", {1});
    }
    EXPECT_TRUE(fs::exists(folder / "keep.txt"));
    EXPECT_FALSE(fs::exists(folder / "c.png"));
    {
        OutputBatch batch(folder.u8string());
        batch.write("d.png", {1});
        batch.keep();
    }
    EXPECT_TRUE(fs::exists(folder / "d.png"));
    EXPECT_THROW(OutputBatch((folder / "keep.txt").u8string()), HostError);
}

} // namespace
} // namespace vex::host

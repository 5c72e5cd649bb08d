// Input files that are not what they claim: paths that are no audio file, empty and
// malformed files (refused with exit 2, nothing written), and files cut short (read as far
// as they go, with a warning saying how much of what the header promises is there).
#include "cli_test_support.h"
#include "host/vexhost/inputs/signal_source.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sndfile.h>
#endif

namespace vex::test {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(std::filesystem::u8path(path), std::ios::binary) << bytes;
}

// A sawtooth: every frame differs from its neighbours, so a frame dropped or repeated
// shows in what the module sends.
std::vector<float> saw(std::size_t samples) {
    std::vector<float> out(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        out[i] = static_cast<float>(i % 199) / 199.0f - 0.5f;
    }
    return out;
}

TEST(InputFilesTest, WhatIsNoAudioFileIsRefusedSayingWhatItIs) {
    if (!host::audioFilesSupported()) {
        GTEST_SKIP() << "this build reads no audio files";
    }
    ScratchFolder folder("not-audio");
    std::filesystem::create_directory(folder.path / "takes");
    writeBytes(folder / "notes.wav", "some words, no RIFF\n");
    writeBytes(folder / "empty.wav", "");
    writeWav(folder / "whole.wav", 48000, 1, saw(4800));
    const std::string whole = readAll(folder / "whole.wav");
    writeBytes(folder / "header-cut.wav", whole.substr(0, 30)); // ends in the format chunk
    writeBytes(folder / "no-samples.wav", whole.substr(0, 44)); // the header alone
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/dev/zero", "not an audio file (a character device)"},
        {folder / "takes", "not an audio file (a folder)"},
        {folder / "notes.wav", "not an audio file"},
        {folder / "empty.wav", "the file is empty"},
        {folder / "header-cut.wav", "a malformed or unsupported audio file"},
        {folder / "no-samples.wav", "it holds no sample frames of the 4800 its header promises"},
    };
    ScratchFolder outputs("not-audio-out");
    for (const auto& [input, message] : cases) {
        const CliRun run = vexhost({"render", input, "-o", outputs / "out.png"});
        EXPECT_EQ(run.status, 2) << input;
        EXPECT_TRUE(contains(run.err, "cannot read '" + input + "': " + message)) << run.err;
    }
    EXPECT_EQ(outputs.entries(), 0u);
}

TEST(InputFilesTest, AFileCutShortIsReadAsFarAsItGoesWithAWarning) {
    if (!host::audioFilesSupported()) {
        GTEST_SKIP() << "this build reads no audio files";
    }
    ScratchFolder folder("cut-short");
    const std::vector<float> samples = saw(2 * 44100); // one second of stereo
    writeWav(folder / "whole.wav", 44100, 2, samples);
    // The 44-byte header and the first quarter of the frames, 8 bytes each.
    writeBytes(folder / "cut.wav", readAll(folder / "whole.wav").substr(0, 44 + 11025 * 8));
    writeWav(folder / "quarter.wav", 44100, 2,
             std::vector<float>(samples.begin(), samples.begin() + 2 * 11025));
    const CliRun cut = vexhost({"frames", folder / "cut.wav"});
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_TRUE(contains(cut.err, "vexhost: warning: '" + folder / "cut.wav" +
                                      "' is cut short: 11025 of the 44100 sample frames its "
                                      "header promises are there (25.0 %)"))
        << cut.err;
    const CliRun quarter = vexhost({"frames", folder / "quarter.wav"});
    EXPECT_EQ(cut.out, quarter.out);
    EXPECT_EQ(quarter.err, "");

#ifndef _WIN32
    // Compressed files: FLAC states its length in its header, Ogg Vorbis only at its end.
    for (const auto& [name, format, expected] :
         {std::tuple<const char*, int, const char*>{"cut.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                                                    "of the 44100 sample frames"},
          {"cut.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS,
           "its header states no length, and it ends early"}}) {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = format;
        SNDFILE* file = sf_open((folder / name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        sf_writef_float(file, samples.data(), 44100);
        sf_close(file);
        const std::string bytes = readAll(folder / name);
        writeBytes(folder / name, bytes.substr(0, bytes.size() * 3 / 4));
        const CliRun run = vexhost({"render", folder / name, "-o", folder / "out.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(contains(run.err, "'" + folder / name + "' is cut short: ")) << run.err;
        EXPECT_TRUE(contains(run.err, expected)) << run.err;
        EXPECT_TRUE(std::filesystem::remove(folder.path / "out.png"));
    }
#endif
}

} // namespace
} // namespace vex::test

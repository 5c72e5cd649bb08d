// Audio files, read with libsndfile. A path that is no audio file, an empty file and a
// malformed one are refused with a message saying which; a file cut short is read as far as
// it goes, with a warning saying how much of what its header promises is there.
#include "host/vexhost/inputs/signal_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#ifdef VEX_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace vex::host {

namespace {

// What a path that exists but is no regular file is; empty for a regular file.
std::string notAFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    switch (fs::status(fs::u8path(path), ignored).type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found: // gone since it was found: the open says so
        return {};
    case fs::file_type::directory:
        return "a folder";
    case fs::file_type::character:
        return "a character device";
    case fs::file_type::block:
        return "a block device";
    case fs::file_type::fifo:
        return "a named pipe";
    case fs::file_type::socket:
        return "a socket";
    default:
        return "not a regular file";
    }
}

#ifdef VEX_HAVE_SNDFILE

// Why sf_open refused `path`.
std::string openFailure(const std::string& path) {
    const int code = sf_error(nullptr);
    const std::string reason = sf_strerror(nullptr);
    if (code == SF_ERR_UNRECOGNISED_FORMAT) {
        std::error_code ignored;
        return std::filesystem::file_size(std::filesystem::u8path(path), ignored) == 0
                   ? "the file is empty"
                   : "not an audio file (its contents are in no format libsndfile reads)";
    }
    if (code == SF_ERR_SYSTEM) {
        return reason;
    }
    return "a malformed or unsupported audio file: " + reason;
}

int bytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

// The sample frames the header of a chunked file (WAV, AIFF and their kin) promises when
// libsndfile found its data chunk running past the end of the file and took only what is
// there (`present` frames); -1 when it did not. libsndfile states both sizes in its log
// ("data : 192000 (should be 63970)"). A size of 0 or 0xFFFFFFFF is a header written before
// the length was known, which promises nothing.
std::int64_t chunkPromise(SNDFILE* file, const SF_INFO& info, std::int64_t present) {
    std::vector<char> log(16384);
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    log.back() = 0;
    for (const char* line = log.data(); *line != 0;) {
        const char* end = std::strchr(line, '\n');
        char marker[8] = {};
        long long said = 0;
        long long there = 0;
        if (std::sscanf(line, " %7s : %lld (should be %lld)", marker, &said, &there) == 3 &&
            (std::strcmp(marker, "data") == 0 || std::strcmp(marker, "SSND") == 0) &&
            said > there && there >= 0 && said != 0xFFFFFFFFLL) {
            const long long frameBytes =
                static_cast<long long>(bytesPerSample(info.format)) * info.channels;
            if (frameBytes > 0) {
                return present + (said - there + frameBytes - 1) / frameBytes;
            }
            return there > 0 ? static_cast<std::int64_t>(static_cast<double>(present) *
                                                         static_cast<double>(said) /
                                                         static_cast<double>(there))
                             : -1;
        }
        if (end == nullptr) {
            break;
        }
        line = end + 1;
    }
    return -1;
}

class AudioFileInput final : public InputSource {
public:
    AudioFileInput(const std::string& path, std::string* warning) : name(path) {
        const std::string kind = notAFile(path);
        if (!kind.empty()) {
            throw HostError("cannot read '" + path + "': not an audio file (" + kind + ")");
        }
        open();
        // libsndfile gives the largest count for a stream whose end it could not find (an
        // Ogg file without its closing page).
        const bool endless = info.frames == SF_COUNT_MAX;
        std::int64_t promised = endless ? -1 : info.frames;
        frames = info.frames;
        if (!lastFrameReadable()) {
            // Why afresh: a decoder that failed to seek may read nothing more.
            reopen();
            frames = countReadable();
            reopen();
        }
        promised = std::max(promised, chunkPromise(file.get(), info, frames));
        if (frames <= 0) {
            throw HostError("cannot read '" + path + "': it holds no sample frames" +
                            (promised > 0
                                 ? " of the " + std::to_string(promised) + " its header promises"
                                 : std::string()));
        }
        if (warning != nullptr && (promised > frames || endless)) {
            *warning =
                "'" + path + "' is cut short: " + cutShort(promised) + "; read as far as it goes";
        }
    }

    double nativeRate() const override { return info.samplerate; }
    std::int64_t length() const override { return frames; }
    bool streamsA() const override { return frames > 0; }
    bool streamsB() const override { return frames > 0 && info.channels >= 2; }
    void read(float* a, float* b, int count) override {
        const int channels = info.channels;
        int done = 0;
        while (done < count) {
            if (offset == available && !refill()) {
                break;
            }
            const int step = std::min(count - done, available - offset);
            for (int i = 0; i < step; ++i) {
                const std::size_t base = static_cast<std::size_t>(offset + i) * channels;
                a[done + i] = interleaved[base];
                b[done + i] = channels >= 2 ? interleaved[base + 1] : 0.0f;
            }
            offset += step;
            done += step;
        }
        for (int i = done; i < count; ++i) { // past the end: silence
            a[i] = 0.0f;
            b[i] = 0.0f;
        }
    }

private:
    void open() {
        info = SF_INFO{};
        file.reset(sf_open(name.c_str(), SFM_READ, &info));
        if (file == nullptr) {
            throw HostError("cannot read '" + name + "': " + openFailure(name));
        }
        if (info.channels < 1 || info.samplerate <= 0) {
            throw HostError("cannot read '" + name + "': no audio channels");
        }
    }

    void reopen() {
        file.reset();
        open();
    }

    // Whether the last frame the header gives can be read: a file cut short (a compressed
    // one, whose length only its header states) fails here. Leaves the file at its start.
    bool lastFrameReadable() {
        if (info.frames <= 0 || info.frames == SF_COUNT_MAX) {
            return false;
        }
        std::vector<float> frame(static_cast<std::size_t>(info.channels));
        return sf_seek(file.get(), info.frames - 1, SEEK_SET) == info.frames - 1 &&
               sf_readf_float(file.get(), frame.data(), 1) == 1 &&
               sf_seek(file.get(), 0, SEEK_SET) == 0;
    }

    // The frames that can be read from the start of a file just opened, up to the first
    // fault.
    std::int64_t countReadable() {
        constexpr sf_count_t kStep = 4096;
        std::vector<float> buffer(static_cast<std::size_t>(kStep) *
                                  static_cast<std::size_t>(info.channels));
        std::int64_t count = 0;
        for (sf_count_t got = 0; (got = sf_readf_float(file.get(), buffer.data(), kStep)) > 0;) {
            count += got;
        }
        return count;
    }

    std::string cutShort(std::int64_t promised) const {
        const std::string there = std::to_string(frames);
        if (promised <= 0) {
            return "its header states no length, and it ends early: " + there +
                   " sample frames are there";
        }
        char share[32];
        std::snprintf(share, sizeof share, "%.1f %%",
                      100.0 * static_cast<double>(frames) / static_cast<double>(promised));
        return there + " of the " + std::to_string(promised) +
               " sample frames its header promises are there (" + share + ")";
    }

    // Reads the next chunk of the file into `interleaved`; false at the end of the file.
    // Why chunks: a block of a few hundred frames per read made a system call per voice
    // and block.
    bool refill() {
        constexpr sf_count_t kChunkFrames = 16384;
        offset = 0;
        available = 0;
        if (position >= frames) {
            return false;
        }
        interleaved.resize(static_cast<std::size_t>(kChunkFrames) *
                           static_cast<std::size_t>(info.channels));
        const sf_count_t wanted = std::min<sf_count_t>(kChunkFrames, frames - position);
        const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), wanted);
        if (got < 0 || (got < wanted && sf_error(file.get()) != SF_ERR_NO_ERROR)) {
            throw HostError("cannot read '" + name + "': " + sf_strerror(file.get()));
        }
        position += got;
        available = static_cast<int>(got);
        return available > 0;
    }

    std::string name;
    SF_INFO info{};
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file{nullptr, sf_close};
    std::int64_t frames = 0;        // frames that can be read
    sf_count_t position = 0;        // frames read from the file
    std::vector<float> interleaved; // the chunk read last
    int available = 0;              // frames in it
    int offset = 0;                 // frames of it handed out
};

#endif

} // namespace

bool audioFilesSupported() {
#ifdef VEX_HAVE_SNDFILE
    return true;
#else
    return false;
#endif
}

std::unique_ptr<InputSource> openAudioFile(const std::string& path, std::string* warning) {
#ifdef VEX_HAVE_SNDFILE
    return std::make_unique<AudioFileInput>(path, warning);
#else
    (void)warning;
    const std::string kind = notAFile(path);
    throw HostError("cannot read '" + path + "': " +
                    (kind.empty() ? "this build reads no audio files; use a built-in signal"
                                  : "not an audio file (" + kind + ")"));
#endif
}

} // namespace vex::host

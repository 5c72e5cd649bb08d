#include "host/vexhost/inputs/session.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace vex::host {

namespace {

// Anything at the path counts as a file here, so that a folder or a device is refused as no
// audio file rather than as a missing one.
bool isFile(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::u8path(path), ignored);
}

std::string rateText(double rate) {
    return std::to_string(static_cast<long long>(std::llround(rate)));
}

} // namespace

Session::Session(const SessionOptions& sessionOptions) : given(sessionOptions) {
    if (given.inputs.empty()) {
        throw HostError("no INPUT given");
    }
    if (static_cast<std::int32_t>(given.inputs.size()) > kMaxVoices) {
        throw HostError("at most " + std::to_string(kMaxVoices) + " inputs (one per voice)");
    }
    double fileRate = 0.0;
    std::string firstFile;
    for (const std::string& text : given.inputs) {
        specs.push_back(parseInput(text, isFile));
        if (!specs.back().isFile) {
            continue;
        }
        std::string warning;
        const auto source = openAudioFile(text, &warning);
        if (!warning.empty() && given.warnings != nullptr) {
            *given.warnings << "vexhost: warning: " << warning << "\n";
        }
        if (fileRate == 0.0) {
            fileRate = source->nativeRate();
            firstFile = text;
        } else if (source->nativeRate() != fileRate) {
            throw HostError("'" + text + "' runs at " + rateText(source->nativeRate()) +
                            " Hz but '" + firstFile + "' at " + rateText(fileRate) +
                            " Hz; all files of one run need the same sample rate");
        }
        longestFile = std::max(longestFile, source->length());
    }
    if (fileRate != 0.0 && given.sampleRate != 0.0 && given.sampleRate != fileRate) {
        throw HostError("--sample-rate " + rateText(given.sampleRate) + " differs from '" +
                        firstFile + "' (" + rateText(fileRate) + " Hz)");
    }
    rate = fileRate != 0.0 ? fileRate : given.sampleRate != 0.0 ? given.sampleRate : 48000.0;

    if (!library.load(given.modulePath)) {
        throw HostError(library.error());
    }
}

double Session::seconds(double requested) const {
    if (requested > 0.0) {
        return requested;
    }
    if (longestFile > 0) {
        return static_cast<double>(longestFile) / rate;
    }
    return 1.0;
}

std::int64_t Session::sampleCount(double seconds) const {
    return std::llround(seconds * rate);
}

std::unique_ptr<VoiceEngine> Session::makeEngine(std::int32_t mode, double seconds,
                                                 std::function<void(const SentFrame&)> onFrame) {
    EngineSettings settings;
    settings.sampleRate = rate;
    settings.blockSize = given.blockSize;
    settings.mode = mode;
    settings.rate = given.rate;
    settings.analysis = given.analysis;
    auto engine = std::make_unique<VoiceEngine>(factory(), settings);
    engine->onFrame = std::move(onFrame);
    for (std::int32_t voice = 0; voice < voiceCount(); ++voice) {
        engine->addVoice(makeInput(voice, seconds));
    }
    return engine;
}

std::unique_ptr<InputSource> Session::makeInput(std::int32_t voice, double seconds) const {
    const InputSpec& spec = specs.at(static_cast<std::size_t>(voice));
    return spec.isFile ? openAudioFile(spec.text)
                       : makeBuiltinInput(spec, rate, seconds, static_cast<std::uint32_t>(voice));
}

} // namespace vex::host

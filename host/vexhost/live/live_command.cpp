#include "host/vexhost/live/live_command.h"

#include "host/kit/module_library.h"
#include "host/vexhost/live/frame_queue.h"
#include "host/vexhost/live/live_feed.h"
#include "host/vexhost/live/live_view.h"
#include "host/vexhost/output/output_files.h"
#include "host/vexhost/output/png_writer.h"
#include "host/vexhost/output/render_views.h"

#include <SDL.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace vex::host {

namespace {

// Room for half a second of frames of 128 voices at 40 frames per second.
constexpr std::int32_t kQueueFrames = 2560;
constexpr std::int32_t kLargestBlock = 8192;
// The paced driver's period in sample frames (rounded down to whole blocks, at least one):
// a usual sound-server period, about 11 ms at 48 kHz.
constexpr std::int32_t kPacedPeriod = 512;

std::int64_t steadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Where the samples come from. open() learns the rate and block size before the engine is
// built; start() begins calling the feed on the audio thread; stop() ends that for good.
class AudioDriver {
public:
    virtual ~AudioDriver() = default;
    virtual double sampleRate() const = 0;
    virtual std::int32_t blockSize() const = 0;
    virtual void start(LiveFeed& feed) = 0;
    virtual void stop() = 0;
};

// Files and built-in signals at real-time pace, without sound: a thread that wakes once per
// period, as a sound card's interrupt would, and runs the blocks that are due by then
// (several more when it fell behind).
class PacedDriver final : public AudioDriver {
public:
    PacedDriver(double rate, std::int32_t block)
        : rate(rate), block(block), period(std::max(1, kPacedPeriod / block) * block) {}
    ~PacedDriver() override { stop(); }
    double sampleRate() const override { return rate; }
    std::int32_t blockSize() const override { return block; }
    void start(LiveFeed& feed) override {
        thread = std::thread([this, &feed] {
            const auto begin = std::chrono::steady_clock::now();
            std::int64_t done = 0;
            while (!stopping.load(std::memory_order_relaxed)) {
                const auto due = begin + std::chrono::nanoseconds(static_cast<std::int64_t>(
                                             static_cast<double>(done + period) * 1e9 / rate));
                std::this_thread::sleep_until(due);
                for (std::int32_t at = 0; at < period; at += block) {
                    feed.run(block);
                }
                done += period;
            }
        });
    }
    void stop() override {
        stopping.store(true);
        if (thread.joinable()) {
            thread.join();
        }
    }

private:
    double rate;
    std::int32_t block;
    std::int32_t period; // sample frames per wake-up: whole blocks
    std::atomic<bool> stopping{false};
    std::thread thread;
};

// An SDL audio device whose callback runs the voices. The feed is handed over at start.
class SdlDeviceDriver : public AudioDriver {
public:
    ~SdlDeviceDriver() override { stop(); }
    double sampleRate() const override { return rate; }
    std::int32_t blockSize() const override { return block; }
    void start(LiveFeed& liveFeed) override {
        feed.store(&liveFeed, std::memory_order_release);
        SDL_PauseAudioDevice(device, 0);
    }
    void stop() override {
        if (device != 0) {
            SDL_CloseAudioDevice(device);
            device = 0;
        }
    }

protected:
    // Opens the default output (or capture) device for 32-bit float samples.
    SDL_AudioSpec open(bool capture, SDL_AudioSpec want, int allowedChanges, const char* what) {
        want.format = AUDIO_F32SYS;
        want.userdata = this;
        SDL_AudioSpec have{};
        device = SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, &have, allowedChanges);
        if (device == 0) {
            throw HostError(std::string("cannot open ") + what + ": " + SDL_GetError());
        }
        return have;
    }
    // The feed once start() handed it over, else null. Why atomic: SDL's audio thread exists
    // from the open on; what start() handed over is visible to it once the feed is.
    LiveFeed* running() const { return feed.load(std::memory_order_acquire); }

    SDL_AudioDeviceID device = 0;
    double rate = 48000.0;
    std::int32_t block = 512;

private:
    std::atomic<LiveFeed*> feed{nullptr};
};

// SDL's default output: its callback runs the voices and plays what they hear, signal A of
// every voice on the left, signal B on the right, each mixed at 1/voices.
class PlaybackDriver final : public SdlDeviceDriver {
public:
    PlaybackDriver(double wantedRate, std::int32_t wantedBlock) {
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(wantedRate);
        want.channels = 2;
        want.samples = static_cast<Uint16>(std::clamp(wantedBlock, 64, 4096));
        want.callback = &PlaybackDriver::callback;
        const SDL_AudioSpec have = open(false, want, 0, "the audio output");
        block = have.samples;
        rate = wantedRate; // the session's rate: SDL converts to the device's own
    }
    // Why here too: the device's thread must end before this object's members do.
    ~PlaybackDriver() override { stop(); }
    void keep(std::vector<const KeptInput*> inputs) { kept = std::move(inputs); }

private:
    static void callback(void* self, Uint8* stream, int length) {
        static_cast<PlaybackDriver*>(self)->fill(reinterpret_cast<float*>(stream),
                                                 length / static_cast<int>(2 * sizeof(float)));
    }
    void fill(float* out, int frames) {
        LiveFeed* feed = running();
        if (feed == nullptr) {
            std::fill(out, out + 2 * frames, 0.0f);
            return;
        }
        const float gain = kept.empty() ? 0.0f : 1.0f / static_cast<float>(kept.size());
        for (int at = 0; at < frames;) {
            const int count = std::min(frames - at, block);
            feed->run(count);
            for (int i = 0; i < count; ++i) {
                float left = 0.0f;
                float right = 0.0f;
                for (const KeptInput* input : kept) {
                    left += input->lastA()[i];
                    right += input->lastB()[i];
                }
                out[2 * (at + i)] = left * gain;
                out[2 * (at + i) + 1] = right * gain;
            }
            at += count;
        }
    }

    std::vector<const KeptInput*> kept;
};

// SDL's default capture device (PulseAudio, PipeWire or ALSA): one voice, its first
// channel as signal A and its second, when there is one, as signal B.
class CaptureDriver final : public SdlDeviceDriver {
public:
    CaptureDriver() {
        SDL_AudioSpec want{};
        want.freq = 48000;
        want.channels = 2;
        want.samples = 512;
        want.callback = &CaptureDriver::callback;
        const SDL_AudioSpec have =
            open(true, want, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE,
                 "the capture device");
        rate = have.freq;
        channels = std::max<int>(1, have.channels);
        block = std::max<int>(64, have.samples);
        a.assign(static_cast<std::size_t>(block), 0.0f);
        b.assign(static_cast<std::size_t>(block), 0.0f);
    }
    // Why here too: the device's thread must end before this object's members do.
    ~CaptureDriver() override { stop(); }
    void input(HandedInput* voice) { handed = voice; }

private:
    static void callback(void* self, Uint8* stream, int length) {
        auto* driver = static_cast<CaptureDriver*>(self);
        driver->take(reinterpret_cast<const float*>(stream),
                     length / static_cast<int>(sizeof(float)) / driver->channels);
    }
    void take(const float* in, int frames) {
        LiveFeed* feed = running();
        if (feed == nullptr) {
            return;
        }
        for (int at = 0; at < frames;) {
            const int count = std::min(frames - at, block);
            for (int i = 0; i < count; ++i) {
                a[static_cast<std::size_t>(i)] = in[(at + i) * channels];
                b[static_cast<std::size_t>(i)] = channels > 1 ? in[(at + i) * channels + 1] : 0.0f;
            }
            handed->set(a.data(), channels > 1 ? b.data() : nullptr);
            feed->run(count);
            at += count;
        }
    }

    int channels = 2;
    std::vector<float> a;
    std::vector<float> b;
    HandedInput* handed = nullptr;
};

// A JACK client named "vexhost" with two input ports per voice: "a" and "b" for one voice,
// "voice1.a", "voice1.b", "voice2.a", ... for several.
class JackDriver final : public AudioDriver {
public:
    explicit JackDriver(std::int32_t voices) {
        jack_status_t status{};
        client = jack_client_open("vexhost", JackNoStartServer, &status);
        if (client == nullptr) {
            throw HostError("cannot reach a JACK server (status 0x" + hex(status) + ")");
        }
        for (std::int32_t v = 0; v < voices; ++v) {
            const std::string prefix = voices == 1 ? "" : "voice" + std::to_string(v + 1) + ".";
            Ports ports;
            ports.a = jack_port_register(client, (prefix + "a").c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsInput, 0);
            ports.b = jack_port_register(client, (prefix + "b").c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsInput, 0);
            if (ports.a == nullptr || ports.b == nullptr) {
                jack_client_close(client);
                throw HostError("cannot register the JACK ports of voice " + std::to_string(v + 1));
            }
            ports.input = nullptr;
            voicePorts.push_back(ports);
        }
    }
    ~JackDriver() override {
        stop();
        if (client != nullptr) {
            jack_client_close(client);
        }
    }
    double sampleRate() const override { return jack_get_sample_rate(client); }
    std::int32_t blockSize() const override {
        return std::clamp<std::int32_t>(static_cast<std::int32_t>(jack_get_buffer_size(client)), 16,
                                        kLargestBlock);
    }
    void input(std::int32_t voice, HandedInput* handed) {
        voicePorts[static_cast<std::size_t>(voice)].input = handed;
    }
    void start(LiveFeed& liveFeed) override {
        feed = &liveFeed;
        if (jack_set_process_callback(client, &JackDriver::process, this) != 0 ||
            jack_activate(client) != 0) {
            throw HostError("cannot start the JACK client");
        }
        active = true;
    }
    void stop() override {
        if (active) {
            jack_deactivate(client);
            active = false;
        }
    }

private:
    struct Ports {
        jack_port_t* a;
        jack_port_t* b;
        HandedInput* input;
    };
    static std::string hex(unsigned value) {
        char text[16];
        std::snprintf(text, sizeof(text), "%x", value);
        return text;
    }
    static int process(jack_nframes_t frames, void* self) {
        auto* driver = static_cast<JackDriver*>(self);
        const auto total = static_cast<std::int32_t>(frames);
        for (Ports& ports : driver->voicePorts) {
            ports.input->set(static_cast<const float*>(jack_port_get_buffer(ports.a, frames)),
                             static_cast<const float*>(jack_port_get_buffer(ports.b, frames)));
        }
        const std::int32_t block = driver->feed->blockSize();
        for (std::int32_t at = 0; at < total; at += block) {
            driver->feed->run(std::min(block, total - at));
        }
        return 0;
    }

    jack_client_t* client = nullptr;
    std::vector<Ports> voicePorts;
    LiveFeed* feed = nullptr;
    bool active = false;
};

// The window: SDL's window surface, filled from the view's picture.
class Window {
public:
    Window(std::int32_t width, std::int32_t height, const MeasureSize& smallest) {
        window = SDL_CreateWindow("vexhost live", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  width, height, SDL_WINDOW_RESIZABLE);
        if (window == nullptr) {
            throw HostError(std::string("cannot open a window: ") + SDL_GetError());
        }
        SDL_SetWindowMinimumSize(window, smallest.width, smallest.height);
    }
    ~Window() { SDL_DestroyWindow(window); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Shows the picture. Why no conversion: the display paints its whole area opaque, so
    // the premultiplied pixels are the colours; SDL copies them into the window's format.
    void present(const PaintSurface& surface) {
        SDL_Surface* target = SDL_GetWindowSurface(window);
        if (target == nullptr) {
            return;
        }
        if (target->w != surface.width() || target->h != surface.height()) {
            SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
        }
        const Uint32 format = target->format->format;
        if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
            // The window keeps 0xXXRRGGBB words, as the picture does: rows copied as they are.
            const std::int32_t width = std::min(target->w, surface.width());
            const std::int32_t height = std::min(target->h, surface.height());
            if (SDL_LockSurface(target) == 0) {
                for (std::int32_t y = 0; y < height; ++y) {
                    std::memcpy(static_cast<std::uint8_t*>(target->pixels) +
                                    static_cast<std::ptrdiff_t>(y) * target->pitch,
                                surface.row(y), static_cast<std::size_t>(width) * 4);
                }
                SDL_UnlockSurface(target);
            }
        } else {
            SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
                const_cast<std::uint32_t*>(surface.row(0)), surface.width(), surface.height(), 32,
                surface.rowBytes(), SDL_PIXELFORMAT_ARGB8888);
            if (source == nullptr) {
                return;
            }
            SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
            SDL_BlitSurface(source, nullptr, target, nullptr);
            SDL_FreeSurface(source);
        }
        SDL_UpdateWindowSurface(window);
    }

    // The window's pixels as 0xAARRGGBB, opaque.
    Picture read() {
        Picture picture;
        SDL_Surface* target = SDL_GetWindowSurface(window);
        if (target == nullptr) {
            throw HostError(std::string("cannot read the window: ") + SDL_GetError());
        }
        SDL_Surface* copy = SDL_ConvertSurfaceFormat(target, SDL_PIXELFORMAT_ARGB8888, 0);
        if (copy == nullptr) {
            throw HostError(std::string("cannot read the window: ") + SDL_GetError());
        }
        picture.width = copy->w;
        picture.height = copy->h;
        picture.pixels.resize(static_cast<std::size_t>(copy->w) * copy->h);
        SDL_LockSurface(copy);
        for (int y = 0; y < copy->h; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                static_cast<const std::uint8_t*>(copy->pixels) + y * copy->pitch);
            for (int x = 0; x < copy->w; ++x) {
                picture.pixels[static_cast<std::size_t>(y) * copy->w + x] = row[x] | 0xFF000000u;
            }
        }
        SDL_UnlockSurface(copy);
        SDL_FreeSurface(copy);
        return picture;
    }

    // The screen's refresh rate in hertz (60 when the driver does not say).
    int refreshRate() const {
        SDL_DisplayMode mode{};
        const int display = SDL_GetWindowDisplayIndex(window);
        if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 &&
            mode.refresh_rate > 0) {
            return mode.refresh_rate;
        }
        return 60;
    }
    std::uint32_t id() const { return SDL_GetWindowID(window); }

private:
    SDL_Window* window = nullptr;
};

// SDL for the process's life from the first use (video, and audio when asked).
void startSdl(bool audio) {
    static const bool video = [] {
        // Why: the picture is painted in memory already; SDL's own framebuffer of the
        // window takes it with one copy, where an accelerated one would upload it through
        // a renderer (a software OpenGL one on machines without a GPU, or headless).
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    }();
    if (!video) {
        throw HostError(std::string("cannot start SDL's video: ") + SDL_GetError());
    }
    if (audio && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        throw HostError(std::string("cannot start SDL's audio: ") + SDL_GetError());
    }
}

bool parsePoint(const std::string& text, std::int32_t& x, std::int32_t& y) {
    int px = 0;
    int py = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d,%d%c", &px, &py, &end) != 2) {
        return false;
    }
    x = px;
    y = py;
    return true;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

} // namespace

int runLive(const SessionOptions& sessionOptions, const DisplayLook& look,
            const LiveOptions& options, Console& console) {
    const int sources = (options.jackVoices > 0 ? 1 : 0) + (options.capture ? 1 : 0) +
                        (sessionOptions.inputs.empty() ? 0 : 1);
    if (sources != 1) {
        throw HostError("live takes one source: INPUT..., --jack N or --capture");
    }
    if (options.play && sessionOptions.inputs.empty()) {
        throw HostError("--play plays INPUT files and signals; JACK and capture play nothing");
    }
    std::int32_t mouseX = 0;
    std::int32_t mouseY = 0;
    if (!options.mouse.empty() && !parsePoint(options.mouse, mouseX, mouseY)) {
        throw HostError("--mouse: '" + options.mouse + "' is not X,Y");
    }

    startSdl(options.play || options.capture);

    // The module, and the inputs when they are files or signals.
    std::unique_ptr<Session> session;
    ModuleLibrary library;
    FactoryInterface* factory = nullptr;
    if (!sessionOptions.inputs.empty()) {
        session = std::make_unique<Session>(sessionOptions);
        factory = &session->factory();
    } else {
        if (!library.load(sessionOptions.modulePath)) {
            throw HostError(library.error());
        }
        factory = library.factory();
    }

    std::unique_ptr<AudioDriver> driver;
    JackDriver* jack = nullptr;
    CaptureDriver* capture = nullptr;
    PlaybackDriver* playback = nullptr;
    std::int32_t voices = 1;
    double rate = 48000.0;
    if (options.jackVoices > 0) {
        voices = options.jackVoices;
        auto opened = std::make_unique<JackDriver>(voices);
        jack = opened.get();
        driver = std::move(opened);
        rate = driver->sampleRate();
    } else if (options.capture) {
        auto opened = std::make_unique<CaptureDriver>();
        capture = opened.get();
        driver = std::move(opened);
        rate = driver->sampleRate();
    } else {
        voices = session->voiceCount();
        rate = session->sampleRate();
        if (options.play) {
            auto opened = std::make_unique<PlaybackDriver>(rate, sessionOptions.blockSize);
            playback = opened.get();
            driver = std::move(opened);
        } else {
            driver = std::make_unique<PacedDriver>(rate, sessionOptions.blockSize);
        }
    }

    EngineSettings settings;
    settings.sampleRate = rate;
    settings.blockSize = std::clamp(driver->blockSize(), 1, kLargestBlock);
    settings.mode = options.mode;
    settings.rate = sessionOptions.rate;
    auto engine = std::make_unique<VoiceEngine>(*factory, settings);
    std::vector<const KeptInput*> kept;
    for (std::int32_t v = 0; v < voices; ++v) {
        if (session == nullptr) {
            auto handed = std::make_unique<HandedInput>();
            if (jack != nullptr) {
                jack->input(v, handed.get());
            } else {
                capture->input(handed.get());
            }
            engine->addVoice(std::move(handed));
            continue;
        }
        std::unique_ptr<InputSource> input =
            preloadInput(session->makeInput(v, session->seconds(options.duration)));
        if (playback != nullptr) {
            auto keeping = std::make_unique<KeptInput>(std::move(input), settings.blockSize);
            kept.push_back(keeping.get());
            input = std::move(keeping);
        }
        engine->addVoice(std::move(input));
    }
    if (playback != nullptr) {
        playback->keep(kept);
    }

    FrameQueue queue(kQueueFrames);
    LiveFeed feed(std::move(engine), queue);
    LiveView view(*factory, options.mode, look, voices, rate);
    view.setPeakHold(options.peakHold);
    Window window(view.width(), view.height(), view.smallest());
    if (!options.mouse.empty()) {
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.windowID = window.id();
        motion.motion.x = mouseX;
        motion.motion.y = mouseY;
        SDL_PushEvent(&motion);
    }
    const auto frameInterval =
        std::chrono::nanoseconds(1000000000LL / std::max(1, window.refreshRate()));
    const std::int64_t screenshotAt =
        options.screenshot.empty() ? -1 : std::llround(options.after * rate);
    const std::int64_t endAt = options.duration > 0.0 ? std::llround(options.duration * rate) : -1;

    std::vector<double> latencies; // milliseconds from a frame's push to its present
    std::vector<std::int64_t> waiting;
    latencies.reserve(1 << 16);
    std::int64_t presents = 0;
    const auto cpuStart = std::clock();
    driver->start(feed);

    auto lastPresent = std::chrono::steady_clock::now() - frameInterval;
    bool running = true;
    while (running) {
        SDL_Event event;
        // Why polling: the audio thread may not post events (SDL's queue locks), so the
        // window looks at the frame queue every 2 ms, or sleeps until the next present is
        // allowed when that is later.
        const auto sinceLast = std::chrono::steady_clock::now() - lastPresent;
        const auto untilNext =
            std::chrono::duration_cast<std::chrono::milliseconds>(frameInterval - sinceLast);
        const int wait = static_cast<int>(std::clamp<std::int64_t>(untilNext.count(), 2, 20));
        const auto handle = [&](const SDL_Event& event) {
            if (event.type == SDL_QUIT) {
                running = false;
            } else if (event.type == SDL_KEYDOWN) {
                switch (event.key.keysym.sym) {
                case SDLK_1:
                case SDLK_2:
                case SDLK_3: {
                    const std::int32_t mode = event.key.keysym.sym - SDLK_1;
                    feed.requestMode(mode);
                    view.setMode(mode);
                    break;
                }
                case SDLK_s:
                    view.setSplit(!view.split());
                    break;
                case SDLK_f:
                    view.setFollow(!view.follow());
                    break;
                case SDLK_SPACE:
                    view.setFrozen(!view.frozen());
                    break;
                case SDLK_p:
                    view.setPeakHold(!view.peakHold());
                    break;
                case SDLK_c:
                    view.setCursorReadout(!view.cursorReadout());
                    break;
                case SDLK_q:
                case SDLK_ESCAPE:
                    running = false;
                    break;
                default:
                    break;
                }
            } else if (event.type == SDL_MOUSEMOTION) {
                view.pointerAt(event.motion.x, event.motion.y);
            } else if (event.type == SDL_WINDOWEVENT) {
                if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    view.resize(event.window.data1, event.window.data2);
                } else if (event.window.event == SDL_WINDOWEVENT_LEAVE) {
                    view.pointerLeft();
                } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                    view.setCursorReadout(view.cursorReadout()); // repaint
                }
            }
        };
        // Why a sleep rather than SDL's timed wait: where the video driver cannot wait for
        // its events (offscreen, for one), SDL's wait polls every millisecond.
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        while (running && SDL_PollEvent(&event) != 0) {
            handle(event);
        }
        // Frames up to the published position are in the queue before it is published.
        const std::int64_t position = feed.position();
        while (const QueuedFrame* frame = queue.front()) {
            if (frame->size == plot::frameSizeOfView(view.mode()) || frame->size == 0) {
                view.take(*frame);
                waiting.push_back(frame->pushedNanos);
            }
            queue.pop();
        }
        const bool shoot = screenshotAt >= 0 && position >= screenshotAt;
        const auto now = std::chrono::steady_clock::now();
        if ((view.dirty() && now - lastPresent >= frameInterval) || shoot) {
            window.present(view.paint());
            lastPresent = std::chrono::steady_clock::now();
            ++presents;
            const std::int64_t presented = steadyNanos();
            // Why from the second half-second on: the first paints load fonts and build
            // the display's resources; the figure is the steady state's.
            if (position * 2 > static_cast<std::int64_t>(rate)) {
                for (std::int64_t pushed : waiting) {
                    latencies.push_back(static_cast<double>(presented - pushed) / 1e6);
                }
            }
            waiting.clear();
        }
        if (shoot) {
            const Picture picture = window.read();
            writeWholeFile(options.screenshot,
                           encodePng(picture.pixels, picture.width, picture.height));
            console.out << options.screenshot << "\n";
            running = false;
        }
        if (endAt >= 0 && position >= endAt) {
            running = false;
        }
    }
    driver->stop();
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    const std::string reading = view.cursorText();
    if (!reading.empty()) {
        console.out << "cursor: " << reading << "\n";
    }
    if (options.stats) {
        const double audioSeconds = static_cast<double>(feed.position()) / rate;
        char text[256];
        std::snprintf(text, sizeof(text),
                      "stats: %.3f s of audio, %.3f s of CPU, %lld presents, %zu frames, "
                      "%lld dropped, latency p50 %.2f ms p99 %.2f ms max %.2f ms, "
                      "frame interval %.2f ms\n",
                      audioSeconds, cpuSeconds, static_cast<long long>(presents), latencies.size(),
                      static_cast<long long>(queue.dropped()), percentile(latencies, 0.5),
                      percentile(latencies, 0.99), percentile(latencies, 1.0),
                      1000.0 / framesPerSecond(sessionOptions.rate));
        console.out << text;
    }
    return 0;
}

} // namespace vex::host

// The steps of one `vexhost live` run: set-up, the event loop with its screenshot and quit
// conditions, and the report on quitting.
#include "host/vexhost/live/live_run.h"

#include "host/vexhost/live/live_inputs.h"
#include "host/vexhost/output/output_files.h"
#include "host/vexhost/output/png_writer.h"
#include "host/vexhost/output/render_views.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace vex::host {

namespace {

// Room for half a second of frames of 128 voices at 40 frames per second.
constexpr std::int32_t kQueueFrames = 2560;

} // namespace

LiveRun::LiveRun(const SessionOptions& sessionOptions, const DisplayLook& look,
                 const LiveOptions& options)
    : options(options), updateRate(sessionOptions.rate), queue(kQueueFrames) {
    // Why first: a bad reference file ends the run before any device or window opens.
    if (!options.reference.empty()) {
        std::string error;
        if (!loadReference(options.reference, reference, error)) {
            throw HostError("--reference: " + error);
        }
    }
    openSource(sessionOptions);
    buildEngine(sessionOptions);
    DisplayLook shownLook = look;
    openGroup(shownLook);
    view = std::make_unique<LiveView>(this->options.mode, rate);
    view->setScale(options.scale);
    view->open(*factory, shownLook, group ? group::kSlots : voices);
    setUpTools(view->tools(), options);
    // Why the window alone has no fine analysis: a watching window shows the members' frames,
    // each of the analysis its member sends.
    view->tools().setAnalysis(sessionOptions.analysis,
                              watchOnly ? "watching the group: each member sends its own analysis"
                                        : "");
    feed->setAnalysis(view->tools().analysis());
    window = std::make_unique<LiveWindow>(view->width(), view->height(), view->smallest());
    // Why after the window: only an open window tells its pixels per point. On a
    // high-resolution screen the picture takes the window's pixels at the factor times
    // that many, so that it is as large as elsewhere and sharper.
    pixelRatio = window->pixelRatio();
    if (pixelRatio != 1.0) {
        view->setScale(std::min(view->scale() * pixelRatio, 4.0));
        const MeasureSize pixels = window->pixelSize();
        view->resize(pixels.width, pixels.height);
    }
    if (options.pointerGiven) {
        pointerIn = true;
        pointerX = options.pointerX;
        pointerY = options.pointerY;
        window->sendPointerTo(pointerX, pointerY);
    }
    frameInterval = std::chrono::nanoseconds(1000000000LL / std::max(1, window->refreshRate()));
    screenshotAt = options.screenshot.empty() ? -1 : std::llround(options.after * rate);
    endAt = options.duration > 0.0 ? std::llround(options.duration * rate) : -1;
}

LiveRun::~LiveRun() {
    driver->stop();
}

// The module, the inputs when they are files or signals, and the driver that brings the
// samples and sets the rate and the block size.
void LiveRun::openSource(const SessionOptions& sessionOptions) {
    watchOnly = options.group > 0 && sessionOptions.inputs.empty() && options.jackVoices == 0 &&
                !options.capture;
    if (watchOnly) {
        // Why a silent signal: it paces the window's clock (--after, --duration) as any
        // source does, and joins no group.
        SessionOptions silent = sessionOptions;
        silent.inputs = {"silence"};
        session = std::make_unique<Session>(silent);
        factory = &session->factory();
    } else if (!sessionOptions.inputs.empty()) {
        session = std::make_unique<Session>(sessionOptions);
        factory = &session->factory();
    } else {
        if (!library.load(sessionOptions.modulePath)) {
            throw HostError(library.error());
        }
        factory = library.factory();
    }
    if (options.jackVoices > 0) {
        voices = options.jackVoices;
        driver = openJackDriver(voices, options.connectPorts);
        rate = driver->sampleRate();
    } else if (options.capture) {
        driver = openCaptureDriver();
        rate = driver->sampleRate();
    } else {
        voices = session->voiceCount();
        rate = session->sampleRate();
        driver = options.play ? openPlaybackDriver(rate, sessionOptions.blockSize)
                              : makePacedDriver(rate, sessionOptions.blockSize);
    }
}

void LiveRun::buildEngine(const SessionOptions& sessionOptions) {
    EngineSettings settings;
    settings.sampleRate = rate;
    settings.blockSize = std::clamp(driver->blockSize(), 1, kLargestBlock);
    settings.mode = options.mode;
    settings.rate = sessionOptions.rate;
    auto engine = std::make_unique<VoiceEngine>(*factory, settings);
    for (std::int32_t v = 0; v < voices; ++v) {
        std::unique_ptr<InputSource> input;
        if (session != nullptr) {
            input = preloadInput(session->makeInput(v, session->seconds(options.duration)));
        }
        engine->addVoice(driver->voiceInput(v, std::move(input)));
    }
    feed = std::make_unique<LiveFeed>(std::move(engine), queue);
}

void LiveRun::openGroup(DisplayLook& look) {
    if (options.group <= 0) {
        return;
    }
    group = std::make_unique<LiveGroup>(options.group, watchOnly ? 0 : voices, rate);
    feed->joinGroup(group.get());
    // Every member is drawn, the highlighted one in the main colours; gates come from the
    // group, not from the voices.
    look.follow = true;
    look.gates.assign(group::kSlots, 0.0f);
    const std::int32_t chosen = group->groupView();
    if (chosen >= 0) {
        options.mode = chosen;
        feed->requestMode(chosen);
    } else {
        group->chooseView(options.mode);
    }
    group->setReferenceLabel(options.differenceAgainst);
}

void LiveRun::showGroup() {
    const std::int32_t chosen = group->groupView();
    if (chosen >= 0 && chosen != view->mode()) {
        feed->requestMode(chosen);
        view->setMode(chosen);
    }
    group->show(*view);
}

void LiveRun::run(Console& console) {
    stats.started();
    driver->start(*feed);
    lastPresent = std::chrono::steady_clock::now() - frameInterval;
    while (turn(console)) {
    }
    driver->stop();
    stats.stopped();
}

bool LiveRun::turn(Console& console) {
    waitForTurn();
    bool going = handleEvents();
    // Frames up to the published position are in the queue before it is published.
    const std::int64_t position = feed->position();
    takeFrames();
    const bool shoot = screenshotAt >= 0 && position >= screenshotAt;
    if ((view->dirty() && std::chrono::steady_clock::now() - lastPresent >= frameInterval) ||
        shoot) {
        present(position);
    }
    if (shoot) {
        writeScreenshot(console);
        going = false;
    }
    if (endAt >= 0 && position >= endAt) {
        going = false;
    }
    return going;
}

// Why polling: the audio thread may not post events (SDL's queue locks), so the window
// looks at the frame queue every 2 ms, or sleeps until the next present is allowed when
// that is later. Why a sleep rather than SDL's timed wait: where the video driver cannot
// wait for its events (offscreen, for one), SDL's wait polls every millisecond.
void LiveRun::waitForTurn() const {
    const auto sinceLast = std::chrono::steady_clock::now() - lastPresent;
    const auto untilNext =
        std::chrono::duration_cast<std::chrono::milliseconds>(frameInterval - sinceLast);
    const int wait = static_cast<int>(std::clamp<std::int64_t>(untilNext.count(), 2, 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(wait));
}

bool LiveRun::handleEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_QUIT) {
            return false;
        }
        if (event.type == SDL_KEYDOWN) {
            switch (event.key.keysym.sym) {
            case SDLK_1:
            case SDLK_2:
            case SDLK_3: {
                const std::int32_t mode = event.key.keysym.sym - SDLK_1;
                if (group) {
                    group->chooseView(mode);
                }
                feed->requestMode(mode);
                view->setMode(mode);
                break;
            }
            case SDLK_TAB:
                if (group) {
                    group->highlightNext();
                }
                break;
            case SDLK_s:
                view->setSplit(!view->split());
                break;
            case SDLK_f:
                view->setFollow(!view->follow());
                break;
            case SDLK_q:
            case SDLK_ESCAPE:
                return false;
            default:
                // Letters and space arrive as their characters; the tools take theirs.
                if (event.key.keysym.sym > 0 && event.key.keysym.sym < 128) {
                    toolKey(static_cast<char>(event.key.keysym.sym));
                }
                break;
            }
        } else if (event.type == SDL_MOUSEMOTION) {
            pointerIn = true;
            pointerX = static_cast<std::int32_t>(std::floor(event.motion.x * pixelRatio));
            pointerY = static_cast<std::int32_t>(std::floor(event.motion.y * pixelRatio));
            view->pointerAt(pointerX, pointerY);
        } else if (event.type == SDL_WINDOWEVENT) {
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                const MeasureSize pixels = window->pixelSize();
                view->resize(pixels.width, pixels.height);
            } else if (event.window.event == SDL_WINDOWEVENT_LEAVE) {
                view->pointerLeft();
                pointerIn = false;
            } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                view->setCursorReadout(view->cursorReadout()); // repaint
            }
        }
    }
    return true;
}

void LiveRun::toolKey(char c) {
    const ToolChange change = view->key(c);
    if (change == ToolChange::kAnalysis) {
        feed->setAnalysis(view->tools().analysis());
    } else if (change == ToolChange::kDifferenceReference && group) {
        // The group hands the tools the member picked at its next show().
        group->pickReference();
    }
}

void LiveRun::takeFrames() {
    if (group) {
        // The voices' own frames come back through the group with every other member's;
        // those of the fine analysis are published from here.
        while (const QueuedFrame* frame = queue.front()) {
            feed->publishHandedOver(*frame);
            queue.pop();
        }
        // The members' frames are taken at the audio's position: the tools' clock.
        view->advanceTo(feed->position());
        showGroup();
        group->nearest(*view, pointerIn ? pointerX : -1, pointerIn ? pointerY : -1);
        return;
    }
    while (const QueuedFrame* frame = queue.front()) {
        if (frame->size == plot::frameSizeOfView(view->mode()) || frame->size == 0) {
            // Null: the fine analysis lost samples (this thread fell far behind).
            if (const std::uint8_t* bytes = feed->refine(*frame)) {
                view->take(frame->voice, bytes, frame->size, frame->sample);
                stats.taken(frame->pushedNanos);
            }
        }
        queue.pop();
    }
}

void LiveRun::present(std::int64_t position) {
    if (group) {
        view->setCaption(group->caption(options.group));
    }
    const PaintSurface& picture = view->paint();
    window->present(picture);
    lastPresent = std::chrono::steady_clock::now();
    stats.presented(position, rate);
}

void LiveRun::writeScreenshot(Console& console) {
    const Picture picture = window->read();
    writeWholeFile(options.screenshot, encodePng(picture.pixels, picture.width, picture.height));
    console.out << options.screenshot << "\n";
}

void LiveRun::setUpTools(ViewerTools& tools, const LiveOptions& given) const {
    tools.setPeakHold(given.peakHold);
    tools.setSpectrogram(given.spectrogram);
    Tilt tilt = Tilt::kOff;
    Smoothing smoothing = Smoothing::kOff;
    tiltNamed(given.tilt, tilt);
    smoothingNamed(given.smooth, smoothing);
    tools.setTilt(tilt);
    tools.setSmoothing(smoothing);
    if (!reference.empty()) {
        tools.setReference(reference);
    }
    // In a group the group hands over the reference member at every show().
    tools.setDifferenceReference(false, -1, "");
    tools.setDifference(given.difference);
}

void LiveRun::saveKeptReference() const {
    std::string error;
    if (!options.saveReference.empty() &&
        !saveReference(options.saveReference, view->tools().reference(), error)) {
        throw HostError("--save-reference: " + error);
    }
}

void LiveRun::report(Console& console) const {
    const std::string reading = view->cursorText();
    if (!reading.empty()) {
        console.out << "cursor: " << reading << "\n";
    }
    if (view->tools().difference()) {
        const std::string problem = view->tools().differenceProblem();
        console.out << "difference: "
                    << (problem.empty() ? view->tools().differenceAgainst() : problem) << "\n";
    }
    if (group) {
        console.out << "group " << options.group << ": " << group->members() << " members";
        const std::string note = group->note();
        console.out << (note.empty() ? std::string() : ", " + note) << "\n";
        const std::string nearest = pointerIn ? group->nearest(*view, pointerX, pointerY) : "";
        if (!nearest.empty()) {
            console.out << "nearest member: " << nearest << "\n";
        }
    }
    if (options.stats) {
        const double audioSeconds = static_cast<double>(feed->position()) / rate;
        console.out << stats.line(audioSeconds, queue.dropped(),
                                  1000.0 / framesPerSecondOfChoice(updateRate));
    }
}

} // namespace vex::host

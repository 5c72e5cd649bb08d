// The plug-in under the threads a real host runs it on. The host's rules: an audio object
// is used by one audio thread at a time (a worker pool may hand it from one worker to the
// other between blocks), a display object by the user-interface thread. Nothing else is
// shared between objects except what the library sets up once for the process (the
// factory, the transform and window tables, the shared drawing objects), and that set-up
// must be safe whichever thread comes first. Built with ThreadSanitizer (the linux-tsan
// preset), any data race here fails the run; elsewhere the results are checked against the
// same work done afterwards on one thread.
#include "framework/display/display_timer.h"
#include "host/kit/module_library.h"
#include "platform/gdiplus.h"
#include "tests/hardening/hardening_support.h"
#include "tests/support/temp_paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#ifndef _WIN32
#include <stdlib.h>
#endif
#include <thread>
#include <vector>

namespace vex::test {
namespace {

constexpr std::int32_t kBlock = 512;
// Blocks each audio object processes; each object is handed to the other worker after
// every block.
constexpr std::int32_t kRounds = 40;
constexpr std::int32_t kAudioWorkers = 2;
// Object o runs in mode kObjectModes[o] (0 scope, 1 linear, 2 log) at kObjectRates[o].
constexpr std::int32_t kObjectCount = 4;
constexpr std::int32_t kObjectModes[kObjectCount] = {0, 1, 2, 2};
constexpr float kObjectRates[kObjectCount] = {48000.0f, 44100.0f, 48000.0f, 44100.0f};
// Threads that only make and end objects of both kinds while the others run, and how many
// lives each makes.
constexpr std::int32_t kLifeThreads = 2;
constexpr std::int32_t kLives = 12;
// Ticks of the display timer the user-interface thread waits for.
constexpr std::int32_t kTicks = 5;
constexpr std::int32_t kSurfaceWidth = 160;
constexpr std::int32_t kSurfaceHeight = 100;

using Frame = std::vector<std::uint8_t>;

// Both input signals of object `object` for the block starting at sample `start`.
void fillBlock(std::int32_t object, std::int64_t start, std::vector<float>& a,
               std::vector<float>& b) {
    const double step = 0.013 * static_cast<double>(object + 1);
    for (std::int32_t i = 0; i < kBlock; ++i) {
        const double n = static_cast<double>(start + i);
        a[static_cast<std::size_t>(i)] = static_cast<float>(0.8 * std::sin(step * n));
        b[static_cast<std::size_t>(i)] = static_cast<float>(0.5 * std::cos(0.31 * step * n));
    }
}

// The events of an object's first block: both inputs streaming, and its mode.
void firstEvents(Events& events, std::int32_t object) {
    events.streaming(kAudioSignalAPin, true)
        .streaming(kAudioSignalBPin, true)
        .integer(kAudioModePin, kObjectModes[object]);
}

// The display pins every display here gets; the mode is the one its frames have.
void setUpDisplay(DisplaySide& display, std::int32_t mode) {
    display.integer(kDisplayModePin, mode);
    display.text(kDisplayTrace1Pin, u"0xFF00FF00");
    display.text(kDisplayTrace2Pin, u"0xFF00FF00");
    display.text(kDisplayBackgroundPin, u"RGB(0,0,40)");
}

// Lets every thread start its work at the same moment, so that the first uses of the
// library's process-wide set-up overlap.
class StartGate {
public:
    void open() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            opened = true;
        }
        changed.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return opened; });
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool opened = false;
};

// The audio workers meet here after each round, as a host's worker pool does between
// blocks: what one worker did to an object happens before the other takes it over.
class RoundBarrier {
public:
    explicit RoundBarrier(std::int32_t parties) : parties(parties) {}
    void arriveAndWait() {
        std::unique_lock<std::mutex> lock(mutex);
        const std::int64_t round = generation;
        if (++arrived == parties) {
            arrived = 0;
            ++generation;
            changed.notify_all();
            return;
        }
        changed.wait(lock, [&] { return generation != round; });
    }

private:
    const std::int32_t parties;
    std::mutex mutex;
    std::condition_variable changed;
    std::int32_t arrived = 0;
    std::int64_t generation = 0;
};

// Frames on their way from the audio threads to the user-interface thread.
class FrameMailbox {
public:
    struct Delivery {
        std::int32_t object;
        Frame bytes;
    };
    void post(std::int32_t object, Frame bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        waiting.push_back(Delivery{object, std::move(bytes)});
    }
    std::vector<Delivery> takeAll() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Delivery> taken;
        taken.swap(waiting);
        return taken;
    }

private:
    std::mutex mutex;
    std::vector<Delivery> waiting;
};

// A client of the shared display timer that counts its ticks and notes any that arrive on
// another thread than the one it joined on.
class TickCounter final : public DisplayTimerClient {
public:
    TickCounter() : owner(std::this_thread::get_id()) {}
    bool onTimer() override {
        ++ticks;
        if (std::this_thread::get_id() != owner) {
            ++foreignTicks;
        }
        return true;
    }
    const std::thread::id owner;
    std::int32_t ticks = 0;
    std::int32_t foreignTicks = 0;
};

// What the user-interface thread saw.
struct InterfaceResult {
    std::int32_t framesTaken = 0;
    std::int32_t paints = 0;
    std::int32_t failedPaints = 0;
    std::int32_t ticks = 0;
    std::int32_t foreignTicks = 0;
    // The last picture of each object's display.
    std::vector<std::uint32_t> pictures[kObjectCount];
};

// What one thread that makes and ends objects saw.
struct LifeResult {
    std::int32_t factoryFailures = 0;
    std::int32_t wrongFrames = 0;
    std::int32_t failedPaints = 0;
    std::int32_t paintedLives = 0;
};

class HostThreads : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host::startGdiplus());
        ASSERT_TRUE(library.load(host::defaultModulePath())) << library.error();
    }

    // The factory as a host's thread gets it: through the library's entry point.
    FactoryInterface* factoryOnThisThread() {
        void* out = nullptr;
        if (library.getFactory(&out) != kMpOk || out == nullptr) {
            return nullptr;
        }
        return static_cast<FactoryInterface*>(static_cast<UnknownInterface*>(out));
    }

    // One audio worker: makes its share of the objects, then processes, round after round,
    // the objects the pool gives it this round, and ends the objects it holds at the end.
    void audioWorker(std::int32_t worker, StartGate& gate, RoundBarrier& barrier,
                     std::unique_ptr<AudioSide> (&objects)[kObjectCount],
                     std::vector<Frame> (&sent)[kObjectCount], FrameMailbox& mailbox) {
        gate.wait();
        FactoryInterface* factory = factoryOnThisThread();
        for (std::int32_t o = worker; o < kObjectCount; o += kAudioWorkers) {
            if (factory == nullptr) {
                break;
            }
            auto side = std::make_unique<AudioSide>(factory, kObjectRates[o]);
            if (side->module != nullptr && side->module->open() == kMpOk) {
                side->host.onPinSend = [o, &sent, &mailbox](std::int32_t, std::int32_t pin,
                                                            const void* data, std::int32_t size) {
                    if (pin != kAudioFramePin || size <= 0) {
                        return;
                    }
                    const auto* bytes = static_cast<const std::uint8_t*>(data);
                    sent[o].emplace_back(bytes, bytes + size);
                    mailbox.post(o, sent[o].back());
                };
                objects[o] = std::move(side);
            }
        }
        barrier.arriveAndWait();
        std::vector<float> a(kBlock), b(kBlock);
        for (std::int32_t round = 0; round < kRounds; ++round) {
            for (std::int32_t o = 0; o < kObjectCount; ++o) {
                if ((o + round) % kAudioWorkers != worker || !objects[o]) {
                    continue;
                }
                Events events;
                if (round == 0) {
                    firstEvents(events, o);
                }
                fillBlock(o, static_cast<std::int64_t>(round) * kBlock, a, b);
                objects[o]->process(kBlock, a.data(), b.data(), &events);
            }
            barrier.arriveAndWait();
        }
        // The objects this worker processed last end here.
        for (std::int32_t o = 0; o < kObjectCount; ++o) {
            if ((o + kRounds - 1) % kAudioWorkers == worker) {
                objects[o].reset();
            }
        }
    }

    // The user-interface thread: one display per audio object takes that object's frames
    // through its pins and paints whenever new ones came; the shared display timer ticks in
    // this thread's message loop. Ends when the audio is done, every frame is shown and the
    // timer has ticked kTicks times.
    void interfaceThread(StartGate& gate, FrameMailbox& mailbox, const std::atomic<bool>& audioDone,
                         InterfaceResult& result) {
        gate.wait();
        FactoryInterface* factory = factoryOnThisThread();
        if (factory == nullptr) {
            return;
        }
        std::unique_ptr<DisplaySide> displays[kObjectCount];
        std::unique_ptr<host::PaintSurface> surfaces[kObjectCount];
        for (std::int32_t o = 0; o < kObjectCount; ++o) {
            displays[o] = std::make_unique<DisplaySide>(factory);
            if (!displays[o]->ready()) {
                return;
            }
            setUpDisplay(*displays[o], kObjectModes[o]);
            surfaces[o] = std::make_unique<host::PaintSurface>(kSurfaceWidth, kSurfaceHeight);
        }
        {
            // Why the timer is driven here rather than through the library: the analyzer's
            // display paints into the host's surface and never joins the timer, so the
            // timer's code runs as a windowed display runs it, on this thread, while the
            // library's objects run on the others.
            TickCounter counter;
            setTimerInterval(USER_TIMER_MINIMUM);
            counter.startTimer();
            // Without a running timer (SetTimer failed) no tick will come; the check of the
            // tick count below then fails instead of this loop waiting for good.
            const std::int32_t ticksWanted =
                SharedDisplayTimer::instance().getTimerId() != 0 ? kTicks : 0;
            for (;;) {
                const bool lastCall = audioDone.load();
                bool dirty[kObjectCount] = {};
                for (FrameMailbox::Delivery& delivery : mailbox.takeAll()) {
                    displays[delivery.object]->frame(0, delivery.bytes);
                    dirty[delivery.object] = true;
                    ++result.framesTaken;
                }
                bool worked = false;
                for (std::int32_t o = 0; o < kObjectCount; ++o) {
                    if (dirty[o]) {
                        surfaces[o]->fill(0);
                        ++result.paints;
                        result.failedPaints += displays[o]->paint(*surfaces[o]) == kMpOk ? 0 : 1;
                        worked = true;
                    }
                }
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                    DispatchMessageW(&message);
                    worked = true;
                }
                if (lastCall && !worked && counter.ticks >= ticksWanted) {
                    break;
                }
                if (!worked) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
            counter.stopTimer();
            result.ticks = counter.ticks;
            result.foreignTicks = counter.foreignTicks;
        }
        for (std::int32_t o = 0; o < kObjectCount; ++o) {
            result.pictures[o] = surfaces[o]->pixels();
            displays[o].reset();
        }
    }

    // Makes and ends objects of both kinds: each life gets the factory, runs an audio
    // object until its first frame, and shows that frame in a display that paints once.
    void lifeThread(std::int32_t thread, StartGate& gate, LifeResult& result) {
        gate.wait();
        std::vector<float> a(kBlock), b(kBlock);
        for (std::int32_t life = 0; life < kLives; ++life) {
            FactoryInterface* factory = factoryOnThisThread();
            if (factory == nullptr) {
                ++result.factoryFailures;
                continue;
            }
            const std::int32_t mode = (life + thread) % 3;
            Frame frame;
            {
                AudioSide audio(factory, life % 2 == 0 ? 48000.0f : 44100.0f);
                if (audio.module == nullptr || audio.module->open() != kMpOk) {
                    ++result.factoryFailures;
                    continue;
                }
                Events events;
                events.streaming(kAudioSignalAPin, true).streaming(kAudioSignalBPin, true);
                events.integer(kAudioModePin, mode);
                // Until the first frame with content (an empty value may come first).
                for (std::int32_t block = 0; block < 16 && audio.last.empty(); ++block) {
                    fillBlock(life % kObjectCount, static_cast<std::int64_t>(block) * kBlock, a, b);
                    audio.process(kBlock, a.data(), b.data(), &events);
                }
                frame = audio.last;
            }
            if (frame.size() != static_cast<std::size_t>(payloadSize(mode))) {
                ++result.wrongFrames;
            }
            DisplaySide display(factory);
            if (!display.ready()) {
                ++result.factoryFailures;
                continue;
            }
            setUpDisplay(display, mode);
            display.frame(0, frame);
            host::PaintSurface surface(48, 32);
            if (display.paint(surface) == kMpOk) {
                ++result.paintedLives;
            } else {
                ++result.failedPaints;
            }
        }
    }

    // The whole pattern: every thread started at once, then the results checked against the
    // same work done on this thread alone.
    void runHostThreads() {
        std::unique_ptr<AudioSide> objects[kObjectCount];
        std::vector<Frame> sent[kObjectCount];
        FrameMailbox mailbox;
        StartGate gate;
        RoundBarrier barrier(kAudioWorkers);
        std::atomic<bool> audioDone{false};
        InterfaceResult shown;
        LifeResult lives[kLifeThreads];

        std::vector<std::thread> audioThreads;
        for (std::int32_t w = 0; w < kAudioWorkers; ++w) {
            audioThreads.emplace_back(
                [&, w] { audioWorker(w, gate, barrier, objects, sent, mailbox); });
        }
        std::thread userInterface([&] { interfaceThread(gate, mailbox, audioDone, shown); });
        std::vector<std::thread> lifeThreads;
        for (std::int32_t t = 0; t < kLifeThreads; ++t) {
            lifeThreads.emplace_back([&, t] { lifeThread(t, gate, lives[t]); });
        }
        gate.open();
        for (std::thread& t : audioThreads) {
            t.join();
        }
        audioDone.store(true);
        userInterface.join();
        for (std::thread& t : lifeThreads) {
            t.join();
        }

        // The objects made and ended on their own threads all worked.
        for (std::int32_t t = 0; t < kLifeThreads; ++t) {
            EXPECT_EQ(lives[t].factoryFailures, 0) << "thread " << t;
            EXPECT_EQ(lives[t].wrongFrames, 0) << "thread " << t;
            EXPECT_EQ(lives[t].failedPaints, 0) << "thread " << t;
            EXPECT_EQ(lives[t].paintedLives, kLives) << "thread " << t;
        }

        // Every frame reached its display, every paint succeeded, and the timer ticked on the
        // thread that joined it only.
        std::int32_t frames = 0;
        for (const auto& list : sent) {
            frames += static_cast<std::int32_t>(list.size());
        }
        EXPECT_EQ(shown.framesTaken, frames);
        EXPECT_GT(shown.paints, 0);
        EXPECT_EQ(shown.failedPaints, 0);
        EXPECT_GE(shown.ticks, kTicks);
        EXPECT_EQ(shown.foreignTicks, 0);
        EXPECT_EQ(SharedDisplayTimer::instance().getTimerId(), 0u) << "the timer stops when idle";

        // The same work on this thread alone gives the same frames, byte for byte, and the same
        // last pictures, pixel for pixel: the tables and drawing objects the threads set up
        // together are the ones one thread sets up.
        FactoryInterface* factory = library.factory();
        std::vector<float> a(kBlock), b(kBlock);
        for (std::int32_t o = 0; o < kObjectCount; ++o) {
            AudioSide audio(factory, kObjectRates[o]);
            ASSERT_NE(audio.module, nullptr);
            ASSERT_EQ(audio.module->open(), kMpOk);
            std::vector<Frame> expected;
            audio.host.onPinSend = [&expected](std::int32_t, std::int32_t pin, const void* data,
                                               std::int32_t size) {
                if (pin == kAudioFramePin && size > 0) {
                    const auto* bytes = static_cast<const std::uint8_t*>(data);
                    expected.emplace_back(bytes, bytes + size);
                }
            };
            for (std::int32_t round = 0; round < kRounds; ++round) {
                Events events;
                if (round == 0) {
                    firstEvents(events, o);
                }
                fillBlock(o, static_cast<std::int64_t>(round) * kBlock, a, b);
                audio.process(kBlock, a.data(), b.data(), &events);
            }
            ASSERT_GE(expected.size(), 2u) << "object " << o;
            EXPECT_EQ(expected.front().size(),
                      static_cast<std::size_t>(payloadSize(kObjectModes[o])));
            EXPECT_TRUE(sent[o] == expected) << "object " << o << ": frames differ";

            DisplaySide display(factory);
            ASSERT_TRUE(display.ready());
            setUpDisplay(display, kObjectModes[o]);
            display.frame(0, expected.back());
            host::PaintSurface surface(kSurfaceWidth, kSurfaceHeight);
            surface.fill(0);
            ASSERT_EQ(display.paint(surface), kMpOk);
            EXPECT_GT(greenPixels(surface), 100) << "object " << o << ": the trace is painted";
            EXPECT_TRUE(surface.pixels() == shown.pictures[o])
                << "object " << o << ": pictures differ";
        }
    }

    host::ModuleLibrary library;
};

TEST_F(HostThreads, AudioOnTwoWorkersDisplaysOnTheirThreadAndObjectsMadeEverywhere) {
    runHostThreads();
}

// The same threads on a machine whose fonts have no "Arial" and nothing standing in for it:
// every display then falls back to the process-wide sans-serif family, whose first use
// comes from several threads at once. Natively only, with a font configuration of its own
// (set before anything in the process reads one); Windows always has Arial.
class HostThreadsWithoutArial : public HostThreads {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "Windows (and wine's prefix) always has Arial";
#else
        const std::filesystem::path folder = fonts.path;
        std::filesystem::create_directories(folder / "cache");
        std::ofstream file(folder / "fonts.conf");
        file << "<?xml version=\"1.0\"?>\n"
                "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                "<fontconfig>\n"
                "  <dir>/usr/share/fonts/truetype/liberation</dir>\n"
                "  <cachedir>"
             << (folder / "cache").string()
             << "</cachedir>\n"
                "  <alias binding=\"strong\"><family>sans-serif</family>"
                "<prefer><family>Liberation Sans</family></prefer></alias>\n"
                "</fontconfig>\n";
        file.close();
        ASSERT_TRUE(file.good());
        setenv("FONTCONFIG_FILE", (folder / "fonts.conf").c_str(), 1);
        HostThreads::SetUp();
        gdip::GpFontFamily* arial = nullptr;
        if (gdip::GdipCreateFontFamilyFromName(u"Arial", nullptr, &arial) == gdip::Ok) {
            gdip::GdipDeleteFontFamily(arial);
            GTEST_SKIP() << "fontconfig was set up earlier in this process; run this case in a "
                            "process of its own";
        }
#endif
    }
    TempPath fonts{"fonts"};
};

TEST_F(HostThreadsWithoutArial, EveryDisplayFallsBackToTheSharedFamilyOnEveryThread) {
    runHostThreads();
}

} // namespace
} // namespace vex::test

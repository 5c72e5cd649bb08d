// The real vexhost live on SDL's offscreen video driver: the picture after a second of a
// 1 kHz sine and of a 100 Hz one in the fine analysis, its labels at scale 2, the cursor
// readout of a pointer position sent to the window, the difference of filtered noise against
// the noise, the capture device, and a JACK graph's signal client connected to vexhost:a at
// start through a private JACK server.
#include "host/kit/group/group_segment.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/label_height.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vex::host {
namespace {

// A process this test started, with extra environment; ended by its process id (asked,
// then killed) when the object goes, also when an assertion fails, and killed by the
// system when the test's process dies first.
class Process {
public:
    Process(std::vector<std::string> args, std::vector<std::string> environment,
            const std::string& log) {
        const pid_t parent = getpid();
        pid = fork();
        if (pid == 0) {
            // Why: a test process killed before its cleanup takes what it started along,
            // rather than leaving a JACK server that holds its name.
            if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
                _exit(127);
            }
            for (std::string& entry : environment) {
                putenv(entry.data());
            }
            // Why stdout truncates and then appends: written at its own offset, its output
            // would land over what stderr wrote first.
            if (freopen(log.c_str(), "w", stdout) == nullptr ||
                freopen(log.c_str(), "a", stdout) == nullptr ||
                freopen(log.c_str(), "a", stderr) == nullptr) {
                _exit(127);
            }
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Process() {
        if (pid > 0 && !finished) {
            kill(pid, SIGTERM);
            if (!waitFor(std::chrono::seconds(5))) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Waits up to `limit` for the process to end; true when it did.
    bool waitFor(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!finished) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                finished = true;
            } else if (std::chrono::steady_clock::now() > until) {
                return false;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return true;
    }
    int exitStatus() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

private:
    pid_t pid = -1;
    int status = 0;
    bool finished = false;
};

std::string readText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Polls `done` every 50 ms for up to `limit`.
template <typename Condition> bool poll(std::chrono::milliseconds limit, Condition done) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

const std::vector<std::string> kHeadless = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"};

// The default trace colour of signal A.
constexpr std::uint32_t kTraceA = 0x48E6A0u;

using Picture = test::Screenshot;

Picture load(const std::string& path) {
    Picture picture;
    EXPECT_TRUE(picture.load(path.c_str())) << path;
    return picture;
}

// The highest row of signal A's trace in the picture (-1 when none), and the columns where
// it reaches it.
struct TraceTop {
    std::int32_t row = -1;
    std::vector<std::int32_t> columns;
};

TraceTop traceTop(const Picture& picture) {
    TraceTop top;
    for (std::int32_t y = 0; y < picture.height && top.columns.empty(); ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            if (picture.rgb(x, y) == kTraceA) {
                top.columns.push_back(x);
                top.row = y;
            }
        }
    }
    return top;
}

// Signal A's pane in the 640 x 360 window the tests open, labels on, signals not split: 20
// pixels left and above for the labels, 5 right and below.
struct Pane {
    std::int32_t left = 20, top = 20, right = 635, bottom = 355;
};
constexpr Pane kPane;

// The column of `hertz` in the log view: its 528 points span 11 octaves from 10 Hz, point k
// at x = left + 1 + k (w - 1) / 528.
std::int32_t logColumn(double hertz) {
    const double point = 48.0 * std::log2(hertz / 10.0);
    return kPane.left + 1 + static_cast<std::int32_t>(point * (kPane.right - kPane.left - 1) / 528);
}

// A folder of the test's own, with the places of its screenshot and log.
struct Folder {
    Folder() { std::filesystem::create_directories(folder.path); }
    test::TempPath folder{"vex-live"};
    std::string dir = folder.path.string();
    std::string shot = dir + "/shot.png";
    std::string log = dir + "/live.log";
};

// Waits up to 60 s for `process` to end; a failure, with its log, unless it ended with
// `status`.
::testing::AssertionResult endsWith(Process& process, const std::string& log, int status) {
    if (!process.waitFor(std::chrono::seconds(60))) {
        return ::testing::AssertionFailure() << "still running after 60 s\n" << readText(log);
    }
    if (process.exitStatus() != status) {
        return ::testing::AssertionFailure()
               << "status " << process.exitStatus() << ", not " << status << "\n"
               << readText(log);
    }
    return ::testing::AssertionSuccess();
}

TEST(LiveProgram, AfterOneSecondOfAKilohertzSineThePeakStandsOnTheKilohertzLine) {
    const Folder folder;
    const std::string& shot = folder.shot;
    const std::string& log = folder.log;
    Process live({VEX_VEXHOST, "live", "sine:1000@0.5", "--view", "log", "--no-peak-hold",
                  "--screenshot", shot, "--after", "1"},
                 kHeadless, log);
    ASSERT_TRUE(endsWith(live, log, 0));
    const Picture picture = load(shot);
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 360);
    const auto [top, columns] = traceTop(picture);
    const Pane pane = kPane;
    const std::int32_t kilohertz = logColumn(1000.0);
    ASSERT_GE(top, pane.top) << "no trace drawn";
    EXPECT_LT(top, pane.top + (pane.bottom - pane.top) / 3) << "the peak is too low";
    EXPECT_LE(columns.front(), kilohertz + 1);
    EXPECT_GE(columns.back(), kilohertz - 1);
    EXPECT_LE(columns.back() - columns.front(), 6) << "a peak, not a plateau";
}

TEST(LiveProgram, TheFineAnalysisPutsAHundredHertzPeakOnItsLine) {
    const Folder folder;
    const std::string& shot = folder.shot;
    const std::string& log = folder.log;
    Process live({VEX_VEXHOST, "live", "sine:100@0.5", "--view", "log", "--analysis", "fine",
                  "--no-peak-hold", "--screenshot", shot, "--after", "1.5"},
                 kHeadless, log);
    ASSERT_TRUE(endsWith(live, log, 0));
    const auto [top, columns] = traceTop(load(shot));
    ASSERT_GE(top, kPane.top) << "no trace drawn";
    // The module's own frames put this peak well below 100 Hz (the frames test).
    EXPECT_LE(columns.front(), logColumn(100.0) + 1);
    EXPECT_GE(columns.back(), logColumn(100.0) - 1);
}

TEST(LiveProgram, APointerPositionSentToTheWindowReadsHertzNoteAndLevel) {
    const Folder folder;
    const std::string& shot = folder.shot;
    const std::string& log = folder.log;
    // Column 391, row 130 of a 640 x 360 log view: worked out in the axes test. The scene
    // (a sweep with its peak-hold trail, a second voice) is the README's picture.
    Process live({VEX_VEXHOST, "live", "sweep:100-10k@0.5", "sine:3000@0.2", "--follow",
                  "--duration", "2", "--screenshot", shot, "--after", "0.8", "--mouse", "391,130"},
                 kHeadless, log);
    ASSERT_TRUE(endsWith(live, log, 0));
    EXPECT_NE(readText(log).find("cursor: 1001 Hz  B5 +24c  -18.2 dB\n"), std::string::npos)
        << readText(log);
    // The crosshair runs along the pointer's row, which is the -20 grid line's: that line
    // reads lighter than the -40 line (row 20 + trunc(2 * 335 * 0.27027026 + 335 * 0.06)
    // = 221) in the same column, away from any trace.
    const Picture picture = load(shot);
    EXPECT_NE(picture.rgb(100, 130), picture.rgb(100, 221));
    EXPECT_EQ(picture.rgb(100, 221), picture.rgb(100, 311)); // -40 and -60: plain grid
    // The README's picture of the live window is this screenshot
    // (VEX_DOCS_SCREENSHOT=docs/live.png to refresh it).
    if (const char* docs = std::getenv("VEX_DOCS_SCREENSHOT")) {
        std::filesystem::copy_file(shot, docs, std::filesystem::copy_options::overwrite_existing);
    }
}

// --scale 2 doubles the window and paints the display at twice the pixels: its labels over
// the plot (the 20 rows above signal A's pane, between its sides) twice as tall, within a
// pixel. A factor outside 1 to 4 is taken as 1, and said.
TEST(LiveProgram, AtScaleTwoTheLabelsAreTwiceAsTall) {
    const Folder folder;
    std::int32_t heights[3] = {};
    const char* const scales[3] = {"1", "2", "9"};
    for (int i = 0; i < 3; ++i) {
        const std::string shot = folder.dir + "/scale" + scales[i] + ".png";
        Process live({VEX_VEXHOST, "live", "sine:1000@0.5", "--no-peak-hold", "--scale", scales[i],
                      "--screenshot", shot, "--after", "0.2"},
                     kHeadless, folder.log);
        ASSERT_TRUE(endsWith(live, folder.log, 0)) << "--scale " << scales[i];
        const Picture picture = load(shot);
        const std::int32_t scale = i == 1 ? 2 : 1;
        ASSERT_EQ(picture.width, 640 * scale) << "--scale " << scales[i];
        ASSERT_EQ(picture.height, 360 * scale) << "--scale " << scales[i];
        heights[i] = test::labelInkHeight(picture.pixels, picture.width, kPane.left * scale, 0,
                                          kPane.right * scale, kPane.top * scale);
        if (i == 2) {
            EXPECT_NE(readText(folder.log).find("--scale 9 is outside 1 to 4: taken as 1"),
                      std::string::npos)
                << readText(folder.log);
        }
    }
    ASSERT_GE(heights[0], 6) << "no labels over the plot";
    EXPECT_NEAR(heights[1], 2 * heights[0], 1);
    EXPECT_EQ(heights[2], heights[0]);
}

// A peaking filter of `gainDb` at `centre` hertz with quality `q` at `rate` (the audio EQ
// cookbook's biquad, normalised by a0).
struct Peaking {
    Peaking(double centre, double gainDb, double q, double rate) {
        const double amp = std::pow(10.0, gainDb / 40.0);
        const double w0 = 2.0 * M_PI * centre / rate;
        const double alpha = std::sin(w0) / (2.0 * q);
        const double a0 = 1.0 + alpha / amp;
        b[0] = (1.0 + alpha * amp) / a0;
        b[1] = -2.0 * std::cos(w0) / a0;
        b[2] = (1.0 - alpha * amp) / a0;
        a[1] = -2.0 * std::cos(w0) / a0;
        a[2] = (1.0 - alpha / amp) / a0;
    }
    // Direct form I, one sample.
    double operator()(double x) {
        const double y = b[0] * x + b[1] * x1 + b[2] * x2 - a[1] * y1 - a[2] * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    // |H| at `hz` in dB.
    double gainDbAt(double hz, double rate) const {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * hz / rate);
        const std::complex<double> z2 = z1 * z1;
        return 20.0 *
               std::log10(std::abs((b[0] + b[1] * z1 + b[2] * z2) / (1.0 + a[1] * z1 + a[2] * z2)));
    }
    double b[3] = {};
    double a[3] = {1.0, 0.0, 0.0};
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};

TEST(LiveProgram, TheDifferenceUnderThePointerReadsTheFiltersGain) {
    const Folder folder;
    const std::string input = folder.dir + "/noise.wav";
    // White noise as A, the same noise through +6 dB at 1 kHz (Q 1) as B: 12 s, of which
    // the window averages the first 10.
    Peaking filter(1000.0, 6.0, 1.0, 48000.0);
    {
        std::mt19937 random(35);
        std::vector<float> samples;
        for (int i = 0; i < 12 * 48000; ++i) {
            const double noise = 0.5 * (static_cast<double>(random()) / 4294967296.0 - 0.5);
            samples.push_back(static_cast<float>(noise));
            samples.push_back(static_cast<float>(filter(noise)));
        }
        test::writeWav(input, 48000, 2, samples);
    }
    // The pointer over 1 kHz, on the +6 dB row of the difference's scale (0 dB in the middle
    // of the pane, +-30 dB at its edges), where the README's picture shows the readout.
    const std::int32_t row = (kPane.top + kPane.bottom) / 2 - (kPane.bottom - kPane.top) / 10;
    const std::string pointer = std::to_string(logColumn(1000.0)) + "," + std::to_string(row);
    Process live({VEX_VEXHOST, "live", input, "--view", "log", "--analysis", "fine", "--difference",
                  "--no-peak-hold", "--mouse", pointer, "--screenshot", folder.shot, "--after",
                  "10"},
                 kHeadless, folder.log);
    ASSERT_TRUE(endsWith(live, folder.log, 0));
    const std::string log = readText(folder.log);
    // "cursor: 1.00 kHz  +6.0 dB B−A": the frequency read and the difference there.
    const std::size_t at = log.find("cursor: ");
    ASSERT_NE(at, std::string::npos) << log;
    const std::string bMinusA = "B\xE2\x88\x92"
                                "A"; // with U+2212
    double hz = 0.0;
    char unit[4] = {};
    double db = 0.0;
    int read = 0;
    ASSERT_EQ(std::sscanf(log.c_str() + at, ("cursor: %lf %3s %lf dB " + bMinusA + "%n").c_str(),
                          &hz, unit, &db, &read),
              3)
        << log;
    ASSERT_GT(read, 0) << log;
    hz *= std::string(unit) == "kHz" ? 1000.0 : 1.0;
    EXPECT_NEAR(hz, 1000.0, 30.0) << log;
    EXPECT_NEAR(db, filter.gainDbAt(hz, 48000.0), 1.0) << log;
    EXPECT_NE(log.find("difference: " + bMinusA + "\n"), std::string::npos) << log;
    // The README's picture of the difference (VEX_DOCS_DIFFERENCE=docs/difference.png).
    if (const char* docs = std::getenv("VEX_DOCS_DIFFERENCE")) {
        std::filesystem::copy_file(folder.shot, docs,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

TEST(LiveProgram, ADifferenceAgainstALabelNoMemberHasSaysSo) {
    const Folder folder;
    // Group 3 of a scope of this test's own, its segment removed afterwards.
    const std::string scope = "live_difference_" + std::to_string(getpid());
    struct Segment {
        std::string name;
        ~Segment() { shm_unlink(name.c_str()); }
    };
    setenv("VEX_GROUP_SCOPE", scope.c_str(), 1);
    const Segment segment{group::segmentName(3)};
    unsetenv("VEX_GROUP_SCOPE");
    std::vector<std::string> environment = kHeadless;
    environment.push_back("VEX_GROUP_SCOPE=" + scope);
    Process live({VEX_VEXHOST, "live", "noise", "--group", "3", "--difference-against", "Kick",
                  "--duration", "0.5"},
                 environment, folder.log);
    ASSERT_TRUE(endsWith(live, folder.log, 0));
    EXPECT_NE(readText(folder.log).find("difference: no member is labelled Kick\n"),
              std::string::npos)
        << readText(folder.log);

    // Outside a group there is no member to name.
    Process alone(
        {VEX_VEXHOST, "live", "noise", "--difference-against", "Kick", "--duration", "0.5"},
        kHeadless, folder.log);
    ASSERT_TRUE(endsWith(alone, folder.log, 2));
    EXPECT_NE(readText(folder.log).find("--difference-against names a group's member"),
              std::string::npos)
        << readText(folder.log);
}

TEST(LiveProgram, AScreenshotThatCannotBeWrittenIsAnErrorWhileTheAudioRuns) {
    const Folder folder;
    const std::string& log = folder.log;
    const std::string shot = folder.dir + "/missing/shot.png";
    Process live({VEX_VEXHOST, "live", "sine:1000", "--screenshot", shot, "--after", "0.1"},
                 kHeadless, log);
    ASSERT_TRUE(endsWith(live, log, 2));
    EXPECT_NE(readText(log).find("vexhost: error: "), std::string::npos) << readText(log);
}

TEST(LiveProgram, TheCaptureDeviceFeedsSignalAFromItsFirstChannel) {
    const Folder folder;
    const std::string& shot = folder.shot;
    const std::string& log = folder.log;
    const std::string input = folder.dir + "/capture.raw";
    // What SDL's disk driver captures: 32-bit floats, two channels interleaved, 48 kHz; a
    // 1 kHz sine on the first channel, silence on the second. Why ten seconds: SDL reads
    // the file at its own pace, so a window thread that a busy machine holds back for
    // seconds after the first one still shows the tone rather than the silence past its end.
    {
        std::ofstream file(input, std::ios::binary);
        for (int i = 0; i < 10 * 48000; ++i) {
            const float frame[2] = {
                0.5f * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * i / 48000.0)), 0.0f};
            file.write(reinterpret_cast<const char*>(frame), sizeof(frame));
        }
    }
    Process live(
        {VEX_VEXHOST, "live", "--capture", "--no-peak-hold", "--screenshot", shot, "--after", "1"},
        {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILEIN=" + input}, log);
    ASSERT_TRUE(endsWith(live, log, 0));
    const auto [top, columns] = traceTop(load(shot));
    const Pane pane = kPane;
    ASSERT_GE(top, pane.top) << "no trace drawn";
    EXPECT_LT(top, pane.top + (pane.bottom - pane.top) / 3) << "the peak is too low";
    EXPECT_LE(columns.front(), logColumn(1000.0) + 1);
    EXPECT_GE(columns.back(), logColumn(1000.0) - 1);
}

// The JACK server name of the running test in this build tree. Why not the process id: a
// run killed before its cleanup leaves JACK's registry entry for its server's name (one of
// JACK's few server slots) and its socket, which only a later server of the same name
// takes over. This name is the same in every run of the test and differs between tests
// and build trees, so runs beside each other never share a server.
std::string jackServerName() {
    const std::string key = std::string(VEX_VEXHOST) + "|" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::uint64_t hash = 14695981039346656037ull; // 64-bit FNV-1a
    for (const unsigned char c : key) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char text[32];
    std::snprintf(text, sizeof(text), "vex-live-%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// A private JACK server on the dummy driver, ended by its process id (or with the test's
// process when that is killed).
struct JackServer {
    explicit JackServer(const std::string& folder)
        : name(jackServerName()),
          environment({"JACK_DEFAULT_SERVER=" + name, "JACK_NO_START_SERVER=1"}), folder(folder),
          server({"jackd", "--no-realtime", "-n", name, "-d", "dummy", "-r", "48000", "-p", "256"},
                 environment, folder + "/jackd.log") {}
    // Runs a JACK tool against this server; true when it exits with 0.
    bool tool(std::vector<std::string> args, const std::string& log) const {
        Process process(std::move(args), environment, log);
        return process.waitFor(std::chrono::seconds(10)) && process.exitStatus() == 0;
    }
    // Waits up to 20 s for the server to answer; false when it did not or it ended (the
    // name taken by a server still running, for one: jackd.log says).
    bool ready() {
        const auto ended = [&] { return server.waitFor(std::chrono::milliseconds(0)); };
        return poll(std::chrono::seconds(20),
                    [&] { return ended() || tool({"jack_lsp"}, folder + "/lsp.log"); }) &&
               !ended();
    }
    std::string name;
    std::vector<std::string> environment;
    std::string folder;
    Process server;
};

TEST(LiveProgram, AJackSignalClientConnectedToPortAShowsInThePicture) {
    const Folder folder;
    const std::string& dir = folder.dir;
    JackServer jack(dir);
    ASSERT_TRUE(jack.ready()) << readText(dir + "/jackd.log");

    // The JACK example client plays a 240 Hz sine (a 200-sample table at 48 kHz). Once
    // active it connects its output to the system's playback, and it stays until ended: its
    // port carries the tone before vexhost starts.
    Process sine({"jack_simple_client"}, jack.environment, dir + "/sine.log");
    ASSERT_TRUE(poll(std::chrono::seconds(20), [&] {
        return jack.tool({"jack_lsp", "-c", "jack_simple_client:output1"},
                         dir + "/sine-port.log") &&
               readText(dir + "/sine-port.log").find("system:playback_1") != std::string::npos;
    })) << readText(dir + "/sine.log");

    // Why --connect: the two seconds of audio count from the connection on, however slowly
    // this machine starts the program.
    std::vector<std::string> environment = jack.environment;
    environment.insert(environment.end(), kHeadless.begin(), kHeadless.end());
    const std::string shot = dir + "/shot.png";
    const std::string log = dir + "/live.log";
    Process live({VEX_VEXHOST, "live", "--jack", "1", "--connect", "jack_simple_client:output1",
                  "--no-peak-hold", "--screenshot", shot, "--after", "2"},
                 environment, log);
    ASSERT_TRUE(endsWith(live, log, 0));

    const auto [top, columns] = traceTop(load(shot));
    const Pane pane = kPane;
    ASSERT_GE(top, pane.top) << "no trace drawn";
    EXPECT_LT(top, pane.top + (pane.bottom - pane.top) / 2) << "no tone in the picture";
    // 240 Hz lies between the columns of 200 Hz and 300 Hz.
    EXPECT_GT(columns.front(), logColumn(200.0));
    EXPECT_LT(columns.back(), logColumn(300.0));
}

TEST(LiveProgram, APortToConnectThatTheJackGraphLacksIsAnError) {
    const Folder folder;
    const std::string& dir = folder.dir;
    JackServer jack(dir);
    ASSERT_TRUE(jack.ready()) << readText(dir + "/jackd.log");
    std::vector<std::string> environment = jack.environment;
    environment.insert(environment.end(), kHeadless.begin(), kHeadless.end());
    const std::string log = dir + "/live.log";
    Process live(
        {VEX_VEXHOST, "live", "--jack", "1", "--connect", ",nobody:out", "--duration", "1"},
        environment, log);
    ASSERT_TRUE(endsWith(live, log, 2));
    EXPECT_NE(readText(log).find("no port 'nobody:out'"), std::string::npos) << readText(log);
}

} // namespace
} // namespace vex::host

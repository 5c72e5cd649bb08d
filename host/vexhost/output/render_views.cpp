#include "host/vexhost/output/render_views.h"

#include "analyzer/audio/analyzer_messages.h"

#include "host/vexhost/output/offline_run.h"
#include "host/vexhost/output/png_writer.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace vex::host {

namespace {

Picture grab(const PaintSurface& surface) {
    return Picture{surface.width(), surface.height(), surface.pixels()};
}

// Encodes pictures as PNG files on worker threads while the caller paints the next ones,
// and writes them into the batch one at a time in the order they were given.
// Why: encoding costs several times a paint; on its own thread a run uses every core.
class PngPipeline {
public:
    PngPipeline(OutputBatch& outputBatch, unsigned workers)
        : batch(outputBatch), limit(2 * std::max(workers, 1u)) {
        for (unsigned i = 0; i < std::max(workers, 1u); ++i) {
            threads.emplace_back([this] { work(); });
        }
    }
    // Stops the workers; pictures not yet written are dropped.
    ~PngPipeline() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    PngPipeline(const PngPipeline&) = delete;
    PngPipeline& operator=(const PngPipeline&) = delete;

    // Queues `picture` as file `name`, waiting while the workers are behind. Throws the
    // first error met so far.
    void submit(std::string name, Picture picture) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return queue.size() < limit || failure; });
        if (failure) {
            std::rethrow_exception(failure);
        }
        queue.push_back(Job{submitted++, std::move(name), std::move(picture)});
        changed.notify_all();
    }

    // Waits until every queued picture is written. Throws the first error met.
    void finish() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return written == submitted; });
        if (failure) {
            std::rethrow_exception(failure);
        }
    }

private:
    struct Job {
        std::int64_t order;
        std::string name;
        Picture picture;
    };

    void work() {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stopping || !queue.empty(); });
                if (stopping) {
                    return;
                }
                job = std::move(queue.front());
                queue.pop_front();
            }
            changed.notify_all();
            std::vector<std::uint8_t> png;
            std::exception_ptr error;
            try {
                png = encodePng(job.picture.pixels, job.picture.width, job.picture.height);
            } catch (...) {
                error = std::current_exception();
            }
            bool failed = false;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stopping || written == job.order; });
                if (stopping) {
                    return;
                }
                failed = failure != nullptr;
            }
            // Only the worker holding the next picture in order gets here: the batch is
            // written by one thread at a time.
            if (!failed && !error) {
                try {
                    batch.write(job.name, png);
                } catch (...) {
                    error = std::current_exception();
                }
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (error && !failure) {
                    failure = error;
                }
                ++written;
            }
            changed.notify_all();
        }
    }

    OutputBatch& batch;
    const std::size_t limit;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> queue;
    std::int64_t submitted = 0;
    std::int64_t written = 0; // pictures done, written or not: the next order to write
    bool stopping = false;
    std::exception_ptr failure;
    std::vector<std::thread> threads;
};

} // namespace

Picture renderView(Session& session, std::int32_t mode, const DisplayLook& look, double atSeconds,
                   double sessionSeconds, Progress& progress) {
    DisplaySession display(session.factory(), mode, look, session.voiceCount(),
                           session.sampleRate());
    auto engine = session.makeEngine(mode, sessionSeconds, [&](const SentFrame& frame) {
        display.deliverFrame(frame.voice, frame.bytes, frame.size, frame.sample);
    });
    runWithProgress(*engine, session.sampleCount(atSeconds), progress);
    PaintSurface surface(look.width, look.height);
    display.paint(surface, engine->position());
    return grab(surface);
}

Picture composeSheet(const std::vector<Picture>& views, std::uint32_t background,
                     std::int32_t gap) {
    Picture sheet;
    sheet.width = gap;
    for (const Picture& view : views) {
        sheet.width += view.width + gap;
        sheet.height = std::max(sheet.height, view.height + 2 * gap);
    }
    sheet.pixels.assign(static_cast<std::size_t>(sheet.width) * sheet.height, background);
    std::int32_t left = gap;
    for (const Picture& view : views) {
        for (std::int32_t y = 0; y < view.height; ++y) {
            for (std::int32_t x = 0; x < view.width; ++x) {
                // Source over the sheet, premultiplied.
                const std::uint32_t s = view.pixels[static_cast<std::size_t>(y) * view.width + x];
                std::uint32_t& d =
                    sheet.pixels[static_cast<std::size_t>(y + gap) * sheet.width + left + x];
                const std::uint32_t keep = 255u - (s >> 24);
                std::uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const std::uint32_t channel =
                        ((s >> shift) & 0xFFu) + (((d >> shift) & 0xFFu) * keep + 127u) / 255u;
                    out |= std::min(channel, 255u) << shift;
                }
                d = out;
            }
        }
        left += view.width + gap;
    }
    return sheet;
}

std::int32_t animateView(Session& session, std::int32_t mode, const DisplayLook& look,
                         double seconds, OutputBatch& batch, Progress& progress) {
    const std::int32_t fps = framesPerSecondOfChoice(session.options().rate);
    const auto ticks = static_cast<std::int64_t>(std::floor(seconds * fps + 1e-9));
    DisplaySession display(session.factory(), mode, look, session.voiceCount(),
                           session.sampleRate());
    auto engine = session.makeEngine(mode, seconds, [&](const SentFrame& frame) {
        display.deliverFrame(frame.voice, frame.bytes, frame.size, frame.sample);
    });
    const std::int64_t block = engine->settings().blockSize;
    PaintSurface surface(look.width, look.height);
    PngPipeline pipeline(batch, std::min(std::thread::hardware_concurrency(), 4u));
    for (std::int64_t tick = 1; tick <= ticks; ++tick) {
        // Ticks fall on block boundaries, so every block has the chosen size.
        const std::int64_t due = std::llround(static_cast<double>(tick) * session.sampleRate() /
                                              static_cast<double>(fps));
        engine->runTo((due + block - 1) / block * block);
        display.paint(surface, engine->position());
        char name[32];
        std::snprintf(name, sizeof(name), "frame-%05lld.png", static_cast<long long>(tick));
        pipeline.submit(name, grab(surface));
        progress.update(static_cast<double>(tick) / static_cast<double>(ticks));
    }
    pipeline.finish();
    progress.finish();
    return fps;
}

} // namespace vex::host

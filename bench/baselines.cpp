// Baseline timings of the frame path.
#include "baselines.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "camera_records/console_block.h"

namespace kestrom::bench {

namespace {

using Clock = std::chrono::steady_clock;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The median of several batches, so that one preemption does not move the figure.
template <typename Batch>
double medianOfBatches(int batches, int perBatch, Batch batch) {
    std::vector<double> results;
    for (int b = 0; b < batches; ++b) {
        auto start = Clock::now();
        batch(perBatch);
        results.push_back(micros(Clock::now() - start) / perBatch);
    }
    std::sort(results.begin(), results.end());
    return results[results.size() / 2];
}

}  // namespace

double memcpyMicros() {
    std::vector<std::uint8_t> from(frame_block::kSize, 0x5A), to(frame_block::kSize);
    volatile std::uint8_t sink = 0;
    double result = medianOfBatches(9, 20000, [&](int n) {
        for (int i = 0; i < n; ++i) {
            from[static_cast<std::size_t>(i) % frame_block::kSize] = static_cast<std::uint8_t>(i);
            std::memcpy(to.data(), from.data(), frame_block::kSize);
            sink = sink + to[static_cast<std::size_t>(i) % frame_block::kSize];
        }
    });
    return result;
}

double threadHandoffMicros() {
    std::mutex mutex;
    std::condition_variable requestCv, answerCv;
    long requests = 0, answers = 0;
    bool stop = false;
    // Each side notifies after it has let go of the lock, as the synchronised call does.
    std::thread answerer([&] {
        long seen = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex);
                requestCv.wait(lock, [&] { return requests != seen || stop; });
                if (stop) return;
                seen = requests;
                answers = seen;
            }
            answerCv.notify_one();
        }
    });
    double result = medianOfBatches(9, 5000, [&](int n) {
        for (int i = 0; i < n; ++i) {
            long asked;
            {
                std::lock_guard lock(mutex);
                asked = ++requests;
            }
            requestCv.notify_one();
            std::unique_lock lock(mutex);
            answerCv.wait(lock, [&] { return answers == asked; });
        }
    });
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    requestCv.notify_one();
    answerer.join();
    return result;
}

}  // namespace kestrom::bench

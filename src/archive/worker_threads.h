// The worker threads of an encrypted combine or split: how many (one a core, no more
// than there are volumes, and at most kMaxWorkers, so that the blocks in flight, two a
// worker at the most, stay bounded on a machine of many cores: 128 MiB with 4 MiB
// blocks), and their start and stop.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace zrk {

inline constexpr uint32_t kMaxWorkers = 16;

inline uint32_t workerCount(uint32_t volumes) {
    uint32_t cores = std::thread::hardware_concurrency();
    if (cores > kMaxWorkers) cores = kMaxWorkers;
    return cores < volumes ? cores : volumes;
}

// Runs `work(worker)` on a thread of each worker (Worker has a std::thread `thread`);
// however the caller leaves, sets `stop` in Shared (under its `lock`), wakes
// `toWorkers` and joins every thread before the workers or the shared state go.
template <class Shared, class Worker> class WorkerThreads {
public:
    WorkerThreads(Shared& shared, std::vector<std::unique_ptr<Worker>>& workers)
        : shared_(shared), workers_(workers) {}
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    ~WorkerThreads() { stopAll(); }

    // Starts as many threads as the system gives and keeps only the workers that got
    // one; returns how many that is.
    template <class Work> size_t start(Work& work) {
        size_t started = 0;
        for (auto& w : workers_) {
            try {
                w->thread = std::thread(work, std::ref(*w));
            } catch (const std::system_error&) {
                break;
            }
            ++started;
        }
        workers_.resize(started);
        return started;
    }

    void stopAll() {
        {
            std::lock_guard<std::mutex> hold(shared_.lock);
            shared_.stop = true;
        }
        shared_.toWorkers.notify_all();
        for (auto& w : workers_)
            if (w->thread.joinable()) w->thread.join();
    }

private:
    Shared& shared_;
    std::vector<std::unique_ptr<Worker>>& workers_;
};

} // namespace zrk

#include "engine/Parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// Below this many items a thread costs more than it saves.
constexpr size_t kMinItemsPerThread = 2048;
constexpr int kMaxThreads = 16;

std::atomic<int> configuredThreads{0};

}  // namespace

int workerThreads() {
    const int configured = configuredThreads.load();
    if (configured > 0) {
        return configured;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores), 1, kMaxThreads);
}

void setWorkerThreads(int threads) {
    configuredThreads.store(std::clamp(threads, 0, kMaxThreads));
}

void parallelFor(size_t count, const std::function<void(size_t, size_t)>& work) {
    const size_t byWork = std::max<size_t>(1, count / kMinItemsPerThread);
    const size_t threads = std::min(static_cast<size_t>(workerThreads()), byWork);
    if (threads <= 1) {
        work(0, count);
        return;
    }
    const size_t chunk = (count + threads - 1) / threads;
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) {
        const size_t begin = std::min(count, t * chunk);
        const size_t end = std::min(count, begin + chunk);
        helpers.emplace_back(work, begin, end);
    }
    work(0, std::min(count, chunk));
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

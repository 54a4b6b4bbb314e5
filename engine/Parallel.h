#pragma once
// Splitting independent work over the machine's cores. Callers write each item's result to its
// own slot, so the split never changes a result: one thread and many give the same output.
#include <cstddef>
#include <functional>

// Threads parallelFor uses: the configured count, else the machine's cores (at least 1).
int workerThreads();
// 0 restores the machine's core count; tests pin 1 or more to compare splits.
void setWorkerThreads(int threads);

// Calls work(begin, end) on consecutive ranges covering [0, count), one range per thread; small
// counts run on the calling thread alone.
void parallelFor(size_t count, const std::function<void(size_t begin, size_t end)>& work);

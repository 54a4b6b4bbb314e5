#pragma once
// The process-wide switches tests pin (worker threads, search path), set for one scope and put
// back when it ends, also when an assertion leaves the scope early.
#include "engine/Parallel.h"
#include "engine/SearchPath.h"

// Pins the threads parallelFor uses; back to the machine's cores afterwards.
class ScopedWorkerThreads {
  public:
    explicit ScopedWorkerThreads(int threads) { setWorkerThreads(threads); }
    ~ScopedWorkerThreads() { setWorkerThreads(0); }
    ScopedWorkerThreads(const ScopedWorkerThreads&) = delete;
    ScopedWorkerThreads& operator=(const ScopedWorkerThreads&) = delete;
};

// Selects the placement searches' implementation; the previous one afterwards.
class ScopedSearchPath {
  public:
    explicit ScopedSearchPath(SearchPath path) : previous_(searchPath()) { setSearchPath(path); }
    ~ScopedSearchPath() { setSearchPath(previous_); }
    ScopedSearchPath(const ScopedSearchPath&) = delete;
    ScopedSearchPath& operator=(const ScopedSearchPath&) = delete;

  private:
    SearchPath previous_;
};

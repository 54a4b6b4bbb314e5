#pragma once
// Loading the plug-in's shared library: the one place that knows the operating system's loader.
#include <string>

#include "AE_Effect.h"

namespace sim {

class Library {
  public:
    Library() = default;
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Opens the library and finds its exported EntryPointFunc; throws std::runtime_error with
    // the loader's message when either fails.
    PF_FilterProc open(const std::string& path);
    void close();

  private:
    void* handle_ = nullptr;
};

}  // namespace sim

#include "engine/SearchPath.h"

#include <atomic>

namespace {

std::atomic<SearchPath> current{SearchPath::Fast};

}  // namespace

SearchPath searchPath() {
    return current.load();
}

void setSearchPath(SearchPath path) {
    current.store(path);
}

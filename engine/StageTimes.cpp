#include "engine/StageTimes.h"

#include <array>
#include <atomic>

namespace {

std::array<std::atomic<long long>, kStageCount> spentNanoseconds{};

}  // namespace

const char* stageName(Stage stage) {
    static const char* const names[kStageCount] = {"tables",   "image", "sites", "assignment",
                                                   "rotation", "sizes", "scale", "opacity",
                                                   "offsets",  "keys",  "ease"};
    return names[static_cast<int>(stage)];
}

double stageSeconds(Stage stage) {
    return spentNanoseconds[static_cast<int>(stage)].load() * 1e-9;
}

void resetStageTimes() {
    for (auto& spent : spentNanoseconds) {
        spent.store(0);
    }
}

void addStageTime(Stage stage, std::chrono::steady_clock::duration spent) {
    spentNanoseconds[static_cast<int>(stage)] +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count();
}

#include "engine/StageTimes.h"

#include <array>
#include <atomic>

namespace {

std::array<std::atomic<long long>, kStageCount> spentNanoseconds{};
std::array<std::atomic<long long>, kAssignmentSolverCount> served{};

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
    for (auto& count : served) {
        count.store(0);
    }
}

void addStageTime(Stage stage, std::chrono::steady_clock::duration spent) {
    spentNanoseconds[static_cast<int>(stage)] +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count();
}

void countAssignmentSolver(AssignmentSolver solver) {
    ++served[static_cast<int>(solver)];
}

long long assignmentsServed(AssignmentSolver solver) {
    return served[static_cast<int>(solver)].load();
}

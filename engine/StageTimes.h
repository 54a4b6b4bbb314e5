#pragma once
// Wall-clock time spent in each stage of a run, summed over runs until reset. Benchmarks read
// it; a run pays two clock reads per stage and frame.
#include <chrono>

enum class Stage {
    Tables,
    Image,
    Sites,
    Assignment,
    Rotation,
    Sizes,
    Scale,
    Opacity,
    Offsets,
    Keys,
    Ease
};
constexpr int kStageCount = static_cast<int>(Stage::Ease) + 1;

const char* stageName(Stage stage);
double stageSeconds(Stage stage);
void resetStageTimes();
void addStageTime(Stage stage, std::chrono::steady_clock::duration spent);

// Which solver served each layer assignment, counted like the times (resetStageTimes clears
// them too): the near-pairs solver is meant to serve spread starts, and falling back to the
// dense one costs far more time without changing a result.
enum class AssignmentSolver { StartsAlike, NearPairs, Auction, Dense };
constexpr int kAssignmentSolverCount = static_cast<int>(AssignmentSolver::Dense) + 1;
void countAssignmentSolver(AssignmentSolver solver);
long long assignmentsServed(AssignmentSolver solver);

// Adds the time from construction to destruction to a stage.
class StageTimer {
  public:
    explicit StageTimer(Stage stage) : stage_(stage), start_(std::chrono::steady_clock::now()) {}
    ~StageTimer() { addStageTime(stage_, std::chrono::steady_clock::now() - start_); }
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;

  private:
    Stage stage_;
    std::chrono::steady_clock::time_point start_;
};

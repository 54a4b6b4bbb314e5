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

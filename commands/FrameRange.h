#pragma once
// Which frames a Create run evaluates, from the Frames to Render choice.
#include <cstdint>
#include <vector>

#include "A.h"

// Frames of one run: the numbers to evaluate in run order, and the range they came from.
struct FramePlan {
    int32_t firstFrame = 0;
    int32_t endFrame = 0;  // one past the last frame number
    int64_t count = 0;     // frames the run will evaluate
    std::vector<int32_t> frames;
};

// The frame a host time falls on: the integer part of (seconds / frameSeconds + 0.5).
int32_t frameNumberOf(const A_Time& t, double frameSeconds);

FramePlan planCurrentFrame(int32_t currentFrame);
// Every interval-th frame of the work area [startFrame, startFrame + durationFrames).
FramePlan planEveryXFrames(int32_t startFrame, int32_t durationFrames, int32_t interval);
// One frame per marker, in the host's order; empty when there are no markers.
FramePlan planMarkers(const std::vector<int32_t>& markerFrames);

#include "commands/FrameRange.h"

#include <cassert>
#include <cstddef>

int32_t frameNumberOf(const A_Time& t, double frameSeconds) {
    // The integer part of the sum, as the host's own rounding of a time to its frame (stored
    // projects rely on it, so not lround).
    return static_cast<int32_t>(  // NOLINT(bugprone-incorrect-roundings)
        double(t.value) / double(t.scale) / frameSeconds + 0.5);
}

FramePlan planCurrentFrame(int32_t currentFrame) {
    FramePlan plan;
    plan.firstFrame = currentFrame;
    plan.endFrame = currentFrame + 1;
    plan.count = 1;
    plan.frames = {currentFrame};
    return plan;
}

FramePlan planEveryXFrames(int32_t startFrame, int32_t durationFrames, int32_t interval) {
    assert(interval >= 1);
    FramePlan plan;
    plan.firstFrame = startFrame;
    plan.endFrame = startFrame + durationFrames;
    // The count is known before any frame is listed, so a run that is too long is refused
    // without building a huge list.
    plan.count = durationFrames > 0 ? (int64_t(durationFrames) + interval - 1) / interval : 0;
    if (plan.count <= 0) {
        return plan;
    }
    for (int64_t f = startFrame; f < plan.endFrame && int64_t(plan.frames.size()) < plan.count;
         f += interval) {
        plan.frames.push_back(static_cast<int32_t>(f));
    }
    return plan;
}

FramePlan planMarkers(const std::vector<int32_t>& markerFrames) {
    FramePlan plan;
    plan.count = int64_t(markerFrames.size());
    if (markerFrames.empty()) {
        return plan;
    }
    plan.firstFrame = markerFrames.front();
    plan.endFrame = markerFrames.back() + 1;
    // The run visits markers from the first while the frame lies before the range's end, so
    // two markers on one frame evaluate it twice.
    for (std::size_t m = 0; m < markerFrames.size() && markerFrames[m] < plan.endFrame; ++m) {
        plan.frames.push_back(markerFrames[m]);
    }
    return plan;
}

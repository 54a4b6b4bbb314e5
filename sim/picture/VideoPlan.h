#pragma once
// The video a run writes: file, format, size, frame rate and the stretch of time it shows.
#include <string>

#include "sim/model/Model.h"

namespace sim {

enum class VideoFormat { Mp4, Gif };

// The video to write.
struct VideoPlan {
    std::string file;
    VideoFormat format = VideoFormat::Mp4;
    int width = 0, height = 0;
    Time frameDuration;  // exact: one frame lasts value / scale seconds
    double start = 0.0;  // seconds
    int frames = 0;
    double timeOf(int frame) const { return start + frame * frameDuration.seconds(); }
};

}  // namespace sim

#pragma once
// The video options of `tessaron run` and the video they ask for, checked against the scene's
// composition and the file system before the run starts.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sim/model/Model.h"
#include "sim/picture/VideoPlan.h"

namespace sim {

// Bad video options: one line naming what is wrong. The CLI exits with code 2.
struct VideoError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The options as given.
struct VideoArgs {
    std::string file;                                // --video
    std::optional<double> fps;                       // --fps
    std::optional<std::pair<int, int>> size;         // --size WxH
    std::optional<double> scale;                     // --scale
    std::optional<std::pair<double, double>> range;  // --range start,end (seconds)
    std::vector<std::string> given;                  // the option names seen, for messages
};

// Reads the video option at argv[i] and its value (advancing i); false when argv[i] is not a
// video option. Throws VideoError for a malformed value.
bool readVideoOption(const std::vector<std::string>& argv, size_t& i, VideoArgs& args);

// The plan for the options against the composition: by default the composition's frame rate
// and size over the work area. Nothing when no --video was given. Throws VideoError for options
// without --video, --size with --scale, an unknown file type, a file that cannot be written
// (missing folders are fine: they are made), a range outside the composition, or a size or rate
// the format cannot take. Creates nothing.
std::optional<VideoPlan> planVideo(const VideoArgs& args, const Comp& comp);

}  // namespace sim

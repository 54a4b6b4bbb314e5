#pragma once
// `tessaron run --video`: the composition's animation rendered frame by frame and encoded.
#include <functional>
#include <ostream>
#include <string>

#include "sim/model/Model.h"
#include "sim/picture/Render.h"
#include "sim/picture/VideoPlan.h"

namespace sim {

// Renders the plan's frames and writes the video. The file appears only when complete (it is
// written under another name and renamed); on failure nothing is left and std::runtime_error
// says why. progress, when given, gets one line rewritten as frames are done.
void writeVideo(const Project& project, const VideoPlan& plan, const RenderOptions& options,
                int sourceLayerId, std::ostream* progress);

// The frames of a plan as they are rendered, for checks and benchmarks.
Picture videoFrame(FrameRenderer& renderer, const VideoPlan& plan, int frame);

}  // namespace sim

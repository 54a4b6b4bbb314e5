#pragma once
// One run of a scene, as `tessaron run` does it: load the plug-in, apply the effect, perform the
// scene's actions and write result.json (and preview pictures).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/core/Host.h"
#include "sim/result/Result.h"
#include "sim/scene/Scene.h"
#include "sim/cli/VideoArgs.h"

namespace sim {

struct RunOptions {
    std::string plugin;     // path of the plug-in library
    std::string outDir;     // result.json and previews go here
    bool previews = true;   // frame_NNNN.png and preview.png
    int previewFrames = 0;  // extra evenly spaced work-area frames
    bool paths = false;     // draw Position paths on the previews
    bool echoInfo = false;  // Info panel lines and shown messages to stderr as they come

    std::optional<VideoPlan> video;  // the animation as a video, progress on stderr
    bool printSummary = false;       // the run's one-line summary to stderr at the end
    double previewScale = 1.0;       // of the frame pictures, to the composition's size
};

// Performs the run on a host that has the plug-in loaded or attached: applies the effect and
// the scene's parameters, performs the actions and sends Global Setdown. Throws SceneError for
// a bad parameter setting. A plug-in that registers no parameters (it declined the host's API
// version) gets neither the parameters nor the Create and set actions. Returns false when a
// command returned an error.
bool performScene(Host& host, const Scene& scene);

// Loads the plug-in, performs the scene and writes the outputs (nothing when the scene is bad):
// the earlier run's result.json and pictures are removed, then the previews and the video are
// written, each whole or not at all, and result.json last, naming them; returns what
// performScene returned.
bool runScene(const Scene& scene, const RunOptions& options);

// Whether a name in the output folder is one a run gives its pictures: frame_NNNN.png (as the
// run writes a frame number, "frame_0012.png", "frame_-003.png"), preview.png.
bool isPictureName(const std::string& name);

// The id of the Source layer: the first layer parameter's choice (the effect's own layer when
// it holds "myself", 0 when it holds none).
int sourceLayerId(Host& host);

// Preview times: the frames the run keyed (at most 12, evenly chosen) or the current time, plus
// `extra` evenly spaced work-area frames.
std::vector<double> previewTimes(const Project& before, const Project& after, int extra);

}  // namespace sim

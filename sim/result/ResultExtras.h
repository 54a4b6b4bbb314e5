#pragma once
// Parts of result.json that say what the user would see after a run (format in
// docs/scene-format.md): the parameters' state and a summary of each evaluated frame.
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/result/FrameSummary.h"
#include "sim/model/Model.h"

namespace sim {

class Host;

// Every registered parameter but group ends, in order: its index, name (a button's label when
// it has none), its value at the current time in the form a scene sets it, and whether the host
// shows it greyed out ("disabled") or not at all ("hidden").
nlohmann::ordered_json paramStateJson(Host& host);

// "frames": a summary of each frame at which the run placed layers (see FrameSummary.h), and the
// one line the command line prints for the run. info is what the Info panel showed, in order:
// the plug-in's own "Empty cells: N" report of each frame of its last run is taken from it.
// Frames are turned into JSON one at a time, as result.json is written.
struct RunSummary {
    const Comp* comp = nullptr;  // the project after the run, for the layers' names
    std::vector<FrameSummary> frames;
    std::vector<std::optional<int>> emptyCells;  // as reported, one per frame
    std::string line;
    nlohmann::ordered_json frameJson(size_t i) const;  // result.json's entry of frame i
};
RunSummary summariseRun(const Project& before, const Project& after, int sourceLayerId,
                        const std::vector<std::string>& info = {});

}  // namespace sim

#pragma once
// Parts of result.json that say what the user would see after a run (format in
// docs/scene-format.md): the parameters' state and a summary of each evaluated frame.
#include <string>

#include <nlohmann/json.hpp>

#include "sim/Model.h"

namespace sim {

class Host;

// Every registered parameter but group ends, in order: its index, name (a button's label when
// it has none), its value at the current time in the form a scene sets it, and whether the host
// shows it greyed out ("disabled") or not at all ("hidden").
nlohmann::ordered_json paramStateJson(Host& host);

// "frames": a summary of each frame the run wrote keys at (see FrameSummary.h), and the one line
// the command line prints for the run.
struct RunSummary {
    nlohmann::ordered_json frames;
    std::string line;
};
RunSummary summariseRun(const Project& before, const Project& after, int sourceLayerId);

}  // namespace sim

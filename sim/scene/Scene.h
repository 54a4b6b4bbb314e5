#pragma once
// Scene files: a JSON description of a project, the effect's parameter settings and the actions
// of a run (format in docs/scene-format.md). Loading checks everything it can without the
// plug-in; parameter names and popup items are checked when they are applied, after the
// plug-in has registered its parameters.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/model/Model.h"

namespace sim {

// A bad scene: one line naming the file and the field. The CLI exits with code 2.
struct SceneError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One parameter setting, resolved against the plug-in's parameters when applied.
struct ParamSetting {
    std::string name;
    std::string field;  // where it came from, for messages ("layers[0].effects[0].params.Seed")
    nlohmann::ordered_json value;  // a value, or a list of {"time", "value"} keys
};

struct Action {
    enum class Kind { Create, Undo, Set, Time };
    Kind kind = Kind::Create;
    Time time;                         // Kind::Time
    std::vector<ParamSetting> params;  // Kind::Set
    std::string field;
};

struct Scene {
    std::string file;  // the name used in messages
    Project project;
    std::optional<std::pair<short, short>> apiVersion;
    std::vector<std::string> missingSuites;  // suites the host does not have
    int effectLayer = 0;  // 0-based composition index of the layer carrying the effect
    int effectSlot = 0;
    std::vector<ParamSetting> params;
    std::vector<Action> actions;
};

// Reads and checks a scene file; throws SceneError.
Scene loadScene(const std::string& path);
// The same from parsed JSON; file names messages, baseDir resolves image paths.
Scene parseScene(const nlohmann::ordered_json& doc, const std::string& file,
                 const std::string& baseDir);

}  // namespace sim

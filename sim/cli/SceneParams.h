#pragma once
// A scene's parameter settings applied to the simulated host's effect, by the names the plug-in
// registered.
#include <string>
#include <vector>

#include "sim/core/Host.h"
#include "sim/scene/Scene.h"

namespace sim {

// Sets the parameters on the host's effect by the names the plug-in registered; throws
// SceneError naming the file and field for an unknown name, popup item, layer or a bad value.
void applyParams(Host& host, const Scene& scene, const std::vector<ParamSetting>& params);

// Checks the settings as applyParams would, changing nothing: a scene's later settings are
// checked before anything runs.
void checkParams(Host& host, const Scene& scene, const std::vector<ParamSetting>& params);

// Index of the effect's Create button (the first button parameter); SceneError when none.
int createButtonIndex(const Host& host, const std::string& file);

}  // namespace sim

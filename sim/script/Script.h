#pragma once
// The host's scripting engine: runs a script text against the project, as AEGP_ExecuteScript does.
#include <string>

#include "sim/model/Model.h"

namespace sim {

struct Records;

// Runs the script; errors (including those the script swallows) are appended to
// records.scriptErrors. Returns false when the script itself failed to run.
bool executeScript(Project& project, Records& records, const std::string& text);

}  // namespace sim

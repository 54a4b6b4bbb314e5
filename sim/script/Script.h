#pragma once
// The host's scripting engine: runs a script text against the project, as AEGP_ExecuteScript does.
#include <string>

#include "sim/model/Model.h"

namespace sim {

struct Records;

// The effect API version of the host release whose scripting a script meets: the object model
// grows by release (an older one lacks app.project.itemByID, see docs/scene-format.md).
struct ApiVersion {
    short major = 13, minor = 28;
};

// Runs the script as a program in the language of the host's scripting engine (ECMAScript 3
// built-ins only) against the object model of that release; errors (including those the script
// swallows) are appended to records.scriptErrors. Returns false when the script itself failed
// to run; else completion (when given) receives its completion value as a string, the value of
// the last expression statement run ("undefined" when there is none), as the host hands it back.
bool executeScript(Project& project, Records& records, const std::string& text,
                   ApiVersion version = {}, std::string* completion = nullptr);

}  // namespace sim

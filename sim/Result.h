#pragma once
// result.json: what a run left in the project and what the user saw (format in
// docs/scene-format.md). Doubles are written so that they read back bit-exact.
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/Model.h"

namespace sim {

struct Records;

struct RunOutcome {
    const Project& project;
    const Records& records;  // its commands that returned an error become commandErrors
    std::map<std::string, long> leaks;
};

// The host's name of a command ("PF_Cmd_GLOBAL_SETUP"), for messages.
std::string commandName(int cmd);

nlohmann::ordered_json streamJson(const Stream& stream, double seconds);
nlohmann::ordered_json resultJson(const RunOutcome& run);

// Writes DIR/result.json through a temporary file and a rename, so a reader never sees half a
// file; creates DIR when missing. Throws std::runtime_error on failure.
void writeResult(const std::string& dir, const nlohmann::ordered_json& result);

}  // namespace sim

#pragma once
// result.json: what a run left in the project and what the user saw (format in
// docs/scene-format.md). Doubles are written so that they read back bit-exact.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/core/Accounting.h"
#include "sim/model/Model.h"

namespace sim {

struct Records;
struct RunSummary;

struct RunOutcome {
    const Project& project;
    const Records& records;  // its commands that returned an error become commandErrors
    std::map<std::string, long> leaks;
    std::vector<Misuse> misuse;  // handles released twice, not handed out, or used after release
};

// The host's name of a command ("PF_Cmd_GLOBAL_SETUP"), for messages.
std::string commandName(int cmd);

// A property as result.json writes it: its value at a time and its keys, each a short list of
// time, value and an index into the property's shared interpolations and eases.
nlohmann::ordered_json streamJson(const Stream& stream, double seconds);
// The whole document in memory, without params and frames: for small projects.
nlohmann::ordered_json resultJson(const RunOutcome& run);

// result.json as it is written: one member a line, a list one item a line, so that a large
// run never holds the whole document or its text in memory.
class ResultWriter {
  public:
    explicit ResultWriter(std::ostream& out);
    void member(const std::string& name, const nlohmann::ordered_json& value);
    void beginList(const std::string& name);
    void item(const nlohmann::ordered_json& value);
    void endList();
    void finish();

  private:
    void open(const std::string& name);
    std::ostream& out_;
    bool firstMember_ = true;
    bool firstItem_ = true;
};

// Writes DIR/result.json through a temporary file and a rename (OutputFile), so a reader never
// sees half a file; creates DIR when missing. Throws std::runtime_error on failure.
void writeResultFile(const std::string& dir, const std::function<void(ResultWriter&)>& write);
void writeResult(const std::string& dir, const nlohmann::ordered_json& result);
// A run's whole result: resultJson's members, the layers one by one, params and frames, and,
// when given, the files the run wrote beside it ("outputs").
void writeResult(const std::string& dir, const RunOutcome& run,
                 const nlohmann::ordered_json& params, const RunSummary& summary,
                 const nlohmann::ordered_json& outputs = nullptr);

}  // namespace sim

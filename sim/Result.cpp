#include "sim/Result.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "sim/Host.h"

namespace sim {

using Json = nlohmann::ordered_json;

namespace {

const char* interpName(Interp i) {
    switch (i) {
        case Interp::Linear:
            return "linear";
        case Interp::Bezier:
            return "bezier";
        case Interp::Hold:
            return "hold";
    }
    return "unknown";
}

// A value as the scene format writes it: a number for 1-D streams, else a list.
Json valueJson(const Stream& s, const Vec3& v) {
    if (s.dims == 1) return v[0];
    Json list = Json::array();
    for (int i = 0; i < s.dims; ++i) list.push_back(v[size_t(i)]);
    return list;
}

Json easeJson(const std::vector<Ease>& eases) {
    Json list = Json::array();
    for (const Ease& e : eases) list.push_back({{"speed", e.speed}, {"influence", e.influence}});
    return list;
}

Json keyJson(const Stream& s, const Key& k) {
    Json j = {{"time", k.time.seconds()},
              {"timeValue", k.time.value},
              {"timeScale", k.time.scale},
              {"value", valueJson(s, k.value)}};
    if (s.spatial) {
        j["inTangent"] = valueJson(s, k.inTangent);
        j["outTangent"] = valueJson(s, k.outTangent);
    }
    j["interpolation"] = {{"in", interpName(k.inInterp)}, {"out", interpName(k.outInterp)}};
    j["ease"] = {{"in", easeJson(k.inEase)}, {"out", easeJson(k.outEase)}};
    return j;
}

Json layerJson(const Layer& layer, int index, double seconds) {
    Json j = {{"index", index}, {"name", layer.name}, {"motionBlur", layer.motionBlur}};
    j["position"] = streamJson(layer.position, seconds);
    j["scale"] = streamJson(layer.scale, seconds);
    j["rotation"] = streamJson(layer.rotation, seconds);
    j["opacity"] = streamJson(layer.opacity, seconds);
    return j;
}

// Whether each message was shown; messages recorded without that fact count as shown.
Json messagesShown(const Records& records) {
    Json list = Json::array();
    for (size_t i = 0; i < records.messages.size(); ++i)
        list.push_back(i < records.messageShown.size() ? bool(records.messageShown[i]) : true);
    return list;
}

}  // namespace

std::string commandName(int cmd) {
    static const char* const names[] = {"ABOUT",
                                        "GLOBAL_SETUP",
                                        "UNUSED_0",
                                        "GLOBAL_SETDOWN",
                                        "PARAMS_SETUP",
                                        "SEQUENCE_SETUP",
                                        "SEQUENCE_RESETUP",
                                        "SEQUENCE_FLATTEN",
                                        "SEQUENCE_SETDOWN",
                                        "DO_DIALOG",
                                        "FRAME_SETUP",
                                        "RENDER",
                                        "FRAME_SETDOWN",
                                        "USER_CHANGED_PARAM",
                                        "UPDATE_PARAMS_UI",
                                        "EVENT",
                                        "GET_EXTERNAL_DEPENDENCIES",
                                        "COMPLETELY_GENERAL",
                                        "QUERY_DYNAMIC_FLAGS",
                                        "AUDIO_RENDER",
                                        "AUDIO_SETUP",
                                        "AUDIO_SETDOWN",
                                        "ARBITRARY_CALLBACK",
                                        "SMART_PRE_RENDER",
                                        "SMART_RENDER"};
    if (cmd < 0 || size_t(cmd) >= sizeof names / sizeof names[0])
        return "PF_Cmd " + std::to_string(cmd);
    return std::string("PF_Cmd_") + names[cmd];
}

Json streamJson(const Stream& stream, double seconds) {
    Json keys = Json::array();
    for (const Key& k : stream.keys) keys.push_back(keyJson(stream, k));
    return {{"value", valueJson(stream, stream.valueAt(seconds))}, {"keys", keys}};
}

Json resultJson(const RunOutcome& run) {
    const Comp& comp = run.project.comp;
    Json j = {{"messages", run.records.messages},
              {"messagesShown", messagesShown(run.records)},
              {"info", run.records.info},
              {"undoGroups", run.records.undoGroups},
              {"scriptErrors", run.records.scriptErrors},
              {"leaks", run.leaks},
              {"time", comp.currentTime.seconds()}};
    Json errors = Json::array();
    for (const Records::Command& c : run.records.commands) {
        if (c.result != PF_Err_NONE)
            errors.push_back({{"command", commandName(c.cmd)}, {"code", c.result}});
    }
    j["commandErrors"] = errors;
    Json layers = Json::array();
    for (size_t i = 0; i < comp.layers.size(); ++i)
        layers.push_back(layerJson(comp.layers[i], int(i + 1), comp.currentTime.seconds()));
    j["layers"] = layers;
    return j;
}

void writeResult(const std::string& dir, const Json& result) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    const fs::path target = fs::path(dir) / "result.json";
    const fs::path temp = fs::path(dir) / ".result.json.tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << result.dump(2) << '\n';
        if (!out.flush()) throw std::runtime_error(temp.string() + ": cannot be written");
    }
    fs::rename(temp, target);
}

}  // namespace sim

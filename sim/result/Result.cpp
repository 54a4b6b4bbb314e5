#include "sim/result/Result.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "sim/model/OutputFile.h"
#include "sim/model/Records.h"
#include "sim/result/ResultExtras.h"

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

// A key's interpolation and eases, which the keys of a property mostly share.
Json styleJson(const KeyStyle& k) {
    return {{"interpolation", {{"in", interpName(k.inInterp)}, {"out", interpName(k.outInterp)}}},
            {"ease", {{"in", easeJson(k.inEase)}, {"out", easeJson(k.outEase)}}}};
}

bool isZero(const Vec3& v) {
    static const Vec3 zero{0, 0, 0};
    return std::memcmp(&v, &zero, sizeof v) == 0;  // -0.0 is kept
}

// The key's time value on the property's time scale, or [value, scale] on another one.
Json timeJson(const Time& t, uint32_t scale) {
    if (t.scale == scale) return t.value;
    return Json::array({t.value, t.scale});
}

// Each key: [time, value, style], and for Position keys with spatial tangents also
// inTangent and outTangent; styles hold each distinct interpolation and ease once.
void addKeys(const Stream& s, Json& property) {
    const KeyList& list = s.keys;
    const uint32_t scale = list.time(0).scale;
    Json styles = Json::array(), keys = Json::array();
    std::map<std::string, size_t> known;  // a style's text -> its index
    std::vector<size_t> written;          // by the property's style id: its index, or npos
    for (size_t i = 0; i < list.size(); ++i) {
        const uint32_t id = list.styleId(i);
        if (written.size() <= id) written.resize(id + 1, std::string::npos);
        const KeyStyle& k = list.style(i);
        // Styles differing in their tangents only are written once.
        if (written[id] == std::string::npos) {
            Json text = styleJson(k);
            const auto [it, added] = known.emplace(text.dump(), styles.size());
            if (added) styles.push_back(std::move(text));
            written[id] = it->second;
        }
        Json key =
            Json::array({timeJson(list.time(i), scale), valueJson(s, list.value(i)), written[id]});
        if (s.spatial && !(isZero(k.inTangent) && isZero(k.outTangent))) {
            key.push_back(valueJson(s, k.inTangent));
            key.push_back(valueJson(s, k.outTangent));
        }
        keys.push_back(std::move(key));
    }
    property["timeScale"] = scale;
    property["styles"] = std::move(styles);
    property["keys"] = std::move(keys);
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
    Json j = {{"value", valueJson(stream, stream.valueAt(seconds))}};
    if (stream.keys.empty())
        j["keys"] = Json::array();
    else
        addKeys(stream, j);
    return j;
}

namespace {

Json misuseJson(const std::vector<Misuse>& misuse) {
    Json list = Json::array();
    for (const Misuse& m : misuse)
        list.push_back({{"call", m.call}, {"kind", m.kind}, {"problem", m.problem}});
    return list;
}

// Every member but the layers, in the order the file has them.
Json headJson(const RunOutcome& run) {
    Json j = {{"messages", run.records.messages},
              {"messagesShown", messagesShown(run.records)},
              {"info", run.records.info},
              {"undoGroups", run.records.undoGroups},
              {"scriptErrors", run.records.scriptErrors},
              {"leaks", run.leaks},
              {"misuse", misuseJson(run.misuse)},
              {"time", run.project.comp.currentTime.seconds()}};
    Json errors = Json::array();
    for (const Records::Command& c : run.records.commands) {
        if (c.result != PF_Err_NONE)
            errors.push_back({{"command", commandName(c.cmd)}, {"code", c.result}});
    }
    j["commandErrors"] = errors;
    return j;
}

}  // namespace

Json resultJson(const RunOutcome& run) {
    const Comp& comp = run.project.comp;
    Json j = headJson(run);
    Json layers = Json::array();
    for (size_t i = 0; i < comp.layers.size(); ++i)
        layers.push_back(layerJson(comp.layers[i], int(i + 1), comp.currentTime.seconds()));
    j["layers"] = layers;
    return j;
}

ResultWriter::ResultWriter(std::ostream& out) : out_(out) {
    out_ << '{';
}

void ResultWriter::open(const std::string& name) {
    out_ << (firstMember_ ? "\n" : ",\n") << Json(name).dump() << ": ";
    firstMember_ = false;
}

void ResultWriter::member(const std::string& name, const Json& value) {
    open(name);
    out_ << value.dump();
}

void ResultWriter::beginList(const std::string& name) {
    open(name);
    out_ << '[';
    firstItem_ = true;
}

void ResultWriter::item(const Json& value) {
    out_ << (firstItem_ ? "\n  " : ",\n  ") << value.dump();
    firstItem_ = false;
}

void ResultWriter::endList() {
    out_ << (firstItem_ ? "]" : "\n]");
}

void ResultWriter::finish() {
    out_ << "\n}\n";
}

void writeResultFile(const std::string& dir, const std::function<void(ResultWriter&)>& write) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    const fs::path target = fs::path(dir) / "result.json";
    OutputFile file(target);
    file.closeStream();  // written as a C++ stream
    {
        std::ofstream out(file.temporary(), std::ios::trunc);
        ResultWriter writer(out);
        write(writer);
        writer.finish();
        out.close();
        if (!out) throw std::runtime_error("cannot write " + target.string());
    }
    file.commit();
}

void writeResult(const std::string& dir, const Json& result) {
    writeResultFile(dir, [&](ResultWriter& w) {
        for (const auto& [name, value] : result.items()) {
            if (!value.is_array()) {
                w.member(name, value);
                continue;
            }
            w.beginList(name);
            for (const Json& item : value) w.item(item);
            w.endList();
        }
    });
}

void writeResult(const std::string& dir, const RunOutcome& run, const Json& params,
                 const RunSummary& summary, const Json& outputs) {
    const Comp& comp = run.project.comp;
    writeResultFile(dir, [&](ResultWriter& w) {
        const Json head = headJson(run);
        for (const auto& [name, value] : head.items()) w.member(name, value);
        w.beginList("layers");
        for (size_t i = 0; i < comp.layers.size(); ++i)
            w.item(layerJson(comp.layers[i], int(i + 1), comp.currentTime.seconds()));
        w.endList();
        w.beginList("params");
        for (const Json& p : params) w.item(p);
        w.endList();
        w.beginList("frames");
        for (size_t i = 0; i < summary.frames.size(); ++i) w.item(summary.frameJson(i));
        w.endList();
        if (!outputs.is_null()) w.member("outputs", outputs);
    });
}

}  // namespace sim

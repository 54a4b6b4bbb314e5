// Applying a scene's parameter settings by the names the plug-in registered.
#include <cmath>
#include <limits>

#include "sim/core/Host.h"
#include "sim/cli/SceneParams.h"
#include "sim/model/CompTime.h"
#include "sim/model/MessageText.h"
#include "sim/model/ParamText.h"
#include "sim/scene/Scene.h"
#include "sim/scene/SceneReader.h"

namespace sim {

using scene::item;
using scene::Json;
using scene::member;
using scene::Reader;

namespace {

const char* const kSeparator = "(-";

std::string quotedList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) list += (list.empty() ? "\"" : ", \"") + n + "\"";
    return list;
}

// A popup value is its 1-based item number; separators take a number but cannot be chosen.
double popupValue(const Reader& in, const std::string& items, const Json& v, const std::string& f) {
    const std::string& text = in.string(v, f);
    std::vector<std::string> all = popupItems(items), offered;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == kSeparator) continue;
        if (all[i] == text) return double(i + 1);
        offered.push_back(all[i]);
    }
    in.fail(f,
            "unknown item \"" + excerpt(text) + "\" (expected one of " + quotedList(offered) + ")");
}

// A layer parameter holds the chosen layer's id; "None" is 0.
double layerValue(const Reader& in, const Comp& comp, const Json& v, const std::string& f) {
    const std::string& name = in.string(v, f);
    if (name == "None") return 0;
    const Layer* found = nullptr;
    for (const Layer& l : comp.layers) {
        if (l.name != name) continue;
        if (found) in.fail(f, "more than one layer is named \"" + excerpt(name) + "\"");
        found = &l;
    }
    if (!found) in.fail(f, "no layer named \"" + excerpt(name) + "\" (or \"None\")");
    return found->id;
}

// A float slider's range is held in 32-bit floats, so a value is compared at that precision:
// "0.1" is the minimum 0.1f, not a little below it. The value itself is kept as given.
double floatSliderValue(const Reader& in, const PF_FloatSliderDef& def, const Json& v,
                        const std::string& f) {
    const double x = in.number(v, f);
    const bool inside = std::fabs(x) <= std::numeric_limits<float>::max() &&
                        float(x) >= def.valid_min && float(x) <= def.valid_max;
    // Outside at float precision is outside at double precision too: numberIn says why.
    return inside ? x : in.numberIn(v, f, def.valid_min, def.valid_max);
}

double sliderValue(const Reader& in, const PF_ParamDef& def, const Json& v, const std::string& f) {
    switch (def.param_type) {
        case PF_Param_FLOAT_SLIDER:
            return floatSliderValue(in, def.u.fs_d, v, f);
        case PF_Param_SLIDER:
            return in.integerIn(v, f, def.u.sd.valid_min, def.u.sd.valid_max);
        default:  // fixed point: 16 bits whole
            return in.numberIn(v, f, -32768, 32767);
    }
}

double valueOf(const Reader& in, Host& host, int index, const Json& v, const std::string& f) {
    const PF_ParamDef& def = host.paramDefs()[size_t(index)];
    switch (def.param_type) {
        case PF_Param_POPUP:
            return popupValue(in, host.popupTexts()[size_t(index)], v, f);
        case PF_Param_CHECKBOX:
            return in.boolean(v, f) ? 1.0 : 0.0;
        case PF_Param_LAYER:
            return layerValue(in, host.project().comp, v, f);
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_ANGLE:
            return sliderValue(in, def, v, f);
        default:
            in.fail(f, "this parameter cannot be set");
    }
}

bool isKeyList(const Json& v) {
    return v.is_array() && (v.empty() || v[0].is_object());
}

std::vector<std::pair<double, double>> keysOf(const Reader& in, Host& host, int index,
                                              const Json& list, const std::string& f) {
    const PF_ParamDef& def = host.paramDefs()[size_t(index)];
    if ((def.flags & PF_ParamFlag_CANNOT_TIME_VARY) || def.param_type == PF_Param_LAYER)
        in.fail(f, "this parameter cannot vary over time");
    if (list.empty()) in.fail(f, "the list of keys is empty");
    std::vector<std::pair<double, double>> keys;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string g = item(f, i);
        const Json& k = in.objectOf(list[i], g, {"time", "value"});
        double seconds =
            in.time(in.require(k, g, "time"), member(g, "time"), host.project().comp).seconds();
        if (!keys.empty() && seconds <= keys.back().first)
            in.fail(member(g, "time"), "keys must be in time order, one per frame");
        keys.emplace_back(seconds,
                          valueOf(in, host, index, in.require(k, g, "value"), member(g, "value")));
    }
    return keys;
}

int indexOf(const Reader& in, Host& host, const ParamSetting& p) {
    int index = p.name.empty() ? -1 : host.paramIndex(p.name);
    if (index < 1) in.fail(p.field, "unknown parameter (see \"tessaron params\")");
    return index;
}

}  // namespace

void applyParams(Host& host, const Scene& scene, const std::vector<ParamSetting>& params) {
    Reader in(scene.file);
    for (const ParamSetting& p : params) {
        int index = indexOf(in, host, p);
        if (isKeyList(p.value))
            host.setParamKeys(index, keysOf(in, host, index, p.value, p.field));
        else
            host.setParam(index, valueOf(in, host, index, p.value, p.field));
    }
}

void checkParams(Host& host, const Scene& scene, const std::vector<ParamSetting>& params) {
    Reader in(scene.file);
    for (const ParamSetting& p : params) {
        int index = indexOf(in, host, p);
        if (isKeyList(p.value))
            keysOf(in, host, index, p.value, p.field);
        else
            valueOf(in, host, index, p.value, p.field);
    }
}

int createButtonIndex(const Host& host, const std::string& file) {
    const auto& defs = host.paramDefs();
    for (size_t i = 1; i < defs.size(); ++i) {
        if (defs[i].param_type == PF_Param_BUTTON) return int(i);
    }
    throw SceneError(file + ": actions: the plug-in has no button to press for \"create\"");
}

}  // namespace sim

#include <cmath>

#include "sim/core/Host.h"
#include "sim/result/ResultExtras.h"
#include "sim/model/ParamText.h"

namespace sim {

using Json = nlohmann::ordered_json;

namespace {

std::string layerName(Host& host, double id) {
    if (id == 0) return "None";
    const int32_t wanted = id == PF_LayerDefault_MYSELF ? host.effectLayer().id : int32_t(id);
    for (const Layer& l : host.project().comp.layers) {
        if (l.id == wanted) return l.name;
    }
    return "None";
}

// The value as a scene would set it; null for kinds without one.
Json valueJson(Host& host, size_t index, double v) {
    switch (host.paramDefs()[index].param_type) {
        case PF_Param_POPUP: {
            const std::vector<std::string> items = popupItems(host.popupTexts()[index]);
            const long item = std::lround(v);
            return item >= 1 && size_t(item) <= items.size() ? Json(items[size_t(item - 1)])
                                                             : Json(v);
        }
        case PF_Param_CHECKBOX:
            return v != 0.0;
        case PF_Param_LAYER:
            return layerName(host, v);
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_ANGLE:
            return v;
        default:
            return nullptr;
    }
}

}  // namespace

Json paramStateJson(Host& host) {
    Json list = Json::array();
    const auto& defs = host.paramDefs();
    const double now = host.project().comp.currentTime.seconds();
    const auto& stored = host.effect().params;
    for (size_t i = 1; i < defs.size(); ++i) {
        const PF_ParamDef& def = defs[i];
        if (def.param_type == PF_Param_GROUP_END) continue;
        std::string name = def.name;
        if (name.empty() && i < host.popupTexts().size()) name = host.popupTexts()[i];
        Json j = {{"index", i}, {"name", name}};
        const auto it = stored.find(int(i));
        Json value = valueJson(host, i, it == stored.end() ? 0.0 : it->second.at(now));
        if (!value.is_null()) j["value"] = value;
        j["disabled"] = (def.ui_flags & PF_PUI_DISABLED) != 0;
        j["hidden"] = (def.ui_flags & PF_PUI_INVISIBLE) != 0;
        list.push_back(j);
    }
    return list;
}

}  // namespace sim

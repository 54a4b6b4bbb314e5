#include "attributes/LayerStreams.h"

#include <algorithm>

#include "engine/MyTessaron.h"
#include "placement/PreviousKey.h"

A_Err fetchCollageLayer(AEGP_SuiteHandler& suites, const MyTessaron& e, int j, AEGP_LayerH* layer) {
    if (j < 0 || size_t(j) >= e.layerIndices.size()) {
        return A_Err_PARAMETER;
    }
    return suites.LayerSuite7()->AEGP_GetCompLayerByIndex(e.comp, e.layerIndices[j], layer);
}

A_Err ScopedStream::fetch(AEGP_PluginID pluginId, AEGP_LayerH layer, AEGP_LayerStream which) {
    reset();
    return suites_.StreamSuite4()->AEGP_GetNewLayerStream(pluginId, layer, which, &stream_);
}

void ScopedStream::reset() {
    if (stream_) {
        suites_.StreamSuite4()->AEGP_DisposeStream(stream_);
        stream_ = nullptr;
    }
}

A_Err ScopedValue::readAt(AEGP_PluginID pluginId, AEGP_StreamRefH stream, const A_Time& t) {
    reset();
    const A_Err err = suites_.StreamSuite4()->AEGP_GetNewStreamValue(
        pluginId, stream, AEGP_LTimeMode_CompTime, &t, true, &value_);
    held_ = !err;
    return err;
}

A_Err ScopedValue::readKey(AEGP_PluginID pluginId, AEGP_StreamRefH stream, A_long key) {
    reset();
    const A_Err err =
        suites_.KeyframeSuite4()->AEGP_GetNewKeyframeValue(pluginId, stream, key, &value_);
    held_ = !err;
    return err;
}

void ScopedValue::reset() {
    if (held_) {
        suites_.StreamSuite4()->AEGP_DisposeStreamValue(&value_);
        held_ = false;
    }
    value_ = {};
}

std::vector<float> readLayerStreams(const MyTessaron& e, AEGP_LayerStream which,
                                    const std::function<float(AEGP_StreamRefH)>& read) {
    AEGP_SuiteHandler suites(e.inData->pica_basicP);
    std::vector<float> values(size_t(std::max(e.layerCount, 0)), 0.0f);
    A_Err err = A_Err_NONE;
    float last = 0.0f;
    for (size_t j = 0; j < values.size(); ++j) {
        AEGP_LayerH layer = nullptr;
        ScopedStream stream(suites);
        if (!err) {
            err = fetchCollageLayer(suites, e, int(j), &layer);
        }
        if (!err) {
            err = stream.fetch(e.pluginId, layer, which);
        }
        if (!err) {
            last = read(stream.get());
        }
        values[j] = last;
    }
    return values;
}

AEGP_StreamVal2 valueShownAt(const MyTessaron& e, AEGP_StreamRefH stream, A_Time t) {
    AEGP_SuiteHandler suites(e.inData->pica_basicP);
    AEGP_StreamVal2 value = {};
    if (streamValueAt(suites, e.pluginId, stream, t, &value)) {
        return AEGP_StreamVal2{};
    }
    return value;
}

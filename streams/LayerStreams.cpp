#include "streams/LayerStreams.h"

#include <algorithm>

#include "engine/MyTessaron.h"
#include "streams/ParentSpace.h"
#include "streams/PreviousKey.h"

A_Err fetchCollageLayer(AEGP_SuiteHandler& suites, const MyTessaron& e, int j, AEGP_LayerH* layer) {
    if (j < 0 || size_t(j) >= e.layerIndices.size()) {
        return A_Err_PARAMETER;
    }
    return suites.LayerSuite7()->AEGP_GetCompLayerByIndex(e.comp, e.layerIndices[j], layer);
}

namespace {

// Layer's own Rotation or Scale reading `own` as it shows through its parents at t; the reading
// itself without a parent, or after a failure (noted).
float shownReading(AEGP_SuiteHandler& suites, const MyTessaron& e, AEGP_LayerH layer,
                   AEGP_LayerStream which, A_Time t, float own) {
    ParentSpace parent;
    A_Err err = parentSpaceAt(suites, layer, t, &parent);
    if (err) {
        hostFailures().fellBack("reading the layers' parents", err, 1);
    }
    if (err || !parent.parented) {
        return own;
    }
    Own values;
    values.rotation = own;
    if (which == AEGP_LayerStream_SCALE) {
        // The width edge's length on screen depends on the layer's own angle.
        ScopedStream rotation(suites);
        AEGP_StreamVal2 angle = {};
        err = rotation.fetch(e.pluginId, layer, AEGP_LayerStream_ROTATION);
        if (!err) {
            err = streamValueAt(suites, e.pluginId, rotation.get(), t, &angle);
        }
        if (err) {
            hostFailures().fellBack("reading the layers' parents", err, 1);
            return own;
        }
        values.rotation = angle.one_d;
        values.scaleX = own;
        return float(shownValues(parent, values).scale);
    }
    return float(shownValues(parent, values).rotation);
}

}  // namespace

std::vector<float> readLayerStreams(const MyTessaron& e, AEGP_LayerStream which,
                                    const std::function<float(AEGP_StreamRefH)>& read,
                                    const A_Time* shownAt) {
    AEGP_SuiteHandler suites(e.inData->pica_basicP);
    std::vector<float> values(size_t(std::max(e.layerCount, 0)), 0.0f);
    A_Err err = A_Err_NONE;
    float last = 0.0f;
    for (size_t j = 0; j < values.size(); ++j) {
        AEGP_LayerH layer = nullptr;
        ScopedStream stream(suites);
        if (!err) {
            err = fetchCollageLayer(suites, e, int(j), &layer);
            if (!err) {
                err = stream.fetch(e.pluginId, layer, which);
            }
            if (err) {
                hostFailures().fellBack("reading the layers' transform", err,
                                        int(values.size() - j));
            }
        }
        if (!err) {
            last = read(stream.get());
            if (shownAt) {
                last = shownReading(suites, e, layer, which, *shownAt, last);
            }
        }
        values[j] = last;
    }
    return values;
}

AEGP_StreamVal2 valueShownAt(const MyTessaron& e, AEGP_StreamRefH stream, A_Time t) {
    AEGP_SuiteHandler suites(e.inData->pica_basicP);
    AEGP_StreamVal2 value = {};
    if (const A_Err err = streamValueAt(suites, e.pluginId, stream, t, &value)) {
        hostFailures().fellBack("reading a layer's value", err, 1);
        return AEGP_StreamVal2{};
    }
    return value;
}

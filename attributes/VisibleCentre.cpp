#include "attributes/VisibleCentre.h"

#include <cmath>

#include "AEGP_SuiteHandler.h"
#include "engine/MyTessaron.h"
#include "host/Params.h"
#include "streams/LayerStreams.h"
#include "streams/ParentSpace.h"
#include "streams/PreviousKey.h"

Point2D visibleCentreOffset(const A_FloatRect& bounds, const Point2D& anchor, float scaleX,
                            float scaleY, float rotation) {
    const double dx = (0.5 * (bounds.left + bounds.right) - anchor.x) * scaleX / 100.0;
    const double dy = (0.5 * (bounds.top + bounds.bottom) - anchor.y) * scaleY / 100.0;
    const double a = rotation * M_PI / 180.0;
    return Point2D(float(std::cos(a) * dx - std::sin(a) * dy),
                   float(std::sin(a) * dx + std::cos(a) * dy));
}

A_Err anchorPointAt(AEGP_SuiteHandler& suites, const MyTessaron& e, AEGP_LayerH layer, A_Time t,
                    Point2D* anchor) {
    ScopedStream stream(suites);
    AEGP_StreamVal2 value = {};
    A_Err err = stream.fetch(e.pluginId, layer, AEGP_LayerStream_ANCHORPOINT);
    if (!err) {
        err = streamValueAt(suites, e.pluginId, stream.get(), t, &value);
    }
    if (!err) {
        *anchor = Point2D(float(value.three_d.x), float(value.three_d.y));
    }
    return err;
}

Point2D centreFromAnchor(const A_FloatRect& bounds, const Point2D& anchor, float w, float h) {
    if (!(w > 0.0f && h > 0.0f)) {
        return Point2D();
    }
    return Point2D(float((0.5 * (bounds.left + bounds.right) - anchor.x) / w),
                   float((0.5 * (bounds.top + bounds.bottom) - anchor.y) / h));
}

namespace {

// Layer j's offset at time t, with the Scale and Rotation the run gives it at frame f or, where
// the run leaves them, the layer's own.
A_Err layerOffset(AEGP_SuiteHandler& suites, const MyTessaron& e, int j, int f, A_Time t,
                  Point2D* offset) {
    AEGP_LayerH layer = nullptr;
    A_FloatRect bounds = {0, 0, 0, 0};
    ScopedStream stream(suites);
    Point2D anchor;
    AEGP_StreamVal2 scale = {}, rotation = {};
    scale.three_d.x = scale.three_d.y = e.scales[j][f];
    rotation.one_d = e.rotations[j][f];
    A_Err err = fetchCollageLayer(suites, e, j, &layer);
    if (!err) {
        err = suites.LayerSuite7()->AEGP_GetLayerMaskedBounds(layer, AEGP_LTimeMode_CompTime, &t,
                                                              &bounds);
    }
    if (!err) {
        err = anchorPointAt(suites, e, layer, t, &anchor);
    }
    if (!err && e.scaleModes[f] == ScaleMode::Ignore) {
        err = stream.fetch(e.pluginId, layer, AEGP_LayerStream_SCALE);
        if (!err) {
            err = streamValueAt(suites, e.pluginId, stream.get(), t, &scale);
        }
    }
    if (!err && e.rotationModes[f] == RotationMode::Ignore) {
        err = stream.fetch(e.pluginId, layer, AEGP_LayerStream_ROTATION);
        if (!err) {
            err = streamValueAt(suites, e.pluginId, stream.get(), t, &rotation);
        }
    }
    const bool ownScale = e.scaleModes[f] == ScaleMode::Ignore;
    const bool ownRotation = e.rotationModes[f] == RotationMode::Ignore;
    ParentSpace parent;
    if (!err && (ownScale || ownRotation)) {
        err = parentSpaceAt(suites, layer, t, &parent);
    }
    if (!err && parent.parented) {
        // The layer's own values show through its parents: the width edge's length and angle.
        Own own;
        own.scaleX = scale.three_d.x;
        own.rotation = ownRotation
                           ? rotation.one_d
                           : ownValues(parent, Shown{0, 0, 100, rotation.one_d}, true, 0).rotation;
        const Shown shown = shownValues(parent, own);
        if (ownScale) {
            const double ratio = scale.three_d.x != 0.0 ? scale.three_d.y / scale.three_d.x : 1.0;
            scale.three_d.x = shown.scale;
            scale.three_d.y = shown.scale * ratio;
        }
        if (ownRotation) {
            rotation.one_d = shown.rotation;
        }
    }
    if (!err) {
        *offset = visibleCentreOffset(bounds, anchor, float(scale.three_d.x),
                                      float(scale.three_d.y), float(rotation.one_d));
    }
    return err;
}

}  // namespace

void MyTessaron::centreVisibleRectangles(A_Time time, int f) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    A_Err err = A_Err_NONE;
    // After a failed host call the remaining layers stay centred by their anchor points.
    for (int j = 0; j < layerCount && !err; ++j) {
        if (j >= int(placedAtSite.size()) || !placedAtSite[j]) {
            continue;
        }
        Point2D offset;
        err = layerOffset(suites, *this, j, f, time, &offset);
        if (!err) {
            positions[j][f] = Point2D(positions[j][f].x - offset.x, positions[j][f].y - offset.y);
        } else {
            hostFailures().fellBack("reading the layers' anchor points", err, layerCount - j);
        }
    }
}

#include <algorithm>
#include <cmath>

#include "AEGP_SuiteHandler.h"
#include "attributes/Angle.h"
#include "attributes/Sampling.h"
#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "host/Params.h"
#include "streams/LayerStreams.h"
#include "streams/PreviousKey.h"

namespace {

// Scale, Rotation and Opacity read a stream without keys at the time itself; with one key or
// more, the previous key.

float randomIn(float lo, float hi) {
    return lo + (hi - lo) * uniform53f();
}

float oneDimensional(MyTessaron& e, AEGP_StreamRefH stream, A_Time time) {
    AEGP_SuiteHandler suites(e.inData->pica_basicP);
    AEGP_StreamVal2 value = {};
    if (const A_Err err =
            previousKeyValue(suites, e.pluginId, stream, time, kAttributeMinKeys, &value)) {
        hostFailures().fellBack("reading a Rotation or Opacity key", err, 1);
        return 0.0f;
    }
    return float(value.one_d);
}

}  // namespace

float MyTessaron::getPreviousRotKeyValue(AEGP_StreamRefH stream, A_Time time) {
    return oneDimensional(*this, stream, time);
}

float MyTessaron::getPreviousOpaKeyValue(AEGP_StreamRefH stream, A_Time time) {
    return oneDimensional(*this, stream, time);
}

float MyTessaron::getOrientTowardsCenterRotation(const Point2D& centre,
                                                 const Point2D& point) const {
    // y points down, so +90 turns each layer's top edge away from the centre.
    const float dy = point.y - centre.y;
    const float dx = point.x - centre.x;
    const float radians = float(std::atan2(double(dy), double(dx)));
    const float degrees = float(radians * 57.29577951308232);
    return degrees + 90.0f;
}

void MyTessaron::getRotations(A_Time time, int f) {
    const RotationMode mode = rotationModes[f];
    if (mode == RotationMode::Ignore) {
        // The growth turns the rectangles by the site's rotation: take the rotation each layer
        // shows at the frame.
        if (scaleModes[f] == ScaleMode::FromNeighborhood || preventOverlaps[f]) {
            const std::vector<float> previous = readLayerStreams(
                *this, AEGP_LayerStream_ROTATION,
                [&](AEGP_StreamRefH s) { return float(valueShownAt(*this, s, time).one_d); },
                &time);
            for (int j = 0; j < layerCount; ++j) {
                sites[assignmentIds[f][j]].rotation = previous[j];
                rotations[j][f] = previous[j];
            }
        }
        return;
    }
    // Orient Towards Center turns each key the short way from the layer's previous key: its key
    // of the last earlier frame that keyed Rotation, else the key it had before the run.
    int lastKeyed = f - 1;
    while (lastKeyed >= 0 && rotationModes[lastKeyed] == RotationMode::Ignore) {
        --lastKeyed;
    }
    const bool orient = mode == RotationMode::OrientTowardsCenter;
    const std::vector<float> previous =
        mode == RotationMode::UsePreviousValue || (orient && lastKeyed < 0)
            ? readLayerStreams(
                  *this, AEGP_LayerStream_ROTATION,
                  [&](AEGP_StreamRefH s) { return getPreviousRotKeyValue(s, time); }, &time)
            : std::vector<float>();
    const Point2D centre = shapeCentreFullRes();
    const float lo = minRotations[f];
    const float hi = maxRotations[f];
    for (int j = 0; j < layerCount; ++j) {
        MySitePoint& s = sites[assignmentIds[f][j]];
        switch (mode) {
            case RotationMode::FromAlpha:
                s.rotation = sampledValue(*this, true, s.position, lo, hi);
                break;
            case RotationMode::FromLuminance:
                s.rotation = sampledValue(*this, false, s.position, lo, hi);
                break;
            case RotationMode::OrientTowardsCenter:
                s.rotation =
                    nearestEquivalentAngle(getOrientTowardsCenterRotation(centre, s.position),
                                           lastKeyed < 0 ? previous[j] : rotations[j][lastKeyed]);
                break;
            case RotationMode::Random:
                s.rotation = randomIn(lo, hi);
                break;
            case RotationMode::UsePreviousValue:
                s.rotation = previous[j];
                break;
            default:
                break;
        }
        // Use Previous Value carries the first frame's reading through the run; the rectangle
        // turns as the layer will be shown.
        const bool carried = f > 0 && mode == RotationMode::UsePreviousValue;
        rotations[j][f] = carried ? rotations[j][f - 1] : s.rotation;
        s.rotation = rotations[j][f];
    }
}

void MyTessaron::getOpacities(A_Time time, int f) {
    const OpacityMode mode = opacityModes[f];
    const bool hides = hidesSmallLayers(f);
    // What the frame's results would be without hiding (0 where nothing is written).
    const std::vector<float> lastFrame = unhiddenOpacities;
    unhiddenOpacities.assign(size_t(std::max(layerCount, 0)), 0.0f);
    if (mode == OpacityMode::Ignore && !hides) {
        return;
    }
    if (mode == OpacityMode::Ignore) {
        // Keyed only to hide layers: the others keep the opacity they show at the frame.
        const std::vector<float> shown = readLayerStreams(
            *this, AEGP_LayerStream_OPACITY,
            [&](AEGP_StreamRefH s) { return float(valueShownAt(*this, s, time).one_d); });
        for (int j = 0; j < layerCount; ++j) {
            const MySitePoint& s = sites[assignmentIds[f][j]];
            unhiddenOpacities[size_t(j)] = shown[j];
            opacities[j][f] = s.hidden ? 0.0f : shown[j];
        }
        return;
    }
    const std::vector<float> previous =
        mode == OpacityMode::UsePreviousValue
            ? readLayerStreams(*this, AEGP_LayerStream_OPACITY,
                               [&](AEGP_StreamRefH s) { return getPreviousOpaKeyValue(s, time); })
            : std::vector<float>();
    const float lo = minOpacities[f];
    const float hi = maxOpacities[f];
    for (int j = 0; j < layerCount; ++j) {
        MySitePoint& s = sites[assignmentIds[f][j]];
        switch (mode) {
            case OpacityMode::FromAlpha:
                s.opacity = sampledValue(*this, true, s.position, lo, hi);
                break;
            case OpacityMode::FromLuminance:
                s.opacity = sampledValue(*this, false, s.position, lo, hi);
                break;
            case OpacityMode::Random:
                s.opacity = randomIn(lo, hi);
                break;
            case OpacityMode::UsePreviousValue:
                s.opacity = previous[j];
                break;
            default:
                break;
        }
        // Use Previous Value carries the reading, not a frame's hiding.
        const bool carried = f > 0 && mode == OpacityMode::UsePreviousValue;
        const float before =
            size_t(j) < lastFrame.size() ? lastFrame[size_t(j)] : opacities[j][f - (f > 0)];
        const float value = carried ? before : s.opacity;
        unhiddenOpacities[size_t(j)] = value;
        opacities[j][f] = s.hidden ? 0.0f : value;
    }
}

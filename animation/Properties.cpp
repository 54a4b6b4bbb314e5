#include "animation/Properties.h"

#include "engine/MyTessaron.h"
#include "host/Params.h"

bool propertyActive(const MyTessaron& e, int code) {
    const bool active[PropertyCount] = {e.positionActive, e.scaleActive, e.rotationActive,
                                        e.opacityActive};
    return active[code];
}

bool propertyIgnoredAt(const MyTessaron& e, int code, int k) {
    switch (code) {
        case Property_Position:
            return e.positionModes[k] == PositionMode::Ignore;
        case Property_Scale:
            return e.scaleModes[k] == ScaleMode::Ignore;
        case Property_Rotation:
            return e.rotationModes[k] == RotationMode::Ignore;
        default:
            return e.opacityModes[k] == OpacityMode::Ignore && !e.hidesSmallLayers(k);
    }
}

bool anyPropertyKeyedAt(const MyTessaron& e, int k) {
    for (int code = 0; code < PropertyCount; ++code) {
        if (propertyActive(e, code) && !propertyIgnoredAt(e, code, k)) {
            return true;
        }
    }
    return false;
}

std::vector<int> keyedFrames(const MyTessaron& e, int code) {
    std::vector<int> frames;
    for (int k = 0; k < e.evaluatedFrameCount(); ++k) {
        if (!propertyIgnoredAt(e, code, k)) {
            frames.push_back(k);
        }
    }
    return frames;
}

int plannedKeysPerLayer(const MyTessaron& e) {
    int keys = 0;
    for (int p = 0; p < PropertyCount; ++p) {
        keys += propertyActive(e, p) ? int(keyedFrames(e, p).size()) : 0;
    }
    return keys;
}

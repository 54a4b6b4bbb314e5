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
            return e.positionModes[k] == uint32_t(PositionMode::Ignore);
        case Property_Scale:
            return e.scaleModes[k] == uint32_t(ScaleMode::Ignore);
        case Property_Rotation:
            return e.rotationModes[k] == uint32_t(RotationMode::Ignore);
        default:
            return e.opacityModes[k] == uint32_t(OpacityMode::Ignore);
    }
}

int plannedKeysPerLayer(const MyTessaron& e) {
    int keys = 0;
    for (int p = 0; p < PropertyCount; ++p) {
        for (int k = 0; propertyActive(e, p) && k < e.evaluatedFrameCount(); ++k) {
            keys += propertyIgnoredAt(e, p, k) ? 0 : 1;
        }
    }
    return keys;
}

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

#include "animation/Properties.h"

#include "attributes/AttributeModes.h"
#include "engine/MyTessaron.h"
#include "placement/Modes.h"

bool propertyActive(const MyTessaron& e, int code) {
    const bool active[PropertyCount] = {e.positionActive, e.scaleActive, e.rotationActive,
                                        e.opacityActive};
    return active[code];
}

bool propertyIgnoredAt(const MyTessaron& e, int code, int k) {
    switch (code) {
        case Property_Position:
            return e.positionModes[k] == PositionMode_Ignore;
        case Property_Scale:
            return e.scaleModes[k] == ScaleMode_Ignore;
        case Property_Rotation:
            return e.rotationModes[k] == RotationMode_Ignore;
        default:
            return e.opacityModes[k] == OpacityMode_Ignore;
    }
}

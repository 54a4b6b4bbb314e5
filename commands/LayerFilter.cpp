#include "commands/LayerFilter.h"

static_assert(kExcludedLayerFlags == 0x50220, "locked, adjustment, null and guide layers");

bool isCollageLayer(const LayerFacts& layer, int32_t sourceLayerIndex) {
    if (layer.index == sourceLayerIndex) {
        return false;
    }
    if (layer.objectType == AEGP_ObjectType_LIGHT || layer.objectType == AEGP_ObjectType_CAMERA) {
        return false;
    }
    if ((layer.flags & kExcludedLayerFlags) != 0 ||
        (layer.flags & AEGP_LayerFlag_VIDEO_ACTIVE) == 0) {
        return false;
    }
    if (layer.is3D || !layer.videoReallyOn) {
        return false;
    }
    // Only footage-like layers need a visible source; text and shape layers draw themselves.
    return layer.objectType != AEGP_ObjectType_AV || layer.hasVisualSize;
}

#pragma once
// Which layers of the composition take part in a collage.
#include <cstdint>

#include "AE_GeneralPlug.h"

// What the host reports about one layer, gathered before the decision.
struct LayerFacts {
    int32_t index = 0;  // composition index
    AEGP_ObjectType objectType = AEGP_ObjectType_AV;
    AEGP_LayerFlags flags = 0;
    bool is3D = false;
    bool videoReallyOn = true;
    bool hasVisualSize = true;  // AV layers: the source item is wider or higher than 0
};

// Locked, adjustment, null and guide layers never take part.
constexpr AEGP_LayerFlags kExcludedLayerFlags =
    AEGP_LayerFlag_LOCKED | AEGP_LayerFlag_ADJUSTMENT_LAYER | AEGP_LayerFlag_NULL_LAYER |
    AEGP_LayerFlag_GUIDE_LAYER;

// True when the layer becomes a collage layer. The tests run in a fixed order; the layer that
// carries the effect is not excluded for that reason alone.
bool isCollageLayer(const LayerFacts& layer, int32_t sourceLayerIndex);

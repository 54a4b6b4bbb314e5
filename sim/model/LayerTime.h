#pragma once
// A layer's own time, as the host keeps it: the composition time of layer time t is
// startTime + t x stretch, stretch an exact ratio (negative: the layer plays backwards), and the
// layer shows from its in point up to its out point. Host-free.
#include <cstdint>

#include "sim/model/Model.h"

namespace sim {

// Exact where the result fits the host's 32-bit times, else rounded at the given scale.
Time compToLayerTime(const Layer& layer, const Time& comp);
Time layerToCompTime(const Layer& layer, const Time& local);

double layerSeconds(const Layer& layer, double compSeconds);
double compSeconds(const Layer& layer, double layerSeconds);

// Whether the layer shows at a composition time: inPoint <= t < outPoint.
bool activeAt(const Layer& layer, double compSeconds);

// The time scale of the layer's own times whose units hold one composition frame exactly:
// the composition's scale times the stretch's numerator.
uint32_t layerTimeScale(const Layer& layer, const Comp& comp);
// A composition time as a value on layerTimeScale (rounded when it does not fall on a unit).
int32_t layerTimeValue(const Layer& layer, const Comp& comp, const Time& compTime);
// One composition frame in layer time, on layerTimeScale; negative when the layer is reversed.
int32_t layerFrameStep(const Layer& layer, const Comp& comp);

}  // namespace sim

#include <algorithm>
#include <vector>

#include "animation/IndexedPoint.h"
#include "animation/OffsetOrder.h"
#include "engine/MyTessaron.h"
#include "engine/Random.h"

// Each layer's place in the frame's offset order; the keyframe writer turns it into a time
// shift. Sites and both centres are compared in full-resolution coordinates.
void MyTessaron::getOffsets(A_Time /*time*/, int f) {
    std::vector<IndexedPoint> list(size_t(std::max(layerCount, 0)));
    for (size_t i = 0; i < list.size(); ++i) {
        list[i] = IndexedPoint{int32_t(i), sites[assignmentIds[f][i]].position};
    }
    const OffsetCentres centres{imageCentreFullRes(), shapeCentreFullRes()};
    orderByOffsetMethod(list, offsetMethods[f], centres, randomInt31);
    const std::vector<int32_t> places = orderPositions(list);
    for (size_t i = 0; i < places.size(); ++i) {
        offsets[i][f] = places[i];
    }
}

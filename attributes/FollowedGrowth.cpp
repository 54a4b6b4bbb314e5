// Follow Shape Changes, after the growth: a followed layer grows a bounded step a frame.
#include "attributes/Growth.h"
#include "attributes/SiteSize.h"
#include "engine/MyTessaron.h"

void MyTessaron::limitFollowedGrowth(int f) {
    const std::vector<int32_t>& ids = assignmentIds[size_t(f)];
    if (sitesFollowLayers && follow.sizes.size() == size_t(layerCount)) {
        // Only shrinking is free (it never makes an overlap); a layer grows a bounded step.
        for (int j = 0; j < layerCount; ++j) {
            MySitePoint& s = sites[size_t(ids[size_t(j)])];
            const float most = kMostFollowedGrowth * follow.sizes[size_t(j)];
            if (follow.sizes[size_t(j)] > 0 && longerSide(s) > most) {
                setLongerSide(s, most);
                s.placeRectangle();
            }
        }
    }
    follow.sizes.clear();
    if (shapeSetting(followShapeChanges, f, false)) {
        for (int j = 0; j < layerCount; ++j) {
            follow.sizes.push_back(longerSide(sites[size_t(ids[size_t(j)])]));
        }
    }
}

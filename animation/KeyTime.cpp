#include "animation/KeyTime.h"

#include <cmath>

#include "engine/MyTessaron.h"

double offsetKeySeconds(int32_t frame, double frameSeconds, int32_t place, int32_t n,
                        int32_t offsetFrames) {
    if (n <= 1) {
        return frame * frameSeconds;
    }
    return frame * frameSeconds + frameSeconds * ((double(place) / (n - 1)) * offsetFrames);
}

A_Time keyTimeAt(double seconds) {
    return A_Time{A_long(std::floor(0.5 + seconds * KeyTimeScale)), KeyTimeScale};
}

A_Time layerKeyTime(const MyTessaron& e, int layer, int k) {
    return keyTimeAt(offsetKeySeconds(e.frameList[k], e.frameSeconds, e.offsets[layer][k],
                                      e.layerCount, e.offsetFrames[k]));
}

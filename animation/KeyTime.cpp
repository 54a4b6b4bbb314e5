#include "animation/KeyTime.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "engine/MyTessaron.h"

double offsetKeySeconds(int32_t frame, double frameSeconds, int32_t place, int32_t n,
                        int32_t offsetFrames) {
    if (n <= 1) {
        return frame * frameSeconds;
    }
    return frame * frameSeconds + frameSeconds * ((double(place) / (n - 1)) * offsetFrames);
}

namespace {

bool fitsLong(double ticks) {
    return ticks >= double(INT32_MIN) && ticks <= double(INT32_MAX);
}

}  // namespace

A_Time keyTimeAt(double seconds) {
    const double ticks = std::floor(0.5 + seconds * KeyTimeScale);
    if (fitsLong(ticks)) {
        return A_Time{A_long(ticks), KeyTimeScale};
    }
    // Past about 5.9 hours the fixed scale overflows 32 bits: milliseconds still place the key.
    const double ms = std::floor(0.5 + seconds * LongKeyTimeScale);
    const double limit = ms < 0 ? double(INT32_MIN) : double(INT32_MAX);
    return A_Time{A_long(fitsLong(ms) ? ms : limit), LongKeyTimeScale};
}

A_Time layerKeyTime(const MyTessaron& e, int layer, int k) {
    return keyTimeAt(offsetKeySeconds(e.frameList[k], e.frameSeconds, e.offsets[layer][k],
                                      e.layerCount, e.offsetFrames[k]));
}

double timeSeconds(const A_Time& t) {
    return t.scale ? double(t.value) / double(t.scale) : 0.0;
}

int nearestKeyIndex(const std::vector<double>& keySeconds, double t) {
    assert(!keySeconds.empty());
    const auto after = std::lower_bound(keySeconds.begin(), keySeconds.end(), t);
    if (after == keySeconds.begin()) {
        return 0;
    }
    const auto before = after - 1;
    const bool takeBefore = after == keySeconds.end() || t - *before <= *after - t;
    return int((takeBefore ? before : after) - keySeconds.begin());
}

#include "animation/KeyTime.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "animation/Properties.h"
#include "engine/MyTessaron.h"
#include "streams/HostTime.h"

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

bool laterTime(const A_Time& a, const A_Time& b) {
    return int64_t(a.value) * int64_t(b.scale) > int64_t(b.value) * int64_t(a.scale);
}

namespace {

// The first time after `previous` that the rule allows: one frame later, or one tick of its
// scale when a frame does not register (no time is later than the latest one a scale holds).
A_Time nextKeyTime(const A_Time& previous, double frameSeconds) {
    const A_Time frameLater = keyTimeAt(timeSeconds(previous) + frameSeconds);
    if (laterTime(frameLater, previous) || previous.value == INT32_MAX) {
        return frameLater;
    }
    return A_Time{previous.value + 1, previous.scale};
}

}  // namespace

std::vector<A_Time> orderedKeyTimes(const std::vector<A_Time>& specified,
                                    const std::vector<bool>& keyed, double frameSeconds) {
    // Offsets of at least the frames' spacing, or orders changing between frames, can put a
    // layer's key of one frame at or before its key of an earlier frame. Moving such a key just
    // past the earlier one keeps every key and the frame order, and leaves every time that
    // already respects them where the offset put it; one frame is the least gap that shows both
    // keys on the timeline.
    std::vector<A_Time> times = specified;
    const A_Time* previous = nullptr;
    for (size_t k = 0; k < times.size(); ++k) {
        if (k >= keyed.size() || !keyed[k]) {
            continue;
        }
        if (previous && !laterTime(times[k], *previous)) {
            times[k] = nextKeyTime(*previous, frameSeconds);
        }
        previous = &times[k];
    }
    return times;
}

std::vector<A_Time> layerKeyTimes(const MyTessaron& e, int layer) {
    const int frames = e.evaluatedFrameCount();
    std::vector<A_Time> specified;
    std::vector<bool> keyed;
    for (int k = 0; k < frames; ++k) {
        specified.push_back(keyTimeAt(offsetKeySeconds(
            e.frameList[k], e.frameSeconds, e.offsets[layer][k], e.layerCount, e.offsetFrames[k])));
        keyed.push_back(anyPropertyKeyedAt(e, k));
    }
    return orderedKeyTimes(specified, keyed, e.frameSeconds);
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

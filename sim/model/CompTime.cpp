#include "sim/model/CompTime.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace sim {

std::pair<int64_t, int64_t> ratioOf(double x, int64_t maxDen) {
    int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
    double r = x;
    for (int i = 0; i < 64; ++i) {
        double a = std::floor(r);
        int64_t ai = int64_t(a);
        int64_t h2 = ai * h1 + h0, k2 = ai * k1 + k0;
        if (k2 > maxDen) break;
        h0 = h1, h1 = h2, k0 = k1, k1 = k2;
        if (r - a < 1e-12 || std::fabs(double(h1) / double(k1) - x) < 1e-12 * x) break;
        r = 1.0 / (r - a);
    }
    return {h1, k1};
}

Time frameDurationOf(double fps) {
    assert(fps > 0);
    double whole = std::round(fps);
    if (std::fabs(fps - whole) < 1e-9) return Time{1, uint32_t(whole)};
    double ntsc = std::round(fps * 1.001);
    if (std::fabs(fps - ntsc / 1.001) < 1e-3) return Time{1001, uint32_t(ntsc * 1000)};
    auto [num, den] = ratioOf(fps, 1000);
    return Time{int32_t(den), uint32_t(num)};
}

double latestFrame(const Comp& comp) {
    return std::floor(double(std::numeric_limits<int32_t>::max()) / comp.frameDuration.value);
}

Time frameTime(const Comp& comp, double seconds) {
    const Time& d = comp.frameDuration;
    const double limit = latestFrame(comp);
    const double frames = std::round(seconds * d.scale / d.value);
    return Time{int32_t(std::isnan(frames) ? 0 : std::clamp(frames, -limit, limit)) * d.value,
                d.scale};
}

}  // namespace sim

#include "sim/model/LayerTime.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace sim {

namespace {

// n / d rounded half away from zero; d > 0.
int64_t roundDiv(int64_t n, int64_t d) {
    return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
}

int32_t saturate(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// num / den as a host time: exact when reduced it fits, else rounded at `scale`.
Time timeOf(int64_t num, int64_t den, uint32_t scale) {
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const int64_t g = std::gcd(num < 0 ? -num : num, den);
    if (g > 1) {
        num /= g;
        den /= g;
    }
    if (den <= int64_t(std::numeric_limits<uint32_t>::max()) &&
        num >= std::numeric_limits<int32_t>::min() && num <= std::numeric_limits<int32_t>::max())
        return Time{int32_t(num), uint32_t(den)};
    const long double v = (long double)num * scale / den;
    return Time{saturate(int64_t(std::llround(v))), scale};
}

uint32_t stretchScale(const Layer& l, uint32_t scale) {
    const int64_t s = int64_t(scale) * std::abs(int64_t(l.stretchNum));
    return s > 0 && s <= int64_t(std::numeric_limits<uint32_t>::max()) ? uint32_t(s) : scale;
}

}  // namespace

Time compToLayerTime(const Layer& l, const Time& c) {
    const Time& s = l.startTime;
    if (c.scale == 0 || s.scale == 0 || l.stretchNum == 0) return Time{0, c.scale ? c.scale : 1};
    // (c - s) x den / num
    const int64_t diff = int64_t(c.value) * s.scale - int64_t(s.value) * c.scale;
    return timeOf(diff * l.stretchDen, int64_t(c.scale) * s.scale * l.stretchNum,
                  stretchScale(l, c.scale));
}

Time layerToCompTime(const Layer& l, const Time& t) {
    const Time& s = l.startTime;
    if (t.scale == 0 || s.scale == 0 || l.stretchDen == 0) return Time{0, t.scale ? t.scale : 1};
    // s + t x num / den
    const int64_t num =
        int64_t(s.value) * t.scale * l.stretchDen + int64_t(t.value) * s.scale * l.stretchNum;
    return timeOf(num, int64_t(s.scale) * t.scale * l.stretchDen, t.scale);
}

double layerSeconds(const Layer& l, double c) {
    return (c - l.startTime.seconds()) * double(l.stretchDen) / double(l.stretchNum);
}

double compSeconds(const Layer& l, double t) {
    return l.startTime.seconds() + t * double(l.stretchNum) / double(l.stretchDen);
}

bool activeAt(const Layer& l, double c) {
    return c >= l.inPoint.seconds() - 1e-9 && c < l.outPoint.seconds() - 1e-9;
}

uint32_t layerTimeScale(const Layer& l, const Comp& comp) {
    return stretchScale(l, comp.frameDuration.scale);
}

int32_t layerTimeValue(const Layer& l, const Comp& comp, const Time& c) {
    const Time t = compToLayerTime(l, c);
    const uint32_t scale = layerTimeScale(l, comp);
    return saturate(roundDiv(int64_t(t.value) * scale, int64_t(t.scale)));
}

int32_t layerFrameStep(const Layer& l, const Comp& comp) {
    // frame x den / num, on a scale of comp scale x |num| when it fits
    const uint32_t scale = layerTimeScale(l, comp);
    const int64_t n = int64_t(comp.frameDuration.value) * l.stretchDen * scale;
    const int64_t d = int64_t(comp.frameDuration.scale) * l.stretchNum;
    return d > 0 ? saturate(roundDiv(n, d)) : saturate(-roundDiv(n, -d));
}

}  // namespace sim

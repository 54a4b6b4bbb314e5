#include "animation/SpatialTangents.h"

#include <cmath>

#include "host/Params.h"

namespace {

Point2D scaled(const Point2D& n, float s) {
    return Point2D(s * n.x, s * n.y, 0.0f);
}

TangentPair both(const Point2D& t) {
    return TangentPair{t, t};
}

}  // namespace

std::optional<TangentPair> spatialTangents(SpatialPreset preset, const Point2D& a, const Point2D& b,
                                           float outArm, float inArm, const TangentDraws& draws) {
    // A cubic Bezier half circle over the chord has control arms of (4/3) x radius, across the
    // chord; n is the chord turned a quarter turn (zero for a zero-length chord).
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float arm = 1.3333334f * (0.5f * std::sqrt(dx * dx + dy * dy + 0.0f));
    const Point2D n = Point2D(b.y - a.y, a.x - b.x, 0.0f).getNormalized();
    switch (preset) {
        case SpatialPreset::Linear:
            return both(Point2D());
        case SpatialPreset::InnerHalfCircle:
            return both(scaled(n, -arm));
        case SpatialPreset::OuterHalfCircle:
            return both(scaled(n, arm));
        case SpatialPreset::RandomInnerAndOuter:  // one coin for both arms
            return both(scaled(n, draws.rand01() < 0.5f ? -arm : arm));
        case SpatialPreset::Random: {  // each arm anywhere from inner to outer
            const float r1 = float(draws.mt01());
            const float s1 = (r1 + r1 - 1.0f) * arm;
            const float r2 = float(draws.mt01());
            const float s2 = (r2 + r2 - 1.0f) * arm;
            return TangentPair{scaled(n, s1), scaled(n, s2)};
        }
        case SpatialPreset::ZigZag:
            return TangentPair{scaled(n, arm), scaled(n, -arm)};
        case SpatialPreset::Custom:
            return TangentPair{scaled(n, arm * outArm), scaled(n, arm * inArm)};
        default:
            return std::nullopt;
    }
}

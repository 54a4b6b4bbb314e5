#pragma once
// The soft-edged figure the shape-fit tests and the Fill Gaps benchmark lay out: a round body
// with six limbs that thin towards their tips, the hard case for filling a shape (a limb holds
// one row of layers). Drawn at `scale` times the tests' 480 x 360.
#include <algorithm>
#include <cmath>

namespace figure_shape {

// Signed distance to the figure's outline, negative inside.
inline double figureDistance(double x, double y, double scale = 1.0) {
    const double cx = 220 * scale, cy = 170 * scale;
    double d = std::hypot(x - cx, y - cy) - 62 * scale;
    struct Limb {
        double x1, y1, r0, r1;
    };
    const Limb limbs[] = {{440, 60, 20, 6},  {60, 40, 18, 6},  {40, 300, 16, 6},
                          {420, 320, 22, 7}, {250, 10, 14, 5}, {300, 350, 12, 5}};
    for (const Limb& l : limbs) {
        const double vx = l.x1 * scale - cx, vy = l.y1 * scale - cy;
        const double t =
            std::clamp(((x - cx) * vx + (y - cy) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
        const double r0 = l.r0 * scale, r1 = l.r1 * scale;
        d = std::min(d, std::hypot(x - cx - t * vx, y - cy - t * vy) - (r0 + (r1 - r0) * t));
    }
    return d;
}

}  // namespace figure_shape

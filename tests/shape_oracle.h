#pragma once
// The brute-force measure of how much of a turned rectangle lies off a shape of pixels: the
// rectangle clipped to every shape pixel in turn, the overlaps' areas summed exactly.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace shape_oracle {

using Polygon = std::vector<std::array<double, 2>>;

// The part of a convex polygon on the side a * x + b * y <= c (Sutherland-Hodgman).
inline Polygon clipped(const Polygon& poly, double a, double b, double c) {
    Polygon out;
    for (size_t i = 0; i < poly.size(); ++i) {
        const auto& p = poly[i];
        const auto& q = poly[(i + 1) % poly.size()];
        const double dp = a * p[0] + b * p[1] - c, dq = a * q[0] + b * q[1] - c;
        if (dp <= 0) out.push_back(p);
        if ((dp < 0 && dq > 0) || (dp > 0 && dq < 0)) {
            const double t = dp / (dp - dq);
            out.push_back({p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1])});
        }
    }
    return out;
}

inline double areaOf(const Polygon& poly) {
    double a = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const auto& p = poly[i];
        const auto& q = poly[(i + 1) % poly.size()];
        a += p[0] * q[1] - q[0] * p[1];
    }
    return std::fabs(a) / 2;
}

// The share of the convex polygon off the shape: inShape(x, y) says whether pixel (x, y) of a
// width x height image is shape; everything beyond the image is not.
template <class InShape>
double offShare(const Polygon& poly, int width, int height, InShape inShape) {
    const double area = areaOf(poly);
    if (area <= 1e-12) return 0.0;
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
    for (const auto& p : poly) {
        x0 = std::fmin(x0, p[0]), x1 = std::fmax(x1, p[0]);
        y0 = std::fmin(y0, p[1]), y1 = std::fmax(y1, p[1]);
    }
    double inside = 0;
    for (int y = std::max(0, int(std::floor(y0))); y < std::min(height, int(std::ceil(y1))); ++y) {
        for (int x = std::max(0, int(std::floor(x0))); x < std::min(width, int(std::ceil(x1)));
             ++x) {
            if (!inShape(x, y)) continue;
            Polygon p = clipped(poly, -1, 0, -x);
            p = clipped(p, 1, 0, x + 1);
            p = clipped(p, 0, -1, -y);
            p = clipped(p, 0, 1, y + 1);
            inside += areaOf(p);
        }
    }
    return 1.0 - inside / area;
}

}  // namespace shape_oracle

#pragma once
// The visible rectangles of a collage's layers and how deep two of them overlap.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "sim/model/Model.h"

namespace collage_geometry {

using Corners = std::array<std::array<double, 2>, 4>;

// The layer's visible rectangle (its bounds) in composition pixels at t.
inline Corners visibleRectangle(const sim::Layer& l, double t) {
    const auto m = sim::layerToWorld(l, t);
    const auto& b = l.maskedBounds;
    const double xs[] = {b[0], b[2], b[2], b[0]}, ys[] = {b[1], b[1], b[3], b[3]};
    Corners c;
    for (int i = 0; i < 4; ++i) {
        c[i] = {xs[i] * m[0][0] + ys[i] * m[1][0] + m[3][0],
                xs[i] * m[0][1] + ys[i] * m[1][1] + m[3][1]};
    }
    return c;
}

// How deep two convex quadrilaterals overlap: the smallest overlap of their projections on
// the edge normals of both (0 when one separates them).
inline double penetration(const Corners& a, const Corners& b) {
    double depth = HUGE_VAL;
    for (const Corners* poly : {&a, &b}) {
        for (int i = 0; i < 4; ++i) {
            const auto& p = (*poly)[i];
            const auto& q = (*poly)[(i + 1) % 4];
            const double nx = q[1] - p[1], ny = p[0] - q[0], len = std::hypot(nx, ny);
            if (len == 0.0) {
                continue;
            }
            double loA = HUGE_VAL, hiA = -HUGE_VAL, loB = HUGE_VAL, hiB = -HUGE_VAL;
            for (int k = 0; k < 4; ++k) {
                const double pa = (a[k][0] * nx + a[k][1] * ny) / len;
                const double pb = (b[k][0] * nx + b[k][1] * ny) / len;
                loA = std::min(loA, pa), hiA = std::max(hiA, pa);
                loB = std::min(loB, pb), hiB = std::max(hiB, pb);
            }
            depth = std::min(depth, std::min(hiA, hiB) - std::max(loA, loB));
        }
    }
    return std::max(depth, 0.0);
}

struct Worst {
    double depth = 0.0;
    int a = -1, b = -1;
};

inline Worst worstOverlap(const sim::Project& p, double t) {
    std::vector<Corners> rects;
    for (size_t i = 1; i < p.comp.layers.size(); ++i) {
        rects.push_back(visibleRectangle(p.comp.layers[i], t));
    }
    Worst worst;
    for (size_t i = 0; i < rects.size(); ++i) {
        for (size_t k = i + 1; k < rects.size(); ++k) {
            const double d = penetration(rects[i], rects[k]);
            if (d > worst.depth) {
                worst = {d, int(i), int(k)};
            }
        }
    }
    return worst;
}

}  // namespace collage_geometry

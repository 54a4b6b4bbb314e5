#include "placement/PointCells.h"

#include <algorithm>
#include <cmath>

PointBounds boundsOf(const std::vector<Point2D>& points) {
    double minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (const Point2D& p : points) {
        minX = std::min(minX, double(p.x));
        maxX = std::max(maxX, double(p.x));
        minY = std::min(minY, double(p.y));
        maxY = std::max(maxY, double(p.y));
    }
    return PointBounds{minX, minY, maxX - minX, maxY - minY};
}

double cellSide(const PointBounds& b, int cells) {
    const double n = std::max(cells, 1), w = b.width, h = b.height;
    double side = w * h > 0.0 ? std::sqrt(w * h / n) : std::max(w, h) / n;
    if (!(side > 0.0) || !std::isfinite(side)) {
        side = 1.0;  // every point on one point
    }
    while ((std::floor(w / side) + 1.0) * (std::floor(h / side) + 1.0) > 4.0 * n + 16.0) {
        side *= 1.5;
    }
    return side;
}

CellBuckets bucketByCell(const std::vector<int32_t>& cellOf, size_t cells) {
    CellBuckets b;
    bucketByCell(cellOf, cells, b);
    return b;
}

void bucketByCell(const std::vector<int32_t>& cellOf, size_t cells, CellBuckets& b) {
    b.start.assign(cells + 1, 0);
    for (const int32_t c : cellOf) {
        ++b.start[size_t(c) + 1];
    }
    for (size_t c = 1; c < b.start.size(); ++c) {
        b.start[c] += b.start[c - 1];
    }
    std::vector<int32_t> fill(b.start.begin(), b.start.end() - 1);
    b.order.resize(cellOf.size());
    for (size_t k = 0; k < cellOf.size(); ++k) {
        b.order[size_t(fill[size_t(cellOf[k])]++)] = int32_t(k);
    }
}

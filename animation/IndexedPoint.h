#pragma once
#include <cmath>
#include <cstdint>

#include "engine/Point2D.h"

// A collage layer's number paired with the point of its site, for the offset order.
struct IndexedPoint {
    int32_t index = 0;
    Point2D point;
};

struct sort_indexed_point_from_left_to_right {
    bool operator()(const IndexedPoint& a, const IndexedPoint& b) const {
        return a.point.x < b.point.x;
    }
};

struct sort_indexed_point_from_right_to_left {
    bool operator()(const IndexedPoint& a, const IndexedPoint& b) const {
        return a.point.x > b.point.x;
    }
};

// y points down: the top is the smaller y.
struct sort_indexed_point_from_top_to_bottom {
    bool operator()(const IndexedPoint& a, const IndexedPoint& b) const {
        return a.point.y < b.point.y;
    }
};

struct sort_indexed_point_from_bottom_to_top {
    bool operator()(const IndexedPoint& a, const IndexedPoint& b) const {
        return a.point.y > b.point.y;
    }
};

struct sort_indexed_point_by_distance_from_point {
    Point2D centre;

    explicit sort_indexed_point_by_distance_from_point(const Point2D& p) : centre(p) {}

    bool operator()(const IndexedPoint& a, const IndexedPoint& b) const {
        return distance(a.point) < distance(b.point);
    }

    float distance(const Point2D& p) const {
        const float dx = p.x - centre.x;
        const float dy = p.y - centre.y;
        const float dz = p.z - centre.z;
        return std::sqrt(dx * dx + dy * dy + dz * dz);
    }
};

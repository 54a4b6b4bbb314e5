#pragma once
// The site orderings of Layer Order: strict comes-before tests on two sites, in single precision.
#include <cmath>

#include "placement/MySitePoint.h"

struct sort_by_x {
    bool operator()(const MySitePoint& a, const MySitePoint& b) const {
        return a.position.x < b.position.x;
    }
};

struct sort_by_y {
    bool operator()(const MySitePoint& a, const MySitePoint& b) const {
        return a.position.y < b.position.y;
    }
};

inline float squaredNorm(const Point2D& p) {
    return p.x * p.x + p.y * p.y + p.z * p.z;
}

struct sort_by_norm {
    bool operator()(const MySitePoint& a, const MySitePoint& b) const {
        return squaredNorm(a.position) < squaredNorm(b.position);
    }
};

struct sort_by_inverse_norm {
    bool operator()(const MySitePoint& a, const MySitePoint& b) const {
        return squaredNorm(a.position) > squaredNorm(b.position);
    }
};

struct sort_by_distance_from_point {
    Point2D point;
    explicit sort_by_distance_from_point(const Point2D& p) : point(p) {}
    float distance(const Point2D& p) const {
        return std::sqrt(squaredNorm(Point2D(p.x - point.x, p.y - point.y, p.z - point.z)));
    }
    bool operator()(const MySitePoint& a, const MySitePoint& b) const {
        return distance(a.position) < distance(b.position);
    }
};

#include "placement/MySitePoint.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

float halfDiagonal(float w, float h) {
    return 0.5f * std::sqrt(w * w + h * h);
}

// Min and max of the corners of both polygons projected on the normal of edge a -> b.
struct Extent {
    double lo = std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::lowest();
};

Extent project(const std::vector<Point2D>& poly, const Point2D& a, const Point2D& b) {
    Extent e;
    for (const Point2D& q : poly) {
        const double p = static_cast<double>((b.y - a.y) * q.x + (a.x - b.x) * q.y);
        e.lo = std::min(e.lo, p);
        e.hi = std::max(e.hi, p);
    }
    return e;
}

// True when one edge normal of poly separates the two polygons.
bool hasSeparatingAxis(const std::vector<Point2D>& poly, const std::vector<Point2D>& a,
                       const std::vector<Point2D>& b) {
    const size_t n = poly.size();
    for (size_t i = 0; i < n; ++i) {
        const Point2D& from = poly[i];
        const Point2D& to = poly[(i + 1) % n];
        const Extent ea = project(a, from, to);
        const Extent eb = project(b, from, to);
        if (eb.lo > ea.hi || ea.lo > eb.hi) {
            return true;  // equal extremes touch, and touching counts as overlap
        }
    }
    return false;
}

// Adds step to the longer side; the other side keeps the layer's proportions.
void growLongerSide(MySitePoint& s, float step) {
    if (s.aspect > 1.0f) {
        s.width = s.width + step;
        s.height = s.width / s.aspect;
    } else {
        s.height = s.height + step;
        s.width = s.height * s.aspect;
    }
    s.placeRectangle();
}

}  // namespace

void MySitePoint::placeRectangle() {
    Point2D centre(position.x, position.y);
    float reach = 0.0f;
    if (centreOffset.x != 0.0f || centreOffset.y != 0.0f) {
        const Point2D shift = rotatePoint(
            Point2D(), Point2D(centreOffset.x * width, centreOffset.y * height), rotation);
        centre = Point2D(position.x + shift.x, position.y + shift.y);
        reach = std::sqrt(shift.x * shift.x + shift.y * shift.y);
    }
    radius = halfDiagonal(width, height) + reach;
    corners = getPolygonFromPointSizeRot(centre, width, height, rotation);
}

void MySitePoint::update() {
    if (growing) {
        growLongerSide(*this, growStep);
    }
}

void MySitePoint::updateBack() {
    growLongerSide(*this, -0.5f * growStep);
}

bool MySitePoint::intersect(const MySitePoint& other) const {
    const float dx = position.x - other.position.x;
    const float dy = position.y - other.position.y;
    const float dz = position.z - other.position.z;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (d > radius + other.radius) {
        return false;
    }
    return !hasSeparatingAxis(corners, corners, other.corners) &&
           !hasSeparatingAxis(other.corners, corners, other.corners);
}

std::vector<Point2D> getPolygonFromPointSizeRot(const Point2D& c, float w, float h,
                                                float rotation) {
    const float left = c.x - 0.5f * w;
    const float right = c.x + 0.5f * w;
    const float top = c.y - 0.5f * h;
    const float bottom = c.y + 0.5f * h;
    return {rotatePoint(c, Point2D(left, top), rotation),
            rotatePoint(c, Point2D(right, top), rotation),
            rotatePoint(c, Point2D(right, bottom), rotation),
            rotatePoint(c, Point2D(left, bottom), rotation)};
}

Point2D rotatePoint(const Point2D& c, const Point2D& p, float angle) {
    const double a = static_cast<double>(angle * kDegreesToRadians);
    const double dx = static_cast<double>(p.x - c.x);
    const double dy = static_cast<double>(p.y - c.y);
    const double x = c.x + std::cos(a) * dx - dy * std::sin(a);
    const double y = c.y + dx * std::sin(a) + dy * std::cos(a);
    return Point2D(static_cast<float>(x), static_cast<float>(y), 0.0f);
}

#pragma once
#include <cmath>

// A point or vector in pixels: x to the right, y downwards. Every point the engine makes has
// z = 0; sums, distances and orderings that include z therefore add nothing.
struct Point2D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Point2D() = default;
    Point2D(float px, float py, float pz = 0.0f) : x(px), y(py), z(pz) {}

    // The vector divided by its length, or (0, 0, 0) when the length is 0.
    Point2D getNormalized() const {
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length > 0.0f) {
            return Point2D(x / length, y / length, z / length);
        }
        return Point2D();
    }
};

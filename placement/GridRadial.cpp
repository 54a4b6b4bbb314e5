#include <algorithm>
#include <cassert>
#include <cmath>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "placement/Candidates.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kSixthPi = 0.5235988f;
constexpr int kFurtherTrials = 5;

}  // namespace

void MyTessaron::getGridPointsInShape(int columns, float aspect, std::vector<Point2D>& out) const {
    out.clear();
    const int minX = opaqueBounds[0], maxX = opaqueBounds[1];
    const int minY = opaqueBounds[2], maxY = opaqueBounds[3];
    const float cw = static_cast<float>(maxX + 1 - minX) / static_cast<float>(columns);
    const float ch = static_cast<float>((1.0 / aspect) * cw);
    assert(cw > 0.0f && ch > 0.0f);
    // Cell centres are accumulated in single precision, step by step, so the count of cells that
    // fit matches the layout the stored collages were made with.
    for (float y = minY + 0.5f * ch; y <= maxY; y = y + ch) {      // NOLINT(*FloatLoopCounter)
        for (float x = minX + 0.5f * cw; x <= maxX; x = x + cw) {  // NOLINT(*FloatLoopCounter)
            if (isPointInsideShape(x, y)) {
                out.emplace_back(x, y, 0.0f);
            }
        }
    }
}

void MyTessaron::getRadialPointsInShape(int rings, std::vector<Point2D>& out) const {
    out.clear();
    const int minX = opaqueBounds[0], maxX = opaqueBounds[1];
    const int minY = opaqueBounds[2], maxY = opaqueBounds[3];
    const Point2D c = shapeCentre();
    if (isPointInsideShape(c.x, c.y)) {
        out.emplace_back(c.x, c.y, 0.0f);
    }
    const double w = maxX + 1 - minX;
    const double h = maxY + 1 - minY;
    const float spacing = static_cast<float>(std::sqrt(w * w + h * h)) / static_cast<float>(rings);
    for (int r = 1; r <= rings; ++r) {
        const int count = 6 * r;
        const float step = kTwoPi / static_cast<float>(count);
        const float rho = static_cast<float>(r) * spacing;
        float theta = (r % 2 == 1) ? kSixthPi : 0.0f;
        for (int q = 0; q < count; ++q, theta = theta + step) {
            const float x = static_cast<float>(c.x + double(rho) * std::cos(double(theta)));
            const float y = static_cast<float>(c.y + double(rho) * std::sin(double(theta)));
            if (isPointInsideShape(x, y)) {
                out.emplace_back(x, y, 0.0f);
            }
        }
    }
}

CandidateChoice chooseCandidates(int n, int firstCount, const CandidateBuilder& build) {
    CandidateChoice choice;
    int count = firstCount;
    std::vector<Point2D> points;
    build(count, points);
    while (static_cast<int>(points.size()) < n) {
        build(++count, points);
    }
    choice.excess = static_cast<int>(points.size()) - n;
    choice.points = points;
    choice.hadExcess = choice.excess > 0;
    for (int t = 0; choice.hadExcess && t < kFurtherTrials; ++t) {
        build(++count, points);
        const int excess = static_cast<int>(points.size()) - n;
        if (excess >= 0 && excess < choice.excess) {
            choice.excess = excess;
            choice.points = points;
        }
    }
    return choice;
}

bool gridReachesShape(const OpaqueIndex& shape, int32_t maxX, int32_t maxY) {
    return shape.anyIn(0, 0, maxX, maxY);
}

std::vector<Point2D> pickAtRandom(std::vector<Point2D> candidates, int n) {
    assert(static_cast<int>(candidates.size()) >= n);
    std::vector<Point2D> picked;
    picked.reserve(n);
    for (int i = 0; i < n; ++i) {
        const size_t m = candidates.size();
        const size_t k = randomIndex(m);
        picked.push_back(candidates[k]);
        candidates.erase(candidates.begin() + static_cast<ptrdiff_t>(k));
    }
    return picked;
}

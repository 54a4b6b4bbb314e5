#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "placement/Candidates.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kSixthPi = 0.5235988f;
constexpr int kFurtherTrials = 5;
// Beyond this many columns or rings a shape is too small for the layers: random sites instead.
constexpr int kMaxCount = 1 << 24;

}  // namespace

// Cell width and height for a count of columns: the height from the reciprocal aspect in double.
void gridCellSize(const int32_t bounds[4], int columns, float aspect, float& cw, float& ch) {
    cw = static_cast<float>(bounds[1] + 1 - bounds[0]) / static_cast<float>(columns);
    ch = static_cast<float>((1.0 / aspect) * cw);
    assert(cw > 0.0f && ch > 0.0f);
}

// Cell centres along one axis, accumulated in single precision step by step, so the count of
// cells that fit matches the layout the stored collages were made with.
std::vector<float> cellCentres(int first, int last, float step) {
    std::vector<float> centres;
    for (float c = first + 0.5f * step; c <= last; c = c + step) {  // NOLINT(*FloatLoopCounter)
        centres.push_back(c);
    }
    return centres;
}

void MyTessaron::getGridPointsInShape(int columns, float aspect, std::vector<Point2D>& out) const {
    out.clear();
    float cw = 0.0f, ch = 0.0f;
    gridCellSize(opaqueBounds, columns, aspect, cw, ch);
    const std::vector<float> xs = cellCentres(opaqueBounds[0], opaqueBounds[1], cw);
    for (const float y : cellCentres(opaqueBounds[2], opaqueBounds[3], ch)) {
        for (const float x : xs) {
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

std::optional<CandidateChoice> chooseCandidates(int n, int firstCount,
                                                const CandidateBuilder& build,
                                                const CandidateCounts& counts, double budget) {
    double spent = 0.0;
    // The candidates count k gives, -1 when examining it would overrun the budget; counts that
    // cannot reach n are reported as 0 without being examined.
    auto examine = [&](int k) -> long long {
        if (counts.atMost(k) < n) {
            return 0;
        }
        const double work = counts.work(k);
        if (spent + work > budget) {
            return -1;
        }
        spent += work;
        return static_cast<long long>(counts.count(k));
    };
    int count = firstCount;
    long long found = examine(count);
    while (found >= 0 && found < n) {
        if (count >= kMaxCount) {
            return std::nullopt;
        }
        found = examine(++count);
    }
    if (found < 0) {
        return std::nullopt;
    }
    CandidateChoice choice;
    choice.excess = static_cast<int>(found - n);
    choice.hadExcess = choice.excess > 0;
    int best = count;
    for (int t = 0; choice.hadExcess && t < kFurtherTrials; ++t) {
        found = examine(++count);
        if (found < 0) {
            break;
        }
        if (found >= n && found - n < choice.excess) {
            choice.excess = static_cast<int>(found - n);
            best = count;
        }
    }
    build(best, choice.points);
    return choice;
}

CandidateChoice chooseCandidates(int n, int firstCount, const CandidateBuilder& build) {
    std::vector<Point2D> points;
    CandidateCounts counts;
    counts.count = [&](int k) {
        build(k, points);
        return points.size();
    };
    counts.work = [](int) { return 0.0; };
    counts.atMost = [](int) { return std::numeric_limits<double>::infinity(); };
    return *chooseCandidates(n, firstCount, build, counts, 0.0);
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

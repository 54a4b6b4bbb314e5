#pragma once
// Choosing sites among regular candidate points (Grid and Radial).
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/OpaqueIndex.h"
#include "engine/Point2D.h"

// Builds candidates for a count of columns or rings.
using CandidateBuilder = std::function<void(int count, std::vector<Point2D>& out)>;

struct CandidateChoice {
    std::vector<Point2D> points;
    int excess = 0;          // candidates beyond the n needed
    bool hadExcess = false;  // the first sufficient count gave more than n: report the excess
};

// Raises the count from firstCount until there are at least n candidates; when that set has more
// than n, tries the five next counts and keeps the set with the smallest non-negative excess
// (ties keep the earlier set). n must not exceed what some count can give (any non-empty shape).
CandidateChoice chooseCandidates(int n, int firstCount, const CandidateBuilder& build);

// Grid cell centres count only up to the last column and row of the bounds (x <= max x,
// y <= max y), so the pixels in that column and row are hit only by exact centres. True when some
// shape pixel lies left of max x and above max y: finer grids then always find more centres. When
// false (a single row, column or pixel, or a shape of only the bounds' last row and column), most
// counts give no centre at all and raising the count may never end.
bool gridReachesShape(const OpaqueIndex& shape, int32_t maxX, int32_t maxY);

// n candidates picked at random without replacement (pick-generator draws); the result is in pick
// order.
std::vector<Point2D> pickAtRandom(std::vector<Point2D> candidates, int n);

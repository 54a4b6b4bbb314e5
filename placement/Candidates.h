#pragma once
// Choosing sites among regular candidate points (Grid and Radial).
#include <cstdint>
#include <functional>
#include <optional>
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

// What the search learns about a count without building its candidates.
struct CandidateCounts {
    std::function<size_t(int count)> count;   // how many candidates build(count) gives
    std::function<double(int count)> work;    // points count(count) examines
    std::function<double(int count)> atMost;  // never below count(count); cheap
};

// Raises the count from firstCount until there are at least n candidates; when that set has more
// than n, tries the five next counts and keeps the set with the smallest non-negative excess
// (ties keep the earlier set). Counts whose atMost is below n are passed over unexamined. The
// work of the examined counts stays within budget: when it would not, the search stops, with
// nothing when no count gave n candidates yet, else with the best set found so far.
std::optional<CandidateChoice> chooseCandidates(int n, int firstCount,
                                                const CandidateBuilder& build,
                                                const CandidateCounts& counts, double budget);

// The same without bounds, every count built. n must not exceed what some count can give.
CandidateChoice chooseCandidates(int n, int firstCount, const CandidateBuilder& build);

// Grid cells for a count of columns over the opaque bounds (min x, max x, min y, max y): the
// width splits the bounds, the height follows from the aspect (width over height) in double.
void gridCellSize(const int32_t bounds[4], int columns, float aspect, float& cw, float& ch);
// Centres of the cells along one axis from first to last, accumulated in single precision.
std::vector<float> cellCentres(int first, int last, float step);

// Work a frame may spend on trying counts (grid centres examined) before it takes random sites.
constexpr double kCandidateWorkBudget = 5e7;

// Grid cell centres count only up to the last column and row of the bounds (x <= max x,
// y <= max y), so the pixels in that column and row are hit only by exact centres. True when some
// shape pixel lies left of max x and above max y: finer grids then always find more centres. When
// false (a single row, column or pixel, or a shape of only the bounds' last row and column), most
// counts give no centre at all and raising the count may never end.
bool gridReachesShape(const OpaqueIndex& shape, int32_t maxX, int32_t maxY);

// n candidates picked at random without replacement (pick-generator draws); the result is in pick
// order.
std::vector<Point2D> pickAtRandom(std::vector<Point2D> candidates, int n);

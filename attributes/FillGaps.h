#pragma once
// Fill Gaps: after the growth every layer has stopped at its first touch, often with room all
// around it. First all layers grow together by a common share and the overlaps are pushed apart
// together (a squeeze), while that clears; then rounds of visits take each layer one step
// larger and slide it off what the larger rectangle meets (its neighbours, and with a shape limit
// the shape's edge) until it fits again, or else shove the neighbours it meets off it (and those
// theirs, down a short chain); a layer that finds no room keeps its place and size for that round
// and tries a smaller step in the next. When no layer grows any more, touching neighbours of
// different proportions trade places where both then fit larger (a wide layer into a wide room),
// and the rounds run again. For small collages the layout kept is that of the squeeze and the
// fill or of the fill alone, whichever covers more; larger ones are filled alone. Then layers
// near the largest holes left move into them where the neighbours of their old places grow into
// those and the shape is more covered (with Keep Inside Shape smaller than they were grown where
// the hole is too narrow for that, within bounds, and in small collages followed into the old
// place by its nearest neighbour, in thin parts of the shape by a chain of up to three, each
// into the place the one before left), and the fill runs again; last, the layers beside the holes
// still left lean into them where they then fit larger; in small collages with Keep Inside Shape,
// then each layer yields room to its neighbours (smaller, they growing) and is nudged aside where
// that covers more (on a shape with thin parts, the yields also before the moves into holes, and
// both repeated up to three times at the end). Layers keep their rotations and proportions; the
// visits go in a fixed order, so the result depends on the sites alone.
#include <cstdint>
#include <limits>
#include <vector>

#include "attributes/ShapeLimit.h"
#include "placement/MySitePoint.h"

// Without Keep Inside Shape, the share of a rectangle filling may leave off the shape.
constexpr float kFillOverhang = 0.375f;

// Rounds after which filling stops whatever the sites' state.
constexpr int MaxFillRounds = 400;

struct FillLimits {
    // The shape the layers keep to (their centres on it, at most its overhang of each rectangle
    // off it), or none: layers that keep their own Positions only grow into free room.
    ShapeLimit* shape = nullptr;
    // No rectangle's longer side grows past it (Max Size, where the size is capped by it).
    float maxLongerSide = std::numeric_limits<float>::infinity();
    int maxRounds = MaxFillRounds;
    // The shape's limit is Keep Inside Shape's own Overhang, not the fill's looser one.
    bool keepInside = false;
};

// Grows, slides and trades the grown sites (those of visitOrder with area) until none can take
// another step; none ends smaller than it was grown, but for those moved into narrow holes or
// along thin parts, or yielding room, with keepInside (none under three tenths of the median
// longer side at the time). Returns the number of rounds run. Sites that overlapped nothing keep
// overlapping nothing.
int fillGaps(std::vector<MySitePoint>& sites, const std::vector<int32_t>& visitOrder,
             const FillLimits& limits);

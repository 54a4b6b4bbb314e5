#pragma once
#include <cstdint>
#include <vector>

#include "attributes/ShapeLimit.h"
#include "placement/MySitePoint.h"

// Rounds after which the growth stops whatever the sites' state. A round grows every site by
// one pixel, so no collage of real layers gets near it; it only bounds a degenerate input.
constexpr int MaxGrowthRounds = 100000;

// True when the layer taking the site has bounds of zero (or negative) width or height. Such a
// layer covers nothing: it neither grows nor stops the growth of others.
bool hasNoArea(const MySitePoint& site);

// Grows the rectangles of the sites until each touches a neighbour. `visitOrder` lists the site
// of each layer in layer order (the frame's assignment); sites are grown one at a time in that
// order, each tested against the other sites' current rectangles. A site with no real neighbour
// takes its layer's own size. Returns the number of rounds run. Only sites close enough to touch
// are tested (SiteGrid); the result is exactly growSitesAllPairs's. With a shape limit (Keep
// Inside Shape) a site also stops before more than the overhang of its rectangle would lie off
// the shape, and a lone site grows too.
int growSites(std::vector<MySitePoint>& sites, const std::vector<int32_t>& visitOrder,
              int maxRounds = MaxGrowthRounds, const ShapeLimit* shape = nullptr);

// The same growth testing every pair: the reference the fast path is checked against.
int growSitesAllPairs(std::vector<MySitePoint>& sites, const std::vector<int32_t>& visitOrder,
                      int maxRounds = MaxGrowthRounds, const ShapeLimit* shape = nullptr);

// A followed layer's size a frame at most, over its size at the frame before.
constexpr float kMostFollowedGrowth = 1.1f;
// The share of its size before that a followed layer in the way of one that shrank yields to it
// at most: about what a layer may grow in a frame.
constexpr float kMostFollowedYield = 0.1f;

// A followed frame's sizes after its growth: each site's rectangle comes back towards
// previous[i], the size of order[i]'s layer at the frame before (0: none), as far as it fits.
// The sites that shrank come back first (towards their size before), then those that grew
// (towards the size grown, at most kMostFollowedGrowth times their size before); the sites in the
// way of one that shrank yield up to kMostFollowedYield of their size to it. Each takes the
// largest size that, as in the growth, touches no other site at half a step less and, with a
// shape limit, keeps the overhang, found by bisection in a fixed order. The growth from scratch
// steps in whole pixels, so its sizes jump where a gap changes a little.
void keepFollowedSizes(std::vector<MySitePoint>& sites, const std::vector<int32_t>& order,
                       const std::vector<float>& previous, const ShapeLimit* shape = nullptr);

#pragma once
// The layers' assignment by auction with epsilon scaling over every pair: rows bid for columns,
// raising their prices, until every row holds one. Each row's costs are computed from the points
// whenever it scans them (no cost matrix: reading 36 MB again for every scan waits on memory),
// passing over cells of sites too far in cost and price to be among its least. It serves the
// first assignment from where the layers happen to start (crowded in a corner, along one edge, far
// from the shape, around a thin ring of sites), where every layer wants the same few sites:
// shortest augmenting paths then search nearly every column for each row, while the auction's
// early rounds with a coarse epsilon settle the rough shares at once and the later ones refine
// them.
#include <cstdint>
#include <vector>

#include "placement/AssignmentCosts.h"

struct AuctionResult {
    std::vector<int32_t> columns;   // a least-total assignment
    std::vector<long long> prices;  // column prices near certifying it (reduced cost c - price)
};

// Least total over squared distances that fit 32 bits (costsFit32Bits); exact: the costs are
// scaled by n + 1, so that the last round's epsilon of one leaves less than one unit of the
// original costs over the whole assignment. Starts on one line or in a small area start from
// prices that their geometry gives, at a finer first epsilon. narrowStarts: the rows start in a
// much smaller area than their columns (a corner, a column, far clusters), so that they all rank
// the columns nearly alike; a coarser first round then settles their shares in fewer bids.
AuctionResult solveByAuction(const DistanceCosts& costs, bool narrowStarts = false);

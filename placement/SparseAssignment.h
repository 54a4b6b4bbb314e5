#pragma once
// The layers' assignment over the pairs of each layer with the sites near its start: shortest
// augmenting paths on those pairs, then every pair checked against the prices; pairs cheaper than
// their row's own join and their rows are solved again until none is. The answer is then a least
// total over all pairs, certified by the prices, without ever holding the whole cost matrix.
#include <cstdint>
#include <optional>
#include <vector>

#include "placement/AssignmentCosts.h"
#include "placement/AssignmentTies.h"
#include "placement/MinimumAssignment.h"

// Columns of a least total and the prices certifying them (warm supplies the start and receives
// both), with every pair at zero reduced cost in tight; nothing when a start is unknown or the
// searches or checks go on too long, where a whole-matrix solver takes over.
std::optional<std::vector<int32_t>> sparseAssignment(const DistanceCosts& costs,
                                                     AssignmentWarmStart& warm, TightPairs& tight);

#pragma once
// The cost matrix of the layers' assignment, shared by the solvers and by the rule that picks
// one assignment among those of least total.
#include <cmath>
#include <vector>

#include "engine/Parallel.h"
#include "placement/MinimumAssignment.h"

// Row-major n x n costs in the narrowest integer type that holds them all: the searches read
// each row many times.
template <typename T>
struct Costs {
    std::vector<T> values;
    int n = 0;
    long long operator()(int i, int j) const { return values[size_t(i) * n + j]; }
};

// Squared distances from each start to each site, rows split over the worker threads; a row
// whose start is unknown costs 0 everywhere.
template <typename T>
Costs<T> costMatrix(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                    const std::vector<bool>& known) {
    Costs<T> c;
    c.n = static_cast<int>(from.size());
    c.values.assign(size_t(c.n) * c.n, 0);
    const std::vector<char> starts(known.begin(), known.end());
    parallelFor(size_t(c.n), [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            if (!starts[i]) {
                continue;
            }
            T* row = &c.values[i * c.n];
            for (int j = 0; j < c.n; ++j) {
                row[j] = static_cast<T>(squaredDistanceCost(from[i], to[j]));
            }
        }
    });
    return c;
}

// True when every cost fits 32 bits: no two coordinates more than 26000 px apart.
bool costsFit32Bits(const std::vector<Point2D>& from, const std::vector<Point2D>& to);

#pragma once
// The cost matrix of the layers' assignment, shared by the solvers and by the rule that picks
// one assignment among those of least total.
#include <algorithm>
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

// Squared distances from each start to each site, the matrix split over the worker threads by
// equal runs of pairs (3000 rows are too few to split by rows); a row whose start is unknown
// costs 0 everywhere.
template <typename T>
Costs<T> costMatrix(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                    const std::vector<bool>& known) {
    Costs<T> c;
    c.n = static_cast<int>(from.size());
    c.values.assign(size_t(c.n) * c.n, 0);
    const std::vector<char> starts(known.begin(), known.end());
    const size_t n = size_t(c.n);
    parallelFor(n * n, [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end;) {
            const size_t i = k / n, j0 = k % n, j1 = std::min(n, j0 + (end - k));
            T* row = &c.values[i * n];
            for (size_t j = j0; j < j1 && starts[i]; ++j) {
                row[j] = static_cast<T>(squaredDistanceCost(from[i], to[j]));
            }
            k += j1 - j0;
        }
    });
    return c;
}

// Squared-distance costs computed on demand, as the cost matrix holds them.
struct DistanceCosts {
    const std::vector<Point2D>& from;
    const std::vector<Point2D>& to;
    std::vector<char> known;
    long long operator()(int i, int j) const {
        return known[size_t(i)] ? squaredDistanceCost(from[size_t(i)], to[size_t(j)]) : 0;
    }
};

// True when every cost fits 32 bits: no two coordinates more than 26000 px apart.
bool costsFit32Bits(const std::vector<Point2D>& from, const std::vector<Point2D>& to);

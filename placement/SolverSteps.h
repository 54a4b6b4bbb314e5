#pragma once
// Steps shared by the dense and the near-pairs assignment solvers (shortest augmenting paths
// over column prices).
#include <cstdint>
#include <limits>
#include <vector>

// Augmenting row reduction: a free row takes its cheapest column, whose price drops by the gap
// to the row's second cheapest so that the row stays at its minimum; the row it displaces is
// reduced next. Two passes, each bounded, leave few rows for the shortest paths.
// cost(i, j) is a pair's cost; forEachColumn(i, visit) visits the columns row i may take.
template <typename Cost, typename ForEachColumn>
void reduceRows(int n, Cost&& cost, ForEachColumn&& forEachColumn, std::vector<long long>& v,
                std::vector<int32_t>& colOf, std::vector<int32_t>& rowOf) {
    constexpr long long kUnreached = std::numeric_limits<long long>::max() / 4;
    std::vector<int32_t> freeRows;
    for (int i = 0; i < n; ++i) {
        if (colOf[i] < 0) {
            freeRows.push_back(i);
        }
    }
    for (int pass = 0; pass < 2 && !freeRows.empty(); ++pass) {
        size_t current = 0, kept = 0;
        long long steps = 0;
        // Rows that keep displacing each other (equal costs) are left to the shortest paths.
        const long long limit = 4 * static_cast<long long>(freeRows.size());
        while (current < freeRows.size()) {
            const int i = freeRows[current++];
            ++steps;
            long long first = kUnreached, second = kUnreached;
            int j1 = -1, j2 = -1;
            forEachColumn(i, [&](int j) {
                const long long h = cost(i, j) - v[j];
                if (h < second) {
                    if (h >= first) {
                        second = h;
                        j2 = j;
                    } else {
                        second = first;
                        j2 = j1;
                        first = h;
                        j1 = j;
                    }
                }
            });
            int owner = rowOf[j1];
            const bool lowers = j2 >= 0 && first < second;
            if (steps < limit) {
                if (lowers) {
                    v[j1] -= second - first;
                } else if (owner >= 0 && j2 >= 0) {
                    j1 = j2;
                    owner = rowOf[j2];
                }
                if (owner >= 0) {
                    if (lowers) {
                        freeRows[--current] = owner;
                    } else {
                        freeRows[kept++] = owner;
                    }
                }
            } else if (owner >= 0) {
                freeRows[kept++] = owner;
            }
            if (owner >= 0) {
                colOf[owner] = -1;
            }
            colOf[i] = j1;
            rowOf[j1] = i;
        }
        freeRows.resize(kept);
    }
}

// After a shortest-path search that settled `scanned` at distances d and reached a free column
// at distance mu: each settled column's price moves by how much nearer it was, so that the
// path's pairs stay tight.
inline void repriceSettled(const std::vector<int32_t>& scanned, const std::vector<long long>& d,
                           long long mu, std::vector<long long>& v) {
    for (const int32_t j : scanned) {
        v[j] += d[j] - mu;
    }
}

// Along the path found back from the free column end to the free row `row` (pred: the row that
// reached each column), each row takes the column it reached.
inline void flipPath(int end, int row, const std::vector<int32_t>& pred,
                     std::vector<int32_t>& colOf, std::vector<int32_t>& rowOf) {
    for (int j = end;;) {
        const int r = pred[j];
        const int previous = colOf[r];
        colOf[r] = j;
        rowOf[j] = r;
        if (r == row) {
            break;
        }
        j = previous;
    }
}

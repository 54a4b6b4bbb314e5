#pragma once
// Augmenting row reduction, shared by the dense and the near-pairs solvers: a free row takes its
// cheapest column, whose price drops by the gap to the row's second cheapest so that the row
// stays at its minimum; the row it displaces is reduced next. Two passes, each bounded, leave few
// rows for the shortest paths.
#include <cstdint>
#include <limits>
#include <vector>

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

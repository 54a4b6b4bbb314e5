#pragma once
// Which assignment of least total the layers take when several share it. Every least-total
// assignment uses only pairs at zero reduced cost under any prices that certify one of them, so
// the pairs at zero reduced cost describe them all; among them the rule takes the first in row
// order: layer 0 takes the lowest-numbered site it can, then layer 1, and so on.
#include <atomic>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <vector>

#include "engine/Parallel.h"

// The pairs (row, column) whose reduced cost is zero, as a bit per pair and as lists by column.
struct TightPairs {
    int n = 0;
    size_t words = 0;            // 64-bit words per row
    std::vector<uint64_t> bits;  // row-major
    std::vector<int32_t> start;  // rows tight on column j: rows[start[j] .. start[j + 1])
    std::vector<int32_t> rows;

    // n x n pairs, none tight yet.
    void clear(int size) {
        n = size;
        words = (size_t(size) + 63) / 64;
        bits.assign(size_t(size) * words, 0);
    }
    // Marks (i, j) tight in row i's words.
    static void mark(uint64_t* row, int j) { row[j / 64] |= uint64_t(1) << (j % 64); }
    bool tight(int i, int j) const { return (bits[size_t(i) * words + j / 64] >> (j % 64)) & 1; }
};

// Lists the pairs by column, rows ascending, from the bits.
void listByColumn(TightPairs& t);

// Fills t with the zero reduced-cost pairs under column prices; false when the prices do not
// certify columns as a least total (a pair cheaper than its row's own).
template <typename Cost>
bool findTightPairs(const Cost& c, const std::vector<long long>& prices,
                    const std::vector<int32_t>& columns, TightPairs& t) {
    const int n = static_cast<int>(columns.size());
    t.clear(n);
    std::atomic<bool> certified{true};
    parallelFor(size_t(n), [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const int own = columns[i];
            const long long u = c(int(i), own) - prices[own];
            uint64_t* row = &t.bits[i * t.words];
            for (int j = 0; j < n; ++j) {
                const long long reduced = c(int(i), j) - prices[j] - u;
                if (reduced < 0) {
                    certified = false;
                } else if (reduced == 0) {
                    TightPairs::mark(row, j);
                }
            }
        }
    });
    if (!certified) {
        return false;
    }
    listByColumn(t);
    return true;
}

// Column prices under which a least-total assignment has every row at its cheapest reduced
// cost: shortest distances over the columns (each row's column reaches every other column at
// the row's cost difference), found by label correcting from start (zeros when empty; prices
// near certifying ones correct in few steps). Throws when columns is not a least total, which
// shows as a cycle that keeps lowering the prices.
template <typename Cost>
std::vector<long long> certifyingPrices(const Cost& c, const std::vector<int32_t>& columns,
                                        std::vector<long long> start = {}) {
    const int n = static_cast<int>(columns.size());
    std::vector<long long> v =
        start.empty() ? std::vector<long long>(size_t(n), 0) : std::move(start);
    std::vector<int32_t> rowOf(n);
    for (int i = 0; i < n; ++i) {
        rowOf[columns[i]] = i;
    }
    std::deque<int32_t> queue;
    std::vector<char> queued(n, 1);
    for (int j = 0; j < n; ++j) {
        queue.push_back(j);
    }
    const long long limit = (long long)n * n + n;
    for (long long pops = 0; !queue.empty(); ++pops) {
        if (pops > limit) {
            throw std::logic_error("the assignment is not of least total");
        }
        const int k = queue.front();
        queue.pop_front();
        queued[k] = 0;
        const int r = rowOf[k];
        const long long base = v[k] - c(r, k);
        for (int j = 0; j < n; ++j) {
            if (base + c(r, j) < v[j]) {
                v[j] = base + c(r, j);
                if (!queued[j]) {
                    queued[j] = 1;
                    queue.push_back(j);
                }
            }
        }
    }
    return v;
}

// Moves columns, a least-total assignment whose pairs are all in t, to the first least-total
// assignment in row order.
void takeFirstOfLeastTotal(const TightPairs& t, std::vector<int32_t>& columns);

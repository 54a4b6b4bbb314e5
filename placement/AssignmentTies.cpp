#include "placement/AssignmentTies.h"

#include <cassert>

void listByColumn(TightPairs& t) {
    t.start.assign(size_t(t.n) + 1, 0);
    auto forEachPair = [&](auto&& visit) {
        for (int i = 0; i < t.n; ++i) {
            const uint64_t* row = &t.bits[size_t(i) * t.words];
            for (size_t w = 0; w < t.words; ++w) {
                for (uint64_t b = row[w]; b != 0; b &= b - 1) {
                    visit(i, int(w * 64) + __builtin_ctzll(b));
                }
            }
        }
    };
    forEachPair([&](int, int j) { ++t.start[j + 1]; });
    for (int j = 0; j < t.n; ++j) {
        t.start[j + 1] += t.start[j];
    }
    t.rows.resize(size_t(t.start[t.n]));
    std::vector<int32_t> fill(t.start.begin(), t.start.end() - 1);
    forEachPair([&](int i, int j) { t.rows[fill[j]++] = i; });
}

namespace {

// The search for row i: the columns that later rows can free by each moving one column along
// zero reduced-cost pairs, in a chain that ends at the column row i gives up.
struct ChainSearch {
    explicit ChainSearch(int n) : seen(n, -1), wanted(n, -1), via(n), towards(n) {}
    std::vector<int32_t> seen, wanted;  // stamped with the row being settled
    std::vector<int32_t> via, towards;  // the row freeing a column, and the column it moves to
    std::vector<int32_t> queue;
};

// The lowest column row i may take instead of its own: tight, lower, held by a later row.
int lowestWanted(const TightPairs& t, const std::vector<int32_t>& rowOf, int i, int own,
                 ChainSearch& s) {
    int lowest = -1;
    for (int j = own - 1; j >= 0; --j) {
        if (t.tight(i, j) && rowOf[j] > i) {
            s.wanted[j] = i;
            lowest = j;
        }
    }
    return lowest;
}

// Breadth first from own; stops early when the lowest wanted column is freed.
int lowestFreed(const TightPairs& t, const std::vector<int32_t>& columns, int i, int own,
                int lowest, ChainSearch& s) {
    int best = -1;
    s.queue.assign(1, own);
    s.seen[own] = i;
    for (size_t q = 0; q < s.queue.size(); ++q) {
        const int c = s.queue[q];
        for (int32_t p = t.start[c]; p < t.start[c + 1]; ++p) {
            const int r = t.rows[p];
            if (r <= i || s.seen[columns[r]] == i) {
                continue;  // settled rows and row i itself stay put
            }
            const int k = columns[r];
            s.seen[k] = i;
            s.via[k] = r;
            s.towards[k] = c;
            s.queue.push_back(k);
            if (s.wanted[k] == i && (best < 0 || k < best)) {
                best = k;
                if (k == lowest) {
                    return best;
                }
            }
        }
    }
    return best;
}

}  // namespace

void takeFirstOfLeastTotal(const TightPairs& t, std::vector<int32_t>& columns) {
    const int n = t.n;
    assert(int(columns.size()) == n);
    std::vector<int32_t> rowOf(n);
    for (int i = 0; i < n; ++i) {
        rowOf[columns[i]] = i;
    }
    ChainSearch s(n);
    for (int i = 0; i < n; ++i) {
        const int own = columns[i];
        const int lowest = lowestWanted(t, rowOf, i, own, s);
        const int best = lowest < 0 ? -1 : lowestFreed(t, columns, i, own, lowest, s);
        if (best < 0) {
            continue;
        }
        // Row i takes best; each row on the chain moves one column towards own.
        for (int k = best; k != own;) {
            const int r = s.via[k], c = s.towards[k];
            columns[r] = c;
            rowOf[c] = r;
            k = c;
        }
        columns[i] = best;
        rowOf[best] = i;
    }
}

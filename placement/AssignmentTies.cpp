#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <queue>
#include <tuple>
#include <utility>

#include "placement/MinimumAssignment.h"

namespace {

using PointKey = std::tuple<uint32_t, uint32_t, uint32_t, bool>;

uint32_t bitsOf(float f) {
    uint32_t bits = 0;
    const float normal = f == 0.0f ? 0.0f : f;  // -0 and 0 cost the same
    std::memcpy(&bits, &normal, sizeof(bits));
    return bits;
}

// A group number per point: equal points share one, numbered by first appearance.
std::vector<int32_t> groupsOf(const std::vector<PointKey>& keys) {
    std::vector<int32_t> order(keys.size());
    for (size_t k = 0; k < order.size(); ++k) {
        order[k] = static_cast<int32_t>(k);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return keys[a] < keys[b]; });
    std::vector<int32_t> group(keys.size());
    int32_t current = -1;
    for (size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || keys[order[k]] != keys[order[k - 1]]) {
            ++current;
        }
        group[order[k]] = current;
    }
    return group;
}

PointKey keyOf(const Point2D& p, bool known) {
    return known ? PointKey{bitsOf(p.x), bitsOf(p.y), bitsOf(p.z), true} : PointKey{0, 0, 0, false};
}

}  // namespace

void settleTies(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                const std::vector<bool>& known, std::vector<int32_t>& columns) {
    const size_t n = columns.size();
    assert(from.size() == n && to.size() == n && known.size() == n);
    std::vector<PointKey> rowKeys(n), columnKeys(n);
    for (size_t k = 0; k < n; ++k) {
        rowKeys[k] = keyOf(from[k], known[k]);
        columnKeys[k] = keyOf(to[k], true);
    }
    const std::vector<int32_t> rowGroup = groupsOf(rowKeys);
    const std::vector<int32_t> columnGroup = groupsOf(columnKeys);

    // How many rows of each row group take a column of each column group: the only thing the
    // total depends on. Columns of a group are handed out lowest first.
    std::vector<std::vector<std::pair<int32_t, int32_t>>> demand(
        n);  // row group: (col group, count)
    for (size_t i = 0; i < n; ++i) {
        auto& list = demand[rowGroup[i]];
        const int32_t g = columnGroup[columns[i]];
        auto at =
            std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first == g; });
        if (at == list.end()) {
            list.emplace_back(g, 1);
        } else {
            ++at->second;
        }
    }
    std::vector<std::vector<int32_t>> members(n);  // column group: its columns, ascending
    for (size_t j = 0; j < n; ++j) {
        members[columnGroup[j]].push_back(static_cast<int32_t>(j));
    }
    std::vector<size_t> head(n, 0);

    // Per row group, a heap of (column at the head of a column group it still needs, entry).
    using Entry = std::pair<int32_t, size_t>;
    std::vector<std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>>> open(n);
    std::vector<bool> started(n, false);
    for (size_t i = 0; i < n; ++i) {
        const int32_t r = rowGroup[i];
        auto& heap = open[r];
        auto& list = demand[r];
        if (!started[r]) {
            started[r] = true;
            for (size_t e = 0; e < list.size(); ++e) {
                heap.emplace(members[list[e].first][head[list[e].first]], e);
            }
        }
        for (;;) {
            const auto [column, e] = heap.top();
            heap.pop();
            const int32_t g = list[e].first;
            const int32_t now = members[g][head[g]];
            if (now != column) {
                heap.emplace(now, e);  // another row group took that column meanwhile
                continue;
            }
            columns[i] = column;
            ++head[g];
            if (--list[e].second > 0) {
                heap.emplace(members[g][head[g]], e);
            }
            break;
        }
    }
}

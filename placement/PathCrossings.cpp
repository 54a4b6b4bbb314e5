#include "placement/PathCrossings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>

bool pathsCross(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d) {
    const auto side = [](const Point2D& o, const Point2D& p, const Point2D& q) {
        const double v =
            (double(p.x) - o.x) * (double(q.y) - o.y) - (double(p.y) - o.y) * (double(q.x) - o.x);
        return (v > 0) - (v < 0);
    };
    return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
}

namespace {

// A crossing pair's new sites this near each other across their common direction (in spacings)
// are a file of layers overtaking one another by a little: moving the two sites past each other
// keeps each layer with the shape, where a swap would hand it its neighbour's place (a tenth, and
// two passes, kept about a point fewer of the neighbours at 3000 layers; at 0.35, the sites crowd
// and the size change p95 goes over 15 %).
constexpr double kPastWithin = 0.25;
// Sites move past each other in the first passes only (a move past can make a crossing the next
// pass finds); later passes swap, and end.
constexpr int kPastPasses = 8;

// Moves the new sites a and b of the crossing paths fa -> a and fb -> b past each other across
// the pair's common direction, by the least of a few shares of their distance across it that
// uncrosses the paths and keeps both sites inside. False (nothing moved) if none does.
bool movePast(const Point2D& fa, Point2D& a, const Point2D& fb, Point2D& b, double within,
              const std::function<bool(const Point2D&)>& inside) {
    const double ux = (double(a.x) - fa.x) + (double(b.x) - fb.x);
    const double uy = (double(a.y) - fa.y) + (double(b.y) - fb.y);
    const double length = std::hypot(ux, uy);
    if (!(length > 1e-9)) {
        return false;
    }
    const double nx = -uy / length, ny = ux / length;
    const double across = (double(b.x) - a.x) * nx + (double(b.y) - a.y) * ny;
    if (std::abs(across) > within) {
        return false;
    }
    // Just past each other first: the less a site moves, the less it crowds its neighbours.
    for (const double share : {0.55, 0.75, 1.0}) {
        const double d = share * across;
        const Point2D na(float(a.x + d * nx), float(a.y + d * ny));
        const Point2D nb(float(b.x - d * nx), float(b.y - d * ny));
        if (!pathsCross(fa, na, fb, nb) && inside(na) && inside(nb)) {
            a = na;
            b = nb;
            return true;
        }
    }
    return false;
}

}  // namespace

void uncrossPaths(const std::vector<Point2D>& from, std::vector<MySitePoint>& sites,
                  std::vector<Point2D>& offsets, const std::function<bool(const Point2D&)>& inside,
                  double spacing) {
    // Each pass undoes the crossings the one before made; at 3000 layers a crossfade's frame
    // needs up to about 70 passes (64 left some crossed), so this only bounds the time.
    constexpr int kPasses = 128;
    const size_t n = std::min(from.size(), sites.size());
    const bool withOffsets = offsets.size() == n;
    if (n < 2) {
        return;
    }
    std::vector<std::pair<int32_t, int32_t>> pairs;
    struct Crossing {
        double apart;  // squared distance between the two new sites
        int32_t i, j;
    };
    std::vector<Crossing> crossing;
    std::vector<std::vector<int32_t>> cells;
    std::vector<int32_t> firstColumn(n), firstRow(n);
    std::vector<uint8_t> swappedBefore(n, 0), swappedNow(n, 0);
    const double pastWithin = inside && spacing > 0 ? kPastWithin * spacing : -1;
    for (int pass = 0; pass < kPasses; ++pass) {
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL, extent = 0;
        for (size_t j = 0; j < n; ++j) {
            const Point2D &a = from[j], &b = sites[j].position;
            x0 = std::min({x0, double(a.x), double(b.x)});
            y0 = std::min({y0, double(a.y), double(b.y)});
            x1 = std::max({x1, double(a.x), double(b.x)});
            y1 = std::max({y1, double(a.y), double(b.y)});
            extent += std::max(std::abs(double(b.x) - a.x), std::abs(double(b.y) - a.y));
        }
        if (!std::isfinite(x0 + y0 + x1 + y1)) {
            return;
        }
        // Cells about a path's mean extent wide, and about as many as there are paths at most.
        const double side =
            std::max({extent / double(n), std::sqrt((x1 - x0) * (y1 - y0) / double(n)), 1e-3});
        const int nx = std::max(1, std::min(4096, int((x1 - x0) / side) + 1));
        const int ny = std::max(1, std::min(4096, int((y1 - y0) / side) + 1));
        // Emptied, not freed: their room serves the next pass.
        cells.resize(size_t(nx) * size_t(ny));
        for (std::vector<int32_t>& c : cells) {
            c.clear();
        }
        const auto column = [&](double x) { return std::min(nx - 1, int((x - x0) / side)); };
        const auto row = [&](double y) { return std::min(ny - 1, int((y - y0) / side)); };
        pairs.clear();
        for (size_t j = 0; j < n; ++j) {
            const Point2D &a = from[j], &b = sites[j].position;
            const int cx0 = column(std::min(a.x, b.x)), cx1 = column(std::max(a.x, b.x));
            const int cy0 = row(std::min(a.y, b.y)), cy1 = row(std::max(a.y, b.y));
            firstColumn[j] = cx0;
            firstRow[j] = cy0;
            for (int cy = cy0; cy <= cy1; ++cy) {
                for (int cx = cx0; cx <= cx1; ++cx) {
                    std::vector<int32_t>& c = cells[size_t(cy) * size_t(nx) + size_t(cx)];
                    for (int32_t k : c) {
                        // Once a pair: in the first cell that both paths' cells share.
                        if (cx == std::max(cx0, firstColumn[size_t(k)]) &&
                            cy == std::max(cy0, firstRow[size_t(k)])) {
                            pairs.emplace_back(k, int32_t(j));
                        }
                    }
                    c.push_back(int32_t(j));
                }
            }
        }
        // From the second pass, a pair neither of whose paths moved in the pass before is as that
        // pass left it (uncrossed) or its boxes shared no cell: it does not cross, and is not
        // tested again. A pair that a move in this pass crosses is found in the next.
        crossing.clear();
        for (const auto& [i, j] : pairs) {
            const Point2D &a = sites[size_t(i)].position, &b = sites[size_t(j)].position;
            if ((pass == 0 || swappedBefore[size_t(i)] | swappedBefore[size_t(j)]) &&
                pathsCross(from[size_t(i)], a, from[size_t(j)], b)) {
                const double dx = double(a.x) - b.x, dy = double(a.y) - b.y;
                crossing.push_back({dx * dx + dy * dy, i, j});
            }
        }
        // The pairs whose new sites are nearest first: swapping near sites moves their layers
        // least off where the rounds put them, and often uncrosses a farther pair on the way.
        // Ties go by the pair's paths, so the order is fixed.
        std::sort(crossing.begin(), crossing.end(), [](const Crossing& p, const Crossing& q) {
            return std::tie(p.apart, p.i, p.j) < std::tie(q.apart, q.i, q.j);
        });
        bool swapped = false;
        for (const Crossing& c : crossing) {
            const size_t i = size_t(c.i), j = size_t(c.j);
            Point2D &a = sites[i].position, &b = sites[j].position;
            if (!pathsCross(from[i], a, from[j], b)) {
                continue;  // uncrossed by an earlier move of this pass
            }
            swappedNow[i] = swappedNow[j] = 1;
            swapped = true;
            if (pass < kPastPasses && movePast(from[i], a, from[j], b, pastWithin, inside)) {
                continue;
            }
            std::swap(a, b);
            if (withOffsets) {
                std::swap(offsets[i], offsets[j]);
            }
        }
        if (!swapped) {
            return;
        }
        swappedBefore.swap(swappedNow);
        std::fill(swappedNow.begin(), swappedNow.end(), uint8_t(0));
    }
}

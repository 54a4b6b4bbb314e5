// The paths a followed frame's layers take: the crossing test on its edge cases, and the swaps
// and moves past each other that uncross them checked against every pair.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "placement/PathCrossings.h"

namespace {

// Two paths and whether they cross: touching or lying along each other is not crossing.
const struct {
    const char* name;
    Point2D a, b, c, d;
    bool cross;
} kPairs[] = {
    {"an X", {0, 0}, {10, 10}, {0, 10}, {10, 0}, true},
    {"parallel", {0, 0}, {10, 0}, {0, 1}, {10, 1}, false},
    {"one end on the other path", {0, 0}, {10, 0}, {5, 0}, {5, 5}, false},
    {"shared end", {0, 0}, {10, 0}, {10, 0}, {10, 10}, false},
    {"along each other", {0, 0}, {10, 0}, {5, 0}, {15, 0}, false},
    {"a path that does not move", {0, 0}, {10, 10}, {5, 5}, {5, 5}, false},
    {"short of the other", {0, 0}, {4, 4}, {0, 10}, {10, 0}, false},
};

TEST(PathCrossings, CrossingNeedsBothPathsToPassEachOther) {
    for (const auto& p : kPairs) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(pathsCross(p.a, p.b, p.c, p.d), p.cross);
        EXPECT_EQ(pathsCross(p.c, p.d, p.a, p.b), p.cross);
        EXPECT_EQ(pathsCross(p.b, p.a, p.d, p.c), p.cross);
    }
}

struct Paths {
    std::vector<Point2D> from, to;
};

// Layers on a jittered lattice; `move` gives each its new place.
Paths lattice(int n, std::mt19937& gen, const std::function<Point2D(Point2D)>& move) {
    std::uniform_real_distribution<float> jitter(-0.4f, 0.4f);
    const int side = int(std::ceil(std::sqrt(double(n))));
    Paths p;
    for (int i = 0; i < n; ++i) {
        const Point2D at(float(i % side) + jitter(gen), float(i / side) + jitter(gen));
        p.from.push_back(at);
        p.to.push_back(move(at));
    }
    return p;
}

// Where the swaps meet many crossings: a band sliding up through still columns (the streams of
// a morph's bar and stem), every layer drifting a little, and long moves among short ones.
const struct {
    const char* name;
    std::function<Paths(int, std::mt19937&)> make;
} kShapes[] = {
    {"band through columns",
     [](int n, std::mt19937& gen) {
         std::uniform_real_distribution<float> drift(-0.3f, 0.3f);
         const float side = std::ceil(std::sqrt(float(n)));
         return lattice(n, gen, [&](Point2D p) {
             const bool band = p.y > 0.4f * side && p.y < 0.6f * side;
             return Point2D(p.x + 0.5f + drift(gen), p.y - (band ? 2.7f : 0.0f) + drift(gen));
         });
     }},
    {"drift",
     [](int n, std::mt19937& gen) {
         std::normal_distribution<float> drift(0.0f, 0.4f);
         return lattice(n, gen,
                        [&](Point2D p) { return Point2D(p.x + drift(gen), p.y + drift(gen)); });
     }},
    {"long among short",
     [](int n, std::mt19937& gen) {
         std::uniform_real_distribution<float> u(0.0f, 1.0f);
         const float side = std::ceil(std::sqrt(float(n)));
         return lattice(n, gen, [&](Point2D p) {
             return u(gen) < 0.05f ? Point2D(u(gen) * side, u(gen) * side)
                                   : Point2D(p.x + 0.3f * (u(gen) - 0.5f), p.y);
         });
     }},
};

double totalLength(const std::vector<Point2D>& from, const std::vector<MySitePoint>& sites) {
    double s = 0;
    for (size_t i = 0; i < from.size(); ++i) {
        s += std::hypot(double(sites[i].position.x) - from[i].x,
                        double(sites[i].position.y) - from[i].y);
    }
    return s;
}

}  // namespace

// After the uncrossing no two paths cross (every pair checked) and the cells' offsets are shared
// out as they were. With swaps only, the layers share out the same new places, each keeping its
// place's offset, and the paths are no longer in all. Where sites may move past each other (the
// lattice's spacing is 1; only on the right half of it), a site off every place it had is on the
// right half and within half a spacing of one of them.
TEST(PathCrossings, UncrossingLeavesNoPairCrossed) {
    std::mt19937 gen(77);
    for (const bool past : {false, true}) {
        for (const auto& shape : kShapes) {
            for (int n : {2, 40, 600, 2500}) {
                SCOPED_TRACE(std::string(shape.name) + ", " + std::to_string(n) + " layers" +
                             (past ? ", moving past" : ""));
                const Paths p = shape.make(n, gen);
                const float half = 0.5f * std::ceil(std::sqrt(float(n)));
                const std::function<bool(const Point2D&)> inside = [&](const Point2D& q) {
                    return q.x > half;
                };
                std::vector<MySitePoint> sites(p.to.size());
                std::vector<Point2D> offsets(p.to.size());
                int crossed = 0;
                for (size_t i = 0; i < p.to.size(); ++i) {
                    sites[i].position = p.to[i];
                    offsets[i] = Point2D(p.to[i].y, -p.to[i].x);  // tells its place
                    for (size_t j = 0; j < i; ++j) {
                        crossed += pathsCross(p.from[i], p.to[i], p.from[j], p.to[j]);
                    }
                }
                const double before = totalLength(p.from, sites);
                uncrossPaths(p.from, sites, offsets, past ? inside : nullptr, past ? 1.0 : 0.0);
                EXPECT_TRUE(crossed > 0 || n < 600);  // the case is one the swaps meet
                std::vector<std::pair<float, float>> was, now, told;
                int moved = 0;
                for (size_t i = 0; i < sites.size(); ++i) {
                    const Point2D& q = sites[i].position;
                    was.emplace_back(p.to[i].x, p.to[i].y);
                    now.emplace_back(q.x, q.y);
                    told.emplace_back(-offsets[i].y, offsets[i].x);
                    if (!past) {
                        EXPECT_EQ(offsets[i].x, q.y);
                        EXPECT_EQ(offsets[i].y, -q.x);
                        continue;
                    }
                    double nearest = HUGE_VAL;
                    for (const Point2D& t : p.to) {
                        nearest =
                            std::min(nearest, std::hypot(double(q.x) - t.x, double(q.y) - t.y));
                    }
                    if (nearest > 0) {
                        ++moved;
                        EXPECT_TRUE(inside(q)) << q.x << ", " << q.y;
                        EXPECT_LE(nearest, 0.5);
                    }
                }
                std::sort(was.begin(), was.end());
                std::sort(now.begin(), now.end());
                std::sort(told.begin(), told.end());
                EXPECT_EQ(told, was);
                if (!past) {
                    EXPECT_EQ(now, was);
                    EXPECT_LE(totalLength(p.from, sites), before * (1 + 1e-9));
                } else if (n >= 600) {
                    EXPECT_GT(moved, 0);  // the case is one where sites move past each other
                }
                int left = 0;
                for (size_t i = 0; i < sites.size(); ++i) {
                    for (size_t j = 0; j < i; ++j) {
                        left +=
                            pathsCross(p.from[i], sites[i].position, p.from[j], sites[j].position);
                    }
                }
                EXPECT_EQ(left, 0) << "of " << crossed;
            }
        }
    }
}

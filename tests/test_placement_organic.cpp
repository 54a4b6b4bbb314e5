#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "engine_fixture.h"
#include "placement/Sinkhorn.h"
#include "scoped_switches.h"

namespace {

bool onRing(int x, int y) {
    const float d = std::hypot(x - 50.0f, y - 50.0f);
    return d >= 30.0f && d <= 40.0f;
}

}  // namespace

TEST(PlacementOrganic, OneSiteEndsAtTheMeanOfItsSamples) {
    MyTessaron e;
    e.layerCount = 1;
    fixture::setOpaqueImage(e, 60, 40);
    seedRandomSources(1);
    e.getOrganicPoints();
    ASSERT_EQ(e.sites.size(), 1u);
    const auto& samples = e.sites[0].densityPoints;
    ASSERT_EQ(samples.size(), 50u);
    float sx = 0, sy = 0;
    for (const Point2D& p : samples) {
        sx += p.x;
        sy += p.y;
    }
    EXPECT_FLOAT_EQ(e.sites[0].position.x, sx * (1.0f / 50.0f));
    EXPECT_FLOAT_EQ(e.sites[0].position.y, sy * (1.0f / 50.0f));
}

TEST(PlacementOrganic, OneSiteOnARingStaysOnItsFirstSample) {
    MyTessaron e;
    e.layerCount = 1;
    fixture::setImage(e, 100, 100, onRing);
    seedRandomSources(2);
    e.getOrganicPoints();
    ASSERT_EQ(e.sites.size(), 1u);
    const Point2D p = e.sites[0].position;
    EXPECT_TRUE(e.isPointInsideShape(p.x, p.y));
    EXPECT_EQ(p.x, e.sites[0].densityPoints.front().x);
    EXPECT_EQ(p.y, e.sites[0].densityPoints.front().y);
}

// All 50 x n samples are shared out, every site stays on an L-shaped source and ends where its
// last samples put it.
TEST(PlacementOrganic, SitesStayOnTheShapeAtTheirSamples) {
    MyTessaron e;
    e.layerCount = 40;
    fixture::setImage(e, 120, 80, [](int x, int y) { return x < 60 || y < 20; });
    seedRandomSources(3);
    e.getOrganicPoints();
    ASSERT_EQ(e.sites.size(), 40u);
    size_t total = 0;
    for (const MySitePoint& s : e.sites) {
        EXPECT_TRUE(e.isPointInsideShape(s.position.x, s.position.y));
        total += s.densityPoints.size();
    }
    EXPECT_EQ(total, 2000u);
    for (MySitePoint s : e.sites) {
        const Point2D before = s.position;
        e.moveToCentroid(s);
        EXPECT_EQ(s.position.x, before.x);
        EXPECT_EQ(s.position.y, before.y);
    }
}

TEST(PlacementOrganic, SameDrawsGiveSameSites) {
    MyTessaron a, b;
    a.layerCount = b.layerCount = 10;
    fixture::setImage(a, 50, 50, onRing);
    fixture::setImage(b, 50, 50, onRing);
    seedRandomSources(9);
    a.getOrganicPoints();
    seedRandomSources(9);
    b.getOrganicPoints();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(a.sites[i].position.x, b.sites[i].position.x);
        EXPECT_EQ(a.sites[i].position.y, b.sites[i].position.y);
    }
}

namespace {

// The relaxation with a brute-force nearest site (first of equals), drawing as the engine does.
std::vector<Point2D> bruteForceOrganic(const MyTessaron& e, int n) {
    std::vector<Point2D> sites, samples;
    for (int i = 0; i < n; ++i) {
        sites.push_back(e.generatePointInsideShape());
    }
    for (int i = 0; i < 50 * n; ++i) {
        samples.push_back(e.generatePointInsideShape());
    }
    for (int round = 0; round < 15; ++round) {
        std::vector<std::vector<Point2D>> near(n);
        for (const Point2D& p : samples) {
            int best = 0;
            double bestD = 1e300;
            for (int i = 0; i < n; ++i) {
                const double dx = double(p.x) - sites[i].x, dy = double(p.y) - sites[i].y;
                if (dx * dx + dy * dy < bestD) {
                    bestD = dx * dx + dy * dy;
                    best = i;
                }
            }
            near[best].push_back(p);
        }
        for (int i = 0; i < n; ++i) {
            if (near[i].empty()) {
                continue;
            }
            float sx = 0.0f, sy = 0.0f;
            for (const Point2D& p : near[i]) {
                sx = sx + p.x;
                sy = sy + p.y;
            }
            const float w = 1.0f / static_cast<float>(near[i].size());
            const Point2D mean(sx * w, sy * w);
            sites[i] = e.isPointInsideShape(mean.x, mean.y) ? mean : near[i].front();
        }
    }
    return sites;
}

}  // namespace

// The kd-tree search against a brute-force one on random blobs and site counts.
TEST(PlacementOrganic, MatchesBruteForceRelaxation) {
    std::mt19937 shapes(17);
    for (int n : {1, 2, 7, 40}) {
        const int cx = 10 + int(shapes() % 60), cy = 10 + int(shapes() % 40);
        const int r = 5 + int(shapes() % 20);
        MyTessaron e;
        e.layerCount = n;
        fixture::setImage(e, 90, 70, [&](int x, int y) {
            return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r || (x > 70 && y > 50);
        });
        seedRandomSources(uint64_t(n));
        const std::vector<Point2D> expected = bruteForceOrganic(e, n);
        seedRandomSources(uint64_t(n));
        e.getOrganicPoints();
        ASSERT_EQ(e.sites.size(), size_t(n));
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(e.sites[i].position.x, expected[i].x) << n << " " << i;
            EXPECT_EQ(e.sites[i].position.y, expected[i].y) << n << " " << i;
        }
        size_t total = 0;
        for (const MySitePoint& s : e.sites) {
            total += s.densityPoints.size();
        }
        EXPECT_EQ(total, size_t(50 * n));
    }
}

TEST(PlacementOrganic, SiteWithoutSamplesStaysWhereItIs) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 10, 10);
    MySitePoint s;
    s.position = Point2D(3.25f, 4.5f);
    e.moveToCentroid(s);
    EXPECT_EQ(s.position.x, 3.25f);
    EXPECT_EQ(s.position.y, 4.5f);
}

namespace {

std::vector<Point2D> relaxed(int n, SearchPath path, int threads,
                             const std::function<void(MyTessaron&)>& image) {
    const ScopedSearchPath pathPinned(path);
    const ScopedWorkerThreads threadsPinned(threads);
    MyTessaron e;
    e.layerCount = n;
    image(e);
    seedRandomSources(4);
    e.getOrganicPoints();
    std::vector<Point2D> sites;
    for (const MySitePoint& s : e.sites) {
        sites.push_back(s.position);
    }
    return sites;
}

void expectSamePoints(const std::vector<Point2D>& a, const std::vector<Point2D>& b,
                      const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].x, b[i].x) << what << " " << i;
        ASSERT_EQ(a[i].y, b[i].y) << what << " " << i;
    }
}

}  // namespace

// The grid search relaxes exactly as the kd-tree does, on one thread or several: a ring, a
// single pixel (every sample shared by nearly coincident sites), and 3000 layers on an ellipse.
TEST(PlacementOrganic, FastRelaxationMatchesTheReference) {
    const auto ring = [](MyTessaron& e) { fixture::setImage(e, 100, 100, onRing); };
    const auto pixel = [](MyTessaron& e) {
        fixture::setImage(e, 20, 20, [](int x, int y) { return x == 7 && y == 3; });
    };
    const auto ellipse = [](MyTessaron& e) {
        fixture::setImage(e, 640, 360, [](int x, int y) {
            const double dx = (x - 320) / 320.0, dy = (y - 180) / 180.0;
            return dx * dx + dy * dy <= 1.0;
        });
    };
    struct Case {
        const char* what;
        int n;
        std::function<void(MyTessaron&)> image;
    };
    for (const Case& c : {Case{"ring", 60, ring}, Case{"pixel", 30, pixel}, Case{"one", 1, ellipse},
                          Case{"ellipse", 3000, ellipse}}) {
        const auto reference = relaxed(c.n, SearchPath::Reference, 1, c.image);
        expectSamePoints(relaxed(c.n, SearchPath::Fast, 1, c.image), reference, c.what);
        expectSamePoints(relaxed(c.n, SearchPath::Fast, 2, c.image), reference, c.what);
    }
}

// A followed site that fell off the shape goes to the nearest point of the shape's pixels (a
// little inside the pixel's square, so that sites side by side off an edge stay apart on it):
// against every pixel, on scattered blobs, from points inside, beside and far outside the image.
TEST(PlacementOrganic, AFollowedSiteOffTheShapeGoesToTheNearestPointOfTheShape) {
    std::mt19937 gen(25);
    for (int trial = 0; trial < 4; ++trial) {
        std::uniform_real_distribution<float> cx(0, 120), cy(0, 80), r(1, 9);
        std::vector<std::array<float, 3>> blobs;
        for (int b = 0; b < 3 + trial; ++b) blobs.push_back({cx(gen), cy(gen), r(gen)});
        auto onBlob = [&](int x, int y) {
            for (const auto& b : blobs)
                if (std::hypot(x - b[0], y - b[1]) <= b[2]) return true;
            return false;
        };
        MyTessaron e;
        fixture::setImage(e, 120, 80, onBlob);
        std::uniform_real_distribution<float> px(-150, 270), py(-100, 180);
        for (int k = 0; k < 200; ++k) {
            const Point2D p(px(gen), py(gen));
            const Point2D q = e.nearestPointOnShape(p);
            ASSERT_TRUE(e.isPointInsideShape(q.x, q.y));
            if (e.isPointInsideShape(p.x, p.y)) {
                EXPECT_EQ(q.x, p.x);
                continue;
            }
            double best = HUGE_VAL;
            const auto gap = [](float v, int cell) {
                return std::max({0.0, cell + 1.0 / 64 - v, v - (cell + 1 - 1.0 / 64)});
            };
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 120; ++x)
                    if (onBlob(x, y)) best = std::min(best, std::hypot(gap(p.x, x), gap(p.y, y)));
            EXPECT_NEAR(std::hypot(q.x - p.x, q.y - p.y), best, 1e-3) << p.x << ", " << p.y;
        }
    }
}

// A fade's transport scales its kernel with vectors as wide as the processor has; the bits must
// be those of the rounds taken one product at a time (four running sums, no fused products),
// whatever the block's shape, so that every processor finds the same layout.
TEST(PlacementOrganic, TransportRoundsGiveTheBitsOfOneProductAtATime) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const auto& [na, nb] : {std::pair<size_t, size_t>{1, 1}, {3, 5}, {8, 8}, {37, 61}}) {
        std::vector<double> k(na * nb), a(na), b(nb);
        for (double& x : k) {
            x = std::exp(-40.0 * unit(random));  // entries far apart in scale, as a kernel's are
        }
        for (double& x : a) {
            x = unit(random) + 0.01;
        }
        for (double& x : b) {
            x = unit(random) + 0.01;
        }
        std::vector<double> u(na), v(nb), wantU(na), wantV(nb, 1.0);
        for (size_t r = 0; r < na; ++r) {
            u[r] = wantU[r] = a[r] / double(nb);
        }
        sinkhorn::rounds(k.data(), na, nb, a.data(), b.data(), 5, u.data(), v.data());
        for (int it = 0; it < 5; ++it) {
            std::vector<double> column(4 * nb, 0.0);
            for (size_t r = 0; r < na; ++r) {
                if (it > 0) {
                    double s[4] = {0, 0, 0, 0};
                    for (size_t c = 0; c < nb; ++c) {
                        const double p = k[r * nb + c] * wantV[c];
                        s[c % 4] += p;
                    }
                    wantU[r] = a[r] / ((s[0] + s[1]) + (s[2] + s[3]));
                }
                for (size_t c = 0; c < nb; ++c) {
                    const double p = k[r * nb + c] * wantU[r];
                    column[(r % 4) * nb + c] += p;
                }
            }
            for (size_t c = 0; c < nb; ++c) {
                wantV[c] = b[c] / ((column[c] + column[nb + c]) +
                                   (column[2 * nb + c] + column[3 * nb + c]));
            }
        }
        for (size_t r = 0; r < na; ++r) {
            EXPECT_EQ(u[r], wantU[r]) << na << " x " << nb << ", row " << r;
        }
        for (size_t c = 0; c < nb; ++c) {
            EXPECT_EQ(v[c], wantV[c]) << na << " x " << nb << ", column " << c;
        }
    }
}

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "engine_fixture.h"

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
    std::srand(1);
    init_genrand64(1);
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
    std::srand(2);
    init_genrand64(2);
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
    std::srand(3);
    init_genrand64(3);
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
    std::srand(9);
    init_genrand64(9);
    a.getOrganicPoints();
    std::srand(9);
    init_genrand64(9);
    b.getOrganicPoints();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(a.sites[i].position.x, b.sites[i].position.x);
        EXPECT_EQ(a.sites[i].position.y, b.sites[i].position.y);
    }
}

// The bit index of opaque pixels picks exactly the pixels the coordinate lists it replaced picked.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/OpaqueIndex.h"

namespace {

struct Shape {
    int width, height;
    double density;
};

// Random shapes of widths around word boundaries, with empty rows and a full row or two.
TEST(OpaqueIndex, PicksWhatTheCoordinateListsPicked) {
    std::mt19937 gen(7);
    const Shape shapes[] = {{1, 1, 1.0},    {63, 3, 0.5},    {64, 4, 0.3}, {65, 5, 0.9},
                            {130, 7, 0.05}, {200, 3, 1.0},   {7, 40, 0.2}, {129, 9, 0.0},
                            {1100, 4, 0.5}, {1025, 4, 0.01}, {520, 5, 1.0}};
    for (const Shape& s : shapes) {
        std::bernoulli_distribution opaque(s.density);
        OpaqueIndex index;
        index.reset(s.width, s.height);
        std::vector<int32_t> xs, ys;  // the old representation, filled in the same scan order
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) {
                if (y % 3 != 1 && opaque(gen)) {
                    index.set(x, y);
                    xs.push_back(x);
                    ys.push_back(y);
                }
            }
        }
        index.finish();
        ASSERT_EQ(index.count(), xs.size()) << s.width;
        for (size_t k = 0; k < xs.size(); ++k) {
            int32_t x = -1, y = -1;
            index.pick(k, x, y);
            ASSERT_EQ(x, xs[k]) << s.width << " k " << k;
            ASSERT_EQ(y, ys[k]) << s.width << " k " << k;
            ASSERT_TRUE(index.opaque(x, y));
        }
        size_t visited = 0;  // the row walk visits the same pixels in the same order
        index.forEach([&](int x, int y) {
            ASSERT_LT(visited, xs.size());
            EXPECT_EQ(x, xs[visited]);
            EXPECT_EQ(y, ys[visited]);
            ++visited;
        });
        EXPECT_EQ(visited, xs.size()) << s.width;
    }
}

// anyIn against a brute-force scan of every rectangle of a small shape.
TEST(OpaqueIndex, FindsOpaquePixelsInRectangles) {
    const int w = 70, h = 4;
    OpaqueIndex index;
    index.reset(w, h);
    const std::pair<int, int> pixels[] = {{0, 3}, {63, 1}, {64, 1}, {69, 2}};
    for (const auto& [x, y] : pixels) index.set(x, y);
    index.finish();
    for (int x0 = 0; x0 <= w; x0 += 3) {
        for (int x1 = x0; x1 <= w + 2; x1 += 5) {
            for (int y0 = 0; y0 <= h; ++y0) {
                for (int y1 = y0; y1 <= h; ++y1) {
                    bool expected = false;
                    for (const auto& [x, y] : pixels)
                        expected |= x >= x0 && x < x1 && y >= y0 && y < y1;
                    ASSERT_EQ(index.anyIn(x0, y0, x1, y1), expected)
                        << x0 << "," << y0 << " " << x1 << "," << y1;
                }
            }
        }
    }
    EXPECT_FALSE(index.opaque(-1, 0));
    EXPECT_FALSE(index.opaque(w, 0));
}

}  // namespace

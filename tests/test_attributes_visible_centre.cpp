#include <gtest/gtest.h>

#include "attributes/VisibleCentre.h"

// The offset from the anchor point to the bounds' centre, scaled per axis and turned clockwise.
TEST(AttributesVisibleCentre, OffsetFromTheAnchorScaledAndTurned) {
    const A_FloatRect bounds = {0, 0, 100, 60};
    const Point2D centred = visibleCentreOffset(bounds, Point2D(50, 30), 37.0f, 81.0f, 33.0f);
    EXPECT_EQ(centred.x, 0.0f);
    EXPECT_EQ(centred.y, 0.0f);
    const Point2D corner = visibleCentreOffset(bounds, Point2D(0, 0), 100.0f, 100.0f, 0.0f);
    EXPECT_FLOAT_EQ(corner.x, 50.0f);
    EXPECT_FLOAT_EQ(corner.y, 30.0f);
    const Point2D turned = visibleCentreOffset(bounds, Point2D(0, 0), 50.0f, 200.0f, 90.0f);
    EXPECT_NEAR(turned.x, -60.0, 1e-4);  // (25, 60) a quarter turn clockwise, y down
    EXPECT_NEAR(turned.y, 25.0, 1e-4);
    // Bounds that do not start at the layer's origin (text, shapes) count from their own centre.
    const Point2D shifted = visibleCentreOffset({-20, -10, 20, 10}, Point2D(0, 0), 100, 100, 0);
    EXPECT_EQ(shifted.x, 0.0f);
    EXPECT_EQ(shifted.y, 0.0f);
}

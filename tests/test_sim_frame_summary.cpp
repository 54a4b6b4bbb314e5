// The per-frame summary of a collage: rotated-rectangle overlaps, layers off the shape, bare
// cells and the share of the shape covered.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/result/FrameSummary.h"
#include "sim/result/ResultExtras.h"

namespace {

sim::Quad square(double cx, double cy, double side, double degrees = 0.0) {
    const double r = degrees * M_PI / 180.0, h = side / 2.0;
    sim::Quad q;
    const double corners[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
    for (int i = 0; i < 4; ++i) {
        const double x = corners[i][0], y = corners[i][1];
        q[size_t(i)] = {cx + x * std::cos(r) - y * std::sin(r),
                        cy + x * std::sin(r) + y * std::cos(r)};
    }
    return q;
}

TEST(FrameSummaryGeometry, OverlapIsMeasuredOnTheRotatedRectangles) {
    EXPECT_NEAR(sim::overlapDepth(square(5, 5, 10), square(12, 5, 10)), 3.0, 1e-12);
    EXPECT_NEAR(sim::overlapDepth(square(5, 5, 10), square(15, 5, 10)), 0.0, 1e-12);  // touch
    EXPECT_LT(sim::overlapDepth(square(5, 5, 10), square(16, 5, 10)), 0.0);
    // Diamonds whose bounding boxes overlap while they only meet at a corner gap.
    const double d = 10.0 * std::sqrt(2.0);  // a diamond's width
    EXPECT_LT(sim::overlapDepth(square(0, 0, 10, 45), square(d + 0.5, 0, 10, 45)), 0.0);
    EXPECT_GT(sim::overlapDepth(square(0, 0, 10, 45), square(d - 0.5, 0, 10, 45)), 0.0);
    // A mirrored rectangle (corners the other way round) still contains its centre.
    sim::Quad mirrored = square(5, 5, 10);
    std::swap(mirrored[1], mirrored[3]);
    EXPECT_TRUE(sim::contains(mirrored, 5, 5));
    EXPECT_FALSE(sim::contains(square(0, 0, 10, 45), 6.5, 6.5));
}

sim::Layer solid(int id, const std::string& name, int w, int h, double x, double y) {
    sim::Layer l;
    l.id = id;
    l.name = name;
    l.width = w;
    l.height = h;
    l.anchorPoint.value = {w / 2.0, h / 2.0, 0};
    l.position.value = {x, y, 0};
    return l;
}

// The Source covers the left half of a 100 x 100 composition; A and B overlap by 3 pixels on
// it, C lies to its right.
sim::Comp halfShape() {
    sim::Comp comp;
    comp.width = comp.height = 100;
    comp.layers = {solid(1, "Source", 50, 100, 25, 50), solid(2, "A", 10, 10, 5, 5),
                   solid(3, "B", 10, 10, 12, 5), solid(4, "C", 10, 10, 80, 50)};
    return comp;
}

TEST(FrameSummary, CountsWhatADesignerChecks) {
    const sim::Comp comp = halfShape();
    const sim::FrameSummary s = sim::summariseFrame(comp, {1, 2, 3}, {&comp.layers[0], nullptr}, 0);
    EXPECT_EQ(s.placed, 3);
    ASSERT_EQ(s.overlaps.size(), 1u);
    EXPECT_EQ(s.overlaps[0], std::make_pair(1, 2));
    EXPECT_NEAR(s.deepestOverlap, 3.0, 1e-9);
    EXPECT_EQ(s.outside, 1);
    EXPECT_NEAR(s.covered, 170.0 / 5000.0, 1e-9);
    EXPECT_EQ(s.cellSize, 10.0);
    EXPECT_EQ(s.bareCells, 48);  // 50 cells on the shape, A and B cover one each
}

TEST(FrameSummary, HiddenLayersNeitherOverlapNorCover) {
    sim::Comp comp = halfShape();
    comp.layers[2].opacity.value = {0, 0, 0};
    const sim::FrameSummary s = sim::summariseFrame(comp, {1, 2}, {&comp.layers[0], nullptr}, 0);
    EXPECT_EQ(s.placed, 2);
    EXPECT_TRUE(s.overlaps.empty());
    EXPECT_NEAR(s.covered, 100.0 / 5000.0, 1e-9);
    const sim::FrameSummary noShape = sim::summariseFrame(comp, {1, 2}, {}, 0);
    EXPECT_FALSE(noShape.hasShape);
    EXPECT_EQ(noShape.outside, 0);
}

// The frames a run keyed, and at each the layers whose keys it wrote or changed.
TEST(FrameSummary, RunSummaryCoversTheKeyedFrames) {
    sim::Project before;
    before.comp = halfShape();
    before.comp.frameDuration = {1, 25};
    before.comp.layers[3].position.addKey({0, 25}, {80, 50, 0});  // the user's own key
    sim::Project after = before;
    after.comp.layers[1].position.addKey({0, 25}, {5, 5, 0});
    after.comp.layers[2].position.addKey({0, 25}, {12, 5, 0});
    after.comp.layers[2].position.addKey({5, 25}, {40, 40, 0});
    const sim::RunSummary run = sim::summariseRun(before, after, 1);
    ASSERT_EQ(run.frames.size(), 2u);
    EXPECT_EQ(run.frameJson(0)["time"], 0.0);
    EXPECT_EQ(run.frameJson(0)["layersPlaced"], 2);
    EXPECT_EQ(run.frameJson(0)["overlappingPairs"], 1);
    EXPECT_EQ(run.frameJson(0)["overlaps"][0], nlohmann::ordered_json({"A", "B"}));
    EXPECT_EQ(run.frameJson(1)["layersPlaced"], 1);
    EXPECT_EQ(run.line.rfind("tessaron: 2 frames evaluated: 3 layers placed, 1 overlapping pair, 0 "
                             "layers outside the shape, ",
                             0),
              0u)
        << run.line;
    EXPECT_EQ(sim::summariseRun(before, before, 1).line, "tessaron: no layer was placed");
    EXPECT_EQ(run.frameJson(0)["emptyCells"], nullptr);
    // The plug-in's own report of empty cells, frame by frame, from its last run.
    const std::vector<std::string> info = {"Evaluating frame 1 of 1", "Empty cells: 9",
                                           "Evaluating frame 1 of 2", "Empty cells: 4",
                                           "Evaluating frame 2 of 2"};
    const sim::RunSummary reported = sim::summariseRun(before, after, 1, info);
    EXPECT_EQ(reported.frameJson(0)["emptyCells"], 4);
    EXPECT_EQ(reported.frameJson(1)["emptyCells"], nullptr);
    EXPECT_NE(reported.line.find(" placed, 4 empty cells, 1 overlapping pair"), std::string::npos)
        << reported.line;
    const sim::RunSummary otherRun = sim::summariseRun(before, after, 1, {info[0], info[1]});
    EXPECT_EQ(otherRun.frameJson(0)["emptyCells"], nullptr);
}

}  // namespace

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
    EXPECT_EQ(s.bareCells, 48);             // 50 cells on the shape, A and B cover one each
    EXPECT_NEAR(s.spill, 1.0 / 3.0, 1e-9);  // C's area of the three
    EXPECT_EQ(s.mostlyOff, 1);
    EXPECT_EQ(s.deepOverlaps, 1);  // A and B by 3 px
    EXPECT_EQ(s.touchingPairs, 0);
    EXPECT_EQ(s.smallest.layer, 1);
    EXPECT_EQ(s.largest.size, 10.0);
}

// Bare cells against a walk of every cell and every layer: turned layers of one size (cells of
// 10 px), then with a layer flattened to a line along a row of cell centres, and one shrunk to a
// point (which contains() holds everywhere): the cells under those count as covered too.
TEST(FrameSummary, BareCellsMatchAWalkOfEveryLayer) {
    for (const char* extra : {"none", "line", "point"}) {
        sim::Comp comp;
        comp.width = 200;
        comp.height = 100;
        comp.layers = {solid(1, "Source", 200, 100, 100, 50)};
        std::vector<int> placed;
        uint32_t state = 7;
        const auto next = [&](double lo, double hi) {
            state = state * 1664525u + 1013904223u;
            return lo + (hi - lo) * double(state >> 8) / double(1u << 24);
        };
        for (int i = 0; i < 40; ++i) {
            comp.layers.push_back(solid(i + 2, "L", 10, 10, next(-5, 205), next(-5, 105)));
            comp.layers.back().rotation.value = {next(0, 360), 0, 0};
            placed.push_back(i + 1);
        }
        if (std::string(extra) != "none") {
            comp.layers.push_back(solid(50, "Flat", 10, 10, 100, 45));
            comp.layers.back().scale.value = {std::string(extra) == "line" ? 100.0 : 0.0, 0, 100};
            placed.push_back(int(comp.layers.size()) - 1);
        }
        const sim::FrameSummary s =
            sim::summariseFrame(comp, placed, {&comp.layers[0], nullptr}, 0);
        int walked = 0;
        for (double cy = 5; cy < 100; cy += 10) {
            for (double cx = 5; cx < 200; cx += 10) {
                bool under = false;
                for (int i : placed)
                    under |=
                        sim::contains(sim::visibleQuad(comp.layers[size_t(i)], comp, 0), cx, cy);
                walked += !under;
            }
        }
        EXPECT_EQ(s.cellSize, 10.0) << extra;
        EXPECT_EQ(s.bareCells, walked) << extra;
        EXPECT_GT(walked, std::string(extra) == "point" ? -1 : 50) << extra;
    }
}

// The exact share of a convex polygon's area at x > edge (the half-plane off a shape whose
// right side is at x = edge), by clipping: the oracle for the sampled share.
double exactOffShare(const sim::Quad& q, double edge) {
    std::vector<std::array<double, 2>> right;
    for (size_t i = 0; i < 4; ++i) {
        const auto& p = q[i];
        const auto& n = q[(i + 1) % 4];
        if (p[0] > edge) right.push_back(p);
        if ((p[0] > edge) != (n[0] > edge)) {
            const double t = (edge - p[0]) / (n[0] - p[0]);
            right.push_back({edge, p[1] + t * (n[1] - p[1])});
        }
    }
    auto area = [](const std::vector<std::array<double, 2>>& poly) {
        double twice = 0.0;
        for (size_t i = 0; i < poly.size(); ++i) {
            const auto& p = poly[i];
            const auto& n = poly[(i + 1) % poly.size()];
            twice += p[0] * n[1] - n[0] * p[1];
        }
        return std::fabs(twice) / 2.0;
    };
    return area(right) / area({q[0], q[1], q[2], q[3]});
}

// Turned, stretched and straight layers across a shape's edge: the sampled share off the shape
// stays within a few samples' worth of the exact one.
TEST(FrameSummaryGeometry, OffShapeShareHoldsForTurnedLayers) {
    const auto onShape = [](double x, double) { return x <= 50.0; };
    for (double degrees = 0; degrees < 180; degrees += 7.5) {
        for (double side : {12.0, 40.0, 300.0}) {
            for (double shift : {-0.4, -0.1, 0.0, 0.2, 0.45}) {
                sim::Quad q = square(50.0 + shift * side, 50, side, degrees);
                for (auto& p : q) p[1] = 50 + (p[1] - 50) * 0.5;  // 2:1, then sheared
                const double exact = exactOffShare(q, 50.0);
                EXPECT_NEAR(sim::offShare(q, onShape), exact, side < 20 ? 0.08 : 0.03)
                    << degrees << " degrees, side " << side << ", shift " << shift;
            }
        }
    }
}

// Pairs that meet or overlap by at most 1 px (the growth's step) touch; deeper ones overlap.
TEST(FrameSummary, TouchingPairsAreToldFromDeepOverlaps) {
    const struct {
        double bx, degrees;
        int overlaps, deep, touching;
    } cases[] = {
        {15.0, 0, 0, 0, 1},                               // edge to edge
        {15.2, 0, 0, 0, 0},                               // a gap
        {14.5, 0, 1, 0, 1},                               // 0.5 px
        {13.9, 0, 1, 1, 0},                               // 1.1 px
        {12.0, 0, 1, 1, 0},                               // 3 px
        {5.0 + 5.0 + 5.0 * std::sqrt(2.0), 45, 0, 0, 1},  // a diamond's corner on the edge
    };
    for (const auto& c : cases) {
        sim::Comp comp = halfShape();
        comp.layers[2].position.value = {c.bx, 5, 0};
        comp.layers[2].rotation.value = {c.degrees, 0, 0};
        const sim::FrameSummary s = sim::summariseFrame(comp, {1, 2}, {}, 0);
        EXPECT_EQ(int(s.overlaps.size()), c.overlaps) << c.bx;
        EXPECT_EQ(s.deepOverlaps, c.deep) << c.bx;
        EXPECT_EQ(s.touchingPairs, c.touching) << c.bx;
    }
}

// A layer half off the shape, turned: spill and "mostly off" measure its area, not its centre.
TEST(FrameSummary, SpillMeasuresAreaNotCentres) {
    sim::Comp comp = halfShape();
    comp.layers[1].width = comp.layers[1].height = 20;
    comp.layers[1].anchorPoint.value = {10, 10, 0};
    comp.layers[1].position.value = {48, 50, 0};  // centre on the shape
    comp.layers[1].rotation.value = {45, 0, 0};
    comp.layers[1].scale.value = {100, 100, 100};
    const sim::FrameSummary s = sim::summariseFrame(comp, {1}, {&comp.layers[0], nullptr}, 0);
    const double d = 10.0 * std::sqrt(2.0);              // half the diagonal
    const double exact = (d - 2.0) * (d - 2.0) / 400.0;  // the part right of x = 50
    EXPECT_EQ(s.outside, 0);
    EXPECT_NEAR(s.spill, exact, 0.02);
    EXPECT_EQ(s.mostlyOff, 0);
    comp.layers[1].position.value = {54, 50, 0};
    const sim::FrameSummary off = sim::summariseFrame(comp, {1}, {&comp.layers[0], nullptr}, 0);
    EXPECT_EQ(off.mostlyOff, 1);
    EXPECT_NEAR(off.smallest.size, 20.0, 1e-9);
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
    EXPECT_EQ(run.line.rfind("tessaron: 2 frames evaluated: 3 layers placed, 2.7% of the shape "
                             "covered, 0.0% of the layers' area off it (means), 0 layers mostly "
                             "off it, 1 pair overlapping by more than 1 px, 0 touching, visible "
                             "layers 10 px to 10 px",
                             0),
              0u)
        << run.line;
    EXPECT_EQ(run.frameJson(0)["deepOverlaps"], 1);
    EXPECT_EQ(run.frameJson(0)["smallestLayer"],
              nlohmann::ordered_json({{"name", "A"}, {"size", 10.0}}));
    EXPECT_EQ(sim::summariseRun(before, before, 1).line, "tessaron: no layer was placed");
    EXPECT_EQ(run.frameJson(0)["emptyCells"], nullptr);
    // The plug-in's own report of empty cells, frame by frame, from its last run.
    const std::vector<std::string> info = {"Evaluating frame 1 of 1", "Empty cells: 9",
                                           "Evaluating frame 1 of 2", "Empty cells: 4",
                                           "Evaluating frame 2 of 2"};
    const sim::RunSummary reported = sim::summariseRun(before, after, 1, info);
    EXPECT_EQ(reported.frameJson(0)["emptyCells"], 4);
    EXPECT_EQ(reported.frameJson(1)["emptyCells"], nullptr);
    EXPECT_NE(reported.line.find(" placed, 4 empty cells, 2.7% of the shape"), std::string::npos)
        << reported.line;
    const sim::RunSummary otherRun = sim::summariseRun(before, after, 1, {info[0], info[1]});
    EXPECT_EQ(otherRun.frameJson(0)["emptyCells"], nullptr);
}

}  // namespace

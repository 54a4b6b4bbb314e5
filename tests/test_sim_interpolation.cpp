// How the simulated host plays keys: hold, linear and eased segments, Position along its spatial
// path, Scale eased per dimension. Expected values come from the curves' own parametric form
// (walk the curve parameter, read off time and value), not from solving for time as the host does.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "animation/EaseScript.h"
#include "sim/core/Host.h"
#include "sim/model/Model.h"
#include "sim/script/Script.h"

namespace {

using sim::Interp;
using sim::Stream;
using sim::Time;
using sim::Vec3;

double bezier(double p0, double p1, double p2, double p3, double s) {
    const double r = 1.0 - s;
    return r * r * r * p0 + 3 * r * r * s * p1 + 3 * r * s * s * p2 + s * s * s * p3;
}

struct Side {
    double speed, influence;  // influence in percent
};

// One eased 1-D segment from (t0, v0) to (t1, v1) as its defining Bezier.
struct Segment {
    double t0, v0, t1, v1;
    Side out, in;
    double timeAt(double s) const {
        const double dt = t1 - t0;
        return bezier(t0, t0 + out.influence / 100 * dt, t1 - in.influence / 100 * dt, t1, s);
    }
    double valueAt(double s) const {
        const double dt = t1 - t0;
        return bezier(v0, v0 + out.speed * out.influence / 100 * dt,
                      v1 - in.speed * in.influence / 100 * dt, v1, s);
    }
};

// Both influences at 100 % stop the curve's time for an instant mid-way, where the value is a
// vertical step: there the time given to the stream, exact only to a few ulps, moves the value
// by about the cube root of that.
double steepTolerance(const Segment& seg) {
    return seg.out.influence == 100 && seg.in.influence == 100 ? 1e-3 : 1e-6;
}

// The stream agrees with the segment's curve at 41 points along it.
void expectFollows(const Stream& s, const Segment& seg, int dim, double tolerance,
                   const std::string& what) {
    for (int i = 0; i <= 40; ++i) {
        const double p = i / 40.0;
        EXPECT_NEAR(s.valueAt(seg.timeAt(p))[size_t(dim)], seg.valueAt(p), tolerance)
            << what << " at curve parameter " << p;
    }
}

Stream oneD() {
    Stream s;
    s.dims = 1;
    return s;
}

Stream twoKeys(const Segment& seg) {
    Stream s = oneD();
    s.addKey(Time::fromSeconds(seg.t0), {seg.v0, 0, 0});
    s.addKey(Time::fromSeconds(seg.t1), {seg.v1, 0, 0});
    return s;
}

void ease(Stream& s, const Side& out, const Side& in) {
    sim::KeyStyle first = s.keys.style(0), second = s.keys.style(1);
    first.outInterp = second.inInterp = Interp::Bezier;
    for (auto& e : first.outEase) e = {out.speed, out.influence};
    for (auto& e : second.inEase) e = {in.speed, in.influence};
    s.keys.setStyle(0, first);
    s.keys.setStyle(1, second);
}

TEST(SimInterpolation, HoldAndLinearSegments) {
    Stream s = oneD();
    s.addKey(Time{0, 25}, {10, 0, 0});
    s.addKey(Time{25, 25}, {60, 0, 0});   // 1 s
    s.addKey(Time{75, 25}, {-40, 0, 0});  // 3 s
    s.addKey(Time{100, 25}, {0, 0, 0});   // 4 s
    s.keys[1].edit().outInterp = Interp::Hold;
    const std::pair<double, double> expected[] = {{-1.0, 10}, {0.0, 10},   {0.2, 20},  {0.9, 55},
                                                  {1.0, 60},  {2.0, 60},   {2.96, 60}, {3.0, -40},
                                                  {3.5, -20}, {3.75, -10}, {4.0, 0},   {9.0, 0}};
    for (const auto& [t, v] : expected) EXPECT_NEAR(s.valueAt(t)[0], v, 1e-9) << "at " << t;
}

// The presets the ease script applies (speed 0; influences 0.1, 33.333328 or 100 percent),
// through the script itself, on keys whose segments run at different times and directions.
TEST(SimInterpolation, EaseScriptPresetsShapeEachSegment) {
    struct Preset {
        TemporalPreset value;
        float influenceIn, influenceOut;
    };
    const Preset presets[] = {{TemporalPreset::EaseIn, 33.333328f, 0.1f},
                              {TemporalPreset::EaseOut, 0.1f, 33.333328f},
                              {TemporalPreset::EaseInAndOut, 33.333328f, 33.333328f},
                              {TemporalPreset::PunchyIn, 33.333328f, 100.0f},
                              {TemporalPreset::PunchyOut, 100.0f, 33.333328f},
                              {TemporalPreset::PunchyInAndOut, 100.0f, 100.0f}};
    // The script carries six significant digits: 33.333328 arrives as 33.3333.
    const auto carried = [](float influence) {
        return influence == 33.333328f ? 33.3333 : double(influence);
    };
    const double keySeconds[] = {0.2, 1.0, 1.4, 2.6};
    const double keyValues[] = {30, 130, -20, 55};
    for (size_t first = 0; first < std::size(presets); ++first) {
        // Each key gets its own preset, so a segment's out and in sides differ.
        sim::Project project;
        project.comp.layers.resize(1);
        sim::Layer& layer = project.comp.layers[0];
        layer.id = 1;
        EaseScriptTables tables;
        tables.compItemId = project.comp.itemId;
        tables.layerNumbers = {1};
        tables.propertyCodes = {3};  // Opacity
        tables.keyTimes.emplace_back();
        std::vector<Preset> used;
        for (size_t k = 0; k < 4; ++k) {
            layer.opacity.addKey(Time::fromSeconds(keySeconds[k]), {keyValues[k], 0, 0});
            const Preset& p = presets[(first + k) % std::size(presets)];
            used.push_back(p);
            tables.keyTimes[0].push_back(keySeconds[k]);
            tables.speedsIn.push_back(0);
            tables.speedsOut.push_back(0);
            tables.influencesIn.push_back(p.influenceIn);
            tables.influencesOut.push_back(p.influenceOut);
            tables.presets.push_back(p.value);
        }
        tables.ignoreRows = {{0, 0, 0, 0}};
        sim::Records records;
        ASSERT_TRUE(sim::executeScript(project, records, buildEaseScript(tables)));
        ASSERT_TRUE(records.scriptErrors.empty());
        for (size_t k = 0; k + 1 < 4; ++k) {
            const Segment seg{keySeconds[k],
                              keyValues[k],
                              keySeconds[k + 1],
                              keyValues[k + 1],
                              {0, carried(used[k].influenceOut)},
                              {0, carried(used[k + 1].influenceIn)}};
            expectFollows(layer.opacity, seg, 0, steepTolerance(seg),
                          "presets " + std::to_string(int(used[k].value)) + " to " +
                              std::to_string(int(used[k + 1].value)));
        }
    }
}

TEST(SimInterpolation, CustomSpeedsAndInfluencesOvershootAsTheirCurveDoes) {
    const Segment cases[] = {
        {0.0, 0, 1.0, 100, {300, 60}, {-50, 70}},  // influences sum above 100 %
        {0.5, 200, 2.5, 100, {-400, 25}, {0, 90}},
        {1.0, 5, 1.04, 6, {1000, 100}, {1000, 100}},  // one frame long
        {0.0, 0, 2.0, 0, {80, 40}, {80, 40}},         // no change: a bump out and back
    };
    for (const Segment& seg : cases) {
        Stream s = twoKeys(seg);
        ease(s, seg.out, seg.in);
        expectFollows(s, seg, 0, steepTolerance(seg),
                      "custom segment from " + std::to_string(seg.v0));
    }
    // The first case rises above its end value before settling on it.
    Stream s = twoKeys(cases[0]);
    ease(s, cases[0].out, cases[0].in);
    EXPECT_GT(s.valueAt(0.8)[0], 100);
}

// A Linear side next to an eased one: it leaves at the segment's mean speed.
TEST(SimInterpolation, ALinearSideMeetsAnEasedSide) {
    Segment seg{0.0, 0, 2.0, 100, {50, 100.0 / 3}, {0, 75}};
    Stream s = twoKeys(seg);
    ease(s, seg.out, seg.in);
    s.keys[0].edit().outInterp = Interp::Linear;
    expectFollows(s, seg, 0, 1e-6, "linear out, eased in");
}

TEST(SimInterpolation, ScaleEasesEveryDimensionOnItsOwn) {
    Stream s;
    s.dims = s.easeDims = 3;
    s.addKey(Time{0, 1}, {100, 100, 100});
    s.addKey(Time{2, 1}, {40, 180, 100});
    s.keys[0].edit().outInterp = s.keys[1].edit().inInterp = Interp::Bezier;
    s.keys[0].edit().outEase = {{0, 33.333328}, {0, 100}, {0, 10}};
    s.keys[1].edit().inEase = {{0, 0.1}, {60, 100}, {0, 10}};
    const Segment x{0, 100, 2, 40, {0, 33.333328}, {0, 0.1}};
    const Segment y{0, 100, 2, 180, {0, 100}, {60, 100}};
    expectFollows(s, x, 0, 1e-6, "x");
    expectFollows(s, y, 1, steepTolerance(y), "y");
    for (double t : {0.3, 1.1, 1.9}) EXPECT_NEAR(s.valueAt(t)[2], 100, 1e-9);
}

// ---------------------------------------------------------------- Position along its path

Vec3 pathPoint(const Vec3& a, const Vec3& outTangent, const Vec3& inTangent, const Vec3& b,
               double u) {
    Vec3 p{};
    for (size_t d = 0; d < 3; ++d)
        p[d] = bezier(a[d], a[d] + outTangent[d], b[d] + inTangent[d], b[d], u);
    return p;
}

// The path sampled finely: points and the arc length up to each.
struct Path {
    std::vector<Vec3> points;
    std::vector<double> lengths;
    Path(const Vec3& a, const Vec3& out, const Vec3& in, const Vec3& b) {
        const int n = 20000;
        for (int i = 0; i <= n; ++i) {
            points.push_back(pathPoint(a, out, in, b, double(i) / n));
            const double step = i ? std::hypot(points[size_t(i)][0] - points[size_t(i) - 1][0],
                                               points[size_t(i)][1] - points[size_t(i) - 1][1])
                                  : 0.0;
            lengths.push_back(i ? lengths.back() + step : 0.0);
        }
    }
    double length() const { return lengths.back(); }
    Vec3 at(double distance) const {
        size_t i = 0;
        while (i + 1 < lengths.size() && lengths[i + 1] < distance) ++i;
        return points[i];
    }
};

double gap(const Vec3& p, const Vec3& q) {
    return std::hypot(p[0] - q[0], p[1] - q[1]);
}

Stream positionKeys(const Vec3& a, const Vec3& out, const Vec3& in, const Vec3& b) {
    Stream s;
    s.spatial = true;
    s.dims = 3;
    s.addKey(Time{0, 1}, a);
    s.addKey(Time{2, 1}, b);
    s.keys[0].edit().outTangent = out;
    s.keys[1].edit().inTangent = in;
    return s;
}

// Half-circle arms as the writer sets them: 4/3 of the radius, across the chord.
TEST(SimInterpolation, PositionTravelsItsArcAtConstantSpeed) {
    const Vec3 a{100, 300, 0}, b{400, 300, 0};
    const Vec3 arm{0, -200, 0};  // 4/3 x 150 upwards on screen
    const Path path(a, arm, arm, b);
    const Stream s = positionKeys(a, arm, arm, b);
    for (int i = 0; i <= 20; ++i) {
        const double t = 2.0 * i / 20;
        EXPECT_LT(gap(s.valueAt(t), path.at(path.length() * t / 2.0)), 0.1) << "at " << t;
    }
    // It leaves along the out tangent and arrives along the in tangent.
    const Vec3 start = s.valueAt(0.01), end = s.valueAt(1.99);
    EXPECT_LT(std::abs(start[0] - a[0]), 0.05 * std::abs(start[1] - a[1]));
    EXPECT_LT(start[1], a[1]);
    EXPECT_LT(std::abs(end[0] - b[0]), 0.05 * std::abs(end[1] - b[1]));
    EXPECT_NEAR(s.valueAt(1.0)[0], 250, 1e-6);
    EXPECT_NEAR(s.valueAt(1.0)[1], 150, 0.01);  // the arc's top, one radius above the chord
}

TEST(SimInterpolation, EasedPositionTravelsItsArcByTheEaseCurve) {
    const Vec3 a{0, 0, 0}, b{300, 100, 0};
    const Vec3 out{60, -120, 0}, in{40, 80, 0};  // asymmetric arms
    const Path path(a, out, in, b);
    Stream s = positionKeys(a, out, in, b);
    s.keys[0].edit().outInterp = s.keys[1].edit().inInterp = Interp::Bezier;
    s.keys[0].edit().outEase = {{0, 33.333328}};
    s.keys[1].edit().inEase = {{120, 60}};
    const Segment distance{0, 0, 2, path.length(), {0, 33.333328}, {120, 60}};
    for (int i = 0; i <= 20; ++i) {
        const double p = i / 20.0;
        const Vec3 expected = path.at(distance.valueAt(p));
        EXPECT_LT(gap(s.valueAt(distance.timeAt(p)), expected), 0.1) << "at parameter " << p;
    }
    // A speed that would carry it past the end stops at the last key's place.
    s.keys[1].edit().inEase = {{-4000, 90}};
    EXPECT_LT(gap(s.valueAt(1.9), b), 1e-9);
}

}  // namespace

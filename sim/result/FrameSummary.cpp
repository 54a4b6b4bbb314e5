#include "sim/result/FrameSummary.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/model/LayerTime.h"
#include "sim/model/SourceFrame.h"

namespace sim {

namespace {

using Point = std::array<double, 2>;

// Row vectors, translation in row 3, as layerToWorld gives it.
struct Affine {
    double a, b, c, d, tx, ty;  // x' = x a + y c + tx, y' = x b + y d + ty
    Point apply(double x, double y) const { return {x * a + y * c + tx, x * b + y * d + ty}; }
};

// Through the layer's parents.
Affine affineOf(const Comp& comp, const Layer& layer, double seconds) {
    const auto m = layerToWorld(comp, layer, seconds);
    return {m[0][0], m[0][1], m[1][0], m[1][1], m[3][0], m[3][1]};
}

// The inverse mapping; false when the layer is flattened to a line or point.
bool invert(const Affine& m, Affine& inverse) {
    const double det = m.a * m.d - m.b * m.c;
    if (std::fabs(det) < 1e-12) return false;
    inverse.a = m.d / det;
    inverse.b = -m.b / det;
    inverse.c = -m.c / det;
    inverse.d = m.a / det;
    inverse.tx = -(m.tx * inverse.a + m.ty * inverse.c);
    inverse.ty = -(m.tx * inverse.b + m.ty * inverse.d);
    return true;
}

struct Box {
    double left, top, right, bottom;
};

Box boxOf(const Quad& q) {
    Box b{q[0][0], q[0][1], q[0][0], q[0][1]};
    for (const Point& p : q) {
        b.left = std::min(b.left, p[0]);
        b.top = std::min(b.top, p[1]);
        b.right = std::max(b.right, p[0]);
        b.bottom = std::max(b.bottom, p[1]);
    }
    return b;
}

bool boxesMeet(const Box& a, const Box& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Point centreOf(const Quad& q) {
    return {(q[0][0] + q[1][0] + q[2][0] + q[3][0]) / 4.0,
            (q[0][1] + q[1][1] + q[2][1] + q[3][1]) / 4.0};
}

double area(const Quad& q) {
    double twice = 0.0;
    for (size_t i = 0; i < 4; ++i) {
        const Point& p = q[i];
        const Point& n = q[(i + 1) % 4];
        twice += p[0] * n[1] - n[0] * p[1];
    }
    return std::fabs(twice) / 2.0;
}

// Overlap of the projections of a and b on the normals of a's edges (the smallest).
double overlapOnNormalsOf(const Quad& a, const Quad& b) {
    double least = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < 4; ++i) {
        const Point& p = a[i];
        const Point& n = a[(i + 1) % 4];
        const double ex = n[0] - p[0], ey = n[1] - p[1];
        const double length = std::hypot(ex, ey);
        if (length == 0.0) continue;
        const double nx = -ey / length, ny = ex / length;
        double loA = std::numeric_limits<double>::infinity(), hiA = -loA, loB = loA, hiB = -loA;
        for (const Point& v : a) {
            loA = std::min(loA, v[0] * nx + v[1] * ny);
            hiA = std::max(hiA, v[0] * nx + v[1] * ny);
        }
        for (const Point& v : b) {
            loB = std::min(loB, v[0] * nx + v[1] * ny);
            hiB = std::max(hiB, v[0] * nx + v[1] * ny);
        }
        least = std::min(least, std::min(hiA, hiB) - std::max(loA, loB));
    }
    return least;
}

bool visible(const Layer& layer, double seconds) {
    return layer.video && activeAt(layer, seconds) && layer.opacity.valueAt(seconds)[0] > 0.0;
}

// Samples the composition over the Source's footprint on a grid of at most about kSamples
// points, noting which are on the shape and which of those a visible placed layer covers.
class ShapeGrid {
  public:
    static constexpr double kSamples = 250000.0;

    ShapeGrid(const Comp& comp, const ShapeSource& source, double seconds) : source_(source) {
        frame_ = sourceFrameAt(*source.layer, comp, seconds);
        const Affine toComp = affineOf(comp, *source.layer, seconds);
        // Outside its in and out points the Source shows no shape.
        shows_ = activeAt(*source.layer, seconds) && invert(toComp, toLayer_);
        if (!shows_) return;
        const auto& c = frame_.content;
        const Box b = boxOf({toComp.apply(c[0], c[1]), toComp.apply(c[2], c[1]),
                             toComp.apply(c[2], c[3]), toComp.apply(c[0], c[3])});
        left_ = std::max(0.0, b.left);
        top_ = std::max(0.0, b.top);
        const double right = std::min(double(comp.width), b.right);
        const double bottom = std::min(double(comp.height), b.bottom);
        if (right <= left_ || bottom <= top_) return;
        step_ = std::max(1.0, std::sqrt((right - left_) * (bottom - top_) / kSamples));
        columns_ = int(std::ceil((right - left_) / step_));
        rows_ = int(std::ceil((bottom - top_) / step_));
        onShape_.assign(size_t(columns_) * size_t(rows_), false);
        covered_ = onShape_;
        for (int r = 0; r < rows_; ++r) {
            for (int col = 0; col < columns_; ++col)
                onShape_[index(col, r)] = alphaAt(x(col), y(r)) > 0;
        }
    }

    // The Source's opacity at a composition point.
    int alphaAt(double cx, double cy) const {
        if (!shows_) return 0;
        const Point p = toLayer_.apply(cx, cy);
        return sourceAlphaAt(*source_.layer, frame_, source_.picture, p[0], p[1]);
    }

    void cover(const Quad& q) {
        const Box b = boxOf(q);
        const int c0 = std::max(0, int(std::floor((b.left - left_) / step_)));
        const int c1 = std::min(columns_ - 1, int(std::ceil((b.right - left_) / step_)));
        const int r0 = std::max(0, int(std::floor((b.top - top_) / step_)));
        const int r1 = std::min(rows_ - 1, int(std::ceil((b.bottom - top_) / step_)));
        for (int r = r0; r <= r1; ++r) {
            for (int col = c0; col <= c1; ++col) {
                if (contains(q, x(col), y(r))) covered_[index(col, r)] = true;
            }
        }
    }

    double coveredShare() const {
        long shape = 0, under = 0;
        for (size_t i = 0; i < onShape_.size(); ++i) {
            shape += onShape_[i];
            under += onShape_[i] && covered_[i];
        }
        return shape ? double(under) / double(shape) : 0.0;
    }

  private:
    size_t index(int col, int row) const { return size_t(row) * size_t(columns_) + size_t(col); }
    double x(int col) const { return left_ + (col + 0.5) * step_; }
    double y(int row) const { return top_ + (row + 0.5) * step_; }

    const ShapeSource& source_;
    SourceFrame frame_;
    Affine toLayer_{};
    bool shows_ = false;
    double left_ = 0.0, top_ = 0.0, step_ = 1.0;
    int columns_ = 0, rows_ = 0;
    std::vector<bool> onShape_, covered_;
};

double medianSide(const std::vector<Quad>& quads) {
    std::vector<double> areas;
    for (const Quad& q : quads) areas.push_back(area(q));
    if (areas.empty()) return 0.0;
    std::nth_element(areas.begin(), areas.begin() + long(areas.size() / 2), areas.end());
    return std::sqrt(areas[areas.size() / 2]);
}

// Whether contains() may hold for a point outside the quad's box: a quad flattened to a line or
// a point, or one with a coordinate that is not finite, meets every cross product with zero.
bool mayContainAnything(const Quad& q) {
    const double ux = q[1][0] - q[0][0], uy = q[1][1] - q[0][1];
    const double vx = q[3][0] - q[0][0], vy = q[3][1] - q[0][1];
    const double twiceArea = std::fabs(ux * vy - uy * vx);
    return !std::isfinite(twiceArea) ||
           !(twiceArea > 1e-9 * (ux * ux + uy * uy + vx * vx + vy * vy));
}

// Cells of the given side over the Source's footprint whose centres are on the shape but under
// no visible placed layer. Each centre is tested only against the quads whose boxes (widened by
// a pixel) reach it, and the flattened ones.
int bareCells(const ShapeGrid& grid, const Comp& comp, const std::vector<Quad>& shown,
              double side) {
    if (side < 1.0) return 0;
    // At most about 40000 cells, however small the layers.
    side = std::max(side, std::sqrt(double(comp.width) * comp.height / 40000.0));
    std::vector<double> xs, ys;  // the centres, stepped as the cells are walked
    for (double cx = side / 2.0; cx < comp.width; cx += side) xs.push_back(cx);
    for (double cy = side / 2.0; cy < comp.height; cy += side) ys.push_back(cy);
    const auto span = [](const std::vector<double>& centres, double lo, double hi) {
        return std::pair<size_t, size_t>(
            size_t(std::lower_bound(centres.begin(), centres.end(), lo) - centres.begin()),
            size_t(std::upper_bound(centres.begin(), centres.end(), hi) - centres.begin()));
    };
    // The quads reaching each cell, cell by cell (row-major): counted, then filled.
    std::vector<size_t> first(xs.size() * ys.size() + 1, 0);
    std::vector<const Quad*> everywhere;
    std::vector<std::array<size_t, 4>> spans(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        if (mayContainAnything(shown[i])) {
            everywhere.push_back(&shown[i]);
            spans[i] = {0, 0, 0, 0};
            continue;
        }
        const Box b = boxOf(shown[i]);
        const auto [c0, c1] = span(xs, b.left - 1.0, b.right + 1.0);
        const auto [r0, r1] = span(ys, b.top - 1.0, b.bottom + 1.0);
        spans[i] = {c0, c1, r0, r1};
        for (size_t r = r0; r < r1; ++r) {
            for (size_t c = c0; c < c1; ++c) ++first[r * xs.size() + c + 1];
        }
    }
    for (size_t k = 1; k < first.size(); ++k) first[k] += first[k - 1];
    std::vector<const Quad*> reaching(first.back());
    std::vector<size_t> next(first.begin(), first.end() - 1);
    for (size_t i = 0; i < shown.size(); ++i) {
        const auto& [c0, c1, r0, r1] = spans[i];
        for (size_t r = r0; r < r1; ++r) {
            for (size_t c = c0; c < c1; ++c) reaching[next[r * xs.size() + c]++] = &shown[i];
        }
    }
    int empty = 0;
    for (size_t r = 0; r < ys.size(); ++r) {
        for (size_t c = 0; c < xs.size(); ++c) {
            const double cx = xs[c], cy = ys[r];
            if (grid.alphaAt(cx, cy) == 0) continue;
            const auto in = [&](const Quad* q) { return contains(*q, cx, cy); };
            const size_t cell = r * xs.size() + c;
            const bool under = std::any_of(reaching.begin() + long(first[cell]),
                                           reaching.begin() + long(first[cell + 1]), in) ||
                               std::any_of(everywhere.begin(), everywhere.end(), in);
            empty += !under;
        }
    }
    return empty;
}

// The longer side of a visible rectangle (a parallelogram: its two edge lengths from corner 0).
double longerSide(const Quad& q) {
    return std::max(std::hypot(q[1][0] - q[0][0], q[1][1] - q[0][1]),
                    std::hypot(q[3][0] - q[0][0], q[3][1] - q[0][1]));
}

template <typename OnShape>
double offShareOf(const Quad& q, const OnShape& onShape) {
    constexpr int kMaxSide = 64;
    const double ux = q[1][0] - q[0][0], uy = q[1][1] - q[0][1];
    const double vx = q[3][0] - q[0][0], vy = q[3][1] - q[0][1];
    const int n = std::clamp(int(std::ceil(std::hypot(ux, uy))), 1, kMaxSide);
    const int m = std::clamp(int(std::ceil(std::hypot(vx, vy))), 1, kMaxSide);
    long off = 0;
    for (int j = 0; j < m; ++j) {
        const double b = (j + 0.5) / m;
        for (int i = 0; i < n; ++i) {
            const double a = (i + 0.5) / n;
            off += !onShape(q[0][0] + a * ux + b * vx, q[0][1] + a * uy + b * vy);
        }
    }
    return double(off) / double(long(n) * m);
}

}  // namespace

double offShare(const Quad& q, const std::function<bool(double, double)>& onShape) {
    return offShareOf(q, onShape);
}

Quad visibleQuad(const Layer& layer, const Comp& comp, double seconds) {
    const auto c = maskedBoundsAt(layer, comp, seconds);
    const Affine m = affineOf(comp, layer, seconds);
    return {m.apply(c[0], c[1]), m.apply(c[2], c[1]), m.apply(c[2], c[3]), m.apply(c[0], c[3])};
}

double overlapDepth(const Quad& a, const Quad& b) {
    return std::min(overlapOnNormalsOf(a, b), overlapOnNormalsOf(b, a));
}

bool contains(const Quad& q, double x, double y) {
    bool anyPositive = false, anyNegative = false;
    for (size_t i = 0; i < 4; ++i) {
        const Point& p = q[i];
        const Point& n = q[(i + 1) % 4];
        const double cross = (n[0] - p[0]) * (y - p[1]) - (n[1] - p[1]) * (x - p[0]);
        anyPositive |= cross > 0.0;
        anyNegative |= cross < 0.0;
    }
    return !(anyPositive && anyNegative);
}

FrameSummary summariseFrame(const Comp& comp, const std::vector<int>& placed,
                            const ShapeSource& source, double seconds) {
    FrameSummary s;
    s.time = seconds;
    s.placed = int(placed.size());
    std::vector<Quad> shown;
    std::vector<int> shownLayers;
    for (int i : placed) {
        const Layer& layer = comp.layers[size_t(i)];
        if (!visible(layer, seconds)) continue;
        shown.push_back(visibleQuad(layer, comp, seconds));
        shownLayers.push_back(i);
    }
    // Boxes widened by the touching tolerance, so that rectangles that just meet are compared.
    std::vector<Box> boxes;
    for (const Quad& q : shown) {
        Box b = boxOf(q);
        b = {b.left - kTouchDepth, b.top - kTouchDepth, b.right + kTouchDepth,
             b.bottom + kTouchDepth};
        boxes.push_back(b);
    }
    // Sweep in order of the boxes' left edges: only boxes that reach past it can meet.
    std::vector<size_t> order(shown.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t x, size_t y) { return boxes[x].left < boxes[y].left; });
    for (size_t oa = 0; oa < order.size(); ++oa) {
        const size_t a = order[oa];
        for (size_t ob = oa + 1; ob < order.size() && boxes[order[ob]].left < boxes[a].right;
             ++ob) {
            const size_t b = order[ob];
            if (!boxesMeet(boxes[a], boxes[b])) continue;
            const double depth = overlapDepth(shown[a], shown[b]);
            if (depth < -kTouchDepth) continue;
            if (depth <= kShallowDepth) ++s.touchingPairs;
            if (depth <= kTouchDepth) continue;
            s.deepOverlaps += depth > kShallowDepth;
            s.overlaps.emplace_back(std::min(shownLayers[a], shownLayers[b]),
                                    std::max(shownLayers[a], shownLayers[b]));
            s.deepestOverlap = std::max(s.deepestOverlap, depth);
        }
    }
    std::sort(s.overlaps.begin(), s.overlaps.end());
    for (size_t i = 0; i < shown.size(); ++i) {
        const double side = longerSide(shown[i]);
        if (s.smallest.layer < 0 || side < s.smallest.size) s.smallest = {shownLayers[i], side};
        if (s.largest.layer < 0 || side > s.largest.size) s.largest = {shownLayers[i], side};
    }
    if (!source.layer) return s;
    s.hasShape = true;
    ShapeGrid grid(comp, source, seconds);
    size_t next = 0;  // shownLayers follows placed: a shown layer's quad is at hand
    for (int i : placed) {
        const bool isShown = next < shownLayers.size() && shownLayers[next] == i;
        const Point c =
            centreOf(isShown ? shown[next++] : visibleQuad(comp.layers[size_t(i)], comp, seconds));
        s.outside += grid.alphaAt(c[0], c[1]) == 0;
    }
    for (const Quad& q : shown) grid.cover(q);
    s.covered = grid.coveredShare();
    double total = 0.0, offTotal = 0.0;
    for (const Quad& q : shown) {
        const double off =
            offShareOf(q, [&](double x, double y) { return grid.alphaAt(x, y) > 0; });
        total += area(q);
        offTotal += off * area(q);
        s.mostlyOff += off > 0.5;
    }
    s.spill = total > 0.0 ? offTotal / total : 0.0;
    s.cellSize = medianSide(shown);
    s.bareCells = bareCells(grid, comp, shown, s.cellSize);
    return s;
}

}  // namespace sim

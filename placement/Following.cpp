// Follow Shape Changes: a frame starts from the frame before's layout instead of new random
// sites, so that a collage moves with an animated Source instead of reshuffling.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "engine/MyTessaron.h"
#include "placement/FadeTransport.h"
#include "placement/MassTransport.h"
#include "placement/MinimumAssignment.h"
#include "placement/NearestSite.h"
#include "placement/PartMotions.h"
#include "placement/PartRefinement.h"
#include "placement/PathCrossings.h"
#include "placement/PointCells.h"

namespace {

constexpr int kSamplesPerSite = 50;
constexpr int kRounds = 15;
// How far the rounds may move a site at a frame that fades in place, in spacings.
constexpr double kFadeSettle = 0.5;
// How far (RMS, in spacings) the transport's moves may stray from one affine map before they are
// read as parts of the shape moving apart.
constexpr double kPartTolerance = 0.1;
// How far (in spacings) a cell's move may be off its part's map and still count half in the fit.
constexpr double kPartSpread = 0.3;

// Whether the frame before's alpha is kept at this frame's size, so that the two compare pixel
// by pixel.
bool alphaBeforeComparable(const MyTessaron& e) {
    const FollowState& st = e.follow;
    return st.width == e.imageWidth && st.height == e.imageHeight &&
           st.alpha.size() == size_t(e.imageWidth) * size_t(e.imageHeight);
}

// This frame's alpha at pixel p (row by row), 0 at or under the Alpha Threshold, as the frame
// before's is kept.
int alphaNow(const MyTessaron& e, size_t p) {
    const uint8_t v = e.imagePixels[p * 4];
    return v > e.alphaThreshold ? v : 0;
}

// The side (px) of the shape's share per layer: about how far apart an even layout's sites lie.
double siteSpacing(const MyTessaron& e) {
    return std::sqrt(double(e.opaquePixels.count()) / std::max(1, e.layerCount));
}
// A cell whose move differs from its neighbours' by more than this over their distance lies where
// the transport blends parts; the parts' maps are fitted mostly to the other cells.
constexpr double kSteep = 0.06;
// Where the transport's moves are read as parts, the rounds move only the sites that their part's
// motion crowded: their nearest neighbour nearer by more than this share than before the motion.
constexpr double kCrowding = 0.1;
// A site whose samples weigh more than this many times a site's mean borders room that no other
// site takes (a part that moved away, a part that grew or appears): the rounds let it settle into
// the room, as far as the frame allows at a frame read as parts, and at a fade's frame up to
// kHollowReach spacings from where it was or, when farther, kHollowShare times the fade's share
// of the way to its cell's centroid (so that a room many spacings wide, with many layers, fills
// over the fade's frames).
constexpr double kHollow = 1.5;
constexpr double kHollowReach = 1.0;
constexpr double kHollowShare = 2.0;
// With layers smaller than the fade transport's cells, a cell's worth of room is several spacings
// wide and the sites bordering it are few: the share grows with kHollowCells times the cells' side
// over the spacing (when over 1), so that the room fills over the fade as it does with fewer,
// larger layers.
constexpr double kHollowCells = 1.5;

// Where parts overlap, how far (in spacings) a site looks for the part its neighbours take, in how
// many rounds, and how much farther from the transport's move that part's may be than its own.
constexpr double kStreamReach = 3.0;
constexpr int kStreamRounds = 4;
constexpr double kStreamPlausible = 1.3;
// A site that its part's motion takes off the shape (beside a stem's leading edge, where the bar
// it lies in rises from under it) would be put back at the shape's nearest point, next to a site
// already there, and both layers would stay crushed for the rest of the change: it goes the least
// of these shares of the way from its part's move to the transport's that keeps it on the shape.
constexpr float kTowardTransport[] = {0.25f, 0.5f, 0.75f};

// A fixed jitter in [0.1, 0.9) per lattice cell and axis: the samples of a cell are the same at
// every frame, and no draw of the random generators is spent on them.
float jitter(int64_t cx, int64_t cy, uint32_t axis) {
    uint64_t h = uint64_t(cx) * 0x9E3779B97F4A7C15ull ^ uint64_t(cy) * 0xC2B2AE3D27D4EB4Full ^
                 (uint64_t(axis) + 1) * 0x165667B19E3779F9ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return 0.1f + 0.8f * float(h >> 40) / float(1u << 24);
}

// About kSamplesPerSite samples per site over the frame's shape, as steps in spreads.
void setSampleStep(const MyTessaron& e, const double frame[4], double step[2]) {
    const double perSample =
        double(e.opaquePixels.count()) / (double(kSamplesPerSite) * std::max(1, e.layerCount));
    const double pixels = std::max(0.5, std::sqrt(perSample));
    step[0] = pixels / frame[2];
    step[1] = pixels / frame[3];
}

// Each point's distance to its nearest other (the larger of the two axes' gaps, as rectangles
// grown around them meet), searched up to `most`; HUGE_VAL for a point with none that near.
std::vector<double> nearestGaps(const std::vector<Point2D>& at, double most) {
    std::vector<double> gap(at.size(), HUGE_VAL);
    if (at.size() < 2 || !(most > 0)) {
        return gap;
    }
    const PointBounds b = boundsOf(at);
    const double x0 = b.x0, y0 = b.y0;
    if (!std::isfinite(x0 + y0 + b.width + b.height)) {
        return gap;
    }
    const int nx = std::max(1, std::min(4096, int(b.width / most) + 1));
    const int ny = std::max(1, std::min(4096, int(b.height / most) + 1));
    const double cw = std::max(most, b.width / nx), ch = std::max(most, b.height / ny);
    const auto column = [&](double x) { return std::min(nx - 1, int((x - x0) / cw)); };
    const auto row = [&](double y) { return std::min(ny - 1, int((y - y0) / ch)); };
    std::vector<std::vector<int32_t>> cells(size_t(nx) * size_t(ny));
    for (size_t i = 0; i < at.size(); ++i) {
        cells[size_t(row(at[i].y)) * size_t(nx) + size_t(column(at[i].x))].push_back(int32_t(i));
    }
    for (size_t i = 0; i < at.size(); ++i) {
        const int cx = column(at[i].x), cy = row(at[i].y);
        for (int y = std::max(0, cy - 1); y <= std::min(ny - 1, cy + 1); ++y) {
            for (int x = std::max(0, cx - 1); x <= std::min(nx - 1, cx + 1); ++x) {
                for (int32_t j : cells[size_t(y) * size_t(nx) + size_t(x)]) {
                    if (size_t(j) == i) {
                        continue;
                    }
                    const double d = std::max(std::abs(double(at[size_t(j)].x) - at[i].x),
                                              std::abs(double(at[size_t(j)].y) - at[i].y));
                    if (d <= most) {
                        gap[i] = std::min(gap[i], d);
                    }
                }
            }
        }
    }
    return gap;
}

// Where two parts overlap (a bar sliding through a stem), the transport's move there blends
// theirs and the part nearest it flips from site to site: the two streams interleave, their
// layers' paths cross, and the swaps that uncross them leave layers a spacing or so off their
// part's motion. So each site takes the part that most of the sites within kStreamReach spacings
// take (its own on a tie, else the lowest), over kStreamRounds rounds, where that part's move is
// no farther than kStreamPlausible times its own from the transport's and keeps the site on the
// shape: the streams stay apart. Each site's part (-1: none; its transport's move stays).
std::vector<int> streamParts(const MyTessaron& e, const PartMotions& parts,
                             const std::vector<Point2D>& at, const std::vector<Point2D>& moves,
                             double spacing) {
    const size_t n = at.size();
    std::vector<int> part(n);
    for (size_t j = 0; j < n; ++j) {
        part[j] = parts.partAt(at[j], moves[j]);
    }
    if (n == 0) {
        return part;
    }
    const NearestSiteGrid grid(at);
    std::vector<int32_t> near;
    std::vector<int> count(parts.count());
    const auto off = [&](int k, size_t j) {
        const Point2D m = parts.moveOf(k, at[j]);
        return std::hypot(double(m.x) - moves[j].x, double(m.y) - moves[j].y);
    };
    for (int round = 0; round < kStreamRounds; ++round) {
        std::vector<int> next = part;
        for (size_t j = 0; j < n; ++j) {
            if (part[j] < 0) {
                continue;
            }
            near.clear();
            grid.sitesWithin(at[j].x, at[j].y, kStreamReach * spacing, near);
            std::fill(count.begin(), count.end(), 0);
            for (int32_t i : near) {
                if (part[size_t(i)] >= 0) {
                    ++count[size_t(part[size_t(i)])];
                }
            }
            int most = part[j];
            for (size_t k = 0; k < count.size(); ++k) {
                if (count[k] > count[size_t(most)]) {
                    most = int(k);
                }
            }
            if (most == part[j] || off(most, j) > kStreamPlausible * off(part[j], j)) {
                continue;
            }
            const Point2D m = parts.moveOf(most, at[j]);
            if (e.isPointInsideShape(at[j].x + m.x, at[j].y + m.y)) {
                next[j] = most;
            }
        }
        part.swap(next);
    }
    return part;
}

// The move of the site at p: its part's where that keeps it on the shape, else the least share
// of the way to the transport's move (which lands on the shape's mass) that does, else the part's.
Point2D keptOnShape(const MyTessaron& e, const Point2D& p, const Point2D& partMove,
                    const Point2D& transportMove) {
    if (e.isPointInsideShape(p.x + partMove.x, p.y + partMove.y)) {
        return partMove;
    }
    for (const float share : kTowardTransport) {
        const Point2D m(partMove.x + share * (transportMove.x - partMove.x),
                        partMove.y + share * (transportMove.y - partMove.y));
        if (e.isPointInsideShape(p.x + m.x, p.y + m.y)) {
            return m;
        }
    }
    return e.isPointInsideShape(p.x + transportMove.x, p.y + transportMove.y) ? transportMove
                                                                              : partMove;
}

// Moves the (carried) sites with what is left of the alpha mass's motion: the frame before's
// alpha, carried as the sites were, sent onto this frame's on a coarse grid. Where the moves are
// read as parts, `settle` says how far the rounds may move each site: a site its part's motion
// crowded as far as the frame allows, the others not at all (so that the parts' motion stays).
// True when the moves were read as parts.
bool transportSites(const MyTessaron& e, const double a[4], const double b[4], bool carry,
                    std::vector<Point2D>& carried, std::vector<float>& settle) {
    const FollowState& st = e.follow;
    const int32_t imageWidth = e.imageWidth;
    const int32_t* opaqueBounds = e.opaqueBounds;
    if (!alphaBeforeComparable(e) || e.opaquePixels.count() == 0) {
        return false;
    }
    const double sx = carry ? b[2] / a[2] : 1.0, sy = carry ? b[3] / a[3] : 1.0;
    const auto moveX = [&](double x) { return carry ? b[0] + (x - a[0]) * sx : x; };
    const auto moveY = [&](double y) { return carry ? b[1] + (y - a[1]) * sy : y; };
    const int32_t* o = st.bounds;
    const double x0 = std::min(double(opaqueBounds[0]), moveX(o[0]));
    const double x1 = std::max(double(opaqueBounds[1] + 1), moveX(o[1] + 1));
    const double y0 = std::min(double(opaqueBounds[2]), moveY(o[2]));
    const double y1 = std::max(double(opaqueBounds[3] + 1), moveY(o[3] + 1));
    MassTransport t(x0, y0, x1, y1);
    for (int32_t y = o[2]; y <= o[3]; ++y) {
        for (int32_t x = o[0]; x <= o[1]; ++x) {
            const uint8_t v = st.alpha[size_t(y) * size_t(imageWidth) + size_t(x)];
            if (v > 0) {
                t.addBefore(moveX(x + 0.5), moveY(y + 0.5), v);
            }
        }
    }
    e.opaquePixels.forEach([&](int x, int y) {
        t.addNow(x + 0.5, y + 0.5, e.imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4]);
    });
    if (!t.solve()) {
        return false;
    }
    PartMotions parts;
    std::vector<size_t> gridCells;  // by cell added: its grid cell, or past the grid if steep
    t.forEachCell([&](double x, double y, double m, double dx, double dy, double steep) {
        // Where the moves change steeply the transport blends parts; the maps come from the rest.
        const double s = steep / kSteep;
        parts.add(x, y, m / (1 + s * s * s * s), dx, dy);
        gridCells.push_back(s < 1 ? t.cellOf(x, y) : t.cellCount());
    });
    const double spacing = siteSpacing(e);
    const bool inParts = parts.solve(kPartTolerance * spacing, kPartSpread * spacing);
    if (inParts && !carry && spacing < t.cellSide()) {
        refinePartMaps(e, parts, t, gridCells);
    }
    if (inParts) {
        std::vector<bool> firm(gridCells.size());
        for (size_t i = 0; i < gridCells.size(); ++i) {
            firm[i] = gridCells[i] < t.cellCount();
        }
        parts.dropBlends(firm);
    }
    const std::vector<Point2D> before = carried;
    std::vector<Point2D> moves(carried.size());
    for (size_t j = 0; j < carried.size(); ++j) {
        moves[j] = t.displacement(carried[j]);
    }
    if (inParts) {
        const std::vector<int> part = streamParts(e, parts, before, moves, spacing);
        for (size_t j = 0; j < carried.size(); ++j) {
            if (part[j] >= 0) {
                moves[j] = keptOnShape(e, before[j], parts.moveOf(part[j], before[j]), moves[j]);
            }
        }
    }
    for (size_t j = 0; j < carried.size(); ++j) {
        carried[j] = Point2D(carried[j].x + moves[j].x, carried[j].y + moves[j].y);
    }
    if (inParts) {
        const std::vector<double> was = nearestGaps(before, 2 * spacing),
                                  now = nearestGaps(carried, 2 * spacing);
        settle.resize(carried.size());
        for (size_t j = 0; j < carried.size(); ++j) {
            settle[j] = now[j] < (1 - kCrowding) * was[j] ? HUGE_VALF : 0.0f;
        }
    }
    return inParts;
}

// Which cells of a grid over a frame's box hold a pixel whose alpha changed.
class ChangeGrid {
  public:
    ChangeGrid(int32_t x0, int32_t y0, int32_t x1, int32_t y1, double side)
        : x0_(x0),
          y0_(y0),
          side_(side),
          nx_(int((x1 - x0 + 1) / side) + 1),
          ny_(int((y1 - y0 + 1) / side) + 1),
          changed_(size_t(nx_) * size_t(ny_), 0) {}
    void mark(int32_t x, int32_t y) {
        changed_[size_t(int((y - y0_) / side_)) * size_t(nx_) + size_t(int((x - x0_) / side_))] = 1;
    }
    // Whether p's cell or one of the eight around it holds a change.
    bool near(const Point2D& p) const {
        const int cx = int(std::floor((p.x - x0_) / side_));
        const int cy = int(std::floor((p.y - y0_) / side_));
        for (int y = std::max(0, cy - 1); y <= std::min(ny_ - 1, cy + 1); ++y) {
            for (int x = std::max(0, cx - 1); x <= std::min(nx_ - 1, cx + 1); ++x) {
                if (changed_[size_t(y) * size_t(nx_) + size_t(x)] != 0) {
                    return true;
                }
            }
        }
        return false;
    }

  private:
    int32_t x0_, y0_;
    double side_;
    int nx_, ny_;
    std::vector<uint8_t> changed_;
};

// A followed frame that fades in place: the sites move with the fade's pour by the share of what
// was left of the fade that the fading alpha lost since the frame before (a ninth, then an eighth
// of what is left, over a fade of nine steps), so that the sites leave a part that fades out over
// its fade instead of when its alpha reaches zero; the rounds then weigh the samples by the pour.
void fadeSites(const MyTessaron& e, FollowState& follow, std::vector<Point2D>& carried) {
    const FollowState& st = e.follow;
    FollowState::FadePaths& paths = follow.fadePaths;
    const int32_t w = e.imageWidth, h = e.imageHeight;
    if (!alphaBeforeComparable(e) || e.opaquePixels.count() == 0) {
        return;
    }
    const int32_t* o = st.bounds;
    const int32_t* b = e.opaqueBounds;
    const int32_t x0 = std::max(0, std::min(o[0], b[0])),
                  x1 = std::min(w - 1, std::max(o[1], b[1]));
    const int32_t y0 = std::max(0, std::min(o[2], b[2])),
                  y1 = std::min(h - 1, std::max(o[3], b[3]));
    if (x1 < x0 || y1 < y0) {
        return;
    }
    const auto now = [&](int32_t x, int32_t y) {
        return alphaNow(e, size_t(y) * size_t(w) + size_t(x));
    };
    // The rounds settle only the sites with a change within about two spacings: a settled layout
    // is at rest only for its own samples, and a change anywhere would otherwise let the rounds
    // go on moving sites far from it.
    ChangeGrid changed(x0, y0, x1, y1, 2 * siteSpacing(e));
    double lost = 0, fading = 0;
    for (int32_t y = y0; y <= y1; ++y) {
        for (int32_t x = x0; x <= x1; ++x) {
            const int before = st.alpha[size_t(y) * size_t(w) + size_t(x)], after = now(x, y);
            if (after < before) {
                lost += before - after;
                fading += before;
            }
            if (after != before) {
                changed.mark(x, y);
            }
        }
    }
    if (!(lost > 0)) {
        return;
    }
    follow.settle.resize(carried.size());
    for (size_t j = 0; j < carried.size(); ++j) {
        follow.settle[j] = changed.near(carried[j]) ? HUGE_VALF : 0.0f;
    }
    const double q = std::min(1.0, lost / fading);
    FadeTransport t(x0, y0, x1 + 1, y1 + 1, paths);
    for (int32_t y = y0; y <= y1; ++y) {
        for (int32_t x = x0; x <= x1; ++x) {
            const int before = st.alpha[size_t(y) * size_t(w) + size_t(x)], after = now(x, y);
            if (before > 0) {
                t.addBefore(x + 0.5, y + 0.5, before);
            }
            if (after > 0) {
                // Where the fade ends: what fades is gone, what appears is whole.
                t.addEnd(x + 0.5, y + 0.5, after < before ? 0 : after > before ? 255 : after);
                t.addNow(x + 0.5, y + 0.5, after);
            }
        }
    }
    if (!t.solve(q)) {
        return;
    }
    follow.fadeShare = q;
    follow.fadeWeighted = t.weights(paths.weights);
    for (Point2D& p : carried) {
        const Point2D d = t.displacement(p);
        p = Point2D(p.x + d.x, p.y + d.y);
    }
}

// The frame before's alpha carried with the shape's frame from a to b (read at the pixel the
// point comes from), over the box of pixels, clamped to the image, that this frame's shape and
// the frame before's carried cover (and, with `inPlaceToo`, the frame before's left in place).
// Needs the frame before's alpha to be of this frame's size.
class CarriedAlpha {
  public:
    CarriedAlpha(const MyTessaron& e, const double a[4], const double b[4], bool inPlaceToo)
        : st_(e.follow), w_(e.imageWidth), h_(e.imageHeight), a_(a), b_(b) {
        const int32_t* o = st_.bounds;
        const int32_t* n = e.opaqueBounds;
        const auto carriedX = [&](double x) { return b[0] + (x - a[0]) * (b[2] / a[2]); };
        const auto carriedY = [&](double y) { return b[1] + (y - a[1]) * (b[3] / a[3]); };
        // Where the frame before lies left in place, if it counts: else the carried side again.
        const double l[4] = {inPlaceToo ? double(o[0]) : carriedX(o[0]),
                             inPlaceToo ? double(o[1]) : carriedX(o[1] + 1),
                             inPlaceToo ? double(o[2]) : carriedY(o[2]),
                             inPlaceToo ? double(o[3]) : carriedY(o[3] + 1)};
        x0 = std::max(0, int32_t(std::floor(std::min({double(n[0]), l[0], carriedX(o[0])}))));
        x1 = std::min(w_ - 1,
                      int32_t(std::ceil(std::max({double(n[1]), l[1], carriedX(o[1] + 1)}))));
        y0 = std::max(0, int32_t(std::floor(std::min({double(n[2]), l[2], carriedY(o[2])}))));
        y1 = std::min(h_ - 1,
                      int32_t(std::ceil(std::max({double(n[3]), l[3], carriedY(o[3] + 1)}))));
    }
    // The frame before's alpha left in place, at (x, y).
    int before(double x, double y) const {
        if (!(x >= 0 && y >= 0 && x < w_ && y < h_)) {
            return 0;
        }
        return st_.alpha[size_t(y) * size_t(w_) + size_t(x)];
    }
    // The frame before's alpha carried, at (cx, cy).
    int carried(double cx, double cy) const {
        return before(a_[0] + (cx - b_[0]) * (a_[2] / b_[2]),
                      a_[1] + (cy - b_[1]) * (a_[3] / b_[3]));
    }
    int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;

  private:
    const FollowState& st_;
    int32_t w_, h_;
    const double *a_, *b_;
};

// A frame carried whole with the shape's frame (a growth, a slide): the rounds settle only the
// sites within about two spacings of a pixel that the carried alpha of the frame before does not
// explain. The carried layout is at rest wherever the carry is exact, and the rounds would
// otherwise stir it everywhere by the pixels' rounding at the shape's edge.
void settleWhereCarryMisses(const MyTessaron& e, const double a[4], const double b[4],
                            const std::vector<Point2D>& carried, std::vector<float>& settle) {
    if (!alphaBeforeComparable(e) || e.opaquePixels.count() == 0) {
        return;
    }
    const CarriedAlpha alpha(e, a, b, false);
    if (alpha.x1 < alpha.x0 || alpha.y1 < alpha.y0) {
        return;
    }
    ChangeGrid missed(alpha.x0, alpha.y0, alpha.x1, alpha.y1, 2 * siteSpacing(e));
    for (int32_t y = alpha.y0; y <= alpha.y1; ++y) {
        for (int32_t x = alpha.x0; x <= alpha.x1; ++x) {
            if (alphaNow(e, size_t(y) * size_t(e.imageWidth) + size_t(x)) !=
                alpha.carried(x + 0.5, y + 0.5)) {
                missed.mark(x, y);
            }
        }
    }
    settle.resize(carried.size());
    for (size_t j = 0; j < carried.size(); ++j) {
        settle[j] = missed.near(carried[j]) ? HUGE_VALF : 0.0f;
    }
}

}  // namespace

bool MyTessaron::followsFrameBefore(int f) const {
    if (f <= 0 || !shapeSetting(followShapeChanges, f, false) ||
        followedSites.size() != size_t(layerCount)) {
        return false;
    }
    // A changed Seed is a deliberate reshuffle; with Random Seed on the run has one seed.
    return randomSeed || (size_t(f) < seeds.size() && seeds[size_t(f)] == seeds[size_t(f) - 1]);
}

void MyTessaron::keepFollowedSites(int frameIndex) {
    const bool fresh = !followsFrameBefore(frameIndex) && !sitesSettled;
    if (!followsFrameBefore(frameIndex)) {
        follow.fadePaths.progress = 1;  // a frame laid out afresh ends any fade under way
    }
    followedSites.clear();
    // This frame's offsets, by site: taken (or dropped) once.
    const std::vector<Point2D> siteOffsets = std::move(follow.siteOffsets);
    follow.siteOffsets.clear();
    if (!shapeSetting(followShapeChanges, frameIndex, false) || sitesAreCompPositions ||
        assignmentIds.empty() || int(sites.size()) < layerCount) {
        return;
    }
    const std::vector<int32_t>& ids = assignmentIds.back();
    follow.placed.clear();
    for (int j = 0; j < layerCount; ++j) {
        follow.placed.push_back(sites[size_t(ids[size_t(j)])].position);
        followedSites.push_back(imagePoint(follow.placed.back()));
    }
    shapeFrame(followedFrame);
    if (fresh) {
        setSampleStep(*this, followedFrame, followSampleStep);
    }
    FollowState& st = follow;
    st.offsets.clear();
    if (siteOffsets.size() == sites.size()) {
        for (int j = 0; j < layerCount; ++j) {
            st.offsets.push_back(siteOffsets[size_t(ids[size_t(j)])]);
        }
    }
    st.width = imageWidth;
    st.height = imageHeight;
    std::copy(opaqueBounds, opaqueBounds + 4, st.bounds);
    st.alpha.resize(imagePixels ? size_t(imageWidth) * size_t(imageHeight) : 0);
    for (size_t p = 0; p < st.alpha.size(); ++p) {
        st.alpha[p] = uint8_t(alphaNow(*this, p));
    }
}

bool MyTessaron::shapeUnchanged() const {
    const FollowState& st = follow;
    if (!imagePixels || !alphaBeforeComparable(*this) || st.placed.size() != size_t(layerCount)) {
        return false;
    }
    for (size_t p = 0; p < st.alpha.size(); ++p) {
        if (alphaNow(*this, p) != st.alpha[p]) {
            return false;
        }
    }
    return true;
}

void MyTessaron::shapeFrame(double out[4]) const {
    double w = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    opaquePixels.forEach([&](int x, int y) {
        const double a = imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4];
        const double cx = x + 0.5, cy = y + 0.5;
        w += a;
        sx += a * cx;
        sy += a * cy;
        sxx += a * cx * cx;
        syy += a * cy * cy;
    });
    if (w <= 0) {
        out[0] = out[1] = 0;
        out[2] = out[3] = 1;
        return;
    }
    out[0] = sx / w;
    out[1] = sy / w;
    // A spread of at least half a pixel: a line of pixels still has a frame.
    out[2] = std::max(0.5, std::sqrt(std::max(0.0, sxx / w - out[0] * out[0])));
    out[3] = std::max(0.5, std::sqrt(std::max(0.0, syy / w - out[1] * out[1])));
}

Point2D MyTessaron::nearestPointOnShape(const Point2D& p) const {
    if (isPointInsideShape(p.x, p.y) || opaquePixels.count() == 0) {
        return p;
    }
    const int x = int(std::floor(p.x)), y = int(std::floor(p.y));
    // Squares doubling around p until one holds shape; one that covers the image always does.
    for (int r = 1; r < (1 << 30); r *= 2) {
        if (!opaquePixels.anyIn(std::max(0, x - r), std::max(0, y - r),
                                std::min(imageWidth, x + r + 1),
                                std::min(imageHeight, y + r + 1))) {
            continue;
        }
        // The nearest opaque pixel lies within r * sqrt(2) of p: rows outwards from p's, each
        // skipped when it has no opaque pixel near, read outwards from p's column, and the
        // search ends where no row or column can come nearer than the best.
        const int s = int(std::ceil(r * 1.4143));
        const int x0 = std::max(0, x - s), x1 = std::min(imageWidth, x + s + 1);
        double best = HUGE_VAL;
        Point2D found = p;
        // The point of a pixel's square nearest p (kept a little inside it, so that it reads as
        // that pixel): sites off the shape side by side land side by side, not on one centre,
        // where the rounds could not tell them apart again.
        constexpr float kInset = 1.0f / 64;
        auto visit = [&](int xx, int yy) {
            const float qx = std::min(std::max(p.x, float(xx) + kInset), float(xx + 1) - kInset);
            const float qy = std::min(std::max(p.y, float(yy) + kInset), float(yy + 1) - kInset);
            const double dx = double(qx) - p.x, dy = double(qy) - p.y;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                found = Point2D(qx, qy);
            }
        };
        for (int k = 0; k <= s; ++k) {
            const double rowGap = std::max(0.0, k - 1.0);
            if (rowGap * rowGap >= best) {
                break;
            }
            for (int yy : {y - k, y + k}) {
                if (yy < 0 || yy >= imageHeight || (k == 0 && yy != y) ||
                    !opaquePixels.anyIn(x0, yy, x1, yy + 1)) {
                    continue;
                }
                for (int m = 0; m <= s; ++m) {
                    const double columnGap = std::max(0.0, m - 1.0);
                    if (columnGap * columnGap + rowGap * rowGap >= best) {
                        break;
                    }
                    for (int xx : {x - m, x + m}) {
                        if (xx >= x0 && xx < x1 && opaquePixels.opaque(xx, yy)) {
                            visit(xx, yy);
                        }
                    }
                }
            }
        }
        return found;
    }
    return p;
}

bool MyTessaron::carriesWithFrame(const double a[4], const double b[4]) const {
    if (!alphaBeforeComparable(*this)) {
        return true;
    }
    // Which explains the new alpha better, the old one carried with the frame or left in place:
    // a slide or a growth moves the frame with the shape, a fade moves it without any motion.
    const double spacing = siteSpacing(*this);
    const int stride = std::max(1, int(spacing / 3));
    const CarriedAlpha alpha(*this, a, b, true);
    int64_t stay = 0, carry = 0;
    for (int32_t y = alpha.y0; y <= alpha.y1; y += stride) {
        for (int32_t x = alpha.x0; x <= alpha.x1; x += stride) {
            const int now = alphaNow(*this, size_t(y) * size_t(imageWidth) + size_t(x));
            const double cx = x + 0.5, cy = y + 0.5;
            stay += std::abs(now - alpha.before(cx, cy));
            carry += std::abs(now - alpha.carried(cx, cy));
        }
    }
    return carry < stay;
}

void MyTessaron::getFollowingSites(bool relax) {
    const int n = layerCount;
    // Carry the sites with the shape's frame (a slide or a growth moves them all alike) unless
    // the shape fades in place, then onto the shape where they fell off it.
    const double* a = followedFrame;
    double b[4];
    shapeFrame(b);
    const bool carry = carriesWithFrame(a, b);
    std::vector<Point2D> carried(followedSites);
    if (carry) {
        for (Point2D& p : carried) {
            p = Point2D(float(b[0] + (p.x - a[0]) * (b[2] / a[2])),
                        float(b[1] + (p.y - a[1]) * (b[3] / a[3])));
        }
    }
    follow.settle.clear();
    follow.fadeFrom.clear();
    follow.fadeShare = 0;
    follow.fadeWeighted = false;
    // Whether the lattice and the offsets move with the frame.
    bool carryLattice = carry;
    if (carry) {
        // A shape that moves in parts: the frame's carry is no part's motion (a bar sliding up
        // through a stem moves the frame up, not the stem), so the parts are read from the sites
        // and the alpha where they were.
        if (transportSites(*this, a, b, true, carried, follow.settle)) {
            std::vector<Point2D> uncarried(followedSites);
            std::vector<float> settle;
            if (transportSites(*this, a, b, false, uncarried, settle)) {
                carried = std::move(uncarried);
                follow.settle = std::move(settle);
                carryLattice = false;
            }
        }
        if (follow.settle.empty()) {
            settleWhereCarryMisses(*this, a, b, carried, follow.settle);
        }
        follow.fadePaths.progress = 1;
    } else {
        fadeSites(*this, follow, carried);
    }
    for (int j = 0; j < n; ++j) {
        sites.emplace_back();
        sites.back().position = nearestPointOnShape(carried[size_t(j)]);
    }
    sitesFollowLayers = true;
    const double spacing = siteSpacing(*this);
    const auto inside = [this](const Point2D& p) { return isPointInsideShape(p.x, p.y); };
    if (!relax) {
        follow.settle.clear();
        follow.fadeWeighted = false;
        uncrossPaths(followedSites, sites, follow.siteOffsets, inside, spacing);
        return;
    }
    double* l = follow.lattice;
    double scale[2] = {1, 1};
    if (carryLattice) {
        scale[0] = b[2] / a[2];
        scale[1] = b[3] / a[3];
        l[0] = b[0] + (l[0] - a[0]) * scale[0];
        l[1] = b[1] + (l[1] - a[1]) * scale[1];
        l[2] *= scale[0];
        l[3] *= scale[1];
    }
    // A fade moves the sites with its transport; the rounds only settle them where they are,
    // and take none farther from where it was than the transport did (or half a spacing).
    if (!carry) {
        follow.fadeFrom = followedSites;
    }
    relaxOverLattice(false, scale, carry ? HUGE_VAL : kFadeSettle * spacing);
    follow.settle.clear();
    follow.fadeFrom.clear();
    follow.fadeShare = 0;
    follow.fadeWeighted = false;
    uncrossPaths(followedSites, sites, follow.siteOffsets, inside, spacing);
}

void MyTessaron::settleOverCarriedSamples(bool fresh) {
    const double scale[2] = {1, 1};
    relaxOverLattice(fresh, scale);
}

void MyTessaron::relaxOverLattice(bool fresh, const double scale[2], double mostMove) {
    const int n = layerCount;
    follow.siteOffsets.clear();
    if (n == 0 || int(sites.size()) < n) {
        return;
    }
    const size_t count = static_cast<size_t>(n);
    const bool carried = !fresh && follow.offsets.size() == count;
    if (!carried) {
        // Fresh, or the frame before was not relaxed (Random): the lattice starts in this frame.
        shapeFrame(follow.lattice);
    }
    if (fresh) {
        setSampleStep(*this, follow.lattice, followSampleStep);
        sitesSettled = true;
    }
    // A lattice carried with the sites, one sample per cell at a jitter of its own, weighted by
    // the pixel's alpha so that a crossfade shifts the sites as gradually as it fades.
    const double* l = follow.lattice;
    const double stepX = followSampleStep[0] * l[2], stepY = followSampleStep[1] * l[3];
    const int32_t* b = opaqueBounds;
    const int64_t cx0 = int64_t(std::floor((b[0] - l[0]) / stepX));
    const int64_t cx1 = int64_t(std::floor((b[1] + 1 - l[0]) / stepX));
    const int64_t cy0 = int64_t(std::floor((b[2] - l[1]) / stepY));
    const int64_t cy1 = int64_t(std::floor((b[3] + 1 - l[1]) / stepY));
    // Drawn into the frame before's room, in the lattice's row order (near samples together).
    OrderedSamples& ordered = follow.samples;
    std::vector<Point2D>& at = ordered.points;
    std::vector<float>& weights = follow.weights;
    at.clear();
    weights.clear();
    // About kSamplesPerSite a site fall on the shape: room for them, or for every cell.
    const auto room = size_t(std::min<double>(double(cx1 - cx0 + 1) * double(cy1 - cy0 + 1),
                                              2.0 * kSamplesPerSite * double(count)));
    at.reserve(room);
    weights.reserve(room);
    // At a fade's frame, a factor per cell of its transport's grid (kept with its paths).
    const FollowState::FadePaths& fade = follow.fadePaths;
    const bool fadeWeighted =
        follow.fadeWeighted && fade.weights.size() == size_t(fade.grid[3]) * size_t(fade.grid[4]);
    const auto fadeWeight = [&](float x, float y) {
        const double* g = fade.grid;
        const int columns = int(g[3]), rows = int(g[4]);
        const int cx = std::max(0, std::min(columns - 1, int(std::floor((x - g[0]) / g[2]))));
        const int cy = std::max(0, std::min(rows - 1, int(std::floor((y - g[1]) / g[2]))));
        return fade.weights[size_t(cy) * size_t(columns) + size_t(cx)];
    };
    for (int64_t cy = cy0; cy <= cy1; ++cy) {
        for (int64_t cx = cx0; cx <= cx1; ++cx) {
            const float x = float(l[0] + (double(cx) + jitter(cx, cy, 0)) * stepX);
            const float y = float(l[1] + (double(cy) + jitter(cx, cy, 1)) * stepY);
            if (!isPointInsideShape(x, y)) {
                continue;
            }
            const uint8_t alpha = imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4];
            at.push_back(Point2D(x, y));
            weights.push_back(fadeWeighted ? float(alpha) / 255.0f * fadeWeight(x, y)
                                           : float(alpha) / 255.0f);
        }
    }
    if (at.empty()) {
        return;
    }
    // Each cell's centroid stays where it was from its site: on an unchanged shape nothing moves
    // (the rounds left off where the frame before's did), and a change moves the sites near it,
    // as far as it moves the mass under them.
    std::vector<Point2D> offsets(count);
    for (size_t j = 0; carried && j < count; ++j) {
        offsets[j] =
            Point2D(float(follow.offsets[j].x * scale[0]), float(follow.offsets[j].y * scale[1]));
    }
    // The samples stay put over the rounds: one grouping by query cells, and a round searches
    // again only where the sites moved.
    ordered.order.resize(at.size());
    std::iota(ordered.order.begin(), ordered.order.end(), 0u);
    regroupSamples(ordered, count);
    NearestSiteRounds rounds(ordered, count, std::move(follow.nearest));
    std::vector<Point2D> positions(count);
    std::vector<double> sumX(count), sumY(count), sumW(count);
    std::vector<int32_t> firstSample(count);
    const auto assign = [&] {
        for (size_t j = 0; j < count; ++j) {
            positions[j] = sites[j].position;
        }
        const std::vector<int32_t>& nearest = rounds.search(positions);
        std::fill(sumX.begin(), sumX.end(), 0.0);
        std::fill(sumY.begin(), sumY.end(), 0.0);
        std::fill(sumW.begin(), sumW.end(), 0.0);
        std::fill(firstSample.begin(), firstSample.end(), -1);
        for (size_t s = 0; s < at.size(); ++s) {
            const size_t j = size_t(nearest[s]);
            sumX[j] += double(weights[s]) * at[s].x;
            sumY[j] += double(weights[s]) * at[s].y;
            sumW[j] += weights[s];
            if (firstSample[j] < 0) {
                firstSample[j] = int32_t(s);
            }
        }
    };
    std::vector<Point2D> start(count);
    for (size_t j = 0; j < count; ++j) {
        start[j] = sites[j].position;
    }
    // At a fade's frame, how far from where it was at the frame before each site may end.
    const std::vector<Point2D>& from = follow.fadeFrom;
    std::vector<double> reach(from.size() == count ? count : 0);
    for (size_t j = 0; j < reach.size(); ++j) {
        reach[j] =
            std::max(mostMove, double(std::hypot(start[j].x - from[j].x, start[j].y - from[j].y)));
    }
    const bool fading = !reach.empty();
    const double spacing = siteSpacing(*this);
    const double hollowReach = kHollowReach * spacing;
    const double hollowShare =
        kHollowShare * std::max(1.0, kHollowCells * follow.fadePaths.grid[2] / spacing);
    for (int round = 0; round < kRounds; ++round) {
        assign();
        const double hollow =
            kHollow * std::accumulate(sumW.begin(), sumW.end(), 0.0) / double(count);
        for (size_t j = 0; j < count; ++j) {
            if (sumW[j] <= 0.0) {
                continue;  // a site without samples stays where it is
            }
            const Point2D mean(float(sumX[j] / sumW[j] - offsets[j].x),
                               float(sumY[j] / sumW[j] - offsets[j].y));
            // A site bordering room no site takes settles into it (at a fade's frame, only near
            // a change, and only so far from where it was).
            const bool settles = follow.settle.size() != count || follow.settle[j] > 0;
            const bool bordersRoom = sumW[j] > hollow && (settles || !fading);
            double roomReach = 0;
            if (bordersRoom && fading) {
                roomReach = std::max(hollowReach, hollowShare * follow.fadeShare *
                                                      std::hypot(double(mean.x) - from[j].x,
                                                                 double(mean.y) - from[j].y));
            }
            Point2D to = isPointInsideShape(mean.x, mean.y) ? mean : at[size_t(firstSample[j])];
            const double dx = to.x - start[j].x, dy = to.y - start[j].y, d = std::hypot(dx, dy);
            double most = follow.settle.size() == count && !(bordersRoom && !fading)
                              ? std::min(mostMove, double(follow.settle[j]))
                              : mostMove;
            if (bordersRoom && fading) {
                most = std::max(most, roomReach);
            }
            if (d > most) {
                const Point2D bounded(float(start[j].x + dx * most / d),
                                      float(start[j].y + dy * most / d));
                if (isPointInsideShape(bounded.x, bounded.y)) {
                    to = bounded;
                } else {
                    continue;
                }
            }
            if (!reach.empty()) {
                // Settling a site does not carry it on past where the fade's transport took it:
                // the sites at the front of a fade then step no more than the transport's move.
                const double ex = to.x - from[j].x, ey = to.y - from[j].y, e = std::hypot(ex, ey);
                const double r = bordersRoom ? std::max(reach[j], roomReach) : reach[j];
                if (e > r) {
                    const Point2D held(float(from[j].x + ex * r / e),
                                       float(from[j].y + ey * r / e));
                    if (!isPointInsideShape(held.x, held.y)) {
                        continue;
                    }
                    to = held;
                }
            }
            sites[j].position = to;
        }
    }
    if (!carried) {
        // The layout at rest: the offsets its cells' centroids have now.
        assign();
        for (size_t j = 0; j < count; ++j) {
            if (sumW[j] > 0) {
                offsets[j] = Point2D(float(sumX[j] / sumW[j] - sites[j].position.x),
                                     float(sumY[j] / sumW[j] - sites[j].position.y));
            }
        }
    }
    follow.siteOffsets = std::move(offsets);
    follow.nearest = rounds.release();
}

// The least total of squared moves from where the layers were: a cell that is still a candidate
// keeps its layer, and when the count of cells changes, layers take the nearest new ones. The
// cells left over are padding rows that cost the same anywhere.
void MyTessaron::followOntoCandidates(std::vector<Point2D> candidates) {
    const size_t n = size_t(layerCount);
    std::vector<Point2D> from(followedSites);
    from.resize(candidates.size());
    std::vector<bool> known(candidates.size(), false);
    std::fill(known.begin(), known.begin() + std::ptrdiff_t(n), true);
    AssignmentWarmStart warm;
    const std::vector<int32_t> columns = shortestPathAssignment(from, candidates, known, warm);
    for (size_t j = 0; j < n; ++j) {
        sites.emplace_back();
        sites.back().position = candidates[size_t(columns[j])];
    }
    sitesFollowLayers = true;
}

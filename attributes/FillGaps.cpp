#include "attributes/FillGaps.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <memory>
#include <utility>

#include "attributes/Growth.h"
#include "attributes/SiteGrid.h"
#include "attributes/SiteSize.h"

namespace {

// A step is a twenty-fifth of the median layer's longer side, at least a pixel, the same for
// every layer, so that small layers catch up with large ones as they do in the growth. A large
// first step carries a layer over narrow places; the halved ones fill what is left.
constexpr float kStepShare = 0.04f;
// How far a layer may slide from where the growth left it, in its longer sides: enough to leave
// a corner it stopped at, not so far that the layout (and what moves between frames) changes.
constexpr float kDriftShare = 0.5f;
// Per attempt, at most these many slides, together at most this share of the longer side.
constexpr int kSlides = 8;
constexpr float kMoveShare = 0.25f;
// Beyond the exact contact, so that the single-precision overlap test sees a gap.
constexpr float kClearance = 0.05f;
// A layer that failed this many attempts in a row (each with half the step of the one before,
// down to a two-hundredth of the median) has no room left and is not visited again.
constexpr int kFailuresToRest = 4;
// A layer shoves at most these many neighbours out of its way, they theirs, and so on down a
// chain of at most kChainDepth links and kChainBudget layers: room left between layers further
// on is passed along to the one that grows.
constexpr size_t kShoved = 3;
constexpr int kChainDepth = 4;
constexpr size_t kChainBudget = 12;
// Samples per side of the grid over a rectangle that finds its part off the shape.
constexpr int kShapeSamples = 8;
// Filling, trading places between neighbours and filling again: at most this many fills.
constexpr int kFills = 3;
// A layer trading places grows at its new place to at most this many times the larger of the
// two longer sides, found to within kFitPrecision pixels.
constexpr float kTradeReach = 2.0f;
constexpr float kFitPrecision = 0.5f;

// A rectangle's reach from its centre is at most this share of its longer side.
constexpr float kHalfDiagonal = 0.7072f;

// The squeeze before the fill: every layer grows by a common factor, first this share of its
// longer side, and the overlaps are pushed apart together; when they do not clear within
// kSqueezeIterations sweeps, the layout goes back to the last clear one, the layers still in
// conflict stop growing and, when there were none new, the share halves, down to kSqueezeLeast.
constexpr double kSqueezeShare = 0.02;
constexpr double kSqueezeLeast = 0.0025;
constexpr int kSqueezeIterations = 24;
constexpr int kSqueezeGrowths = 160;
// The squeeze stops after this many layer visits of its sweeps (a few hundred growths of 300
// layers; a few of 3000, where the time goes to the fill).
constexpr size_t kSqueezeWork = 250000;

// Relocation after the fill: the largest holes are found on a raster of kHoleCells cells per
// median longer side (peaks of the distance to the nearest covered or bare cell, at least
// kHoleLeast cells); for each, the kDonors layers nearest to it that the growth left within
// kRelocationReach median sides of it (further moves would show between frames) try to move
// there, at their grown size, slid up to kInsertReach times a fill's slide and drift. The layer
// at the hole, then the neighbours of its old place, take up to kRelocationRounds growth rounds;
// a move is kept when the layers concerned cover more of the shape by kRelocationGain median
// squares.
constexpr double kHoleCells = 24.0;
constexpr double kHoleRasterCells = 4e6;
constexpr float kHoleLeast = 2.0f;
constexpr size_t kDonors = 10;
constexpr float kRelocationReach = 1.5f;
constexpr float kInsertReach = 3.0f;
constexpr int kRelocationRounds = 16;
constexpr double kRelocationGain = 0.001;
// Up to kRelocations attempts a layer, at most kRelocationWork in all; relocations and fills
// alternate up to kRelocationCycles times.
constexpr size_t kRelocations = 16;
constexpr size_t kRelocationWork = 6000;
constexpr int kRelocationCycles = 3;
// Leaning into holes: the kLeaners layers nearest each hole try kLeanPoints points towards it,
// growing there up to kLeanGrowth times their longer side.
constexpr size_t kLeaners = 6;
constexpr int kLeanPoints = 8;
constexpr float kLeanGrowth = 1.5f;
// Sites relocated since the broad phase was made are tested one by one, up to this many.
constexpr size_t kStrays = 32;
// Up to this many layers the fill runs after a squeeze and alone, and the better is kept; more
// layers are filled alone (after relocation the squeeze changed 300 layers' coverage by -0.001
// to +0.007 at about twice the time).
constexpr size_t kSqueezeLayers = 150;
// With Keep Inside Shape, a layer that does not fit at a hole at its grown size is tried there
// smaller, down to kShrinkLeast of the median layer's longer side (so that it stays above a
// quarter of the median once the others have grown) and to no less than a kShrinkReach-th of its
// move from where the growth left it (in its own sizes, a small layer moving far shows between
// frames), the largest size that fits found by kShrinkHalvings bisections: the holes the
// Overhang leaves are slivers and thin limbs narrower than any layer at its grown size.
constexpr float kShrinkLeast = 0.3f;
constexpr float kShrinkReach = 2.0f;
constexpr int kShrinkHalvings = 5;
// Moves into narrow holes keep paying after sixteen attempts a layer: with Keep Inside Shape, up
// to kShrinkRelocations attempts a layer, at most kShrinkWork in all (more only in small
// collages, whose relocation is cheap).
constexpr size_t kShrinkRelocations = 32;
constexpr size_t kShrinkWork = 2560;
// With Keep Inside Shape, when the layer's move does not pay, the old neighbour nearest to its
// place may follow into it, from no further than kFollowReach of its own longer sides from where
// the growth left it (further, the collage moves more between frames than without Fill Gaps).
constexpr float kFollowReach = 1.5f;
// Only in collages of up to this many layers, whose relocation is cheap: larger ones spend most
// attempts on moves that do not pay, each of which a follower would make dearer (the 300-layer
// rows over 1 CPU s a frame), and cover 0.80 without it.
constexpr size_t kFollowLayers = 150;
// In a thin part of the shape (a hole round which no point of the shape within kThinWindow
// median sides lies further than kThinReach median sides from its edge: a limb, a stroke, a
// branch), up to kFollowChain layers follow one another, each into the place the one before
// left, as large as they fit there: the row of layers along a limb moves up, and the room left
// at its end, where the limb widens, is room its neighbours grow into.
constexpr float kThinReach = 0.7f;
constexpr float kThinWindow = 0.7f;
constexpr int kFollowChain = 3;
// Last in small collages with Keep Inside Shape, each layer in turn yields room: it is tried a
// kYieldShare and twice that smaller (not under kShrinkLeast of the median), its neighbours
// growing into the room it leaves for up to kNudgeRounds rounds, and it after them. Then each is
// nudged up to kNudgeSteps fill steps along its sides and diagonals, it and its old neighbours
// growing. Either is kept when they then cover more of the shape.
constexpr float kYieldShare = 0.1f;
constexpr int kNudgeSteps = 2;
constexpr int kNudgeRounds = 8;
// On a shape with thin parts the yields run before the relocation too (the layers along a limb
// pack closer and leave room at its end), and the yields and nudges after the leaning up to
// kYieldPasses times, while the yields keep any: limbs hold more of the slivers.
constexpr int kYieldPasses = 3;

float distance(const Point2D& a, const Point2D& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

float maxMoveFor(float longer) {
    return kMoveShare * longer + 1.0f;
}

// The shortest move of a off b along the four edge normals of the two rectangles (the
// separating-axis test's least penetration), with a little clearance; zero when they are apart.
Point2D separation(const MySitePoint& a, const MySitePoint& b) {
    double best = HUGE_VAL, nx = 0.0, ny = 0.0;
    for (const std::vector<Point2D>* poly : {&a.corners, &b.corners}) {
        for (int i = 0; i < 2; ++i) {
            const Point2D& p = (*poly)[i];
            const Point2D& q = (*poly)[i + 1];
            double ex = double(q.x) - p.x, ey = double(q.y) - p.y;
            const double length = std::hypot(ex, ey);
            if (!(length > 0.0)) continue;
            ex /= length;
            ey /= length;
            const double ux = -ey, uy = ex;  // the edge's normal
            double aLo = HUGE_VAL, aHi = -HUGE_VAL, bLo = HUGE_VAL, bHi = -HUGE_VAL;
            for (int k = 0; k < 4; ++k) {
                const double pa = ux * a.corners[k].x + uy * a.corners[k].y;
                const double pb = ux * b.corners[k].x + uy * b.corners[k].y;
                aLo = std::min(aLo, pa);
                aHi = std::max(aHi, pa);
                bLo = std::min(bLo, pb);
                bHi = std::max(bHi, pb);
            }
            // Out the nearer way: past b's far side or back past its near side.
            const double forward = bHi - aLo, backward = aHi - bLo;
            const double depth = std::min(forward, backward);
            if (depth < 0.0) return Point2D();
            if (depth < best) {
                best = depth;
                const double sign = forward < backward ? 1.0 : -1.0;
                nx = sign * ux;
                ny = sign * uy;
            }
        }
    }
    const double move = best + kClearance;
    return Point2D(float(nx * move), float(ny * move));
}

// The direction from the part of the rectangle off the shape towards its part on it (a unit
// vector), or zero when the samples see none off it.
Point2D awayFromEdge(const MySitePoint& s, const ShapeLimit& shape) {
    const Point2D& c0 = s.corners[0];
    const Point2D& c1 = s.corners[1];
    const Point2D& c3 = s.corners[3];
    double ox = 0.0, oy = 0.0;
    int off = 0;
    for (int j = 0; j < kShapeSamples; ++j) {
        for (int i = 0; i < kShapeSamples; ++i) {
            const double u = (i + 0.5) / kShapeSamples, v = (j + 0.5) / kShapeSamples;
            const Point2D p(float(c0.x + u * (c1.x - c0.x) + v * (c3.x - c0.x)),
                            float(c0.y + u * (c1.y - c0.y) + v * (c3.y - c0.y)));
            if (!shape.onShape(p)) {
                ox += double(p.x) - s.position.x;
                oy += double(p.y) - s.position.y;
                ++off;
            }
        }
    }
    const double length = std::hypot(ox, oy);
    if (off == 0 || !(length > 0.0)) return Point2D();
    return Point2D(float(-ox / length), float(-oy / length));
}

struct Filler {
    std::vector<MySitePoint>& sites;
    const FillLimits& limits;
    std::vector<Point2D> anchors;     // where the growth left each site
    std::vector<Point2D> roundStart;  // where each site was when the round's grid was made
    float step = 1.0f;

    // Whether site k may take the place of moved: within its slides and drift, and on the shape.
    bool mayMoveTo(int32_t k, const MySitePoint& moved) const {
        const float longer = longerSide(moved);
        const Point2D& from = roundStart[size_t(k)];
        const Point2D& a = anchors[size_t(k)];
        if (!(std::hypot(moved.position.x - from.x, moved.position.y - from.y) <=
              maxMoveFor(longer)) ||
            !(std::hypot(moved.position.x - a.x, moved.position.y - a.y) <= kDriftShare * longer)) {
            return false;
        }
        if (!limits.shape) return true;
        limits.shape->moved(k);
        const bool fits =
            limits.shape->onShape(moved.position) && !limits.shape->tooFarOff(k, moved);
        limits.shape->moved(k);
        return fits;
    }

    std::vector<float> grownSide;  // each site's longer side as the growth left it
    std::vector<char> fixed;       // sites the squeeze leaves where they are
    size_t work = 0;               // layer visits of the squeeze's sweeps
    // Sites relocated since the broad phase was made, which it may not find where they are now:
    // each is tested on its own (none outside relocation).
    std::vector<int32_t> strays;
    std::vector<char> stray;
    std::vector<Point2D> origins;  // where the growth left each site
    bool following = false;        // whether a neighbour may follow a relocated layer

    // Calls f(k) for every site k other than s that may touch site s: those the broad phase
    // finds, and the strays.
    template <typename F>
    void forEachNear(const SiteGrid& grid, int32_t s, F&& f) const {
        grid.forEachNear(sites, s, [&](int32_t k) {
            if (stray.empty() || !stray[size_t(k)]) f(k);
            return true;
        });
        for (int32_t k : strays) {
            if (k != s) f(k);
        }
    }

    // Whether site s placed as trial meets none of near (nor other, when given) and keeps to the
    // shape.
    bool fitsAmong(int32_t s, const MySitePoint& trial, const std::vector<int32_t>& near,
                   const MySitePoint* other) const {
        if (other && trial.intersect(*other)) return false;
        for (int32_t k : near) {
            if (trial.intersect(sites[k])) return false;
        }
        if (!limits.shape) return true;
        limits.shape->moved(s);
        const bool fits = !limits.shape->tooFarOff(s, trial);
        limits.shape->moved(s);
        return fits;
    }

    // Site s's rectangle centred at p at the largest longer side, not under its grown one nor
    // over hi, at which it fits; false when it does not fit even at its grown size.
    bool largestAt(int32_t s, const Point2D& p, const std::vector<int32_t>& near,
                   const MySitePoint* other, float hi, MySitePoint& placed) const {
        placed = sites[s];
        placed.position = p;
        float lo = grownSide[size_t(s)];
        setLongerSide(placed, lo);
        placed.placeRectangle();
        if (!fitsAmong(s, placed, near, other)) return false;
        growWhileItFits(s, near, other, lo, hi, placed);
        return true;
    }

    // Grows placed (site s, fitting at longer side lo) by halving the step up to hi (capped by
    // Max Size) to the largest side at which it still fits; returns that side.
    float growWhileItFits(int32_t s, const std::vector<int32_t>& near, const MySitePoint* other,
                          float lo, float hi, MySitePoint& placed) const {
        hi = std::min(hi, limits.maxLongerSide);
        MySitePoint trial = placed;
        while (hi - lo > kFitPrecision) {
            const float mid = 0.5f * (lo + hi);
            setLongerSide(trial, mid);
            trial.placeRectangle();
            if (fitsAmong(s, trial, near, other)) {
                lo = mid;
                placed = trial;
            } else {
                hi = mid;
            }
        }
        return lo;
    }

    // Neighbours a and b trade places when each then fits at its new place at least at its grown
    // size and the two, each as large as it then fits, cover more than before: a wide layer in
    // a wide room, a tall one in a tall room. Each keeps its rotation and proportions. near: the
    // sites other than a and b that either may meet there.
    bool trade(int32_t a, int32_t b, const std::vector<int32_t>& near) {
        MySitePoint& sa = sites[a];
        MySitePoint& sb = sites[b];
        if (sa.aspect == sb.aspect) return false;
        const float hi = kTradeReach * std::max(longerSide(sa), longerSide(sb));
        MySitePoint na, nb;
        if (!largestAt(a, sb.position, near, nullptr, hi, na) ||
            !largestAt(b, sa.position, near, &na, hi, nb) ||
            !(na.width * na.height + nb.width * nb.height >
              sa.width * sa.height + sb.width * sb.height)) {
            return false;
        }
        std::swap(anchors[size_t(a)], anchors[size_t(b)]);
        sa = std::move(na);
        sb = std::move(nb);
        if (limits.shape) {
            limits.shape->moved(a);
            limits.shape->moved(b);
        }
        return true;
    }

    // One sweep of trades in the members' order, each site trading at most once; how many.
    int tradePlaces(const std::vector<int32_t>& members) {
        float largest = 0.0f;
        for (int32_t s : members) largest = std::max(largest, longerSide(sites[s]));
        // Since the bucketing a traded site has moved at most two radii (under 1.5 largest
        // sides), and a trial rectangle reaches kHalfDiagonal kTradeReach largest sides from
        // its centre, a neighbour's radius further from where it is.
        SiteGrid grid(sites, members, (2.5 + kTradeReach) * double(largest));
        std::vector<char> traded(sites.size(), 0);
        std::vector<int32_t> around, near;
        int count = 0;
        for (int32_t s : members) {
            if (traded[size_t(s)]) continue;
            const MySitePoint& site = sites[s];
            around.clear();
            grid.forEachNear(sites, s, [&](int32_t k) {
                around.push_back(k);
                return true;
            });
            for (int32_t k : around) {
                const MySitePoint& other = sites[k];
                if (traded[size_t(k)] ||
                    !(distance(other.position, site.position) <= other.radius + site.radius)) {
                    continue;
                }
                // What a rectangle of either at either place may meet.
                const float reach =
                    kHalfDiagonal * kTradeReach * std::max(longerSide(site), longerSide(other));
                near.clear();
                for (int32_t o : around) {
                    const float r = reach + sites[o].radius;
                    if (o != k && (distance(sites[o].position, site.position) <= r ||
                                   distance(sites[o].position, other.position) <= r)) {
                        near.push_back(o);
                    }
                }
                if (trade(s, k, near)) {
                    traded[size_t(s)] = traded[size_t(k)] = 1;
                    grid.noteRadius(s, sites[s].radius);
                    grid.noteRadius(k, sites[k].radius);
                    ++count;
                    break;
                }
            }
        }
        return count;
    }

    // Chain shove: trial (site s's new rectangle) pushes what it meets off it along the contact
    // normals, and those push what they then meet, up to depth links and budget sites in all.
    // Moves are kept in moved (site, new rectangle) and applied only when the whole chain fits.
    bool push(int32_t s, const MySitePoint& trial, const SiteGrid& grid, int depth,
              std::vector<std::pair<int32_t, MySitePoint>>& moved, size_t budget) const {
        auto current = [&](int32_t k) -> const MySitePoint& {
            for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
                if (it->first == k) return it->second;
            }
            return sites[k];
        };
        std::vector<int32_t> blockers;
        grid.forEachNear(sites, s, [&](int32_t k) {
            if (trial.intersect(current(k))) blockers.push_back(k);
            return blockers.size() <= kShoved;
        });
        if (blockers.size() > kShoved) return false;
        for (int32_t k : blockers) {
            if (!trial.intersect(current(k))) continue;  // moved away by an earlier push
            if (depth == 0 || moved.size() >= budget) return false;
            for (const auto& m : moved) {
                if (m.first == k) return false;  // pushed once in this chain already
            }
            MySitePoint m = current(k);
            const Point2D away = separation(m, trial);
            m.position = Point2D(m.position.x + away.x, m.position.y + away.y);
            m.placeRectangle();
            if (!mayMoveTo(k, m)) return false;
            moved.emplace_back(k, m);
            if (!push(k, m, grid, depth - 1, moved, budget)) return false;
        }
        return true;
    }

    // Whether the neighbours that trial (site s one step larger, in place) meets can be shoved
    // out of its way, down the chain; they are moved there. A layer held between two
    // neighbours cannot slide, but they, or theirs, often can.
    bool shove(int32_t s, const MySitePoint& trial, const SiteGrid& grid) {
        if (!mayMoveTo(s, trial)) return false;
        std::vector<std::pair<int32_t, MySitePoint>> moved;
        moved.emplace_back(s, trial);
        if (!push(s, trial, grid, kChainDepth, moved, kChainBudget)) return false;
        for (size_t i = 1; i < moved.size(); ++i) {
            sites[moved[i].first] = std::move(moved[i].second);
            if (limits.shape) limits.shape->moved(moved[i].first);
        }
        return true;
    }

    // One growth of the squeeze: every member not over Max Size grows by share of its longer
    // side, then sweeps in the members' order push each overlapping pair apart along its
    // shortest separating move (the smaller layer moving more), pull layers too far off the
    // shape back onto it and keep each within its drift. True when a sweep finds nothing to do:
    // then no pair meets (the grid is made from the positions the sweep saw) and every layer
    // keeps to the shape.
    bool squeezeOnce(const std::vector<int32_t>& members, const std::vector<int>& rank,
                     double share, const std::vector<char>& frozen, std::vector<int32_t>& stuck) {
        stuck.clear();
        float largest = 0.0f;
        for (int32_t s : members) {
            MySitePoint& site = sites[s];
            const float longer = longerSide(site);
            const float next = std::min(float(longer * (1.0 + share)), limits.maxLongerSide);
            if (!frozen[size_t(s)] && !fixed[size_t(s)] && next > longer) {
                setLongerSide(site, next);
                site.placeRectangle();
                if (limits.shape) limits.shape->moved(s);
            }
            largest = std::max(largest, longerSide(site));
        }
        const double pull = share * double(largest) + 0.5;
        for (int sweep = 0; sweep < kSqueezeIterations; ++sweep) {
            work += members.size();
            if (work > kSqueezeWork) return false;
            SiteGrid grid(sites, members, 4.0 * pull);
            bool changed = false;
            for (int32_t s : members) {
                grid.forEachNear(sites, s, [&](int32_t k) {
                    if (rank[size_t(k)] < rank[size_t(s)]) return true;
                    MySitePoint& a = sites[s];
                    MySitePoint& b = sites[k];
                    if ((fixed[size_t(s)] && fixed[size_t(k)]) || !a.intersect(b)) return true;
                    const Point2D m = separation(a, b);
                    const double areaA = double(a.width) * a.height;
                    const double areaB = double(b.width) * b.height;
                    const double shareA = fixed[size_t(s)]   ? 0.0
                                          : fixed[size_t(k)] ? 1.0
                                                             : areaB / (areaA + areaB);
                    const double shareB = 1.0 - shareA;
                    a.position = Point2D(float(a.position.x + shareA * m.x),
                                         float(a.position.y + shareA * m.y));
                    b.position = Point2D(float(b.position.x - shareB * m.x),
                                         float(b.position.y - shareB * m.y));
                    a.placeRectangle();
                    b.placeRectangle();
                    if (limits.shape) {
                        limits.shape->moved(s);
                        limits.shape->moved(k);
                    }
                    changed = true;
                    if (sweep + 1 == kSqueezeIterations) {
                        stuck.push_back(s);
                        stuck.push_back(k);
                    }
                    return true;
                });
            }
            for (int32_t s : members) {
                if (fixed[size_t(s)]) continue;
                MySitePoint& site = sites[s];
                const float longer = longerSide(site);
                bool moved = false;
                if (limits.shape &&
                    (!limits.shape->onShape(site.position) || limits.shape->tooFarOff(s, site))) {
                    const Point2D d = awayFromEdge(site, *limits.shape);
                    const double step = share * double(longer) + 0.5;
                    if (std::hypot(d.x, d.y) > 0.0) {
                        site.position = Point2D(float(site.position.x + d.x * step),
                                                float(site.position.y + d.y * step));
                        moved = true;
                    } else {
                        // Centre off the shape but no sample off it: back towards its anchor.
                        const Point2D& a = anchors[size_t(s)];
                        site.position = Point2D(float(0.5 * (double(site.position.x) + a.x)),
                                                float(0.5 * (double(site.position.y) + a.y)));
                        moved = true;
                    }
                }
                const Point2D& a = anchors[size_t(s)];
                const double dx = double(site.position.x) - a.x, dy = double(site.position.y) - a.y;
                const double drift = std::hypot(dx, dy);
                const double reach = 0.999 * kDriftShare * double(longer);
                if (drift > reach) {
                    site.position = Point2D(float(a.x + dx * (reach / drift)),
                                            float(a.y + dy * (reach / drift)));
                    moved = true;
                }
                if (moved) {
                    site.placeRectangle();
                    if (limits.shape) limits.shape->moved(s);
                    changed = true;
                    if (sweep + 1 == kSqueezeIterations) stuck.push_back(s);
                }
            }
            if (!changed) return true;
        }
        return false;
    }

    // Layers jammed one by one can often all grow together: squeeze while the overlaps clear;
    // when they do not, the layers in conflict stop growing (or the common growth halves). The
    // layout ends as the last clear one. How many growths were kept.
    int squeeze(const std::vector<int32_t>& members) {
        std::vector<int> rank(sites.size(), 0);
        for (size_t i = 0; i < members.size(); ++i) rank[size_t(members[i])] = int(i);
        std::vector<Point2D> goodPosition(sites.size());
        std::vector<float> goodSide(sites.size());
        auto keep = [&] {
            for (int32_t s : members) {
                goodPosition[size_t(s)] = sites[s].position;
                goodSide[size_t(s)] = longerSide(sites[s]);
            }
        };
        keep();
        // Layers the growth left further off the shape than the fill allows neither grow nor
        // move here: no move of theirs would be allowed.
        fixed.assign(sites.size(), 0);
        for (int32_t s : members) {
            fixed[size_t(s)] = limits.shape && (!limits.shape->onShape(sites[s].position) ||
                                                limits.shape->tooFarOff(s, sites[s]));
        }
        int kept = 0;
        double share = kSqueezeShare;
        std::vector<char> frozen(sites.size(), 0);
        std::vector<int32_t> stuck;
        for (int growth = 0;
             growth < kSqueezeGrowths && share >= kSqueezeLeast && work < kSqueezeWork; ++growth) {
            if (squeezeOnce(members, rank, share, frozen, stuck)) {
                keep();
                ++kept;
                continue;
            }
            for (int32_t s : members) {
                MySitePoint& site = sites[s];
                site.position = goodPosition[size_t(s)];
                setLongerSide(site, goodSide[size_t(s)]);
                site.placeRectangle();
                if (limits.shape) limits.shape->moved(s);
            }
            // Layers still in conflict at the end stop growing; with none new, the share halves.
            bool froze = false;
            for (int32_t s : stuck) {
                if (!frozen[size_t(s)]) {
                    frozen[size_t(s)] = 1;
                    froze = true;
                }
            }
            if (!froze) share *= 0.5;
        }
        return kept;
    }

    // Whether trial (site s one step larger) can be slid into room of its own; it is left there.
    bool settle(int32_t s, MySitePoint& trial, const SiteGrid& grid, float reach = 1.0f) const {
        const float longer = longerSide(trial);
        const float maxMove = reach * maxMoveFor(longer);
        const Point2D start = roundStart[size_t(s)];
        for (int slide = 0; slide <= kSlides; ++slide) {
            double px = 0.0, py = 0.0;
            bool blocked = false;
            forEachNear(grid, s, [&](int32_t k) {
                if (trial.intersect(sites[k])) {
                    const Point2D m = separation(trial, sites[k]);
                    px += m.x;
                    py += m.y;
                    blocked = true;
                }
            });
            if (!blocked && limits.shape) {
                limits.shape->moved(s);
                if (limits.shape->tooFarOff(s, trial)) {
                    const Point2D d = awayFromEdge(trial, *limits.shape);
                    px = double(d.x) * step;
                    py = double(d.y) * step;
                    blocked = true;
                }
            }
            if (!blocked) break;
            if (slide == kSlides || !(std::hypot(px, py) > 0.0)) return false;
            trial.position = Point2D(float(trial.position.x + px), float(trial.position.y + py));
            trial.placeRectangle();
            const float moved = std::hypot(trial.position.x - start.x, trial.position.y - start.y);
            const Point2D& a = anchors[size_t(s)];
            const float drift = std::hypot(trial.position.x - a.x, trial.position.y - a.y);
            if (!(moved <= maxMove) || !(drift <= reach * kDriftShare * longer)) return false;
        }
        return !limits.shape || limits.shape->onShape(trial.position);
    }

    // The area of rectangle x on the shape (all of it without a shape).
    double areaOnShape(const MySitePoint& x) const {
        const double area = double(x.width) * x.height;
        return limits.shape ? area * (1.0 - limits.shape->offShare(x.corners)) : area;
    }

    // The fill's rounds for the visited sites alone: each takes a step larger and slides into
    // room of its own, the step halving after each failure, until none grows or after rounds.
    void growLocally(const std::vector<int32_t>& visit, SiteGrid& grid, int rounds) {
        std::vector<int> failures(visit.size(), 0);
        for (int round = 0; round < rounds; ++round) {
            bool grew = false;
            for (size_t i = 0; i < visit.size(); ++i) {
                if (failures[i] >= kFailuresToRest) continue;
                const int32_t s = visit[i];
                MySitePoint& site = sites[s];
                roundStart[size_t(s)] = site.position;
                const float longer = longerSide(site);
                const float next =
                    std::min(longer + step / float(1 << failures[i]), limits.maxLongerSide);
                if (!(next > longer)) {
                    failures[i] = kFailuresToRest;
                    continue;
                }
                MySitePoint trial = site;
                setLongerSide(trial, next);
                trial.placeRectangle();
                grid.noteRadius(s, trial.radius);
                if (settle(s, trial, grid)) {
                    site = std::move(trial);
                    failures[i] = 0;
                    grew = true;
                } else {
                    ++failures[i];
                    if (limits.shape) limits.shape->moved(s);
                }
            }
            if (!grew) break;
        }
    }

    // The centres of the largest holes: the free shape points (on the shape, under no layer)
    // of a raster over the layers, by their distance to the nearest covered or bare point, the
    // peaks of that distance from the largest down, none within the reach of a larger one.
    // thin: for each hole, whether it lies in a thin part of the shape (see kThinReach);
    // thinSites: for each site, whether a member's centre does.
    std::vector<Point2D> holes(const std::vector<int32_t>& members, float median, float largest,
                               size_t most, std::vector<float>* radii = nullptr,
                               std::vector<char>* thin = nullptr,
                               std::vector<char>* thinSites = nullptr) const {
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
        for (int32_t s : members) {
            const Point2D& p = sites[s].position;
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
            x0 = std::min(x0, double(p.x));
            y0 = std::min(y0, double(p.y));
            x1 = std::max(x1, double(p.x));
            y1 = std::max(y1, double(p.y));
        }
        x0 -= largest;
        y0 -= largest;
        x1 += largest;
        y1 += largest;
        if (!limits.shape || !(x1 > x0 && y1 > y0 && x1 - x0 < HUGE_VAL && y1 - y0 < HUGE_VAL)) {
            return {};
        }
        // Coarser where tiny layers lie on a large Source: the raster stays within its size.
        const double cell = std::max({1.0, double(median) / kHoleCells,
                                      std::sqrt((x1 - x0) * (y1 - y0) / kHoleRasterCells)});
        const int columns = int(std::ceil((x1 - x0) / cell)) + 1;
        const int rows = int(std::ceil((y1 - y0) / cell)) + 1;
        if (columns <= 2 || rows <= 2) return {};
        auto centre = [&](int i, int j) {
            return Point2D(float(x0 + (i + 0.5) * cell), float(y0 + (j + 0.5) * cell));
        };
        constexpr float kFar = 1e9f;
        std::vector<float> d(size_t(columns) * size_t(rows), 0.0f);
        for (int j = 0; j < rows; ++j) {
            for (int i = 0; i < columns; ++i) {
                if (limits.shape->onShape(centre(i, j))) d[size_t(j) * columns + i] = kFar;
            }
        }
        // The shape alone, for how thin it is round a hole.
        std::vector<float> shapeOnly;
        if (thin || thinSites) shapeOnly = d;
        for (int32_t s : members) {
            const std::vector<Point2D>& c = sites[s].corners;
            double bx0 = HUGE_VAL, by0 = HUGE_VAL, bx1 = -HUGE_VAL, by1 = -HUGE_VAL;
            for (const Point2D& q : c) {
                bx0 = std::min(bx0, double(q.x));
                by0 = std::min(by0, double(q.y));
                bx1 = std::max(bx1, double(q.x));
                by1 = std::max(by1, double(q.y));
            }
            const int i0 = std::max(0, int(std::floor((bx0 - x0) / cell)));
            const int i1 = std::min(columns - 1, int(std::floor((bx1 - x0) / cell)));
            const int j0 = std::max(0, int(std::floor((by0 - y0) / cell)));
            const int j1 = std::min(rows - 1, int(std::floor((by1 - y0) / cell)));
            for (int j = j0; j <= j1; ++j) {
                for (int i = i0; i <= i1; ++i) {
                    const double px = x0 + (i + 0.5) * cell, py = y0 + (j + 0.5) * cell;
                    bool in = true;
                    for (int e = 0; e < 4 && in; ++e) {
                        const Point2D& a = c[size_t(e)];
                        const Point2D& b = c[size_t((e + 1) % 4)];
                        const double cross =
                            (double(b.x) - a.x) * (py - a.y) - (double(b.y) - a.y) * (px - a.x);
                        in = cross >= 0.0;
                    }
                    if (in) d[size_t(j) * columns + i] = 0.0f;
                }
            }
        }
        // Two passes of the chamfer distance, in cells; beyond the raster counts as covered.
        auto chamfer = [&](std::vector<float>& g) {
            auto in = [&](int i, int j) {
                return i < 0 || j < 0 || i >= columns || j >= rows ? 0.0f
                                                                   : g[size_t(j) * columns + i];
            };
            constexpr float kDiagonal = 1.4142135f;
            for (int j = 0; j < rows; ++j) {
                for (int i = 0; i < columns; ++i) {
                    float& v = g[size_t(j) * columns + i];
                    if (v == 0.0f) continue;
                    v = std::min({v, in(i - 1, j) + 1.0f, in(i, j - 1) + 1.0f,
                                  in(i - 1, j - 1) + kDiagonal, in(i + 1, j - 1) + kDiagonal});
                }
            }
            for (int j = rows - 1; j >= 0; --j) {
                for (int i = columns - 1; i >= 0; --i) {
                    float& v = g[size_t(j) * columns + i];
                    if (v == 0.0f) continue;
                    v = std::min({v, in(i + 1, j) + 1.0f, in(i, j + 1) + 1.0f,
                                  in(i + 1, j + 1) + kDiagonal, in(i - 1, j + 1) + kDiagonal});
                }
            }
        };
        chamfer(d);
        if (thin || thinSites) chamfer(shapeOnly);
        auto at = [&](int i, int j) {
            return i < 0 || j < 0 || i >= columns || j >= rows ? 0.0f : d[size_t(j) * columns + i];
        };
        struct Peak {
            float value;
            int i, j;
        };
        std::vector<Peak> peaks;
        for (int j = 0; j < rows; ++j) {
            for (int i = 0; i < columns; ++i) {
                const float v = d[size_t(j) * columns + i];
                if (v < kHoleLeast) continue;
                // A plateau's first point in raster order stands for it.
                bool peak = true;
                for (int dj = -1; dj <= 1 && peak; ++dj) {
                    for (int di = -1; di <= 1 && peak; ++di) {
                        const float w = at(i + di, j + dj);
                        const bool before = dj < 0 || (dj == 0 && di < 0);
                        peak = (dj == 0 && di == 0) || (before ? v > w : v >= w);
                    }
                }
                if (peak) peaks.push_back({v, i, j});
            }
        }
        std::stable_sort(peaks.begin(), peaks.end(),
                         [](const Peak& a, const Peak& b) { return a.value > b.value; });
        std::vector<Peak> kept;
        for (const Peak& p : peaks) {
            if (kept.size() >= most) break;
            bool near = false;
            for (const Peak& k : kept) {
                const float di = float(p.i - k.i), dj = float(p.j - k.j);
                near = near || std::hypot(di, dj) < k.value;
            }
            if (!near) kept.push_back(p);
        }
        std::vector<Point2D> out;
        // Thin round cell (pi, pj) when no point of the shape near it lies deeper in it than
        // kThinReach.
        const int window = int(std::ceil(kThinWindow * median / cell));
        const float thinCells = float(kThinReach * median / cell);
        auto narrowAt = [&](int pi, int pj) {
            for (int j = std::max(0, pj - window); j <= std::min(rows - 1, pj + window); ++j) {
                for (int i = std::max(0, pi - window); i <= std::min(columns - 1, pi + window);
                     ++i) {
                    if (shapeOnly[size_t(j) * columns + i] > thinCells) return false;
                }
            }
            return true;
        };
        for (const Peak& p : kept) {
            out.push_back(centre(p.i, p.j));
            if (radii) radii->push_back(float(p.value * cell));
            if (thin) thin->push_back(narrowAt(p.i, p.j) ? 1 : 0);
        }
        if (thinSites) {
            thinSites->assign(sites.size(), 0);
            for (int32_t s : members) {
                const Point2D& p = sites[s].position;
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
                const int i = int(std::floor((p.x - x0) / cell));
                const int j = int(std::floor((p.y - y0) / cell));
                if (i >= 0 && j >= 0 && i < columns && j < rows && narrowAt(i, j)) {
                    (*thinSites)[size_t(s)] = 1;
                }
            }
        }
        return out;
    }

    // Site s centred at p at the largest longer side between its current one and hi at which
    // it meets none of near and keeps to the shape; 0 when it does not fit at its current size.
    float largestHere(int32_t s, const Point2D& p, const std::vector<int32_t>& near, float hi,
                      MySitePoint& placed) const {
        if (limits.shape && !limits.shape->onShape(p)) return 0.0f;
        placed = sites[s];
        placed.position = p;
        float lo = longerSide(placed);
        placed.placeRectangle();
        if (!fitsAmong(s, placed, near, nullptr)) return 0.0f;
        return growWhileItFits(s, near, nullptr, lo, hi, placed);
    }

    // The members' median and largest longer sides.
    std::pair<float, float> medianAndLargestSide(const std::vector<int32_t>& members) const {
        std::vector<float> sides;
        float largest = 0.0f;
        for (int32_t s : members) {
            sides.push_back(longerSide(sites[s]));
            largest = std::max(largest, longerSide(sites[s]));
        }
        std::nth_element(sides.begin(), sides.begin() + ptrdiff_t(sides.size() / 2), sides.end());
        return {sides[sides.size() / 2], largest};
    }

    // The layers beside each hole left lean into it: each of the nearest is tried at points
    // along the line from its centre towards the hole (within its drift), as large as it fits
    // there, and takes the one where it is largest when that beats its size in place. How many
    // grew.
    int leanIntoHoles(const std::vector<int32_t>& members, size_t most) {
        const auto [median, largest] = medianAndLargestSide(members);
        std::vector<float> radii;
        const std::vector<Point2D> found = holes(members, median, largest, most, &radii);
        if (found.empty()) return 0;
        SiteGrid grid(sites, members, 2.0 * double(largest));
        int grew = 0;
        std::vector<std::pair<double, int32_t>> beside;
        std::vector<int32_t> near;
        for (size_t h = 0; h < found.size(); ++h) {
            const Point2D& hole = found[h];
            beside.clear();
            for (int32_t s : members) {
                const double d = distance(sites[s].position, hole);
                if (d <= sites[s].radius + radii[h] + step) beside.emplace_back(d, s);
            }
            std::stable_sort(beside.begin(), beside.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            if (beside.size() > kLeaners) beside.resize(kLeaners);
            for (const auto& b : beside) {
                const int32_t s = b.second;
                const MySitePoint& site = sites[s];
                const float longer = longerSide(site);
                const float hi = kLeanGrowth * longer;
                const Point2D& a = anchors[size_t(s)];
                const double dx = double(hole.x) - site.position.x;
                const double dy = double(hole.y) - site.position.y;
                const double length = std::hypot(dx, dy);
                if (!(length > 0.0)) continue;
                const double reach = std::min(length, double(kDriftShare) * longer);
                // Whatever a rectangle of up to hi anywhere along the way may meet.
                MySitePoint wide = site;
                wide.radius = float(reach) + kHalfDiagonal * hi;
                std::swap(sites[s], wide);
                near.clear();
                forEachNear(grid, s, [&](int32_t k) { near.push_back(k); });
                std::swap(sites[s], wide);
                MySitePoint best, placed;
                float bestSide = longer + kFitPrecision;
                for (int i = 1; i <= kLeanPoints; ++i) {
                    const double t = reach * i / kLeanPoints;
                    const Point2D p(float(site.position.x + dx / length * t),
                                    float(site.position.y + dy / length * t));
                    if (!(distance(p, a) <= kDriftShare * longer)) break;
                    const float side = largestHere(s, p, near, hi, placed);
                    if (side > bestSide) {
                        bestSide = side;
                        best = placed;
                    }
                }
                if (bestSide > longer + kFitPrecision) {
                    sites[s] = std::move(best);
                    grid.noteRadius(s, sites[s].radius);
                    if (limits.shape) limits.shape->moved(s);
                    ++grew;
                }
            }
        }
        return grew;
    }

    // The nudges: each layer in turn is tried a few steps off where it is, along its own sides
    // and diagonals, slid into room there; it and the neighbours of its old place grow, and the
    // move is kept when together they then cover more of the shape. The slivers between layers
    // of different turns are room no layer slides into by growing: one has to step aside for
    // another to grow. How many moves were kept.
    int nudge(const std::vector<int32_t>& members) {
        const auto [median, largest] = medianAndLargestSide(members);
        // Every site stays within its drift of its anchor (see leanIntoHoles).
        SiteGrid grid(sites, members, 2.0 * double(largest));
        int kept = 0;
        std::vector<int32_t> neighbours;
        std::vector<MySitePoint> before;
        for (int32_t s : members) {
            for (int n = 1; n <= kNudgeSteps; ++n) {
                const MySitePoint& start = sites[s];
                const Point2D& c0 = start.corners[0];
                const Point2D& c1 = start.corners[1];
                const Point2D& c3 = start.corners[3];
                const double ul = std::hypot(double(c1.x) - c0.x, double(c1.y) - c0.y);
                const double vl = std::hypot(double(c3.x) - c0.x, double(c3.y) - c0.y);
                if (!(ul > 0.0 && vl > 0.0)) break;
                const double ux = (double(c1.x) - c0.x) / ul, uy = (double(c1.y) - c0.y) / ul;
                const double vx = (double(c3.x) - c0.x) / vl, vy = (double(c3.y) - c0.y) / vl;
                bool moved = false;
                for (int d = 0; d < 8 && !moved; ++d) {
                    static const int kDirs[8][2] = {{1, 0}, {-1, 0}, {0, 1},  {0, -1},
                                                    {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
                    const double a = kDirs[d][0], b = kDirs[d][1];
                    double dx = a * ux + b * vx, dy = a * uy + b * vy;
                    const double length = std::hypot(dx, dy);
                    dx /= length;
                    dy /= length;
                    const double by = double(step) * n;
                    const MySitePoint old = sites[s];
                    const double coveredBefore = saveNeighbours(s, grid, neighbours, before);
                    roundStart[size_t(s)] = old.position;
                    MySitePoint trial = old;
                    trial.position =
                        Point2D(float(old.position.x + dx * by), float(old.position.y + dy * by));
                    trial.placeRectangle();
                    bool fits = settle(s, trial, grid);
                    if (fits) {
                        sites[s] = std::move(trial);
                        if (limits.shape) limits.shape->moved(s);
                        growLocally({s}, grid, kNudgeRounds);
                        growLocally(neighbours, grid, kNudgeRounds);
                        if (coveredBy(s, neighbours) > coveredBefore) {
                            moved = true;
                            ++kept;
                            continue;
                        }
                    }
                    putBack(s, old, neighbours, before);
                }
            }
        }
        return kept;
    }

    // Each layer in turn is tried smaller, its neighbours growing into the room it leaves, and then
    // it as far as it can again; kept when together they then cover more of the shape (a larger
    // layer grows by more area than a smaller one loses for the same side). How many were kept.
    int yieldRoom(const std::vector<int32_t>& members) {
        const auto [median, largest] = medianAndLargestSide(members);
        SiteGrid grid(sites, members, 2.0 * double(largest));
        int kept = 0;
        std::vector<int32_t> neighbours;
        std::vector<MySitePoint> before;
        for (int32_t s : members) {
            for (float share : {kYieldShare, 2.0f * kYieldShare}) {
                const MySitePoint old = sites[s];
                const float side = (1.0f - share) * longerSide(old);
                if (!(side >= kShrinkLeast * median)) break;
                const double coveredBefore = saveNeighbours(s, grid, neighbours, before);
                setLongerSide(sites[s], side);
                sites[s].placeRectangle();
                if (limits.shape) limits.shape->moved(s);
                growLocally(neighbours, grid, kNudgeRounds);
                growLocally({s}, grid, kNudgeRounds);
                if (coveredBy(s, neighbours) > coveredBefore) {
                    grownSide[size_t(s)] = std::min(grownSide[size_t(s)], longerSide(sites[s]));
                    ++kept;
                    break;
                }
                putBack(s, old, neighbours, before);
            }
        }
        return kept;
    }

    // Relocation: a layer near a hole is taken out, put at the hole at its grown size (or
    // smaller, see kShrinkLeast), slid into room there and grown, and the neighbours of its old
    // place grow into it; kept when the layers concerned then cover more of the shape. Holes are
    // visited from the largest down, each layer near one from the nearest; passes over the holes
    // found anew run while they keep a move. Spends at most budget attempts; returns how many moves
    // were kept.
    int relocate(const std::vector<int32_t>& members, size_t& budget) {
        const auto [median, largest] = medianAndLargestSide(members);
        stray.assign(sites.size(), 0);
        int kept = 0;
        while (budget > 0) {
            std::vector<char> thin;
            const std::vector<Point2D> found =
                holes(members, median, largest, budget, nullptr, following ? &thin : nullptr);
            if (found.empty()) break;
            // Every site stays within its drift of its anchor, so none moves further than two
            // of the largest sides from where the broad phase saw it, except a relocated one.
            std::unique_ptr<SiteGrid> grid =
                std::make_unique<SiteGrid>(sites, members, 2.0 * double(largest));
            strays.clear();
            int keptThisPass = 0;
            std::vector<std::pair<double, int32_t>> donors;
            for (size_t h = 0; h < found.size(); ++h) {
                const Point2D& hole = found[h];
                if (budget == 0) break;
                donors.clear();
                for (int32_t s : members) {
                    const MySitePoint& x = sites[s];
                    if (distance(origins[size_t(s)], hole) <= kRelocationReach * median) {
                        donors.emplace_back(distance(x.position, hole), s);
                    }
                }
                std::stable_sort(donors.begin(), donors.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
                if (donors.size() > kDonors) donors.resize(kDonors);
                for (const auto& donor : donors) {
                    if (budget == 0) break;
                    --budget;
                    // The moved layer first, then those that followed it.
                    std::vector<int32_t> moved = {donor.second};
                    const int chain = following ? (thin[h] ? kFollowChain : 1) : 0;
                    if (tryRelocation(donor.second, hole, *grid, median, chain, moved)) {
                        ++kept;
                        ++keptThisPass;
                        for (int32_t m : moved) {
                            if (!stray[size_t(m)]) {
                                stray[size_t(m)] = 1;
                                strays.push_back(m);
                            }
                        }
                        if (strays.size() >= kStrays) {
                            grid =
                                std::make_unique<SiteGrid>(sites, members, 2.0 * double(largest));
                            for (int32_t k : strays) stray[size_t(k)] = 0;
                            strays.clear();
                        }
                        break;
                    }
                }
            }
            for (int32_t k : strays) stray[size_t(k)] = 0;
            strays.clear();
            if (keptThisPass == 0) break;
        }
        return kept;
    }

    // The neighbours of site s (those whose circles come within a fill step of its own) into
    // `neighbours`, saved into `before`; returns the area that s and they cover of the shape,
    // the figure a trial around s has to beat.
    double saveNeighbours(int32_t s, const SiteGrid& grid, std::vector<int32_t>& neighbours,
                          std::vector<MySitePoint>& before) const {
        const MySitePoint& x = sites[s];
        neighbours.clear();
        forEachNear(grid, s, [&](int32_t k) {
            if (distance(sites[k].position, x.position) <= sites[k].radius + x.radius + step) {
                neighbours.push_back(k);
            }
        });
        before.clear();
        double covered = areaOnShape(x);
        for (int32_t k : neighbours) {
            before.push_back(sites[k]);
            covered += areaOnShape(sites[k]);
        }
        return covered;
    }

    // The area that site s and its neighbours cover of the shape as they are now.
    double coveredBy(int32_t s, const std::vector<int32_t>& neighbours) const {
        double covered = areaOnShape(sites[s]);
        for (int32_t k : neighbours) covered += areaOnShape(sites[k]);
        return covered;
    }

    // Puts the sites back as they were saved, telling the shape limit.
    void restore(const std::vector<int32_t>& ids, const std::vector<MySitePoint>& saved) {
        for (size_t i = 0; i < ids.size(); ++i) {
            sites[ids[i]] = saved[i];
            if (limits.shape) limits.shape->moved(ids[i]);
        }
    }

    // Puts site s back as old and its neighbours as saved: a trial around s that is not kept.
    void putBack(int32_t s, const MySitePoint& old, const std::vector<int32_t>& neighbours,
                 const std::vector<MySitePoint>& saved) {
        sites[s] = old;
        if (limits.shape) limits.shape->moved(s);
        restore(neighbours, saved);
    }

    // Site k put at p at its grown size, anchored there, before it is settled.
    MySitePoint& placeAt(int32_t k, const Point2D& p, SiteGrid& grid) {
        MySitePoint& site = sites[k];
        site.position = p;
        setLongerSide(site, grownSide[size_t(k)]);
        site.placeRectangle();
        anchors[size_t(k)] = p;
        roundStart[size_t(k)] = p;
        if (limits.shape) limits.shape->moved(k);
        grid.noteRadius(k, site.radius);
        return site;
    }

    // Site k, put at p and not fitting there at its grown size, tried smaller: at the least size
    // allowed (see kShrinkLeast) and, when it fits there, the largest that fits found by
    // bisection, from which the fill keeps it at least that large. False when it does not fit
    // even at the least size; trial is where it fits.
    bool shrinkInto(int32_t k, const Point2D& p, SiteGrid& grid, float median, MySitePoint& trial) {
        MySitePoint& site = sites[k];
        auto fitsAt = [&](float side, MySitePoint& placed) {
            site.position = p;
            setLongerSide(site, side);
            site.placeRectangle();
            if (limits.shape) limits.shape->moved(k);
            placed = site;
            return settle(k, placed, grid, kInsertReach);
        };
        // The least size first: at most holes the layer does not fit even then.
        float lo = std::max(kShrinkLeast * median, distance(origins[size_t(k)], p) / kShrinkReach);
        float hi = grownSide[size_t(k)];
        if (!(lo < hi && fitsAt(lo, trial))) return false;
        MySitePoint placed;
        for (int i = 0; i < kShrinkHalvings; ++i) {
            const float mid = 0.5f * (lo + hi);
            if (fitsAt(mid, placed)) {
                lo = mid;
                trial = placed;
            } else {
                hi = mid;
            }
        }
        grownSide[size_t(k)] = lo;
        return true;
    }

    // Site s moved to the hole and grown there, its old neighbours grown into its place; undone
    // unless together they then cover more of the shape.
    bool tryRelocation(int32_t s, const Point2D& hole, SiteGrid& grid, float median, int chain,
                       std::vector<int32_t>& moved) {
        const MySitePoint old = sites[s];
        std::vector<int32_t> neighbours;
        std::vector<MySitePoint> before;
        const double coveredBefore = saveNeighbours(s, grid, neighbours, before);
        const Point2D oldAnchor = anchors[size_t(s)];
        const float grownBefore = grownSide[size_t(s)];
        auto undo = [&] {
            grownSide[size_t(s)] = grownBefore;
            anchors[size_t(s)] = oldAnchor;
            putBack(s, old, neighbours, before);
        };
        MySitePoint& site = placeAt(s, hole, grid);
        MySitePoint trial = site;
        bool fits = settle(s, trial, grid, kInsertReach);
        if (!fits && limits.keepInside) fits = shrinkInto(s, hole, grid, median, trial);
        if (!fits) {
            undo();
            return false;
        }
        site = std::move(trial);
        anchors[size_t(s)] = site.position;
        growLocally({s}, grid, kRelocationRounds);
        growLocally(neighbours, grid, kRelocationRounds);
        const double coveredAfter = coveredBy(s, neighbours);
        if (coveredAfter > coveredBefore + kRelocationGain * median * median) return true;
        if (chain > 0 &&
            follow(s, old, neighbours, before, coveredBefore, grid, median, chain, moved)) {
            return true;
        }
        undo();
        return false;
    }

    // With Keep Inside Shape the room a layer leaves in a thin limb is one its neighbours cannot
    // grow into from the side: the old neighbour nearest to it moves into it (within its reach
    // from where the growth left it), and the neighbours of both places grow. In a thin part up
    // to chain layers move so, each into the place the one before left, smaller if need be.
    // Kept on the same terms as the move of s (the movers are added to moved); all are put
    // back when it is not.
    bool follow(int32_t s, const MySitePoint& old, const std::vector<int32_t>& neighbours,
                const std::vector<MySitePoint>& before, double coveredBefore, SiteGrid& grid,
                float median, int chain, std::vector<int32_t>& moved) {
        restore(neighbours, before);
        // The sites concerned (but s) as they were, in groups that grow together: the
        // neighbours of each place left.
        std::vector<int32_t> concerned = neighbours;
        std::vector<MySitePoint> saved = before;
        std::vector<size_t> groupEnds = {neighbours.size()};
        double total = coveredBefore;
        std::vector<int32_t> movers, marked;
        std::vector<Point2D> moverAnchors;
        std::vector<float> moverSides;
        MySitePoint vacated = old;
        size_t candidatesFrom = 0;  // the candidates to follow: the last group
        bool kept = false;
        for (int link = 0; link < chain && !kept; ++link) {
            // Those that grew for the link before go back; the movers stay where they went.
            for (size_t i = 0; link > 0 && i < concerned.size(); ++i) {
                const int32_t k = concerned[i];
                if (std::find(movers.begin(), movers.end(), k) != movers.end()) continue;
                sites[k] = saved[i];
                if (limits.shape) limits.shape->moved(k);
            }
            int32_t f = -1;
            float nearest = HUGE_VALF;
            for (size_t i = candidatesFrom; i < concerned.size(); ++i) {
                const int32_t k = concerned[i];
                if (std::find(movers.begin(), movers.end(), k) != movers.end()) continue;
                const float d = distance(sites[k].position, vacated.position);
                const float move = distance(origins[size_t(k)], vacated.position);
                if (d < nearest && move <= kRelocationReach * median &&
                    move <= kFollowReach * grownSide[size_t(k)] &&
                    (chain > 1 || grownSide[size_t(k)] <= longerSide(vacated))) {
                    nearest = d;
                    f = k;
                }
            }
            if (f < 0) break;
            const MySitePoint fOld = sites[f];
            candidatesFrom = concerned.size();
            forEachNear(grid, f, [&](int32_t k) {
                if (k != s && std::find(concerned.begin(), concerned.end(), k) == concerned.end() &&
                    distance(sites[k].position, fOld.position) <=
                        sites[k].radius + fOld.radius + step) {
                    concerned.push_back(k);
                    saved.push_back(sites[k]);
                    total += areaOnShape(sites[k]);
                }
            });
            groupEnds.push_back(concerned.size());
            movers.push_back(f);
            moverAnchors.push_back(anchors[size_t(f)]);
            moverSides.push_back(grownSide[size_t(f)]);
            MySitePoint& site = placeAt(f, vacated.position, grid);
            MySitePoint trial = site;
            if (!settle(f, trial, grid, kInsertReach) &&
                (chain == 1 || !shrinkInto(f, vacated.position, grid, median, trial))) {
                break;
            }
            site = std::move(trial);
            anchors[size_t(f)] = site.position;
            // f is a stray from now on: the broad phase may not find it at its new place.
            if (!stray[size_t(f)]) {
                stray[size_t(f)] = 1;
                strays.push_back(f);
                marked.push_back(f);
            }
            growLocally({f}, grid, kRelocationRounds);
            size_t from = 0;
            for (size_t end : groupEnds) {
                const std::vector<int32_t> group(concerned.begin() + ptrdiff_t(from),
                                                 concerned.begin() + ptrdiff_t(end));
                growLocally(group, grid, kRelocationRounds);
                from = end;
            }
            double coveredAfter = areaOnShape(sites[s]);
            for (int32_t k : concerned) coveredAfter += areaOnShape(sites[k]);
            kept = coveredAfter > total + kRelocationGain * median * median;
            vacated = fOld;
        }
        // The caller marks the movers kept as strays.
        for (int32_t k : marked) stray[size_t(k)] = 0;
        strays.resize(strays.size() - marked.size());
        if (kept) {
            moved.insert(moved.end(), movers.begin(), movers.end());
            return true;
        }
        for (size_t i = 0; i < movers.size(); ++i) {
            anchors[size_t(movers[i])] = moverAnchors[i];
            grownSide[size_t(movers[i])] = moverSides[i];
        }
        restore(concerned, saved);
        return false;
    }
};

}  // namespace

int fillGaps(std::vector<MySitePoint>& sites, const std::vector<int32_t>& visitOrder,
             const FillLimits& limits) {
    std::vector<int32_t> members;
    for (int32_t s : visitOrder) {
        assert(s >= 0 && size_t(s) < sites.size());
        if (!hasNoArea(sites[s]) && longerSide(sites[s]) > 0.0f) members.push_back(s);
    }
    if (members.size() < 2) return 0;
    Filler filler{sites,
                  limits,
                  std::vector<Point2D>(sites.size()),
                  std::vector<Point2D>(sites.size()),
                  1.0f,
                  std::vector<float>(sites.size()),
                  std::vector<char>(),
                  0,
                  std::vector<int32_t>(),
                  std::vector<char>(),
                  std::vector<Point2D>()};
    filler.following = limits.keepInside && members.size() <= kFollowLayers;
    std::vector<float> sides;
    for (int32_t s : members) {
        filler.anchors[size_t(s)] = sites[s].position;
        filler.grownSide[size_t(s)] = longerSide(sites[s]);
        sides.push_back(longerSide(sites[s]));
    }
    std::nth_element(sides.begin(), sides.begin() + ptrdiff_t(sides.size() / 2), sides.end());
    filler.step = std::max(1.0f, kStepShare * sides[sides.size() / 2]);
    struct Geometry {
        Point2D position;
        float width, height, radius;
        std::vector<Point2D> corners;
    };
    auto save = [&] {
        std::vector<Geometry> g;
        for (int32_t s : members) {
            const MySitePoint& x = sites[s];
            g.push_back({x.position, x.width, x.height, x.radius, x.corners});
        }
        return g;
    };
    auto restore = [&](const std::vector<Geometry>& g) {
        for (size_t i = 0; i < members.size(); ++i) {
            MySitePoint& x = sites[members[i]];
            x.position = g[i].position;
            x.width = g[i].width;
            x.height = g[i].height;
            x.radius = g[i].radius;
            x.corners = g[i].corners;
            if (limits.shape) limits.shape->moved(members[i]);
        }
    };
    auto covered = [&] {
        double area = 0.0;
        for (int32_t s : members) area += double(sites[s].width) * sites[s].height;
        return area;
    };
    int rounds = 0;
    auto fill = [&] {
        rounds = 0;
        std::vector<int> failures(sites.size(), 0);
        for (int pass = 0; pass < kFills && rounds < limits.maxRounds; ++pass) {
            // After the first fill, neighbours trade places where that lets them grow; the layers
            // that rested then try again.
            if (pass > 0) {
                if (filler.tradePlaces(members) == 0) break;
                std::fill(failures.begin(), failures.end(), 0);
            }
            bool grew = true;
            while (grew && rounds < limits.maxRounds) {
                ++rounds;
                grew = false;
                // Within a round each site moves at most its own largest slide, so pairs nearer
                // than twice the largest are still found by centres bucketed at the round's start.
                float largest = 0.0f;
                for (int32_t s : members) largest = std::max(largest, longerSide(sites[s]));
                SiteGrid grid(sites, members, 2.0 * double(maxMoveFor(largest + filler.step)));
                for (int32_t s : members) filler.roundStart[size_t(s)] = sites[s].position;
                for (int32_t s : members) {
                    if (failures[size_t(s)] >= kFailuresToRest) continue;
                    MySitePoint& site = sites[s];
                    MySitePoint trial = site;
                    const float longer = longerSide(site);
                    // After a failure the step is halved: the last of a room is narrower than a
                    // step.
                    const float step = filler.step / float(1 << failures[size_t(s)]);
                    const float next = std::min(longer + step, limits.maxLongerSide);
                    if (!(next > longer)) {
                        failures[size_t(s)] = kFailuresToRest;
                        continue;
                    }
                    setLongerSide(trial, next);
                    trial.placeRectangle();
                    grid.noteRadius(s, trial.radius);
                    MySitePoint inPlace = trial;
                    if (filler.settle(s, trial, grid)) {
                        site = std::move(trial);
                        failures[size_t(s)] = 0;
                        grew = true;
                    } else if (filler.shove(s, inPlace, grid)) {
                        site = std::move(inPlace);
                        failures[size_t(s)] = 0;
                        grew = true;
                    } else {
                        ++failures[size_t(s)];
                        if (limits.shape) limits.shape->moved(s);
                    }
                }
            }
        }
    };
    // Squeezed and filled, or filled alone, whichever layout covers more: the squeeze helps
    // where many layers can grow together, but can leave the fill less to do near the edge.
    const std::vector<Geometry> grown = save();
    const std::vector<Point2D> anchors = filler.anchors;
    filler.origins = anchors;
    int squeezedRounds = 0;
    if (members.size() <= kSqueezeLayers) {
        filler.squeeze(members);
        fill();
        squeezedRounds = rounds;
        const double squeezed = covered();
        const std::vector<Geometry> result = save();
        const std::vector<Point2D> squeezedAnchors = filler.anchors;
        restore(grown);
        filler.anchors = anchors;
        fill();
        if (squeezed > covered()) {
            restore(result);
            filler.anchors = squeezedAnchors;
        }
    } else {
        fill();
    }
    // The fill once more after a later stage, its rounds counted with those before.
    auto refill = [&] {
        const int before = rounds;
        fill();
        rounds += before;
    };
    // Then layers move into the largest holes left, and the fill runs again.
    size_t budget = std::min(kRelocations * members.size(), kRelocationWork);
    if (limits.keepInside) {
        budget = std::max(budget, std::min(kShrinkRelocations * members.size(), kShrinkWork));
    }
    // In small collages with Keep Inside Shape on a shape with thin parts (limbs, strokes,
    // branches), layers first yield room before the relocation too: a row of layers along a limb
    // packs closer and leaves room at its end for a layer moved there.
    bool thinShape = false;
    if (filler.following) {
        const auto [median, largest] = filler.medianAndLargestSide(members);
        std::vector<char> thinSites;
        filler.holes(members, median, largest, 0, nullptr, nullptr, &thinSites);
        thinShape = std::find(thinSites.begin(), thinSites.end(), char(1)) != thinSites.end();
        if (thinShape && filler.yieldRoom(members) > 0) {
            refill();
        }
    }
    for (int cycle = 0; cycle < kRelocationCycles && budget > 0; ++cycle) {
        if (filler.relocate(members, budget) == 0) break;
        refill();
    }
    // Last, the layers beside the holes still left lean into them, and the fill runs again.
    if (filler.leanIntoHoles(members, members.size()) > 0) {
        refill();
    }
    // Then, in small collages with Keep Inside Shape, layers yield room to their neighbours and
    // are nudged aside where that covers more, and the fill runs again; on a shape with thin
    // parts, while the yields keep any, up to kYieldPasses times.
    if (filler.following) {
        for (int pass = 0; pass < (thinShape ? kYieldPasses : 1); ++pass) {
            const int yielded = filler.yieldRoom(members);
            if (yielded > 0) {
                refill();
            } else if (pass > 0) {
                break;
            }
            if (filler.nudge(members) > 0) {
                refill();
            }
        }
    }
    return squeezedRounds + rounds;
}

// Follow Shape Changes: a frame starts from the frame before's layout instead of new random
// sites, so that a collage moves with an animated Source instead of reshuffling.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/MyTessaron.h"
#include "placement/MinimumAssignment.h"
#include "placement/NearestSite.h"

namespace {

constexpr int kSamplesPerSite = 50;
constexpr int kRounds = 15;

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
    followedSites.clear();
    // This frame's offsets, by site: taken (or dropped) once.
    const std::vector<Point2D> siteOffsets = std::move(follow.siteOffsets);
    follow.siteOffsets.clear();
    if (!shapeSetting(followShapeChanges, frameIndex, false) || sitesAreCompPositions ||
        assignmentIds.empty() || int(sites.size()) < layerCount) {
        return;
    }
    const std::vector<int32_t>& ids = assignmentIds.back();
    for (int j = 0; j < layerCount; ++j) {
        followedSites.push_back(imagePoint(sites[size_t(ids[size_t(j)])].position));
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
        const uint8_t v = imagePixels[p * 4];
        st.alpha[p] = v > alphaThreshold ? v : 0;
    }
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
        auto visit = [&](int xx, int yy) {
            const double dx = xx + 0.5 - p.x, dy = yy + 0.5 - p.y;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                found = Point2D(float(xx + 0.5), float(yy + 0.5));
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
    const FollowState& st = follow;
    if (st.width != imageWidth || st.height != imageHeight ||
        st.alpha.size() != size_t(imageWidth) * size_t(imageHeight)) {
        return true;
    }
    // Which explains the new alpha better, the old one carried with the frame or left in place:
    // a slide or a growth moves the frame with the shape, a fade moves it without any motion.
    const double spacing = std::sqrt(double(opaquePixels.count()) / std::max(1, layerCount));
    const int stride = std::max(1, int(spacing / 3));
    const auto carried = [&](double x, double y, int axis) {
        return axis == 0 ? b[0] + (x - a[0]) * (b[2] / a[2]) : b[1] + (y - a[1]) * (b[3] / a[3]);
    };
    const int32_t* o = st.bounds;
    const int32_t x0 = std::max(
        0, int32_t(
               std::floor(std::min({double(opaqueBounds[0]), double(o[0]), carried(o[0], 0, 0)}))));
    const int32_t x1 =
        std::min(imageWidth - 1, int32_t(std::ceil(std::max({double(opaqueBounds[1]), double(o[1]),
                                                             carried(o[1] + 1, 0, 0)}))));
    const int32_t y0 = std::max(
        0, int32_t(
               std::floor(std::min({double(opaqueBounds[2]), double(o[2]), carried(0, o[2], 1)}))));
    const int32_t y1 =
        std::min(imageHeight - 1, int32_t(std::ceil(std::max({double(opaqueBounds[3]), double(o[3]),
                                                              carried(0, o[3] + 1, 1)}))));
    const auto before = [&](double x, double y) -> int {
        if (x < 0 || y < 0 || x >= imageWidth || y >= imageHeight) {
            return 0;
        }
        return st.alpha[size_t(y) * size_t(imageWidth) + size_t(x)];
    };
    int64_t stay = 0, carry = 0;
    for (int32_t y = y0; y <= y1; y += stride) {
        for (int32_t x = x0; x <= x1; x += stride) {
            const uint8_t v = imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4];
            const int now = v > alphaThreshold ? v : 0;
            const double cx = x + 0.5, cy = y + 0.5;
            stay += std::abs(now - before(cx, cy));
            carry += std::abs(now - before(a[0] + (cx - b[0]) * (a[2] / b[2]),
                                           a[1] + (cy - b[1]) * (a[3] / b[3])));
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
    for (int j = 0; j < n; ++j) {
        sites.emplace_back();
        sites.back().position = nearestPointOnShape(carried[size_t(j)]);
    }
    sitesFollowLayers = true;
    if (!relax) {
        return;
    }
    double* l = follow.lattice;
    double scale[2] = {1, 1};
    if (carry) {
        scale[0] = b[2] / a[2];
        scale[1] = b[3] / a[3];
        l[0] = b[0] + (l[0] - a[0]) * scale[0];
        l[1] = b[1] + (l[1] - a[1]) * scale[1];
        l[2] *= scale[0];
        l[3] *= scale[1];
    }
    relaxOverLattice(false, scale);
}

void MyTessaron::settleOverCarriedSamples(bool fresh) {
    const double scale[2] = {1, 1};
    relaxOverLattice(fresh, scale);
}

void MyTessaron::relaxOverLattice(bool fresh, const double scale[2]) {
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
    std::vector<Point2D> at;
    std::vector<float> weights;
    for (int64_t cy = cy0; cy <= cy1; ++cy) {
        for (int64_t cx = cx0; cx <= cx1; ++cx) {
            const float x = float(l[0] + (double(cx) + jitter(cx, cy, 0)) * stepX);
            const float y = float(l[1] + (double(cy) + jitter(cx, cy, 1)) * stepY);
            if (!isPointInsideShape(x, y)) {
                continue;
            }
            const uint8_t alpha = imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4];
            at.push_back(Point2D(x, y));
            weights.push_back(float(alpha) / 255.0f);
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
    const OrderedSamples ordered = orderSamples(at, cellOrder(at, n));
    std::vector<Point2D> positions(count);
    std::vector<double> sumX(count), sumY(count), sumW(count);
    std::vector<int32_t> firstSample(count);
    const auto assign = [&] {
        for (size_t j = 0; j < count; ++j) {
            positions[j] = sites[j].position;
        }
        const std::vector<int32_t> nearest = nearestSitesGrid(positions, ordered);
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
    for (int round = 0; round < kRounds; ++round) {
        assign();
        for (size_t j = 0; j < count; ++j) {
            if (sumW[j] <= 0.0) {
                continue;  // a site without samples stays where it is
            }
            const Point2D mean(float(sumX[j] / sumW[j] - offsets[j].x),
                               float(sumY[j] / sumW[j] - offsets[j].y));
            sites[j].position =
                isPointInsideShape(mean.x, mean.y) ? mean : at[size_t(firstSample[j])];
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

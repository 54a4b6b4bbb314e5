#include <algorithm>
#include <cmath>
#include <memory>

#include "AEGP_SuiteHandler.h"
#include "attributes/FillGaps.h"
#include "attributes/Growth.h"
#include "attributes/Sampling.h"
#include "attributes/SiteSize.h"
#include "attributes/VisibleCentre.h"
#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "host/Params.h"
#include "streams/LayerStreams.h"
#include "streams/PreviousKey.h"

namespace {

// The frame's size range; a Min Size above Max Size is brought down to it.
struct SizeRange {
    float lo;
    float hi;
};

// The size of a site under From Alpha, From Luminance and Random, and with Prevent Overlap the
// grown rectangle's longer side as a ceiling.
float sampledSize(const MyTessaron& e, ScaleMode mode, const MySitePoint& s, SizeRange r,
                  bool preventOverlap) {
    if (mode == ScaleMode::Random) {
        if (preventOverlap) {
            r.lo = std::min(r.lo, longerSide(s));
            r.hi = std::min(r.hi, longerSide(s));
        }
        return r.lo + (r.hi - r.lo) * uniform53f();
    }
    const float size = sampledValue(e, mode == ScaleMode::FromAlpha, s.position, r.lo, r.hi);
    return preventOverlap ? std::min(longerSide(s), size) : size;
}

// The Use Previous Value reading carried through the run: the one kept at the last earlier frame
// with a shape. An empty frame's 0 is not a reading, so before any frame with a shape this
// frame's own reading is kept.
float carriedScale(const MyTessaron& e, int j, int f, float reading) {
    for (int g = f - 1; g >= 0; --g) {
        if (e.hasImage[g]) {
            return e.scales[j][g];
        }
    }
    return reading;
}

// Layers placed at their sites follow the sites Fill Gaps slid. A generated site reaches the
// composition by a translation (a Source shown scaled or turned is redrawn first), so the slide
// carries over as it is.
void moveFilledLayers(MyTessaron& e, int f, const std::vector<Point2D>& grown) {
    for (int j = 0; j < e.layerCount && j < int(e.placedAtSite.size()); ++j) {
        if (!e.placedAtSite[size_t(j)]) continue;
        const size_t s = size_t(e.assignmentIds[size_t(f)][size_t(j)]);
        const float dx = e.sites[s].position.x - grown[s].x;
        const float dy = e.sites[s].position.y - grown[s].y;
        if (dx == 0.0f && dy == 0.0f) continue;
        Point2D& p = e.positions[size_t(j)][size_t(f)];
        p = Point2D(p.x + dx, p.y + dy);
        if (size_t(j) < e.visibleCentres.size()) {
            Point2D& c = e.visibleCentres[size_t(j)];
            c = Point2D(c.x + dx, c.y + dy);
        }
    }
}

}  // namespace

float MyTessaron::getPreviousScaKeyValue(AEGP_StreamRefH stream, A_Time time) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    AEGP_StreamVal2 value = {};
    if (const A_Err err =
            previousKeyValue(suites, pluginId, stream, time, kAttributeMinKeys, &value)) {
        hostFailures().fellBack("reading a Scale key", err, 1);
        return 0.0f;
    }
    return float(value.three_d.x);  // the horizontal scale
}

void MyTessaron::getInitialSitesDimensions(A_Time time, int f) {
    if (scaleModes[f] == ScaleMode::Ignore) {
        return;
    }
    AEGP_SuiteHandler suites(inData->pica_basicP);
    A_Err err = A_Err_NONE;
    // Layers that keep their own Position grow around their anchor points, where they show.
    const bool aroundAnchors = sitesAreCompPositions &&
                               (scaleModes[f] == ScaleMode::FromNeighborhood || preventOverlaps[f]);
    // After a failed host call the remaining layers reuse the bounds last obtained.
    A_FloatRect bounds = {0.0, 0.0, 0.0, 0.0};
    for (int j = 0; j < layerCount; ++j) {
        AEGP_LayerH layer = nullptr;
        Point2D anchor;
        if (!err) {
            err = fetchCollageLayer(suites, *this, j, &layer);
            if (!err) {
                err = suites.LayerSuite7()->AEGP_GetLayerMaskedBounds(
                    layer, AEGP_LTimeMode_CompTime, &time, &bounds);
            }
            if (err) {
                hostFailures().fellBack("reading the layers' sizes", err, layerCount - j);
            } else if (aroundAnchors) {
                err = anchorPointAt(suites, *this, layer, time, &anchor);
                if (err) {
                    hostFailures().fellBack("reading the layers' anchor points", err,
                                            layerCount - j);
                }
            }
        }
        // Whole pixels, truncated before narrowing: 99.9999999 px is 99, not 100.
        const float w = float(std::trunc(bounds.right - bounds.left));
        const float h = float(std::trunc(bounds.bottom - bounds.top));
        MySitePoint& site = sites[assignmentIds[f][j]];
        if (aroundAnchors && !err) {
            site.centreOffset = centreFromAnchor(bounds, anchor, w, h);
        }
        seedSite(site, w, h);
    }
}

void MyTessaron::getScales(A_Time time, int f) {
    const ScaleMode mode = scaleModes[f];
    if (mode == ScaleMode::Ignore) {
        return;
    }
    if (mode == ScaleMode::FromNeighborhood || preventOverlaps[f]) {
        // The shape is in the Source's pixels, where generated sites are; layers that keep their
        // own Positions are in the composition's.
        std::unique_ptr<ShapeLimit> shape;
        const bool ownSites = hasImage[f] && !sitesAreCompPositions;
        if (keepsInsideShape(f) && ownSites) {
            opaquePixels.countWords();
            shape = std::make_unique<ShapeLimit>(opaquePixels, downsampleX, downsampleY,
                                                 shapeSetting(overhangs, f, 0.1f), sites.size());
        }
        const std::vector<int32_t> order(assignmentIds[f].begin(),
                                         assignmentIds[f].begin() + layerCount);
        growSites(sites, order, MaxGrowthRounds, shape.get());
        if (sitesFollowLayers && follow.sizes.size() == size_t(layerCount)) {
            keepFollowedSizes(sites, order, follow.sizes, shape.get());
        }
        // Layers slide only on sites of the run's own: those that keep their Positions stay.
        if (shapeSetting(fillGaps, f, false) && ownSites) {
            FillLimits limits;
            limits.keepInside = shape != nullptr;
            if (!shape) {
                opaquePixels.countWords();
                shape = std::make_unique<ShapeLimit>(opaquePixels, downsampleX, downsampleY,
                                                     kFillOverhang, sites.size());
            }
            limits.shape = shape.get();
            if (mode != ScaleMode::FromNeighborhood) {
                limits.maxLongerSide = maxSizes[f];  // the size is capped by it anyway
            }
            std::vector<Point2D> grown(sites.size());
            for (size_t s = 0; s < sites.size(); ++s) grown[s] = sites[s].position;
            ::fillGaps(sites, order, limits);
            moveFilledLayers(*this, f, grown);
        }
        // After the fill: the cap bounds the size shown, and the next frame's cap starts from it.
        limitFollowedGrowth(f);
    }
    const std::vector<float> previous =
        mode == ScaleMode::UsePreviousValue
            ? readLayerStreams(
                  *this, AEGP_LayerStream_SCALE,
                  [&](AEGP_StreamRefH s) { return getPreviousScaKeyValue(s, time); }, &time)
            : std::vector<float>();
    const SizeRange range = {std::min(minSizes[f], maxSizes[f]), maxSizes[f]};
    const bool hides = hidesSmallLayers(f);
    for (int j = 0; j < layerCount; ++j) {
        MySitePoint& s = sites[assignmentIds[f][j]];
        if (mode == ScaleMode::UsePreviousValue) {
            s.width = previous[j] / 100.0f * s.layerWidth;
            s.height = s.width / s.aspect;
        } else if (mode == ScaleMode::FromAlpha || mode == ScaleMode::FromLuminance ||
                   mode == ScaleMode::Random) {
            setLongerSide(s, sampledSize(*this, mode, s, range, preventOverlaps[f]));
            // Only the growth brings a size below the range: the layer had no room.
            s.hidden = hides && !hasNoArea(s) && longerSide(s) < range.lo;
        }
        if (!hasImage[f]) {
            scales[j][f] = 0.0f;  // no shape at this frame
        } else if (mode == ScaleMode::UsePreviousValue) {
            // The key value itself: the first reading, carried through the run.
            scales[j][f] = carriedScale(*this, j, f, previous[j]);
        } else {
            scales[j][f] = scalePercent(rescaleFactors[f], s);
        }
    }
}

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AEGP_SuiteHandler.h"
#include "engine/MyTessaron.h"
#include "host/HostObjects.h"
#include "host/Params.h"
#include "placement/Candidates.h"
#include "streams/ParentSpace.h"
#include "streams/PreviousKey.h"

namespace {

bool frameHasShape(const std::vector<bool>& hasImage, int frameIndex) {
    return frameIndex < static_cast<int>(hasImage.size()) && hasImage[frameIndex];
}

bool generatesSites(PositionMode mode) {
    return mode == PositionMode::Grid || mode == PositionMode::Organic ||
           mode == PositionMode::Radial || mode == PositionMode::Random;
}

}  // namespace

void MyTessaron::getPoints(A_Time time, int frameIndex) {
    sites.clear();
    sitesAreCompPositions = false;
    sitesFollowLayers = false;
    sitesSettled = false;
    const PositionMode mode = positionModes[frameIndex];
    // Ignore, Use Previous Value, and a value outside the popup (the separator): every layer
    // still gets a site, so the later stages never index past the list.
    if (!generatesSites(mode) || !frameHasShape(hasImage, frameIndex)) {
        getLayerPositionSites(time, frameIndex);  // new sites have rotation 0
        return;
    }
    if (mode == PositionMode::Grid || mode == PositionMode::Radial) {
        getCandidateSites(mode == PositionMode::Grid, time, frameIndex);
    } else if (followsFrameBefore(frameIndex) && shapeUnchanged()) {
        // A held frame: the rounds of a frame that had not come to rest (a fade bounds them)
        // would go on settling, and the layers would drift while nothing changes.
        for (const Point2D& p : follow.placed) {
            sites.emplace_back();
            sites.back().position = p;
        }
        follow.siteOffsets = follow.offsets;  // by site, which is by layer here
        sitesFollowLayers = true;
        return;
    } else if (followsFrameBefore(frameIndex)) {
        getFollowingSites(mode == PositionMode::Organic);
    } else if (mode == PositionMode::Organic) {
        getOrganicPoints();
        if (shapeSetting(followShapeChanges, frameIndex, false)) {
            // Settled over the samples the next frames relax over, so that they start at rest.
            settleOverCarriedSamples(true);
        }
    } else {
        getRandomSites();
    }
    for (MySitePoint& site : sites) {
        site.position = fullResolution(site.position);
    }
}

void MyTessaron::getRandomSites() {
    for (int i = 0; i < layerCount; ++i) {
        sites.emplace_back();
        sites.back().position = generatePointInsideShape();
    }
}

void MyTessaron::getCandidateSites(bool grid, A_Time time, int frameIndex) {
    if (grid && !gridReachesShape(opaquePixels, opaqueBounds[1], opaqueBounds[3])) {
        getRandomSites();  // no cell count would ever give enough centres on such a shape
        return;
    }
    std::optional<CandidateChoice> found;
    if (grid) {
        const float aspect =
            gridCellAspect(time, shapeSetting(cellShapes, frameIndex, CellShape::FirstLayer));
        found = chooseCandidates(
            layerCount, 1,
            [&](int k, std::vector<Point2D>& out) { getGridPointsInShape(k, aspect, out); },
            gridCandidateCounts(aspect), kCandidateWorkBudget);
    } else {
        found = chooseCandidates(
            layerCount, 0,
            [&](int k, std::vector<Point2D>& out) { getRadialPointsInShape(k, out); },
            radialCandidateCounts(), kCandidateWorkBudget);
    }
    if (!found) {
        getRandomSites();  // the shape is too small or sparse for any affordable count
        return;
    }
    CandidateChoice& choice = *found;
    if (choice.hadExcess) {
        reportEmptyCells(choice.excess);
    }
    if (followsFrameBefore(frameIndex)) {
        followOntoCandidates(std::move(choice.points));
        return;
    }
    for (const Point2D& p : pickAtRandom(std::move(choice.points), layerCount)) {
        sites.emplace_back();
        sites.back().position = p;
    }
}

namespace {

// A layer's width-to-height ratio from its bounds in whole pixels; 0 when a side is empty.
float boundsAspect(const A_FloatRect& bounds) {
    const int w = static_cast<int>(bounds.right - bounds.left);
    const int h = static_cast<int>(bounds.bottom - bounds.top);
    return w > 0 && h > 0 ? static_cast<float>(w) / static_cast<float>(h) : 0.0f;
}

// The middle ratio; between the two middle ones, their geometric mean, so that 2:1 and 1:2
// meet at 1:1.
float medianAspect(std::vector<float> aspects) {
    if (aspects.empty()) {
        return 1.0f;
    }
    const size_t half = aspects.size() / 2;
    std::nth_element(aspects.begin(), aspects.begin() + std::ptrdiff_t(half), aspects.end());
    const float upper = aspects[half];
    if (aspects.size() % 2 == 1) {
        return upper;
    }
    const float lower = *std::max_element(aspects.begin(), aspects.begin() + std::ptrdiff_t(half));
    return static_cast<float>(std::sqrt(double(lower) * double(upper)));
}

}  // namespace

// Cells take the first layer's width-to-height ratio (Cell Shape First Layer), the median ratio
// of the layers (Typical Layer) or none (Square); square cells when the ratio cannot be read or
// a side is empty (a zero height would make the cells endless).
float MyTessaron::gridCellAspect(A_Time time, CellShape shape) {
    if (layerIndices.empty() || shape == CellShape::Square) {
        return 1.0f;
    }
    const bool typical = shape == CellShape::TypicalLayer;
    const int count = typical ? std::min<int>(layerCount, int(layerIndices.size())) : 1;
    AEGP_SuiteHandler suites(inData->pica_basicP);
    std::vector<float> aspects;
    for (int j = 0; j < count; ++j) {
        AEGP_LayerH layer = nullptr;
        A_FloatRect bounds = {0, 0, 0, 0};
        A_Err err = suites.LayerSuite7()->AEGP_GetCompLayerByIndex(comp, layerIndices[j], &layer);
        if (!err) {
            err = suites.LayerSuite7()->AEGP_GetLayerMaskedBounds(layer, AEGP_LTimeMode_CompTime,
                                                                  &time, &bounds);
        }
        if (err) {
            hostFailures().fellBack(
                typical ? "reading the layers' sizes" : "reading the first layer's size", err,
                count - j);
            break;
        }
        const float aspect = boundsAspect(bounds);
        if (aspect > 0.0f) {
            aspects.push_back(aspect);
        } else if (!typical) {
            return 1.0f;
        }
    }
    return medianAspect(std::move(aspects));
}

void MyTessaron::reportEmptyCells(int excess) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    char text[64];
    std::memset(text, 0, sizeof(text));
    const int written = inData->utils->ansi.sprintf(text, "Empty cells: %d", excess);
    const A_Err err = written < 0 ? A_Err_NONE : suites.AdvAppSuite2()->PF_InfoDrawText(text, "");
    if (written < 0 || err) {
        hostFailures().progressNotShown("showing the empty cells", written < 0 ? written : err);
    }
}

// Site j at layer j's own Position, where it shows through its parents: already a composition
// position, so it is not converted and
// the assignment skips the layer-to-world mapping for it. After a failed host call the remaining
// layers keep their previous frame's position.
void MyTessaron::getLayerPositionSites(A_Time time, int frameIndex) {
    sitesAreCompPositions = true;
    AEGP_SuiteHandler suites(inData->pica_basicP);
    A_Err err = A_Err_NONE;
    for (int j = 0; j < layerCount; ++j) {
        MySitePoint site;
        AEGP_LayerH layer = nullptr;
        ScopedStream stream(suites);
        if (!err) {
            err =
                j < static_cast<int>(layerIndices.size())
                    ? suites.LayerSuite7()->AEGP_GetCompLayerByIndex(comp, layerIndices[j], &layer)
                    : A_Err_PARAMETER;
            if (!err) {
                err = stream.fetch(pluginId, layer, AEGP_LayerStream_POSITION);
            }
            if (err) {
                hostFailures().fellBack("reading the layers' Position", err, layerCount - j);
            }
        }
        if (!err) {
            site.position =
                shownPositionAt(suites, layer, time, getPreviousPosKeyValue(stream.get(), time));
        } else if (frameIndex > 0) {
            site.position = positions[j][frameIndex - 1];
        }
        sites.push_back(site);
    }
}

Point2D MyTessaron::getPreviousPosKeyValue(AEGP_StreamRefH stream, A_Time time) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    AEGP_StreamVal2 value = {};
    if (const A_Err err =
            previousKeyValue(suites, pluginId, stream, time, kPositionMinKeys, &value)) {
        hostFailures().fellBack("reading a Position key", err, 1);
        return Point2D();
    }
    return Point2D(static_cast<float>(value.three_d.x), static_cast<float>(value.three_d.y), 0.0f);
}

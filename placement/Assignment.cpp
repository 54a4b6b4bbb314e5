// dlib is used header-only: skip its link-time check for a compiled dlib library.
#define DLIB_TEST_FOR_ODR_VIOLATIONS_H_
#include <dlib/optimization/max_cost_assignment.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numeric>

#include "AEGP_SuiteHandler.h"
#include "engine/MyTessaron.h"
#include "host/HostObjects.h"
#include "host/Params.h"
#include "placement/MinimumAssignment.h"
#include "placement/Orderings.h"
#include "streams/ParentSpace.h"

namespace {

A_Matrix4 identity() {
    A_Matrix4 m = {};
    for (int i = 0; i < 4; ++i) {
        m.mat[i][i] = 1.0;
    }
    return m;
}

}  // namespace

std::vector<int32_t> minimumDistanceAssignment(const std::vector<Point2D>& from,
                                               const std::vector<Point2D>& to,
                                               const std::vector<bool>& known) {
    const long n = static_cast<long>(from.size());
    assert(to.size() == from.size() && known.size() == from.size());
    dlib::matrix<long long> cost(n, n);
    for (long i = 0; i < n; ++i) {
        for (long j = 0; j < n; ++j) {
            // Maximising the negated squared distances minimises their sum.
            cost(i, j) = known[i] ? -squaredDistanceCost(from[i], to[j]) : 0;
        }
    }
    const std::vector<long> columns = dlib::max_cost_assignment(cost);
    return std::vector<int32_t>(columns.begin(), columns.end());
}

Point2D MyTessaron::compPosition(const Point2D& s, const A_Matrix4& m) const {
    const double x = s.x, y = s.y;
    double cx = x * m.mat[0][0] + y * m.mat[1][0] + 0.0 * m.mat[2][0] + m.mat[3][0];
    double cy = x * m.mat[0][1] + y * m.mat[1][1] + 0.0 * m.mat[2][1] + m.mat[3][1];
    const double w = x * m.mat[0][3] + y * m.mat[1][3] + 0.0 * m.mat[2][3] + m.mat[3][3];
    if (w != 0.0) {
        cx = cx * (1.0 / w);
        cy = cy * (1.0 / w);
    }
    double px = static_cast<float>(cx), py = static_cast<float>(cy);
    if (sourceLayerType == AEGP_ObjectType_VECTOR) {
        px = px + (-0.5) * compWidth;
        py = py + (-0.5) * compHeight;
    } else if (sourceLayerType == AEGP_ObjectType_TEXT) {
        px = px - sourcePosition.val.three_d.x;
        py = py - sourcePosition.val.three_d.y;
    }
    return Point2D(static_cast<float>(px), static_cast<float>(py), 0.0f);
}

// Each layer's previous composition position: its Position key at the first frame, the position
// written for the previous frame afterwards. Layers after a failed host call are unknown.
static void previousPositions(MyTessaron& e, A_Time time, int frameIndex,
                              std::vector<Point2D>& from, std::vector<bool>& known) {
    const int n = e.layerCount;
    from.assign(n, Point2D());
    known.assign(n, true);
    if (frameIndex > 0) {
        for (int i = 0; i < n; ++i) {
            const Point2D& p = i < int(e.visibleCentres.size()) ? e.visibleCentres[i]
                                                                : e.positions[i][frameIndex - 1];
            from[i] = Point2D(p.x, p.y, 0.0f);
        }
        return;
    }
    AEGP_SuiteHandler suites(e.inData->pica_basicP);
    A_Err err = A_Err_NONE;
    for (int i = 0; i < n; ++i) {
        AEGP_LayerH layer = nullptr;
        ScopedStream stream(suites);
        if (!err) {
            err = i < static_cast<int>(e.layerIndices.size())
                      ? suites.LayerSuite7()->AEGP_GetCompLayerByIndex(e.comp, e.layerIndices[i],
                                                                       &layer)
                      : A_Err_PARAMETER;
            if (!err) {
                err = stream.fetch(e.pluginId, layer, AEGP_LayerStream_POSITION);
            }
            if (err) {
                hostFailures().fellBack("reading the layers' Position", err, n - i);
            }
        }
        if (!err) {
            from[i] =
                shownPositionAt(suites, layer, time, e.getPreviousPosKeyValue(stream.get(), time));
        }
        known[i] = !err;
    }
}

// The six sorting orders reorder the sites; layer i then takes site i. The centres are
// full-resolution points, like the sites.
static void sortSites(MyTessaron& e, LayerOrder order) {
    auto& s = e.sites;
    if (order == LayerOrder::ByX) {
        std::sort(s.begin(), s.end(), sort_by_x());
    } else if (order == LayerOrder::ByY) {
        std::sort(s.begin(), s.end(), sort_by_y());
    } else if (order == LayerOrder::ByNorm) {
        std::sort(s.begin(), s.end(), sort_by_norm());
    } else if (order == LayerOrder::ByInverseNorm) {
        std::sort(s.begin(), s.end(), sort_by_inverse_norm());
    } else if (order == LayerOrder::ByDistanceFromCompCenter) {
        std::sort(s.begin(), s.end(), sort_by_distance_from_point(e.imageCentreFullRes()));
    } else if (order == LayerOrder::ByDistanceFromImageCenter) {
        std::sort(s.begin(), s.end(), sort_by_distance_from_point(e.shapeCentreFullRes()));
    }
}

void MyTessaron::getAssignmentIdsAndPositions(A_Time time, int frameIndex) {
    const int n = layerCount;
    const bool enoughSites = static_cast<int>(sites.size()) >= n;
    std::vector<int32_t> ids(n);
    std::iota(ids.begin(), ids.end(), 0);
    const PositionMode mode = positionModes[frameIndex];
    if (mode == PositionMode::Ignore) {
        layerOrders[frameIndex] = LayerOrder::Random;
    }

    // One mapping for the whole frame: the Source layer's transform does not depend on the layer.
    // A redrawn Source's picture is in composition pixels already: its sites only move.
    A_Matrix4 toWorld = identity();
    A_Err err = A_Err_NONE;
    if (!sitesAreCompPositions && !sourceRedrawn) {
        if (sourceToWorldRead) {
            toWorld = sourceToWorld;  // read with the frame's image, its failure noted there
            err = sourceToWorldErr;
            if (err) {
                hostFailures().fellBack("reading the Source layer's transform", A_Err_NONE, n);
            }
        } else {
            AEGP_SuiteHandler suites(inData->pica_basicP);
            err = suites.LayerSuite7()->AEGP_GetLayerToWorldXform(sourceLayer, &time, &toWorld);
            if (err) {
                hostFailures().fellBack("reading the Source layer's transform", err, n);
            }
        }
    }
    auto siteInComp = [&](const Point2D& s) {
        if (sitesAreCompPositions) {
            return Point2D(s.x, s.y, 0.0f);
        }
        if (sourceRedrawn) {
            return Point2D(static_cast<float>(double(s.x) + redrawnLeft),
                           static_cast<float>(double(s.y) + redrawnTop), 0.0f);
        }
        return compPosition(s, toWorld);
    };

    // Sites read from the layers' own Positions stay with their layers: site j is layer j's.
    // So do followed sites (Follow Shape Changes): layer j keeps site j.
    const auto order =
        sitesAreCompPositions || sitesFollowLayers ? LayerOrder::Random : layerOrders[frameIndex];
    sortSites(*this, order);
    if (order == LayerOrder::MinimumAssignment && enoughSites && !err) {
        std::vector<Point2D> from, to;
        std::vector<bool> known;
        previousPositions(*this, time, frameIndex, from, known);
        for (int j = 0; j < n; ++j) {
            to.push_back(siteInComp(sites[j].position));
        }
        ids = assignLayers(from, to, known, assignmentWarmStart);
    }
    assignmentIds.push_back(ids);

    const bool repeat = frameIndex > 0 && mode == PositionMode::UsePreviousValue;
    placedAtSite.assign(n, false);
    visibleCentres.resize(n);
    for (int i = 0; i < n; ++i) {
        // A layer without a site, or after a failed mapping, keeps its previous frame's position.
        const bool placeable = !repeat && !err && ids[i] < static_cast<int>(sites.size());
        placedAtSite[i] = placeable && !sitesAreCompPositions;
        if (placeable) {
            positions[i][frameIndex] = siteInComp(sites[ids[i]].position);
        } else if (frameIndex > 0) {
            positions[i][frameIndex] = positions[i][frameIndex - 1];
        }
        if (placeable || frameIndex == 0) {
            visibleCentres[i] = positions[i][frameIndex];  // before centring on the site
        }
    }
    keepFollowedSites(frameIndex);
}

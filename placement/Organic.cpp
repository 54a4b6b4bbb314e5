#include <ANN/ANN.h>

#include <cassert>
#include <vector>

#include "engine/MyTessaron.h"
#include "placement/MyDensityPoint.h"

namespace {

constexpr int kSamplesPerSite = 50;
constexpr int kRounds = 15;

// Each sample goes to its nearest site (exact 1-NN over a fresh kd-tree of the sites).
void assignSamples(std::vector<MySitePoint>& sites, std::vector<MyDensityPoint>& samples,
                   ANNpointArray data, ANNpoint query) {
    const int n = static_cast<int>(sites.size());
    ANNkd_tree tree(data, n, 2, 1, ANN_KD_SUGGEST);
    ANNidx nearest = 0;
    ANNdist distance = 0.0;
    for (MyDensityPoint& sample : samples) {
        query[0] = sample.position.x;
        query[1] = sample.position.y;
        tree.annkSearch(query, 1, &nearest, &distance, 0.0);
        assert(nearest >= 0 && nearest < n);
        sample.nearestSite = sites[nearest].position;
        sites[nearest].densityPoints.push_back(sample.position);
    }
}

}  // namespace

void MyTessaron::getOrganicPoints() {
    const int n = layerCount;
    ANNpointArray data = annAllocPts(MaxLayers, 2);
    ANNpoint query = annAllocPt(2);
    for (int i = 0; i < n; ++i) {
        MySitePoint site;
        site.position = generatePointInsideShape();
        data[i][0] = site.position.x;
        data[i][1] = site.position.y;
        sites.push_back(site);
    }
    std::vector<MyDensityPoint> samples(static_cast<size_t>(kSamplesPerSite) * n);
    for (MyDensityPoint& sample : samples) {
        sample.position = generatePointInsideShape();
    }
    for (int round = 0; n > 0 && round < kRounds; ++round) {
        for (MySitePoint& site : sites) {
            site.densityPoints.clear();
        }
        assignSamples(sites, samples, data, query);
        for (int i = 0; i < n; ++i) {
            moveToCentroid(sites[i]);
            data[i][0] = sites[i].position.x;
            data[i][1] = sites[i].position.y;
        }
    }
    annDeallocPt(query);
    annDeallocPts(data);
    annClose();
}

// Lloyd step: the site moves to the mean of its samples, or to its first sample when the mean
// falls off the shape (a hole), so that a site never leaves the shape.
void MyTessaron::moveToCentroid(MySitePoint& site) const {
    const std::vector<Point2D>& points = site.densityPoints;
    if (points.empty()) {
        return;
    }
    float sx = 0.0f, sy = 0.0f, sz = 0.0f;
    for (const Point2D& p : points) {
        sx = sx + p.x;
        sy = sy + p.y;
        sz = sz + p.z;
    }
    const float w = 1.0f / static_cast<float>(points.size());
    const Point2D mean(sx * w, sy * w, sz * w);
    site.position = isPointInsideShape(mean.x, mean.y) ? mean : points.front();
}

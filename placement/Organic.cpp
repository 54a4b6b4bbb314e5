#include <vector>

#include "engine/MyTessaron.h"
#include "engine/SearchPath.h"
#include "placement/MyDensityPoint.h"
#include "placement/NearestSite.h"

namespace {

constexpr int kSamplesPerSite = 50;
constexpr int kRounds = 15;

// Each sample goes to its nearest site; the sites' lists keep the samples' order, whatever order
// the search visited them in.
void assignSamples(std::vector<MySitePoint>& sites, std::vector<MyDensityPoint>& samples,
                   const std::vector<Point2D>& at, const OrderedSamples& ordered) {
    std::vector<Point2D> positions;
    positions.reserve(sites.size());
    for (MySitePoint& site : sites) {
        positions.push_back(site.position);
        site.densityPoints.clear();
    }
    const std::vector<int32_t> nearest = searchPath() == SearchPath::Reference
                                             ? nearestSitesKdTree(positions, at)
                                             : nearestSitesGrid(positions, ordered);
    for (size_t s = 0; s < samples.size(); ++s) {
        MySitePoint& site = sites[nearest[s]];
        samples[s].nearestSite = site.position;
        site.densityPoints.push_back(samples[s].position);
    }
}

}  // namespace

void MyTessaron::getOrganicPoints() {
    const int n = layerCount;
    for (int i = 0; i < n; ++i) {
        sites.emplace_back();
        sites.back().position = generatePointInsideShape();
    }
    std::vector<MyDensityPoint> samples(static_cast<size_t>(kSamplesPerSite) * n);
    std::vector<Point2D> at(samples.size());
    for (size_t s = 0; s < samples.size(); ++s) {
        samples[s].position = generatePointInsideShape();
        at[s] = samples[s].position;
    }
    // The samples never move: one visiting order, by cells of about one site each, serves every
    // round.
    const OrderedSamples ordered = orderSamples(at, cellOrder(at, n));
    for (int round = 0; n > 0 && round < kRounds; ++round) {
        assignSamples(sites, samples, at, ordered);
        for (MySitePoint& site : sites) {
            moveToCentroid(site);
        }
    }
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

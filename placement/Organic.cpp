#include <algorithm>
#include <vector>

#include "engine/MyTessaron.h"
#include "engine/SearchPath.h"
#include "placement/NearestSite.h"

namespace {

constexpr int kSamplesPerSite = 50;
constexpr int kRounds = 15;

// One site's samples in a round: their sums in sample order, their count and the first of them.
struct SampleSums {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    size_t count = 0;
    size_t first = 0;

    void add(const Point2D& p, size_t s) {
        x = x + p.x;
        y = y + p.y;
        z = z + p.z;
        first = count++ == 0 ? s : first;
    }
};

// Lloyd step: the site moves to the mean of its samples, or to its first sample when the mean
// falls off the shape (a hole), so that a site never leaves the shape.
void moveToMean(const MyTessaron& e, MySitePoint& site, const SampleSums& sums,
                const Point2D& first) {
    if (sums.count == 0) {
        return;
    }
    const float w = 1.0f / static_cast<float>(sums.count);
    const Point2D mean(sums.x * w, sums.y * w, sums.z * w);
    site.position = e.isPointInsideShape(mean.x, mean.y) ? mean : first;
}

}  // namespace

void MyTessaron::getOrganicPoints() {
    const int n = layerCount;
    for (int i = 0; i < n; ++i) {
        sites.emplace_back();
        sites.back().position = generatePointInsideShape();
    }
    std::vector<Point2D> at(static_cast<size_t>(kSamplesPerSite) * n);
    generatePointsInsideShape(at);
    // The samples never move: one visiting order, by cells of about one site each, and one
    // grouping by query cells serve every round.
    const OrderedSamples ordered = orderSamples(at, cellOrder(at, n), size_t(std::max(n, 0)));
    std::vector<Point2D> positions(sites.size());
    std::vector<SampleSums> sums(sites.size());
    std::vector<int32_t> centreSites;  // each query cell's centre's nearest, round to round
    for (int round = 0; n > 0 && round < kRounds; ++round) {
        for (size_t j = 0; j < sites.size(); ++j) {
            positions[j] = sites[j].position;
        }
        const std::vector<int32_t> nearest =
            searchPath() == SearchPath::Reference
                ? nearestSitesKdTree(positions, at)
                : nearestSitesGrid(positions, ordered, &centreSites);
        // Each site sums its samples in sample order, whatever order the search visited them in.
        std::fill(sums.begin(), sums.end(), SampleSums());
        for (size_t s = 0; s < at.size(); ++s) {
            sums[size_t(nearest[s])].add(at[s], s);
        }
        if (round == kRounds - 1) {  // the last round's samples stay with their sites
            for (size_t j = 0; j < sites.size(); ++j) {  // each list allocated once, at its size
                sites[j].densityPoints.clear();
                sites[j].densityPoints.reserve(sums[j].count);
            }
            for (size_t s = 0; s < at.size(); ++s) {
                sites[size_t(nearest[s])].densityPoints.push_back(at[s]);
            }
        }
        for (size_t j = 0; j < sites.size(); ++j) {
            moveToMean(*this, sites[j], sums[j], at[sums[j].first]);
        }
    }
}

void MyTessaron::moveToCentroid(MySitePoint& site) const {
    SampleSums sums;
    for (const Point2D& p : site.densityPoints) {
        sums.add(p, 0);
    }
    moveToMean(*this, site, sums, sums.count ? site.densityPoints.front() : Point2D());
}

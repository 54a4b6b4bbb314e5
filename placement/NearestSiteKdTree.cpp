#include <ANN/ANN.h>

#include <limits>

#include "placement/NearestSite.h"

namespace {

// The lowest index among the sites nearest to q, by a scan of them all (ties only).
int32_t lowestNearest(const ANNpointArray data, int n, const ANNpoint q) {
    double best = std::numeric_limits<double>::infinity();
    int32_t bestId = -1;
    for (int i = 0; i < n; ++i) {
        double t = q[0] - data[i][0];
        double d = t * t;
        t = q[1] - data[i][1];
        d = d + t * t;
        if (d < best) {
            best = d;
            bestId = i;
        }
    }
    return bestId;
}

}  // namespace

std::vector<int32_t> nearestSitesKdTree(const std::vector<Point2D>& sites,
                                        const std::vector<Point2D>& samples) {
    const int n = static_cast<int>(sites.size());
    std::vector<int32_t> nearest(samples.size(), -1);
    if (n == 0) {
        return nearest;
    }
    ANNpointArray data = annAllocPts(n, 2);
    ANNpoint query = annAllocPt(2);
    for (int i = 0; i < n; ++i) {
        data[i][0] = sites[i].x;
        data[i][1] = sites[i].y;
    }
    {
        ANNkd_tree tree(data, n, 2, 1, ANN_KD_SUGGEST);
        const int k = n >= 2 ? 2 : 1;
        ANNidx ids[2] = {0, 0};
        ANNdist dists[2] = {0.0, 0.0};
        for (size_t s = 0; s < samples.size(); ++s) {
            query[0] = samples[s].x;
            query[1] = samples[s].y;
            tree.annkSearch(query, k, ids, dists, 0.0);
            const bool tied = k == 2 && dists[1] == dists[0];
            nearest[s] = tied ? lowestNearest(data, n, query) : ids[0];
        }
    }
    annDeallocPt(query);
    annDeallocPts(data);
    annClose();
    return nearest;
}

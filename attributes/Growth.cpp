#include "attributes/Growth.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

namespace {

// The sites that take part, sorted by x, so that a growing site only needs to be tested against
// those whose x lies within reach of its own rectangle.
class SweepIndex {
  public:
    SweepIndex(const std::vector<MySitePoint>& sites, const std::vector<int32_t>& members) {
        for (int32_t s : members) {
            byX_.emplace_back(double(sites[s].position.x), s);
        }
        std::sort(byX_.begin(), byX_.end());
    }

    // Calls f(site) for every member whose x lies within `reach` of x, stopping when f says so.
    template <typename F>
    void forEachNear(double x, double reach, F&& f) const {
        auto it = std::lower_bound(byX_.begin(), byX_.end(), std::make_pair(x - reach, INT32_MIN));
        for (; it != byX_.end() && it->first <= x + reach; ++it) {
            if (!f(it->second)) {
                return;
            }
        }
    }

  private:
    std::vector<std::pair<double, int32_t>> byX_;
};

void takeOwnSize(MySitePoint& s) {
    s.width = s.layerWidth;
    s.height = s.layerHeight;
}

// One visit of a site in a round: grow a step, and stop half a step back at the first overlap.
// Which neighbour overlaps does not matter, so only neighbours close enough to touch are tested.
// A pair further apart in x than the two radii (plus a pixel against rounding) fails the
// overlap test's own distance check anyway.
void visit(std::vector<MySitePoint>& sites, int32_t s, const SweepIndex& index, float& maxRadius) {
    MySitePoint& site = sites[s];
    if (!site.growing) {
        return;
    }
    site.update();
    maxRadius = std::max(maxRadius, site.radius);
    const double reach = double(site.radius) + double(maxRadius) + 1.0;
    index.forEachNear(site.position.x, reach, [&](int32_t k) {
        if (k != s && site.intersect(sites[k])) {
            site.growing = false;
            site.updateBack();
        }
        return site.growing;
    });
}

}  // namespace

bool hasNoArea(const MySitePoint& site) {
    return !(site.layerWidth > 0.0f && site.layerHeight > 0.0f);
}

int growSites(std::vector<MySitePoint>& sites, const std::vector<int32_t>& visitOrder,
              int maxRounds) {
    std::vector<int32_t> members;
    for (int32_t s : visitOrder) {
        assert(s >= 0 && size_t(s) < sites.size());
        if (!hasNoArea(sites[s])) {
            members.push_back(s);
        }
    }
    if (visitOrder.size() == 1 || members.size() <= 1) {
        for (int32_t s : members) {
            takeOwnSize(sites[s]);
        }
        return 0;
    }
    const SweepIndex index(sites, members);
    float maxRadius = 0.0f;
    for (int32_t s : members) {
        maxRadius = std::max(maxRadius, sites[s].radius);
    }
    auto stillGrowing = [&] {
        return std::any_of(members.begin(), members.end(),
                           [&](int32_t s) { return sites[s].growing; });
    };
    int rounds = 0;
    while (rounds < maxRounds && stillGrowing()) {
        ++rounds;
        for (int32_t s : members) {
            visit(sites, s, index, maxRadius);
        }
    }
    for (int32_t s : members) {
        sites[s].growing = false;
    }
    return rounds;
}

#include "attributes/Growth.h"

#include <algorithm>
#include <cassert>

#include "attributes/SiteGrid.h"
#include "attributes/SiteSize.h"

namespace {

// The sites that take part, in visit order; with one or none, each takes its own size, unless
// the shape limits it.
std::vector<int32_t> growingMembers(std::vector<MySitePoint>& sites,
                                    const std::vector<int32_t>& visitOrder,
                                    const ShapeLimit* shape) {
    std::vector<int32_t> members;
    for (int32_t s : visitOrder) {
        assert(s >= 0 && size_t(s) < sites.size());
        if (!hasNoArea(sites[s])) {
            members.push_back(s);
        }
    }
    if (!shape && (visitOrder.size() == 1 || members.size() <= 1)) {
        for (int32_t s : members) {
            sites[s].width = sites[s].layerWidth;
            sites[s].height = sites[s].layerHeight;
        }
        members.clear();
    }
    return members;
}

// A seed more than the overhang off the shape is halved until it fits (its centre lies on the
// shape, so it soon does) and does not grow.
void fitSeed(MySitePoint& site, int32_t s, const ShapeLimit& shape) {
    for (int halvings = 0; halvings < 12 && shape.tooFarOff(s, site); ++halvings) {
        setLongerSide(site, 0.5f * longerSide(site));
        site.placeRectangle();
        site.growing = false;
    }
}

// Rounds of visits: each growing site grows a step and, at the first overlap `near` reports,
// stops half a step back. Which neighbour overlaps does not matter, only whether one does. With
// a shape limit, a step that leaves more than the overhang off the shape is taken back whole.
template <typename Near>
int growInRounds(std::vector<MySitePoint>& sites, const std::vector<int32_t>& members,
                 int maxRounds, const ShapeLimit* shape, Near&& near) {
    auto stillGrowing = [&] {
        return std::any_of(members.begin(), members.end(),
                           [&](int32_t s) { return sites[s].growing; });
    };
    // Sites closer than their seeds: a seed that already touches a neighbour keeps its size,
    // since a first step taken back by half would leave the pair deeper than a step.
    for (int32_t s : members) {
        near(s, [&](int32_t k) {
            sites[s].growing = !sites[s].intersect(sites[k]);
            return sites[s].growing;
        });
        if (shape) {
            fitSeed(sites[s], s, *shape);
        }
    }
    int rounds = 0;
    while (rounds < maxRounds && stillGrowing()) {
        ++rounds;
        for (int32_t s : members) {
            MySitePoint& site = sites[s];
            if (!site.growing) {
                continue;
            }
            const float width = site.width, height = site.height;
            site.update();
            near(s, [&](int32_t k) {
                if (site.intersect(sites[k])) {
                    site.growing = false;
                    site.updateBack();
                }
                return site.growing;
            });
            if (shape && shape->tooFarOff(s, site)) {
                site.growing = false;
                site.width = width;
                site.height = height;
                site.placeRectangle();
            }
        }
    }
    for (int32_t s : members) {
        sites[s].growing = false;
    }
    return rounds;
}

}  // namespace

bool hasNoArea(const MySitePoint& site) {
    return !(site.layerWidth > 0.0f && site.layerHeight > 0.0f);
}

int growSites(std::vector<MySitePoint>& sites, const std::vector<int32_t>& visitOrder,
              int maxRounds, const ShapeLimit* shape) {
    const std::vector<int32_t> members = growingMembers(sites, visitOrder, shape);
    if (members.empty()) {
        return 0;
    }
    SiteGrid grid(sites, members);
    return growInRounds(sites, members, maxRounds, shape, [&](int32_t s, auto&& test) {
        grid.noteRadius(s, sites[s].radius);
        grid.forEachNear(sites, s, test);
    });
}

int growSitesAllPairs(std::vector<MySitePoint>& sites, const std::vector<int32_t>& visitOrder,
                      int maxRounds, const ShapeLimit* shape) {
    const std::vector<int32_t> members = growingMembers(sites, visitOrder, shape);
    if (members.empty()) {
        return 0;
    }
    return growInRounds(sites, members, maxRounds, shape, [&](int32_t s, auto&& test) {
        for (int32_t k : members) {
            if (k != s && !test(k)) {
                return;
            }
        }
    });
}

#include "attributes/Growth.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

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

void keepFollowedSizes(std::vector<MySitePoint>& sites, const std::vector<int32_t>& order,
                       const std::vector<float>& previous, const ShapeLimit* shape) {
    assert(previous.size() == order.size());
    std::vector<int32_t> members;
    std::vector<float> grown(order.size(), 0.0f);
    for (size_t i = 0; i < order.size(); ++i) {
        MySitePoint& site = sites[order[i]];
        if (hasNoArea(site)) {
            continue;
        }
        members.push_back(order[i]);  // in the way of the others, with or without a size before
        if (!(previous[i] > 0.0f)) {
            continue;
        }
        grown[i] = longerSide(site);
        // Every site at the smaller of its two sizes: only shrinking, so nothing new overlaps.
        if (previous[i] < grown[i]) {
            setLongerSide(site, previous[i]);
            site.placeRectangle();
        }
    }
    if (members.empty()) {
        return;
    }
    SiteGrid grid(sites, members);
    for (int32_t s : members) {
        grid.noteRadius(s, sites[s].radius);
    }
    // Calls f(k) for every site k in the way of site s at longer side `size`, until f returns
    // false: as in the growth, a size fits when half a step less touches no other site.
    auto inTheWay = [&](int32_t s, float size, auto&& f) {
        MySitePoint& site = sites[s];
        setLongerSide(site, size);
        site.placeRectangle();
        grid.noteRadius(s, site.radius);
        setLongerSide(site, std::max(0.0f, size - 0.5f * site.growStep));
        site.placeRectangle();
        grid.forEachNear(sites, s, [&](int32_t k) { return !site.intersect(sites[k]) || f(k); });
        setLongerSide(site, size);
        site.placeRectangle();
    };
    // Whether site s fits at longer side `size`, against the others as they are now.
    auto fits = [&](int32_t s, float size) {
        bool clear = true;
        inTheWay(s, size, [&](int32_t) { return clear = false; });
        return clear && !(shape && shape->tooFarOff(s, sites[s]));
    };
    // From `from` (where it fits) towards `to`: the largest size found that fits; whether `to`
    // fits.
    auto comeBack = [&](int32_t s, float from, float to) {
        if (fits(s, to)) {
            return true;
        }
        float lo = from, hi = to;
        for (int step = 0; step < 10; ++step) {
            const float mid = 0.5f * (lo + hi);
            (fits(s, mid) ? lo : hi) = mid;
        }
        fits(s, lo);
        return false;
    };
    std::vector<size_t> shrank;
    float deepest = 0.0f;
    for (size_t i = 0; i < order.size(); ++i) {
        if (grown[i] > 0.0f && grown[i] < previous[i]) {
            shrank.push_back(i);
            deepest = std::max(deepest, 1.0f - grown[i] / previous[i]);
        }
    }
    // The sites in the way of one that shrank, at its size before, yield some of their room: a
    // site that swapped its path into a crowd would otherwise shrink a whole step of the growth
    // while its neighbours keep theirs.
    std::vector<int32_t> slot(sites.size(), -1);
    for (size_t i = 0; i < order.size(); ++i) {
        slot[size_t(order[i])] = int32_t(i);
    }
    std::vector<uint8_t> joined(order.size(), 0);
    for (size_t i : shrank) {
        joined[i] = 1;
    }
    const size_t shrunk = shrank.size();
    for (size_t n = 0; n < shrunk; ++n) {
        const size_t i = shrank[n];
        const float now = longerSide(sites[order[i]]);
        inTheWay(order[i], previous[i], [&](int32_t k) {
            const int32_t j = slot[size_t(k)];
            if (j >= 0 && !joined[size_t(j)] && grown[size_t(j)] > 0.0f) {
                joined[size_t(j)] = 1;
                shrank.push_back(size_t(j));
            }
            return true;
        });
        setLongerSide(sites[order[i]], now);
        sites[order[i]].placeRectangle();
    }
    for (size_t n = shrunk; n < shrank.size(); ++n) {
        const size_t j = shrank[n];
        MySitePoint& site = sites[order[j]];
        const float yielded = previous[j] * (1.0f - std::min(deepest, kMostFollowedYield));
        if (yielded < longerSide(site)) {
            setLongerSide(site, yielded);
            site.placeRectangle();
        }
    }
    // The sites that shrank (and those yielding to them) come back level by level: at each level
    // every site still coming back shrinks at most that share of its size before, so that sites
    // competing for the same room end up shrunk by about the same share rather than the first in
    // order taking it all.
    constexpr int kLevels = 32;
    for (int level = kLevels - 1; level >= 0 && !shrank.empty(); --level) {
        const float share = deepest * float(level) / float(kLevels);
        size_t kept = 0;
        for (size_t i : shrank) {
            const float size = longerSide(sites[order[i]]);
            const float to = previous[i] * (1.0f - share);
            if (to <= size || comeBack(order[i], size, to)) {
                shrank[kept++] = i;  // still coming back
            }
        }
        shrank.resize(kept);
    }
    // Then those that grew, in order, into the room left.
    for (size_t i = 0; i < order.size(); ++i) {
        if (grown[i] > 0.0f && grown[i] > previous[i]) {
            comeBack(order[i], std::min(previous[i], longerSide(sites[order[i]])),
                     std::min(grown[i], kMostFollowedGrowth * previous[i]));
        }
    }
}

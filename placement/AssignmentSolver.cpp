#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/Parallel.h"
#include "engine/SearchPath.h"
#include "engine/StageTimes.h"
#include "placement/AssignmentCosts.h"
#include "placement/AssignmentTies.h"
#include "placement/AuctionAssignment.h"
#include "placement/SolverSteps.h"
#include "placement/SparseAssignment.h"

namespace {

constexpr long long kUnreached = std::numeric_limits<long long>::max() / 4;

// Shortest augmenting paths (Jonker-Volgenant) with column prices v: the reduced cost of (i, j)
// is c(i, j) - v[j] - u[i], u implicit. Every matched row sits at its smallest reduced cost, so
// no reduced cost is negative.
template <typename T>
class Solver {
  public:
    Solver(const Costs<T>& costs, int n)
        : c_(costs), n_(n), v_(n, 0), colOf_(n, -1), rowOf_(n, -1), d_(n), pred_(n), done_(n) {}

    void start(const AssignmentWarmStart& warm);
    void reduceFreeRows();
    void augment(int row);
    bool free(int row) const { return colOf_[row] < 0; }
    void keep(AssignmentWarmStart& warm) const {
        warm.prices = v_;
        warm.columns = colOf_;
    }

  private:
    void match(int i, int j) {
        colOf_[i] = j;
        rowOf_[j] = i;
    }
    int matchTight(const std::vector<int32_t>& previous);
    void unmatchAll() {
        std::fill(colOf_.begin(), colOf_.end(), -1);
        std::fill(rowOf_.begin(), rowOf_.end(), -1);
    }

    const Costs<T>& c_;
    int n_;
    std::vector<long long> v_;
    std::vector<int32_t> colOf_, rowOf_;
    std::vector<long long> d_;
    std::vector<int32_t> pred_;
    std::vector<char> done_;
    std::vector<int32_t> scanned_;
};

// Matches the previous pairs that sit at their row's smallest reduced cost, then each free row to
// its cheapest column if that is free; returns the number of matched rows.
template <typename T>
int Solver<T>::matchTight(const std::vector<int32_t>& previous) {
    std::vector<long long> u(n_, kUnreached);
    std::vector<int32_t> cheapest(n_, 0);
    for (int i = 0; i < n_; ++i) {
        for (int j = 0; j < n_; ++j) {
            const long long r = c_(i, j) - v_[j];
            if (r < u[i]) {
                u[i] = r;
                cheapest[i] = j;
            }
        }
    }
    int matched = 0;
    for (int i = 0; i < n_ && static_cast<int>(previous.size()) == n_; ++i) {
        const int j = previous[i];
        if (j >= 0 && j < n_ && rowOf_[j] < 0 && c_(i, j) - v_[j] == u[i]) {
            match(i, j);
            ++matched;
        }
    }
    for (int i = 0; i < n_; ++i) {
        if (free(i) && rowOf_[cheapest[i]] < 0) {
            match(i, cheapest[i]);
            ++matched;
        }
    }
    return matched;
}

// The last frame's prices and pairs when they still solve the whole problem; otherwise each
// column priced at its cheapest row (the layers' new starts are last frame's sites, which those
// prices never saw), keeping the last frame's pairs that are still tight.
template <typename T>
void Solver<T>::start(const AssignmentWarmStart& warm) {
    if (static_cast<int>(warm.prices.size()) == n_) {
        v_ = warm.prices;
        if (matchTight(warm.columns) == n_) {
            return;
        }
        unmatchAll();
    }
    std::fill(v_.begin(), v_.end(), kUnreached);
    for (int i = 0; i < n_; ++i) {
        for (int j = 0; j < n_; ++j) {
            v_[j] = std::min(v_[j], c_(i, j));
        }
    }
    matchTight(warm.columns);
}

template <typename T>
void Solver<T>::reduceFreeRows() {
    reduceRows(
        n_, [&](int i, int j) { return c_(i, j); },
        [&](int, auto&& visit) {
            for (int j = 0; j < n_; ++j) {
                visit(j);
            }
        },
        v_, colOf_, rowOf_);
}

// Dijkstra over the columns from a free row to the nearest free column (among equally near
// columns a free one, then the lowest index, so that ties end the search at once), then prices of
// the settled columns move so that the path's pairs stay tight.
template <typename T>
void Solver<T>::augment(int row) {
    long long mu = kUnreached;
    int next = -1;
    for (int j = 0; j < n_; ++j) {
        d_[j] = c_(row, j) - v_[j];
        pred_[j] = row;
        done_[j] = 0;
        if (d_[j] < mu || (d_[j] == mu && rowOf_[next] >= 0 && rowOf_[j] < 0)) {
            mu = d_[j];
            next = j;
        }
    }
    scanned_.clear();
    while (rowOf_[next] >= 0) {
        const int j = next;
        done_[j] = 1;
        scanned_.push_back(j);
        const int r = rowOf_[j];
        const long long h = c_(r, j) - v_[j];
        const long long base = mu;
        mu = kUnreached;
        next = -1;
        for (int k = 0; k < n_; ++k) {
            if (done_[k]) {
                continue;
            }
            const long long nd = base + c_(r, k) - v_[k] - h;
            if (nd < d_[k]) {
                d_[k] = nd;
                pred_[k] = r;
            }
            if (d_[k] < mu || (d_[k] == mu && rowOf_[next] >= 0 && rowOf_[k] < 0)) {
                mu = d_[k];
                next = k;
            }
        }
        assert(next >= 0);
    }
    repriceSettled(scanned_, d_, mu, v_);
    flipPath(next, row, pred_, colOf_, rowOf_);
}

template <typename T>
std::vector<int32_t> solve(const Costs<T>& costs, AssignmentWarmStart& warm) {
    Solver<T> solver(costs, costs.n);
    solver.start(warm);
    solver.reduceFreeRows();
    for (int i = 0; i < costs.n; ++i) {
        if (solver.free(i)) {
            solver.augment(i);
        }
    }
    solver.keep(warm);
    return warm.columns;
}

}  // namespace

bool costsFit32Bits(const std::vector<Point2D>& from, const std::vector<Point2D>& to) {
    double lo = 0.0, hi = 0.0;
    bool first = true;
    for (const auto* points : {&from, &to}) {
        for (const Point2D& p : *points) {
            for (const float v : {p.x, p.y, p.z}) {
                if (!std::isfinite(v)) {
                    return false;
                }
                lo = first ? v : std::min(lo, double(v));
                hi = first ? v : std::max(hi, double(v));
                first = false;
            }
        }
    }
    return hi - lo < 26000.0;  // three squared spans stay below 2^31
}

namespace {

// Calls f with the cost matrix, in 32 bits when every cost fits.
template <typename F>
std::vector<int32_t> withCosts(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                               const std::vector<bool>& known, F&& f) {
    assert(to.size() == from.size() && known.size() == from.size());
    if (costsFit32Bits(from, to)) {
        return f(costMatrix<int32_t>(from, to, known));
    }
    return f(costMatrix<long long>(from, to, known));
}

// True when every layer starts on one point (new layers all at the composition's centre), or
// no layer's start is known.
bool startsAlike(const std::vector<Point2D>& from, const std::vector<bool>& known) {
    for (size_t i = 1; i < from.size(); ++i) {
        const bool same = known[i] == known[0] &&
                          (!known[i] || (from[i].x == from[0].x && from[i].y == from[0].y &&
                                         from[i].z == from[0].z));
        if (!same) {
            return false;
        }
    }
    return true;
}

// True when the known starts' bounding box covers less than half the sites' box (its area).
bool startsNarrowerThanSites(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                             const std::vector<bool>& known) {
    auto area = [](const std::vector<Point2D>& points, auto&& take) {
        double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
        bool first = true;
        for (size_t k = 0; k < points.size(); ++k) {
            if (!take(k)) {
                continue;
            }
            const Point2D& p = points[k];
            x0 = first ? p.x : std::min(x0, double(p.x));
            x1 = first ? p.x : std::max(x1, double(p.x));
            y0 = first ? p.y : std::min(y0, double(p.y));
            y1 = first ? p.y : std::max(y1, double(p.y));
            first = false;
        }
        return (x1 - x0) * (y1 - y0);
    };
    const double starts = area(from, [&](size_t k) { return bool(known[k]); });
    return starts < 0.5 * area(
                              to, [](size_t) { return true; });
}

// True when the sites fill less than half as many cells of a grid over the starts and the sites
// (about four points to a cell) as the known starts do: sites on a thin ring or a small shape,
// starts spread around them. Most layers then start far from every site and want the same few.
bool sitesNarrowerThanStarts(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                             const std::vector<bool>& known) {
    double x0 = to[0].x, x1 = to[0].x, y0 = to[0].y, y1 = to[0].y;
    for (size_t k = 0; k < from.size(); ++k) {
        for (const Point2D* p : {&from[k], &to[k]}) {
            if (p == &from[k] && !known[k]) {
                continue;
            }
            x0 = std::min(x0, double(p->x));
            x1 = std::max(x1, double(p->x));
            y0 = std::min(y0, double(p->y));
            y1 = std::max(y1, double(p->y));
        }
    }
    const int side = std::max(1, int(std::lround(std::sqrt(double(from.size()) / 4))));
    auto cellOf = [&](const Point2D& p) {
        const int cx = x1 > x0 ? std::min(side - 1, int((p.x - x0) / (x1 - x0) * side)) : 0;
        const int cy = y1 > y0 ? std::min(side - 1, int((p.y - y0) / (y1 - y0) * side)) : 0;
        return size_t(std::max(0, cy) * side + std::max(0, cx));
    };
    std::vector<char> filled(size_t(side) * side, 0);
    int starts = 0, sites = 0;
    for (size_t k = 0; k < from.size(); ++k) {
        if (known[k] && !(filled[cellOf(from[k])] & 1)) {
            filled[cellOf(from[k])] |= 1;
            ++starts;
        }
        if (!(filled[cellOf(to[k])] & 2)) {
            filled[cellOf(to[k])] |= 2;
            ++sites;
        }
    }
    return 2 * sites < starts;
}

// Moves a least-total assignment, certified by prices, to the first one in row order.
template <typename Cost>
void takeFirst(const Cost& costs, const std::vector<long long>& prices,
               std::vector<int32_t>& columns) {
    TightPairs tight;
    if (!findTightPairs(costs, prices, columns, tight)) {
        throw std::logic_error("the assignment's prices do not certify it");
    }
    takeFirstOfLeastTotal(tight, columns);
}

}  // namespace

std::vector<int32_t> shortestPathAssignment(const std::vector<Point2D>& from,
                                            const std::vector<Point2D>& to,
                                            const std::vector<bool>& known,
                                            AssignmentWarmStart& warm) {
    const DistanceCosts distances{from, to, std::vector<char>(known.begin(), known.end())};
    if (startsAlike(from, known)) {
        // Every assignment has the same total; the first in row order is the identity, and
        // each site's cost certifies it.
        warm.columns.resize(from.size());
        warm.prices.resize(from.size());
        for (size_t j = 0; j < from.size(); ++j) {
            warm.columns[j] = int32_t(j);
            warm.prices[j] = distances(0, int(j));
        }
        countAssignmentSolver(AssignmentSolver::StartsAlike);
        return warm.columns;
    }
    // A first frame from starts crowded into a small area (a corner, a column, far clusters), or
    // spread around sites in a small area (a thin ring): every layer wants the same few sites,
    // and the near pairs would only run out their budget.
    const bool cold = warm.prices.size() != from.size();
    if (cold &&
        (startsNarrowerThanSites(from, to, known) || sitesNarrowerThanStarts(from, to, known))) {
        return auctionAssignment(from, to, known, warm);
    }
    TightPairs tight;
    if (auto columns = sparseAssignment(distances, warm, tight)) {
        takeFirstOfLeastTotal(tight, *columns);
        warm.columns = *columns;
        countAssignmentSolver(AssignmentSolver::NearPairs);
        return *columns;
    }
    return auctionAssignment(from, to, known, warm);
}

std::vector<int32_t> auctionAssignment(const std::vector<Point2D>& from,
                                       const std::vector<Point2D>& to,
                                       const std::vector<bool>& known, AssignmentWarmStart& warm) {
    assert(to.size() == from.size() && known.size() == from.size());
    if (costsFit32Bits(from, to)) {
        const DistanceCosts costs{from, to, std::vector<char>(known.begin(), known.end())};
        AuctionResult auction = solveByAuction(costs, startsNarrowerThanSites(from, to, known));
        std::vector<int32_t> columns = std::move(auction.columns);
        warm.prices = certifyingPrices(costs, columns, std::move(auction.prices));
        takeFirst(costs, warm.prices, columns);
        warm.columns = columns;  // still tight: every least-total pair is
        countAssignmentSolver(AssignmentSolver::Auction);
        return columns;
    }
    countAssignmentSolver(AssignmentSolver::Dense);
    return withCosts(from, to, known, [&](const auto& costs) {
        std::vector<int32_t> columns = solve(costs, warm);
        takeFirst(costs, warm.prices, columns);
        warm.columns = columns;  // still tight: every least-total pair is
        return columns;
    });
}

std::vector<int32_t> referenceAssignment(const std::vector<Point2D>& from,
                                         const std::vector<Point2D>& to,
                                         const std::vector<bool>& known) {
    return withCosts(from, to, known, [&](const auto& costs) {
        std::vector<int32_t> columns = minimumDistanceAssignment(from, to, known);
        takeFirst(costs, certifyingPrices(costs, columns), columns);
        return columns;
    });
}

std::vector<int32_t> assignLayers(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                                  const std::vector<bool>& known, AssignmentWarmStart& warm) {
    return searchPath() == SearchPath::Reference ? referenceAssignment(from, to, known)
                                                 : shortestPathAssignment(from, to, known, warm);
}

#include "placement/SparseAssignment.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "engine/Parallel.h"
#include "placement/AssignmentCosts.h"
#include "placement/AssignmentTies.h"
#include "placement/PointCells.h"
#include "placement/RadixHeap.h"
#include "placement/SolverSteps.h"

namespace {

constexpr long long kUnreached = std::numeric_limits<long long>::max() / 4;
constexpr int kNearSites = 16;
// Bidding for the starting prices when the sites moved: epsilon from 8 spacings squared down by
// quarters to a 32nd of one, each round's bids bounded.
constexpr double kFirstBidStep = 8.0;
constexpr double kLastBidStep = 1.0 / 32.0;
constexpr long long kBidStepFall = 4;
constexpr long long kBidsPerLayer = 50;
// Rounds of checking and solving again before the dense solver is asked instead.
constexpr int kMaxRounds = 40;
// Pairs the searches of a first frame may read per layer before the whole-matrix solver is asked
// instead: scattered starts settle within it up to about 1000 layers; starts far from their
// sites (many layers wanting the same few sites) would read nearly every pair of every row.
constexpr long long kWorkPerLayer = 4000;

// Square cells holding about two sites each over the sites' bounds; starts outside the bounds
// search from the nearest border cell.
struct SiteCells {
    double x0 = 0, y0 = 0, cell = 1;
    int columns = 1, rows = 1;
    std::vector<int32_t> start, ids;

    explicit SiteCells(const std::vector<Point2D>& to) {
        const PointBounds bounds = boundsOf(to);
        x0 = bounds.x0;
        y0 = bounds.y0;
        const double w = bounds.width, h = bounds.height, n = double(to.size());
        cell = std::max({std::sqrt(2.0 * w * h / n), 2.0 * std::max(w, h) / n, 1e-3});
        columns = std::min(int(w / cell) + 1, 4096);
        rows = std::min(int(h / cell) + 1, 4096);
        std::vector<int32_t> of(to.size());
        for (size_t j = 0; j < to.size(); ++j) {
            of[j] = cellOf(to[j].x, to[j].y);
        }
        CellBuckets buckets = bucketByCell(of, size_t(columns) * rows);
        start = std::move(buckets.start);
        ids = std::move(buckets.order);
    }
    int clampCell(double v, int count) const {
        return !(v > 0.0) ? 0 : (v >= count - 1 ? count - 1 : int(v));
    }
    int cellOf(double x, double y) const {
        return clampCell((y - y0) / cell, rows) * columns + clampCell((x - x0) / cell, columns);
    }
    // Every site within radius of (x, y), and perhaps a few beyond.
    template <typename Visit>
    void forEachWithin(double x, double y, double radius, Visit&& visit) const {
        const int left = clampCell((x - radius - x0) / cell, columns);
        const int right = clampCell((x + radius - x0) / cell, columns);
        const int top = clampCell((y - radius - y0) / cell, rows);
        const int bottom = clampCell((y + radius - y0) / cell, rows);
        for (int cy = top; cy <= bottom; ++cy) {
            for (int32_t p = start[size_t(cy) * columns + left];
                 p < start[size_t(cy) * columns + right + 1]; ++p) {
                visit(ids[size_t(p)]);
            }
        }
    }
    // Sites of the ring of cells at Chebyshev distance r around (cx, cy).
    template <typename Visit>
    void ring(int cx, int cy, int r, Visit&& visit) const {
        for (int y = cy - r; y <= cy + r; ++y) {
            if (y < 0 || y >= rows) {
                continue;
            }
            const bool edge = y == cy - r || y == cy + r;
            for (int x = cx - r; x <= cx + r; x += edge ? 1 : std::max(2 * r, 1)) {
                if (x >= 0 && x < columns) {
                    const size_t c = size_t(y) * columns + x;
                    for (int32_t p = start[c]; p < start[c + 1]; ++p) {
                        visit(ids[size_t(p)]);
                    }
                }
            }
        }
    }
};

// A row's pair: a column and its cost, side by side for the searches (the near pairs serve only
// costs that fit 32 bits).
struct Pair {
    int32_t column;
    int32_t cost;
};

// Shortest augmenting paths over the near pairs, with column prices v: a matched row sits at the
// smallest reduced cost c(i, j) - v[j] over its pairs.
class SparseSolver {
  public:
    SparseSolver(const DistanceCosts& c, const SiteCells& cells,
                 std::vector<std::vector<int32_t>> pairs)
        : c_(c),
          cells_(cells),
          n_(int(pairs.size())),
          pairs_(pairs.size()),
          v_(n_, 0),
          colOf_(n_, -1),
          rowOf_(n_, -1),
          d_(n_, kUnreached),
          pred_(n_),
          done_(n_, 0) {
        for (int i = 0; i < n_; ++i) {
            pairs_[size_t(i)].reserve(pairs[size_t(i)].size());
            for (const int32_t j : pairs[size_t(i)]) {
                addPair(i, j);
            }
        }
    }

    void start(const AssignmentWarmStart& warm);
    // Augments from a free row; a row whose near pairs reach no free column is paired with
    // every column (layers crowded on one point share their near sites).
    void augment(int row) {
        if (!search(row)) {
            pairs_[size_t(row)].clear();
            for (int j = 0; j < n_; ++j) {
                addPair(row, j);
            }
            work_ += n_;
            const bool found = search(row);
            assert(found);
            (void)found;
        }
    }
    bool free(int row) const { return colOf_[row] < 0; }
    void reduceFreeRows() {
        reduceRows(
            n_, c_,
            [&](int i, auto&& visit) {
                for (const Pair& p : pairs_[size_t(i)]) {
                    visit(p.column);
                }
            },
            v_, colOf_, rowOf_);
    }
    // Adds the pairs that undercut their rows and frees those rows; false when there were none,
    // and then tight holds every pair at its row's reduced cost.
    bool admitCheaperPairs(TightPairs& tight);
    const std::vector<long long>& prices() const { return v_; }
    long long work() const { return work_; }
    const std::vector<int32_t>& columns() const { return colOf_; }

  private:
    void match(int i, int j) {
        colOf_[i] = j;
        rowOf_[j] = i;
    }
    long long reduced(int i, int j) const { return c_(i, j) - v_[j]; }
    // Row i's pair with column j, its cost kept beside it: the searches read it many times.
    void addPair(int i, int32_t j) { pairs_[size_t(i)].push_back(Pair{j, int32_t(c_(i, j))}); }
    int cheapest(int i) const;
    bool search(int row);
    bool matchWarm(const AssignmentWarmStart& warm);
    void bidForPrices();

    const DistanceCosts& c_;
    const SiteCells& cells_;
    int n_;
    std::vector<std::vector<Pair>> pairs_;
    std::vector<long long> v_;
    std::vector<int32_t> colOf_, rowOf_;
    std::vector<long long> d_;
    std::vector<int32_t> pred_;
    std::vector<char> done_;
    std::vector<int32_t> touched_, scanned_;
    RadixHeap heap_;
    long long work_ = 0;  // pairs read by the searches
};

int SparseSolver::cheapest(int i) const {
    int best = -1;
    long long lowest = kUnreached;
    for (const Pair& p : pairs_[size_t(i)]) {
        const long long h = p.cost - v_[p.column];
        if (h < lowest) {
            lowest = h;
            best = p.column;
        }
    }
    return best;
}

// Last frame's prices and columns, where each row's column is still among its cheapest; true
// when every row is matched that way (the sites did not move).
bool SparseSolver::matchWarm(const AssignmentWarmStart& warm) {
    v_ = warm.prices;
    int matched = 0;
    for (int i = 0; i < n_; ++i) {
        const int j = warm.columns[size_t(i)];
        const int best = cheapest(i);
        if (j >= 0 && j < n_ && rowOf_[j] < 0 && best >= 0 && reduced(i, j) == reduced(i, best)) {
            match(i, j);
            ++matched;
        }
    }
    return matched == n_;
}

// New sites (a Seed per frame) need prices that lean across the whole shape, where a layer's
// nearest sites are not its share: the shortest paths build that lean one search at a time, each
// settling most columns. An auction over the near pairs with epsilon scaling, stopped at an
// epsilon of a fraction of the sites' spacing squared, finds it in a few bids a layer; the paths
// then only settle what is left, and the answer and its certificate are theirs as before.
void SparseSolver::bidForPrices() {
    const double spacing = cells_.cell * cells_.cell / 2.0;  // the cells hold about two sites
    const auto last = std::max<long long>(1, static_cast<long long>(spacing * kLastBidStep));
    std::vector<long long> p(size_t(n_), 0);
    std::vector<int32_t> owner(p.size()), waiting;
    // A row's cheapest pair at the prices p, and the gap to its second cheapest (0 alone),
    // without branches: which pair is cheaper is not predictable.
    auto cheapestAt = [&](int i) {
        long long best = kUnreached, second = kUnreached;
        int j1 = -1;
        for (const Pair& q : pairs_[size_t(i)]) {
            const long long w = q.cost + p[size_t(q.column)];
            second = std::min(second, std::max(best, w));
            j1 = w < best ? q.column : j1;
            best = std::min(best, w);
        }
        return std::make_pair(j1, second == kUnreached ? 0 : second - best);
    };
    for (auto eps = std::max<long long>(1, static_cast<long long>(spacing * kFirstBidStep));;
         eps = std::max<long long>(eps / kBidStepFall, 1)) {
        // Every row bids again at each epsilon: keeping the rows still within it took more bids.
        std::fill(owner.begin(), owner.end(), -1);
        waiting.resize(size_t(n_));
        std::iota(waiting.begin(), waiting.end(), 0);
        // Each bid frees at most one row; the rows still waiting when the bids run out are left
        // to the shortest paths.
        for (long long bids = 0; !waiting.empty() && bids < kBidsPerLayer * n_; ++bids) {
            const int i = waiting.back();
            waiting.pop_back();
            const auto [j1, gap] = cheapestAt(i);
            if (j1 < 0) {
                continue;  // a row without pairs
            }
            p[size_t(j1)] += gap + eps;
            if (owner[size_t(j1)] >= 0) {
                waiting.push_back(owner[size_t(j1)]);
            }
            owner[size_t(j1)] = i;
        }
        if (eps <= last) {
            break;
        }
    }
    for (int j = 0; j < n_; ++j) {
        v_[size_t(j)] = -p[size_t(j)];
    }
}

void SparseSolver::start(const AssignmentWarmStart& warm) {
    if (int(warm.prices.size()) == n_ && int(warm.columns.size()) == n_) {
        for (int i = 0; i < n_; ++i) {  // last frame's column is a pair of its row
            const int j = warm.columns[size_t(i)];
            const auto& p = pairs_[size_t(i)];
            if (j >= 0 && j < n_ &&
                std::none_of(p.begin(), p.end(), [&](const Pair& q) { return q.column == j; })) {
                addPair(i, j);
            }
        }
        if (matchWarm(warm)) {
            return;
        }
        std::fill(colOf_.begin(), colOf_.end(), -1);
        std::fill(rowOf_.begin(), rowOf_.end(), -1);
        bidForPrices();
        for (int i = 0; i < n_; ++i) {
            const int j = cheapest(i);
            if (j >= 0 && rowOf_[j] < 0) {
                match(i, j);
            }
        }
        return;
    }
    // Each column priced at its cheapest pair; each row takes its cheapest column if still free.
    std::fill(v_.begin(), v_.end(), kUnreached);
    for (int i = 0; i < n_; ++i) {
        for (const Pair& p : pairs_[size_t(i)]) {
            v_[p.column] = std::min(v_[p.column], static_cast<long long>(p.cost));
        }
    }
    for (long long& price : v_) {
        price = price == kUnreached ? 0 : price;
    }
    for (int i = 0; i < n_; ++i) {
        const int j = cheapest(i);
        if (j >= 0 && rowOf_[j] < 0) {
            match(i, j);
        }
    }
}

// Dijkstra over the columns from a free row, through the pairs, to the nearest free column;
// the settled columns' prices then move so that the path's pairs stay tight.
bool SparseSolver::search(int row) {
    // Distances only grow from the least first reach, which is the heap's zero.
    long long base = kUnreached;
    for (const Pair& p : pairs_[size_t(row)]) {
        base = std::min(base, p.cost - v_[p.column]);
    }
    heap_.clear();
    auto reach = [&](int j, long long dist, int from) {
        if (dist < d_[j]) {
            if (d_[j] == kUnreached) {
                touched_.push_back(j);
            }
            d_[j] = dist;
            pred_[j] = from;
            assert(dist >= base);  // a matched row sits at its least reduced cost
            heap_.push(uint64_t(dist - base), j);
        }
    };
    for (const Pair& p : pairs_[size_t(row)]) {
        reach(p.column, p.cost - v_[p.column], row);
    }
    int end = -1;
    long long mu = 0;
    while (!heap_.empty()) {
        const auto [key, j] = heap_.pop();
        const long long dist = base + static_cast<long long>(key);
        if (done_[j] || dist != d_[j]) {
            continue;
        }
        done_[j] = 1;
        mu = dist;
        if (rowOf_[j] < 0) {
            end = j;
            break;
        }
        scanned_.push_back(j);
        const int r = rowOf_[j];
        const long long h = reduced(r, j);
        const std::vector<Pair>& pairs = pairs_[size_t(r)];
        work_ += static_cast<long long>(pairs.size());
        for (const Pair& p : pairs) {
            const int32_t k = p.column;
            const long long reducedCost = p.cost - v_[k];
            // Distances only grow along a path when a matched row sits at its least reduced cost.
            if (reducedCost < h) {
                throw std::logic_error(
                    "near-pairs search: a matched row is not at its least reduced cost");
            }
            if (!done_[k]) {
                reach(k, mu + reducedCost - h, r);
            }
        }
    }
    if (end >= 0) {
        repriceSettled(scanned_, d_, mu, v_);
        flipPath(end, row, pred_, colOf_, rowOf_);
    }
    for (const int32_t j : touched_) {
        d_[j] = kUnreached;
        done_[j] = 0;
    }
    touched_.clear();
    scanned_.clear();
    return end >= 0;
}

bool SparseSolver::admitCheaperPairs(TightPairs& tight) {
    const long long highest = *std::max_element(v_.begin(), v_.end());
    tight.clear(n_);
    std::vector<std::vector<int32_t>> cheaper{size_t(n_)};
    parallelFor(size_t(n_), [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const long long own = reduced(int(i), colOf_[i]);
            // A pair can match or undercut its row's own only if its cost is below own plus the
            // highest price: only sites that near (with room for the costs' rounding) are read.
            const double reach = std::sqrt((double(own + highest) + 2.0) * (1.0 + 1e-5));
            const Point2D& p = c_.from[i];
            uint64_t* row = &tight.bits[i * tight.words];
            cells_.forEachWithin(p.x, p.y, reach, [&](int32_t j) {
                const long long r = reduced(int(i), j);
                if (r < own) {
                    cheaper[i].push_back(j);
                } else if (r == own) {
                    TightPairs::mark(row, j);
                }
            });
        }
    });
    bool any = false;
    for (int i = 0; i < n_; ++i) {
        if (!cheaper[size_t(i)].empty()) {
            any = true;
            for (const int32_t j : cheaper[size_t(i)]) {
                addPair(i, j);
            }
            rowOf_[colOf_[i]] = -1;
            colOf_[i] = -1;
        }
    }
    if (!any) {
        listByColumn(tight);
    }
    return any;
}

// Layers crowded on one start (new layers all at the composition's centre) share their near
// sites and would search every column in turn: the dense solver serves them better.
bool crowdedStarts(const std::vector<Point2D>& from) {
    std::vector<std::pair<float, float>> starts;
    starts.reserve(from.size());
    for (const Point2D& p : from) {
        starts.emplace_back(p.x, p.y);
    }
    std::sort(starts.begin(), starts.end());
    size_t run = 1;
    for (size_t k = 1; k < starts.size(); ++k) {
        run = starts[k] == starts[k - 1] ? run + 1 : 1;
        if (run > kNearSites / 2) {
            return true;
        }
    }
    return false;
}

std::vector<std::vector<int32_t>> nearSites(const std::vector<Point2D>& from,
                                            const SiteCells& cells, size_t sites, int wanted) {
    std::vector<std::vector<int32_t>> near(from.size());
    const size_t enough = std::min(size_t(wanted), sites);
    parallelFor(from.size(), [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const int cx = cells.clampCell((from[i].x - cells.x0) / cells.cell, cells.columns);
            const int cy = cells.clampCell((from[i].y - cells.y0) / cells.cell, cells.rows);
            const int widest = std::max(cells.columns, cells.rows);
            // Rings until enough sites, and one ring more: the nearest may lie just beyond.
            int extra = 1;
            for (int r = 0; r <= widest && extra >= 0; ++r) {
                cells.ring(cx, cy, r, [&](int32_t j) { near[i].push_back(j); });
                extra -= near[i].size() >= enough ? 1 : 0;
            }
        }
    });
    return near;
}

}  // namespace

std::optional<std::vector<int32_t>> sparseAssignment(const DistanceCosts& costs,
                                                     AssignmentWarmStart& warm, TightPairs& tight) {
    const int n = static_cast<int>(costs.from.size());
    if (std::find(costs.known.begin(), costs.known.end(), 0) != costs.known.end()) {
        return std::nullopt;  // an unknown start is near every site alike
    }
    if (crowdedStarts(costs.from) || !costsFit32Bits(costs.from, costs.to)) {
        return std::nullopt;  // and points far apart or not finite: no grid of cells fits them
    }
    if (n == 0) {
        return std::vector<int32_t>();
    }
    const SiteCells cells(costs.to);
    SparseSolver solver(costs, cells, nearSites(costs.from, cells, costs.to.size(), kNearSites));
    solver.start(warm);
    // Later frames start from the last frame's prices and stay within a few rounds; the first
    // one, from wherever the layers start, gets a budget.
    const bool cold = int(warm.prices.size()) != n;
    const long long budget = cold ? kWorkPerLayer * n : std::numeric_limits<long long>::max();
    for (int round = 0; round < kMaxRounds; ++round) {
        solver.reduceFreeRows();
        for (int i = 0; i < n; ++i) {
            if (solver.free(i)) {
                solver.augment(i);
                if (solver.work() > budget) {
                    return std::nullopt;
                }
            }
        }
        if (!solver.admitCheaperPairs(tight)) {
            warm.prices = solver.prices();
            warm.columns = solver.columns();
            return warm.columns;
        }
    }
    return std::nullopt;
}

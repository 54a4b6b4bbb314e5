#include "placement/AuctionAssignment.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Packed single precision gives the scalar costs' very roundings only where the compiler fuses
// no multiply-add in the scalar ones (no FMA instructions to fuse into).
#if (defined(__x86_64__) || defined(_M_X64)) && !defined(__FMA__) && !defined(__AVX2__)
#include <emmintrin.h>
#define TESSARON_PACKED_COSTS 1
#endif

namespace {

constexpr long long kNone = std::numeric_limits<long long>::max();
// Columns each row remembers from its last full scan.
constexpr int kListed = 12;
// The first epsilon is the highest cost over this, or over an eighth of it for rows that start
// in a small area; each round divides it by kEpsilonStep.
constexpr long long kFirstEpsilonDivisor = 64;
constexpr long long kEpsilonStep = 8;
// Sites to a cell of the scans' grid (a full box; fewer where the sites leave cells empty).
constexpr double kPerCell = 32;

// Forward auction for the least total: a row's value for column j is its scaled cost plus the
// column's price, and it bids for the column of least value, raising its price by the gap to the
// second least plus epsilon. Prices only rise, so a row keeps the kListed columns of least value
// from its last scan of the whole row and the least value beyond them (bound): while the listed
// second least is no higher than bound, the list alone gives the bid.
class Auction {
  public:
    Auction(const DistanceCosts& c, long long firstDivisor, std::vector<int32_t> cellStart)
        : c_(c),
          firstDivisor_(firstDivisor),
          n_(int(c.from.size())),
          listed_(std::min(kListed, std::max(n_ - 1, 1))),
          scale_(n_ + 1),
          p_(n_, 0),
          colOf_(n_, -1),
          rowOf_(n_, -1),
          list_(size_t(n_) * listed_, -1),
          listedCost_(size_t(n_) * listed_),
          bound_(n_, -1),
          x_(size_t(n_), 0.0f),
          y_(size_t(n_), 0.0f),
          z_(size_t(n_), 0.0f),
          pd_(size_t(n_), 0.0),
          held_(size_t(n_), 0),
          cellStart_(std::move(cellStart)) {
        for (int j = 0; j < n_; ++j) {
            x_[size_t(j)] = c.to[size_t(j)].x;
            y_[size_t(j)] = c.to[size_t(j)].y;
            z_[size_t(j)] = c.to[size_t(j)].z;
        }
        const size_t cells = cellStart_.size() - 1;
        for (auto* bounds : {&x0_, &x1_, &y0_, &y1_, &z0_, &z1_, &cellPrice_, &cellBound_}) {
            bounds->resize(cells);
        }
        for (size_t k = 0; k < cells; ++k) {
            const size_t j0 = size_t(cellStart_[k]);
            x0_[k] = x1_[k] = x_[j0];
            y0_[k] = y1_[k] = y_[j0];
            z0_[k] = z1_[k] = z_[j0];
            for (size_t j = j0; j < size_t(cellStart_[k + 1]); ++j) {
                x0_[k] = std::min(x0_[k], double(x_[j]));
                x1_[k] = std::max(x1_[k], double(x_[j]));
                y0_[k] = std::min(y0_[k], double(y_[j]));
                y1_[k] = std::max(y1_[k], double(y_[j]));
                z0_[k] = std::min(z0_[k], double(z_[j]));
                z1_[k] = std::max(z1_[k], double(z_[j]));
            }
        }
    }

    AuctionResult run() {
        if (n_ == 1) {
            return {{0}, {0}};
        }
        const long long highest = highestCost();
        // Values in doubles are exact below 2^53: costs below 2^50 and prices below 2^51 (bids
        // that raise one further end the packed scans).
        packed_ = highest * scale_ < (1LL << 50);
        long long epsilon = std::max(1LL, highest * scale_ / firstDivisor_);
        if (const long long near = pricesAlongLine(); near > 0) {
            epsilon = std::min(epsilon, near * scale_);
        } else if (const long long spread = pricesAroundStarts(highest); spread > 0) {
            epsilon = std::min(epsilon, std::max(1LL, spread * scale_ / firstDivisor_));
        }
        for (;;) {
            round(epsilon);
            if (epsilon == 1) {
                break;
            }
            epsilon = std::max(1LL, epsilon / kEpsilonStep);
        }
        AuctionResult result{colOf_, std::vector<long long>(size_t(n_))};
        for (int j = 0; j < n_; ++j) {
            result.prices[size_t(j)] = -(p_[size_t(j)] / scale_);
        }
        return result;
    }

  private:
    long long cost(int i, int j) const { return c_(i, j); }
    long long listedValue(size_t at) const {
        return listedCost_[at] * scale_ + p_[size_t(list_[at])];
    }

    // The least listed value; kNone when the list may not hold the row's least.
    long long leastListed(int i) const {
        if (bound_[size_t(i)] < 0) {
            return kNone;
        }
        long long least = kNone;
        for (int q = 0; q < listed_; ++q) {
            least = std::min(least, listedValue(size_t(i) * listed_ + q));
        }
        return least <= bound_[size_t(i)] ? least : kNone;
    }

#ifdef TESSARON_PACKED_COSTS
    // Row i's costs of columns j .. j + 3, as the scalar costs (squared distances in single
    // precision, truncated), in doubles.
    void packedCosts(const __m128& ax, const __m128& ay, const __m128& az, int j, __m128d& low,
                     __m128d& high) const {
        const __m128 dx = _mm_sub_ps(_mm_loadu_ps(&x_[size_t(j)]), ax);
        const __m128 dy = _mm_sub_ps(_mm_loadu_ps(&y_[size_t(j)]), ay);
        const __m128 dz = _mm_sub_ps(_mm_loadu_ps(&z_[size_t(j)]), az);
        const __m128 d =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
        low = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_cvtps_pd(d)));
        high = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_cvtps_pd(_mm_movehl_ps(d, d))));
    }
#endif

    // The highest cost of any pair (the first epsilon's measure).
    long long highestCost() const {
        long long highest = 0;
        for (int i = 0; i < n_; ++i) {
            if (!c_.known[size_t(i)]) {
                continue;
            }
            int j = 0;
#ifdef TESSARON_PACKED_COSTS
            const Point2D& a = c_.from[size_t(i)];
            const __m128 ax = _mm_set1_ps(a.x), ay = _mm_set1_ps(a.y), az = _mm_set1_ps(a.z);
            __m128d most = _mm_setzero_pd();
            for (; j + 4 <= n_; j += 4) {
                __m128d low, high;
                packedCosts(ax, ay, az, j, low, high);
                most = _mm_max_pd(most, _mm_max_pd(low, high));
            }
            double lanes[2];
            _mm_storeu_pd(lanes, most);
            highest = std::max(highest, static_cast<long long>(std::max(lanes[0], lanes[1])));
#endif
            for (; j < n_; ++j) {
                highest = std::max(highest, cost(i, j));
            }
        }
        return highest;
    }

    // The starts' mean in x and y; false when a start is unknown or the starts or the sites
    // differ in z (the prices below model x and y alone).
    bool flatStartsMean(double& mx, double& my) const {
        for (int i = 0; i < n_; ++i) {
            if (!c_.known[size_t(i)] || c_.from[size_t(i)].z != c_.from[0].z ||
                c_.to[size_t(i)].z != c_.to[0].z) {
                return false;
            }
            mx += c_.from[size_t(i)].x;
            my += c_.from[size_t(i)].y;
        }
        mx /= n_;
        my /= n_;
        return true;
    }

    // Starts on one line (a column of layers, a diagonal): every row ranks the columns by much
    // the same measure, and from zero prices the bids would creep up by epsilon for ages. With
    // the starts at t along the line's direction and the sites at beta along it, the squared
    // distance is t^2 - 2 t beta + |site|^2 (from the starts' mean): rows in order of t taking
    // the sites in order of beta is least, and prices convex in beta make each row's own site
    // its cheapest. Those prices start the auction at an epsilon of the costs the line leaves
    // out (the starts' distances off it), or none when the starts are not on one line; returns
    // that epsilon, unscaled.
    long long pricesAlongLine() {
        const std::vector<Point2D>& from = c_.from;
        const std::vector<Point2D>& to = c_.to;
        double mx = 0, my = 0;
        if (!flatStartsMean(mx, my)) {
            return 0;
        }
        double sxx = 0, sxy = 0, syy = 0;
        for (const Point2D& a : from) {
            sxx += (a.x - mx) * (a.x - mx);
            sxy += (a.x - mx) * (a.y - my);
            syy += (a.y - my) * (a.y - my);
        }
        // The spread's axes: along the line (major) and across it.
        const double half = (sxx + syy) / 2;
        const double major = half + std::sqrt(std::max(0.0, half * half - (sxx * syy - sxy * sxy)));
        if (!(major > 0) || sxx + syy - major > 0.0025 * major) {
            return 0;
        }
        double dx = sxx >= syy ? major - syy : sxy, dy = sxx >= syy ? sxy : major - sxx;
        const double length = std::hypot(dx, dy);
        if (!(length > 0)) {
            return 0;
        }
        dx /= length;
        dy /= length;
        const size_t n = from.size();
        std::vector<double> t(n), beta(n), price(n);
        std::vector<int32_t> rows(n), columns(n);
        double off = 0, across = 0;
        for (size_t k = 0; k < n; ++k) {
            t[k] = (from[k].x - mx) * dx + (from[k].y - my) * dy;
            beta[k] = (to[k].x - mx) * dx + (to[k].y - my) * dy;
            off = std::max(off, std::abs((from[k].y - my) * dx - (from[k].x - mx) * dy));
            across = std::max(across, std::abs((to[k].y - my) * dx - (to[k].x - mx) * dy));
            rows[k] = columns[k] = int32_t(k);
        }
        std::sort(rows.begin(), rows.end(),
                  [&](int a, int b) { return t[size_t(a)] < t[size_t(b)]; });
        std::sort(columns.begin(), columns.end(),
                  [&](int a, int b) { return beta[size_t(a)] < beta[size_t(b)]; });
        double w = 0, lowest = 0;
        for (size_t k = 0; k < n; ++k) {
            const size_t j = size_t(columns[k]);
            if (k > 0) {
                // Between the slopes of the rows on either side: each keeps its own site.
                w += (t[size_t(rows[k - 1])] + t[size_t(rows[k])]) *
                     (beta[j] - beta[size_t(columns[k - 1])]);
            }
            const double bx = to[j].x - mx, by = to[j].y - my;
            price[j] = w - (bx * bx + by * by);
            lowest = k == 0 ? price[j] : std::min(lowest, price[j]);
        }
        double highestPrice = 0;
        for (size_t j = 0; j < n; ++j) {
            highestPrice = std::max(highestPrice, price[j] - lowest);
        }
        if (!(highestPrice * double(scale_) < double(1LL << 48))) {
            return 0;
        }
        // Prices from zero up, so that no value is negative.
        for (size_t j = 0; j < n; ++j) {
            p_[j] = std::llround(price[j] - lowest) * scale_;
            pd_[j] = double(p_[j]);
        }
        return 1 + static_cast<long long>(2 * off * across);
    }

    // Starts in a small area (a corner), far from most sites: every row's cost is mostly the
    // site's squared distance d^2 from the starts' mean m, less 2 (start - m) . (site - m),
    // which spans at most 2 r d for starts within r of m. Prices of d^2 leave the auction that
    // span to settle; returns it (unscaled), or none when it is not much below the highest
    // cost.
    long long pricesAroundStarts(long long highest) {
        const std::vector<Point2D>& from = c_.from;
        const std::vector<Point2D>& to = c_.to;
        double mx = 0, my = 0;
        if (!flatStartsMean(mx, my)) {
            return 0;
        }
        double r = 0, d = 0;
        for (size_t k = 0; k < from.size(); ++k) {
            r = std::max(r, std::hypot(from[k].x - mx, from[k].y - my));
            d = std::max(d, std::hypot(to[k].x - mx, to[k].y - my));
        }
        const double spread = 2 * r * d + 1;
        if (!(spread * 4 < double(highest)) || !(d * d * double(scale_) < double(1LL << 48))) {
            return 0;
        }
        // d^2 at most: prices from zero up, so that no value is negative.
        for (size_t j = 0; j < from.size(); ++j) {
            const double bx = to[j].x - mx, by = to[j].y - my;
            p_[j] = std::llround(std::max(0.0, d * d - (bx * bx + by * by))) * scale_;
            pd_[j] = double(p_[j]);
        }
        return static_cast<long long>(spread);
    }

    // Lists row i's columns of least value and the least value of the others. Costs come from
    // the points, four columns at a time where they can: rereading them from a whole matrix
    // would wait on memory.
    void scan(int i) {
        heap_.clear();
        // The columns listed last time are likely among the least still: starting from them,
        // few others displace one.
        const size_t at = size_t(i) * listed_;
        const bool again = list_[at] >= 0;
        if (again) {
            for (int q = 0; q < listed_; ++q) {
                heap_.emplace_back(listedValue(at + q), list_[at + q]);
                held_[size_t(list_[at + q])] = 1;
            }
            std::make_heap(heap_.begin(), heap_.end());
        }
        // A column in the heap is marked, so that one considered again is not listed twice.
        auto consider = [&](int j) {
            if (held_[size_t(j)]) {
                return;
            }
            const long long v = cost(i, j) * scale_ + p_[size_t(j)];
            if (int(heap_.size()) <= listed_) {
                heap_.emplace_back(v, j);
                std::push_heap(heap_.begin(), heap_.end());
                held_[size_t(j)] = 1;
            } else if (v < heap_.front().first) {
                std::pop_heap(heap_.begin(), heap_.end());
                held_[size_t(heap_.back().second)] = 0;
                heap_.back() = {v, j};
                std::push_heap(heap_.begin(), heap_.end());
                held_[size_t(j)] = 1;
            }
        };
        const int cells = int(cellStart_.size()) - 1;
        // Cells are passed over only while values in doubles are exact.
        const bool pruned = packed_ && c_.known[size_t(i)];
        int first = 0;
        if (pruned) {
            // Each cell's least value: its least price plus the least cost to its box, less a
            // unit and a little more for the costs' roundings in single precision.
            const Point2D& a = c_.from[size_t(i)];
            const double ax = a.x, ay = a.y, az = a.z, scale = double(scale_);
            for (int k = 0; k < cells; ++k) {
                const double dx = std::max(0.0, std::max(x0_[size_t(k)] - ax, ax - x1_[size_t(k)]));
                const double dy = std::max(0.0, std::max(y0_[size_t(k)] - ay, ay - y1_[size_t(k)]));
                const double dz = std::max(0.0, std::max(z0_[size_t(k)] - az, az - z1_[size_t(k)]));
                const double d = (dx * dx + dy * dy + dz * dz) * (1 - 1e-5) - 1;
                cellBound_[size_t(k)] = std::max(0.0, d) * scale + cellPrice_[size_t(k)];
            }
            first =
                int(std::min_element(cellBound_.begin(), cellBound_.end()) - cellBound_.begin());
        }
#ifdef TESSARON_PACKED_COSTS
        const bool packed = pruned;
        const Point2D& a = c_.from[size_t(i)];
        const __m128 ax = _mm_set1_ps(a.x), ay = _mm_set1_ps(a.y), az = _mm_set1_ps(a.z);
        const __m128d scale = _mm_set1_pd(double(scale_));
#endif
        // The cell of least bound first, so that the list's bound falls early.
        for (int step = 0; step < cells; ++step) {
            const int k = step == 0 ? first : step <= first ? step - 1 : step;
            if (pruned && int(heap_.size()) > listed_ &&
                cellBound_[size_t(k)] >= double(heap_.front().first)) {
                continue;
            }
            const int end = cellStart_[size_t(k) + 1];
            int j = cellStart_[size_t(k)];
            for (; j < end && int(heap_.size()) <= listed_; ++j) {
                consider(j);
            }
#ifdef TESSARON_PACKED_COSTS
            if (packed) {
                __m128d top = _mm_set1_pd(double(heap_.front().first));
                for (; j < end && j + 4 <= n_; j += 4) {
                    __m128d low, high;
                    packedCosts(ax, ay, az, j, low, high);
                    low = _mm_add_pd(_mm_mul_pd(low, scale), _mm_loadu_pd(&pd_[size_t(j)]));
                    high = _mm_add_pd(_mm_mul_pd(high, scale), _mm_loadu_pd(&pd_[size_t(j) + 2]));
                    // Lanes past the cell's end read the next cell's first columns: any
                    // column's value may be listed, once.
                    const int below = _mm_movemask_pd(_mm_cmplt_pd(low, top)) |
                                      _mm_movemask_pd(_mm_cmplt_pd(high, top)) << 2;
                    if (below == 0) {
                        continue;
                    }
                    for (int q = 0; q < 4; ++q) {
                        if (below >> q & 1) {
                            consider(j + q);
                        }
                    }
                    top = _mm_set1_pd(double(heap_.front().first));
                }
            }
#endif
            for (; j < end; ++j) {
                consider(j);
            }
        }
        for (const auto& held : heap_) {
            held_[size_t(held.second)] = 0;
        }
        std::pop_heap(heap_.begin(), heap_.end());
        bound_[size_t(i)] = heap_.back().first;
        for (int q = 0; q < listed_; ++q) {
            const int column = heap_[size_t(q)].second;
            list_[at + q] = column;
            listedCost_[at + q] = int32_t(cost(i, column));
        }
    }

    void bid(int i, long long epsilon) {
        long long first = kNone, second = kNone;
        int best = -1;
        for (;;) {
            const bool fresh = bound_[size_t(i)] < 0;
            if (fresh) {
                scan(i);
            }
            first = second = kNone;
            for (int q = 0; q < listed_; ++q) {
                const int j = list_[size_t(i) * listed_ + q];
                const long long v = listedValue(size_t(i) * listed_ + q);
                if (v < second) {
                    second = v < first ? first : v;
                    best = v < first ? j : best;
                    first = std::min(first, v);
                }
            }
            // The others cost at least bound: with the listed second no higher, the list holds
            // the row's least and second least. Right after a scan of a row listing one column,
            // bound stands in for the second (a lower second only makes a smaller, valid rise).
            if (second <= bound_[size_t(i)] || fresh) {
                second = std::min(second, bound_[size_t(i)]);
                break;
            }
            bound_[size_t(i)] = -1;  // the others may now be cheaper: scan again
        }
        p_[size_t(best)] += second - first + epsilon;
        pd_[size_t(best)] = double(p_[size_t(best)]);
        if (p_[size_t(best)] >= (1LL << 51)) {
            packed_ = false;  // values in doubles would soon round
        }
        const int previous = rowOf_[size_t(best)];
        if (previous >= 0) {
            colOf_[size_t(previous)] = -1;
            queue_.push_back(previous);
        }
        rowOf_[size_t(best)] = i;
        colOf_[size_t(i)] = best;
    }

    // One round at epsilon: rows whose column is within epsilon of their least keep it, the
    // others bid until every row holds a column.
    void round(long long epsilon) {
        // Prices only rise: each cell's least price now stays at most its columns' all round.
        for (size_t k = 0; k + 1 < cellStart_.size(); ++k) {
            long long least = kNone;
            for (int j = cellStart_[k]; j < cellStart_[k + 1]; ++j) {
                least = std::min(least, p_[size_t(j)]);
            }
            cellPrice_[k] = double(least);
        }
        queue_.clear();
        for (int i = n_ - 1; i >= 0; --i) {
            const int j = colOf_[size_t(i)];
            if (j >= 0) {
                const long long least = leastListed(i);
                if (least != kNone && cost(i, j) * scale_ + p_[size_t(j)] <= least + epsilon) {
                    continue;
                }
                rowOf_[size_t(j)] = -1;
                colOf_[size_t(i)] = -1;
            }
            queue_.push_back(i);
        }
        while (!queue_.empty()) {
            const int i = queue_.back();
            queue_.pop_back();
            bid(i, epsilon);
        }
    }

    const DistanceCosts& c_;
    long long firstDivisor_;
    int n_;
    int listed_;
    long long scale_;
    std::vector<long long> p_;
    std::vector<int32_t> colOf_, rowOf_;
    std::vector<int32_t> list_;
    std::vector<int32_t> listedCost_;  // row i's cost of each listed column: bids read no costs
    std::vector<long long> bound_;     // -1: the row's list is not current
    std::vector<std::pair<long long, int32_t>> heap_;
    std::vector<int32_t> queue_;
    std::vector<float> x_, y_, z_;  // the columns' points
    std::vector<double> pd_;        // p_ again, for the packed scans
    std::vector<char> held_;        // the columns in the scan's heap
    bool packed_ = false;
    // The columns come grouped by cells of the sites' plane: cell k holds columns
    // cellStart_[k] .. cellStart_[k + 1], within x0_[k] .. x1_[k] and so on; a scan passes over
    // a cell whose least cost from the row plus its least price cannot come below the values
    // already listed.
    std::vector<int32_t> cellStart_;
    std::vector<double> x0_, x1_, y0_, y1_, z0_, z1_;
    std::vector<double> cellPrice_;  // at most each cell's least price
    std::vector<double> cellBound_;  // the scanned row's least value in each cell, at most
};

}  // namespace

AuctionResult solveByAuction(const DistanceCosts& costs, bool narrowStarts) {
    if (costs.from.empty()) {
        return {};
    }
    const long long divisor = narrowStarts ? kFirstEpsilonDivisor / 8 : kFirstEpsilonDivisor;
    const std::vector<Point2D>& to = costs.to;
    const int n = int(to.size());
    if (narrowStarts) {
        // Seen from a small area far off, the sites of a cell differ in cost too much for its
        // box to pass over any: one cell, the sites in their order.
        return Auction(costs, divisor, {0, n}).run();
    }
    // The sites by cells of a grid over their box, about kPerCell to a cell of a full box.
    double x0 = to[0].x, x1 = to[0].x, y0 = to[0].y, y1 = to[0].y;
    for (const Point2D& p : to) {
        x0 = std::min(x0, double(p.x));
        x1 = std::max(x1, double(p.x));
        y0 = std::min(y0, double(p.y));
        y1 = std::max(y1, double(p.y));
    }
    const int side = std::max(1, int(std::lround(std::sqrt(double(n) / kPerCell))));
    auto cellOf = [&](const Point2D& p) {
        const int cx = x1 > x0 ? std::min(side - 1, int((p.x - x0) / (x1 - x0) * side)) : 0;
        const int cy = y1 > y0 ? std::min(side - 1, int((p.y - y0) / (y1 - y0) * side)) : 0;
        return std::max(0, cy) * side + std::max(0, cx);
    };
    std::vector<int32_t> count(size_t(side) * side + 1, 0), order(static_cast<size_t>(n));
    for (const Point2D& p : to) {
        ++count[size_t(cellOf(p)) + 1];
    }
    for (size_t k = 1; k < count.size(); ++k) {
        count[k] += count[k - 1];
    }
    std::vector<int32_t> cellStart;
    for (size_t k = 0; k < count.size(); ++k) {
        if (k == 0 || count[k] != count[k - 1]) {
            cellStart.push_back(count[k]);  // empty cells left out
        }
    }
    std::vector<int32_t> next(count.begin(), count.end() - 1);
    std::vector<Point2D> sorted(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) {
        const int32_t at = next[size_t(cellOf(to[size_t(j)]))]++;
        order[size_t(at)] = j;
        sorted[size_t(at)] = to[size_t(j)];
    }
    const DistanceCosts grouped{costs.from, sorted, costs.known};
    AuctionResult byCell = Auction(grouped, divisor, std::move(cellStart)).run();
    AuctionResult result{std::vector<int32_t>(size_t(n)), std::vector<long long>(size_t(n))};
    for (int i = 0; i < n; ++i) {
        result.columns[size_t(i)] = order[size_t(byCell.columns[size_t(i)])];
        result.prices[size_t(order[size_t(i)])] = byCell.prices[size_t(i)];
    }
    return result;
}

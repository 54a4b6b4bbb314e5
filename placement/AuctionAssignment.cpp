#include "placement/AuctionAssignment.h"

#include <algorithm>
#include <limits>

namespace {

constexpr long long kNone = std::numeric_limits<long long>::max();
// Columns each row remembers from its last full scan.
constexpr int kListed = 12;
// The first epsilon is the highest cost over this, or over an eighth of it for rows that start
// in a small area; each round divides it by kEpsilonStep.
constexpr long long kFirstEpsilonDivisor = 64;
constexpr long long kEpsilonStep = 8;

// Forward auction for the least total: a row's value for column j is its scaled cost plus the
// column's price, and it bids for the column of least value, raising its price by the gap to the
// second least plus epsilon. Prices only rise, so a row keeps the kListed columns of least value
// from its last scan of the whole row and the least value beyond them (bound): while the listed
// second least is no higher than bound, the list alone gives the bid.
class Auction {
  public:
    Auction(const Costs<int32_t>& c, long long firstDivisor)
        : c_(c),
          firstDivisor_(firstDivisor),
          n_(c.n),
          listed_(std::min(kListed, std::max(n_ - 1, 1))),
          scale_(n_ + 1),
          p_(n_, 0),
          colOf_(n_, -1),
          rowOf_(n_, -1),
          list_(size_t(n_) * listed_),
          bound_(n_, -1) {}

    AuctionResult run() {
        if (n_ == 1) {
            return {{0}, {0}};
        }
        long long highest = 0;
        for (const int32_t v : c_.values) {
            highest = std::max<long long>(highest, v);
        }
        long long epsilon = std::max(1LL, highest * scale_ / firstDivisor_);
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
    long long value(const int32_t* row, int j) const { return row[j] * scale_ + p_[size_t(j)]; }

    // The least listed value; kNone when the list may not hold the row's least.
    long long leastListed(int i) const {
        if (bound_[size_t(i)] < 0) {
            return kNone;
        }
        const int32_t* row = &c_.values[size_t(i) * n_];
        long long least = kNone;
        for (int q = 0; q < listed_; ++q) {
            least = std::min(least, value(row, list_[size_t(i) * listed_ + q]));
        }
        return least <= bound_[size_t(i)] ? least : kNone;
    }

    // Lists row i's columns of least value and the least value of the others.
    void scan(int i) {
        const int32_t* row = &c_.values[size_t(i) * n_];
        heap_.clear();
        for (int j = 0; j < n_; ++j) {
            const long long v = value(row, j);
            if (int(heap_.size()) <= listed_) {
                heap_.emplace_back(v, j);
                std::push_heap(heap_.begin(), heap_.end());
            } else if (v < heap_.front().first) {
                std::pop_heap(heap_.begin(), heap_.end());
                heap_.back() = {v, j};
                std::push_heap(heap_.begin(), heap_.end());
            }
        }
        std::pop_heap(heap_.begin(), heap_.end());
        bound_[size_t(i)] = heap_.back().first;
        for (int q = 0; q < listed_; ++q) {
            list_[size_t(i) * listed_ + q] = heap_[size_t(q)].second;
        }
    }

    void bid(int i, long long epsilon) {
        const int32_t* row = &c_.values[size_t(i) * n_];
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
                const long long v = value(row, j);
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
        queue_.clear();
        for (int i = n_ - 1; i >= 0; --i) {
            const int j = colOf_[size_t(i)];
            if (j >= 0) {
                const long long least = leastListed(i);
                if (least != kNone && value(&c_.values[size_t(i) * n_], j) <= least + epsilon) {
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

    const Costs<int32_t>& c_;
    long long firstDivisor_;
    int n_;
    int listed_;
    long long scale_;
    std::vector<long long> p_;
    std::vector<int32_t> colOf_, rowOf_;
    std::vector<int32_t> list_;
    std::vector<long long> bound_;  // -1: the row's list is not current
    std::vector<std::pair<long long, int32_t>> heap_;
    std::vector<int32_t> queue_;
};

}  // namespace

AuctionResult solveByAuction(const Costs<int32_t>& costs, bool narrowStarts) {
    if (costs.n == 0) {
        return {};
    }
    return Auction(costs, narrowStarts ? kFirstEpsilonDivisor / 8 : kFirstEpsilonDivisor).run();
}

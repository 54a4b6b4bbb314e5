#pragma once
// A priority queue for Dijkstra's searches: integer keys, and no key pushed below the last one
// popped. Entries sit in buckets by the highest bit in which their key differs from the last
// popped key, so a push is constant time and a pop moves each entry at most once per bit, where
// a binary heap pays a logarithm for each. Among equal keys the order is unspecified.
#include <array>
#include <cassert>
#include <cstdint>
#include <utility>
#include <vector>

class RadixHeap {
  public:
    using Entry = std::pair<uint64_t, int32_t>;  // key, value

    void clear() {
        for (auto& bucket : buckets_) bucket.clear();
        last_ = 0;
        size_ = 0;
    }
    bool empty() const { return size_ == 0; }
    void push(uint64_t key, int32_t value) {
        assert(key >= last_);
        buckets_[bucketOf(key)].emplace_back(key, value);
        ++size_;
    }
    // An entry of the least key; the heap is not empty.
    Entry pop() {
        assert(size_ > 0);
        if (buckets_[0].empty()) {
            size_t i = 1;
            while (buckets_[i].empty()) ++i;
            // The least key of the first non-empty bucket becomes the last popped; the bucket's
            // entries all fall into lower buckets around it.
            last_ = buckets_[i][0].first;
            for (const Entry& e : buckets_[i]) last_ = e.first < last_ ? e.first : last_;
            for (const Entry& e : buckets_[i]) buckets_[bucketOf(e.first)].push_back(e);
            buckets_[i].clear();
        }
        const Entry e = buckets_[0].back();
        buckets_[0].pop_back();
        --size_;
        return e;
    }

  private:
    size_t bucketOf(uint64_t key) const {
        return key == last_ ? 0 : size_t(64 - __builtin_clzll(key ^ last_));
    }
    std::array<std::vector<Entry>, 65> buckets_;
    uint64_t last_ = 0;
    size_t size_ = 0;
};

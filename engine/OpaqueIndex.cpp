#include "engine/OpaqueIndex.h"

#include <algorithm>
#include <cassert>

namespace {

int popcount(uint64_t w) {
    return __builtin_popcountll(w);
}

// Position of the n-th set bit of w (n < popcount(w)).
int nthBit(uint64_t w, int n) {
    for (; n > 0; --n) w &= w - 1;
    return __builtin_ctzll(w);
}

// Bits lo..hi-1 of a word (0 <= lo < hi <= 64).
uint64_t bitRange(int lo, int hi) {
    const uint64_t upTo = hi == 64 ? ~uint64_t(0) : (uint64_t(1) << hi) - 1;
    return upTo & ~((uint64_t(1) << lo) - 1);
}

}  // namespace

void OpaqueIndex::reset(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    wordsPerRow_ = (size_t(width_) + 63) / 64;
    bits_.assign(wordsPerRow_ * size_t(height_), 0);
    rowStarts_.clear();
}

void OpaqueIndex::set(int x, int y) {
    assert(x >= 0 && x < width_ && y >= 0 && y < height_);
    bits_[size_t(y) * wordsPerRow_ + size_t(x) / 64] |= uint64_t(1) << (x % 64);
}

void OpaqueIndex::finish() {
    rowStarts_.assign(size_t(height_) + 1, 0);
    for (int y = 0; y < height_; ++y) {
        uint64_t n = 0;
        for (size_t w = 0; w < wordsPerRow_; ++w) n += popcount(row(y)[w]);
        rowStarts_[size_t(y) + 1] = rowStarts_[size_t(y)] + n;
    }
}

bool OpaqueIndex::opaque(int x, int y) const {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return false;
    return (row(y)[size_t(x) / 64] >> (x % 64)) & 1;
}

bool OpaqueIndex::anyIn(int x0, int y0, int x1, int y1) const {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width_), y1 = std::min(y1, height_);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; x = (x / 64 + 1) * 64) {
            const int hi = std::min(x1 - (x / 64) * 64, 64);
            if (row(y)[size_t(x) / 64] & bitRange(x % 64, hi)) return true;
        }
    }
    return false;
}

void OpaqueIndex::pick(size_t k, int32_t& x, int32_t& y) const {
    assert(k < count());
    // The last row whose start is at or before k, skipping empty rows.
    const auto after = std::upper_bound(rowStarts_.begin(), rowStarts_.end(), uint64_t(k));
    y = int32_t(after - rowStarts_.begin() - 1);
    uint64_t left = k - rowStarts_[size_t(y)];
    for (size_t w = 0;; ++w) {
        const uint64_t word = row(y)[w];
        const uint64_t n = uint64_t(popcount(word));
        if (left < n) {
            x = int32_t(w * 64 + size_t(nthBit(word, int(left))));
            return;
        }
        left -= n;
    }
}

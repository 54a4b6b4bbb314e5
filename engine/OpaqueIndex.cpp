#include "engine/OpaqueIndex.h"

#include <algorithm>
#include <cassert>

namespace {

// Set bits of a word, by halves of ever wider fields (no popcnt instruction in the baseline
// instruction set, and the library call is slower than this).
int popcount(uint64_t w) {
    w = w - ((w >> 1) & 0x5555555555555555ull);
    w = (w & 0x3333333333333333ull) + ((w >> 2) & 0x3333333333333333ull);
    w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int((w * 0x0101010101010101ull) >> 56);
}

// Position of the n-th set bit of w (n < popcount(w)): whole bytes first, then bit by bit.
int nthBit(uint64_t w, int n) {
    int base = 0;
    for (int c = popcount(w & 0xFF); n >= c; c = popcount(w & 0xFF)) {
        n -= c;
        w >>= 8;
        base += 8;
    }
    for (; n > 0; --n) w &= w - 1;
    return base + __builtin_ctzll(w);
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
    blockStarts_.clear();
    rowGuide_.clear();
    wordStarts_.clear();
}

void OpaqueIndex::set(int x, int y) {
    assert(x >= 0 && x < width_ && y >= 0 && y < height_);
    bits_[size_t(y) * wordsPerRow_ + size_t(x) / 64] |= uint64_t(1) << (x % 64);
}

void OpaqueIndex::finish() {
    const size_t blocksPerRow = (wordsPerRow_ + kWordsPerBlock - 1) / kWordsPerBlock;
    rowStarts_.assign(size_t(height_) + 1, 0);
    blockStarts_.assign(blocksPerRow * size_t(height_), 0);
    for (int y = 0; y < height_; ++y) {
        uint32_t n = 0;
        for (size_t w = 0; w < wordsPerRow_; ++w) {
            if (w % kWordsPerBlock == 0)
                blockStarts_[size_t(y) * blocksPerRow + w / kWordsPerBlock] = n;
            n += uint32_t(popcount(row(y)[w]));
        }
        rowStarts_[size_t(y) + 1] = rowStarts_[size_t(y)] + n;
    }
    guideRows();
}

// About one guide entry a row: entry g is the row holding pixel g * guideStep_, so a pick starts
// its row search there instead of searching every row.
void OpaqueIndex::guideRows() {
    rowGuide_.clear();
    const uint64_t total = rowStarts_.empty() ? 0 : rowStarts_.back();
    guideStep_ = std::max<uint64_t>(1, total / std::max(height_, 1));
    for (uint64_t k = 0, y = 0; k < total; k += guideStep_) {
        while (rowStarts_[y + 1] <= k) ++y;
        rowGuide_.push_back(uint32_t(y));
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
    // The last row whose start is at or before k, skipping empty rows; then the last block of
    // that row starting at or before k, and a walk along the block's words.
    const size_t g = size_t(uint64_t(k) / guideStep_);
    const auto from = rowStarts_.begin() + std::ptrdiff_t(rowGuide_[g]) + 1;
    const auto to = g + 1 < rowGuide_.size()
                        ? rowStarts_.begin() + std::ptrdiff_t(rowGuide_[g + 1]) + 2
                        : rowStarts_.end();
    const auto after = std::upper_bound(from, to, uint64_t(k));
    y = int32_t(after - rowStarts_.begin() - 1);
    const uint32_t inRow = uint32_t(k - rowStarts_[size_t(y)]);
    const size_t blocksPerRow = (wordsPerRow_ + kWordsPerBlock - 1) / kWordsPerBlock;
    const auto blocks = blockStarts_.begin() + std::ptrdiff_t(size_t(y) * blocksPerRow);
    const auto block = std::upper_bound(blocks, blocks + std::ptrdiff_t(blocksPerRow), inRow) - 1;
    uint32_t left = inRow - *block;
    for (size_t w = size_t(block - blocks) * kWordsPerBlock;; ++w) {
        const uint64_t word = row(y)[w];
        const uint32_t n = uint32_t(popcount(word));
        if (left < n) {
            x = int32_t(w * 64 + size_t(nthBit(word, int(left))));
            return;
        }
        left -= n;
    }
}

void OpaqueIndex::countWords() {
    wordStarts_.assign(bits_.size(), 0);
    for (int y = 0; y < height_; ++y) {
        uint32_t n = 0;
        for (size_t w = 0; w < wordsPerRow_; ++w) {
            wordStarts_[size_t(y) * wordsPerRow_ + w] = n;
            n += uint32_t(popcount(row(y)[w]));
        }
    }
}

uint32_t OpaqueIndex::countBefore(int x, int y) const {
    x = std::min(x, width_);
    if (y < 0 || y >= height_ || x <= 0) return 0;
    assert(wordStarts_.size() == bits_.size());
    const size_t w = size_t(x) / 64, at = size_t(y) * wordsPerRow_ + w;
    if (w == wordsPerRow_) {  // the whole row
        return wordStarts_[at - 1] + uint32_t(popcount(bits_[at - 1]));
    }
    return wordStarts_[at] + uint32_t(popcount(bits_[at] & ((uint64_t(1) << (x % 64)) - 1)));
}

#pragma once
// The opaque pixels of an image, one bit each, with the count of opaque pixels before every row:
// a 30000 x 30000 image costs 113 MB instead of 7.2 GB of coordinate lists. The k-th opaque pixel
// (row-major order) is a search over the few rows a guide table leaves, one over the row's blocks
// of eight words and a walk along one block's words.
#include <cstddef>
#include <cstdint>
#include <vector>

class OpaqueIndex {
  public:
    // An all-transparent index of width x height pixels.
    void reset(int width, int height);
    void set(int x, int y);
    // Counts the rows; call after the last set() and before count() or pick().
    void finish();

    size_t count() const { return rowStarts_.empty() ? 0 : rowStarts_.back(); }
    bool opaque(int x, int y) const;
    // Whether any pixel with x0 <= x < x1 and y0 <= y < y1 is opaque.
    bool anyIn(int x0, int y0, int x1, int y1) const;
    // Calls visit(x, y) for every opaque pixel, in row-major order.
    template <class Visit>
    void forEach(Visit visit) const {
        for (int y = 0; y < height_; ++y) {
            const uint64_t* words = row(y);
            for (size_t w = 0; w < wordsPerRow_; ++w) {
                for (uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
                    visit(int(w * 64) + __builtin_ctzll(bits), y);
                }
            }
        }
    }
    // The k-th opaque pixel in row-major order; k < count().
    void pick(size_t k, int32_t& x, int32_t& y) const;
    // Counts the opaque pixels before every word, for countBefore(); call after finish().
    void countWords();
    // Opaque pixels of row y left of x (x clamped to the row; 0 for rows outside the image).
    // Needs countWords().
    uint32_t countBefore(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    static constexpr size_t kWordsPerBlock = 8;
    void guideRows();
    const uint64_t* row(int y) const { return &bits_[size_t(y) * wordsPerRow_]; }
    int width_ = 0;
    int height_ = 0;
    size_t wordsPerRow_ = 0;
    std::vector<uint64_t> bits_;
    std::vector<uint64_t> rowStarts_;    // opaque pixels before row y; height + 1 entries
    std::vector<uint32_t> blockStarts_;  // opaque pixels of its row before each block
    std::vector<uint32_t> rowGuide_;     // the row of every guideStep_-th opaque pixel
    std::vector<uint32_t> wordStarts_;   // opaque pixels of its row before each word
    uint64_t guideStep_ = 1;
};

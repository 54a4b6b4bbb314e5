#pragma once
// Pixel worlds the simulated host hands to the plug-in, and world copies.
// Host-free: nothing here knows about the current Host.
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "AE_Effect.h"
#include "AE_EffectPixelFormat.h"
#include "sim/model/ImageFile.h"
#include "sim/model/Model.h"

namespace sim {

// A world and the memory behind it; def.data points into pixels and stays valid while it lives.
// Leaves the bytes a vector grows by as they were: a world about to be drawn over whole is not
// cleared first.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};

struct World {
    PF_EffectWorld def{};
    PF_PixelFormat format = PF_PixelFormat_ARGB32;
    std::vector<uint8_t, UninitialisedAllocator<uint8_t>> pixels;
};

int bytesPerPixel(PF_PixelFormat format);           // 0 for an unknown format
PF_PixelFormat formatForDepth(int bitsPerChannel);  // 8, 16 or 32
// A cleared world (every channel 0); rows are padded to a multiple of 16 bytes. Not cleared,
// only the rows' padding and the bytes past the last row are 0: the caller sets every pixel.
std::unique_ptr<World> newWorld(int width, int height, PF_PixelFormat format, bool cleared = true);

// Stores a straight 8-bit RGBA colour at (x, y) in the world's depth: 16 bits as 0..32768,
// float as 0..1.
void putPixel(World& world, int x, int y, const uint8_t rgba[4]);
// The colour at (x, y) back in 8 bits per channel, RGBA.
std::array<uint8_t, 4> getPixel(const World& world, int x, int y);

// Sets the pixels of a rectangle (left, top, right, bottom in full-resolution pixels) to a
// straight 8-bit RGBA colour: world pixel (x, y) stands for the full-resolution pixel at
// (x, y) * downsample and is set when that pixel's centre lies inside.
void fillRect(World& world, const std::array<double, 4>& rect, const std::array<uint8_t, 4>& rgba,
              int downsample);

// Fills the world from the image, one sample per world pixel at (x, y) * downsample (nearest,
// the top-left pixel of each block); outside the image the world stays transparent.
void drawImage(World& world, const Image& image, int downsample);

// Copies src into dst, both of the given formats; null rectangles mean the whole world. Rectangles
// of different sizes are scaled by nearest neighbour. Returns PF_Err_BAD_CALLBACK_PARAM for
// missing worlds, differing pixel sizes or rectangles outside the worlds.
PF_Err copyWorld(const PF_EffectWorld& src, PF_PixelFormat srcFormat, PF_EffectWorld& dst,
                 PF_PixelFormat dstFormat, const PF_Rect* srcRect, const PF_Rect* dstRect);

}  // namespace sim

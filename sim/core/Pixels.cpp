#include "sim/core/Pixels.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace sim {

int bytesPerPixel(PF_PixelFormat format) {
    switch (format) {
        case PF_PixelFormat_ARGB32:
            return 4;
        case PF_PixelFormat_ARGB64:
            return 8;
        case PF_PixelFormat_ARGB128:
            return 16;
        default:
            return 0;
    }
}

PF_PixelFormat formatForDepth(int bitsPerChannel) {
    if (bitsPerChannel == 16) return PF_PixelFormat_ARGB64;
    if (bitsPerChannel == 32) return PF_PixelFormat_ARGB128;
    return PF_PixelFormat_ARGB32;
}

std::unique_ptr<World> newWorld(int width, int height, PF_PixelFormat format, bool cleared) {
    assert(bytesPerPixel(format) > 0 && width >= 0 && height >= 0);
    auto world = std::make_unique<World>();
    world->format = format;
    const int rowbytes = (width * bytesPerPixel(format) + 15) / 16 * 16;
    const size_t bytes = size_t(rowbytes) * size_t(height) + 16;
    if (cleared) {
        world->pixels.assign(bytes, 0);
    } else {
        world->pixels.resize(bytes);
        const size_t used = size_t(width) * size_t(bytesPerPixel(format));
        for (int y = 0; y < height && used < size_t(rowbytes); ++y) {
            std::memset(world->pixels.data() + size_t(y) * rowbytes + used, 0, rowbytes - used);
        }
        std::memset(world->pixels.data() + bytes - 16, 0, 16);
    }
    PF_EffectWorld& d = world->def;
    d.world_flags =
        PF_WorldFlag_WRITEABLE | (format == PF_PixelFormat_ARGB64 ? PF_WorldFlag_DEEP : 0);
    d.data = reinterpret_cast<PF_PixelPtr>(world->pixels.data());
    d.rowbytes = rowbytes;
    d.width = width;
    d.height = height;
    d.extent_hint = PF_Rect{0, 0, width, height};
    d.pix_aspect_ratio = PF_RationalScale{1, 1};
    return world;
}

namespace {

uint8_t* pixelAt(const PF_EffectWorld& w, int bpp, int x, int y) {
    return reinterpret_cast<uint8_t*>(w.data) + size_t(y) * size_t(w.rowbytes) + size_t(x) * bpp;
}

}  // namespace

void putPixel(World& world, int x, int y, const uint8_t rgba[4]) {
    assert(x >= 0 && y >= 0 && x < world.def.width && y < world.def.height);
    const uint8_t argb[4] = {rgba[3], rgba[0], rgba[1], rgba[2]};
    uint8_t* p = pixelAt(world.def, bytesPerPixel(world.format), x, y);
    if (world.format == PF_PixelFormat_ARGB32) {
        std::memcpy(p, argb, 4);
        return;
    }
    for (int c = 0; c < 4; ++c) {
        if (world.format == PF_PixelFormat_ARGB64) {
            const uint16_t v = uint16_t((argb[c] * 32768u + 127u) / 255u);  // rounded to 0..32768
            std::memcpy(p + 2 * c, &v, 2);
        } else {
            const float v = float(argb[c]) / 255.0f;
            std::memcpy(p + 4 * c, &v, 4);
        }
    }
}

std::array<uint8_t, 4> getPixel(const World& world, int x, int y) {
    assert(x >= 0 && y >= 0 && x < world.def.width && y < world.def.height);
    const uint8_t* p = pixelAt(world.def, bytesPerPixel(world.format), x, y);
    uint8_t argb[4];
    for (int c = 0; c < 4; ++c) {
        if (world.format == PF_PixelFormat_ARGB32) {
            argb[c] = p[c];
        } else if (world.format == PF_PixelFormat_ARGB64) {
            uint16_t v;
            std::memcpy(&v, p + 2 * c, 2);
            argb[c] = uint8_t((v * 255u + 16384u) >> 15);
        } else {
            float v;
            std::memcpy(&v, p + 4 * c, 4);
            // Over-range and negative float channels are clamped to what 8 bits can show.
            const float clamped = std::min(std::max(v, 0.0f), 1.0f);
            argb[c] = uint8_t(std::lround(clamped * 255.0f));
        }
    }
    return {argb[1], argb[2], argb[3], argb[0]};
}

void fillRect(World& world, const std::array<double, 4>& rect, const std::array<uint8_t, 4>& rgba,
              int downsample) {
    assert(downsample >= 1);
    auto inside = [downsample](int i, double lo, double hi) {
        const double centre = double(i) * downsample + 0.5;
        return centre >= lo && centre < hi;
    };
    // The columns inside are one run: the first row's pixels are copied to the others.
    int x0 = 0;
    while (x0 < world.def.width && !inside(x0, rect[0], rect[2])) ++x0;
    int x1 = x0;
    while (x1 < world.def.width && inside(x1, rect[0], rect[2])) ++x1;
    if (x0 == x1) return;
    const size_t bpp = size_t(bytesPerPixel(world.format));
    const uint8_t* first = nullptr;
    for (int y = 0; y < world.def.height; ++y) {
        if (!inside(y, rect[1], rect[3])) continue;
        uint8_t* row = pixelAt(world.def, int(bpp), x0, y);
        if (!first) {
            for (int x = x0; x < x1; ++x) putPixel(world, x, y, rgba.data());
            first = row;
        } else {
            std::memcpy(row, first, size_t(x1 - x0) * bpp);
        }
    }
}

void drawImage(World& world, const Image& image, int downsample) {
    assert(downsample >= 1);
    const int width = std::min(world.def.width, (image.width + downsample - 1) / downsample);
    const int height = std::min(world.def.height, (image.height + downsample - 1) / downsample);
    if (world.format == PF_PixelFormat_ARGB32) {  // the bytes reordered, row by row
        for (int y = 0; y < height; ++y) {
            const uint8_t* from = &image.rgba[size_t(y) * downsample * image.width * 4];
            uint8_t* to = pixelAt(world.def, 4, 0, y);
            const size_t step = size_t(downsample) * 4;
            for (int x = 0; x < width; ++x, to += 4, from += step) {
                to[0] = from[3];
                to[1] = from[0];
                to[2] = from[1];
                to[3] = from[2];
            }
        }
        return;
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = &image.rgba[size_t(y) * downsample * image.width * 4];
        for (int x = 0; x < width; ++x) putPixel(world, x, y, from + size_t(x) * downsample * 4);
    }
}

namespace {

bool validRect(const PF_Rect& r, const PF_EffectWorld& w) {
    return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom &&
           r.right <= w.width && r.bottom <= w.height;
}

}  // namespace

PF_Err copyWorld(const PF_EffectWorld& src, PF_PixelFormat srcFormat, PF_EffectWorld& dst,
                 PF_PixelFormat dstFormat, const PF_Rect* srcRect, const PF_Rect* dstRect) {
    const int bpp = bytesPerPixel(srcFormat);
    if (!src.data || !dst.data || bpp == 0 || bpp != bytesPerPixel(dstFormat)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_Rect s = srcRect ? *srcRect : PF_Rect{0, 0, src.width, src.height};
    const PF_Rect d = dstRect ? *dstRect : PF_Rect{0, 0, dst.width, dst.height};
    if (!validRect(s, src) || !validRect(d, dst)) return PF_Err_BAD_CALLBACK_PARAM;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    if (sw == 0 || sh == 0) return PF_Err_NONE;
    for (int y = 0; y < dh; ++y) {
        const int sy = s.top + int(int64_t(y) * sh / dh);
        for (int x = 0; x < dw; ++x) {
            const int sx = s.left + int(int64_t(x) * sw / dw);
            std::memcpy(pixelAt(dst, bpp, d.left + x, d.top + y), pixelAt(src, bpp, sx, sy), bpp);
        }
    }
    return PF_Err_NONE;
}

}  // namespace sim

#include "engine/SourceInComp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/Parallel.h"

// Only +, -, *, / and floor on doubles below: the redrawn picture is the same bit for bit on
// every platform and with any number of threads.

bool SourceToComp::onlyMoves() const {
    return linear[0][0] == 1.0 && linear[0][1] == 0.0 && linear[1][0] == 0.0 && linear[1][1] == 1.0;
}

SourceToComp sourceToComp(const A_Matrix4& m, double originX, double originY) {
    SourceToComp s;
    s.linear[0][0] = m.mat[0][0];
    s.linear[0][1] = m.mat[0][1];
    s.linear[1][0] = m.mat[1][0];
    s.linear[1][1] = m.mat[1][1];
    s.originX = originX;
    s.originY = originY;
    s.moveX = m.mat[3][0];
    s.moveY = m.mat[3][1];
    return s;
}

namespace {

// The first pixel of a side of `side` pixels (pitch `up`) that starts at or before `low` and
// keeps within maxSide pixels, around `centre` when the box [low, high] is wider.
int32_t firstPixel(double low, double high, double up, double centre, int32_t maxSide,
                   int32_t& side) {
    double start = std::floor(low);
    const double wanted = std::ceil((high - start) / up);
    if (wanted <= double(maxSide)) {
        side = static_cast<int32_t>(wanted);
        return static_cast<int32_t>(start);
    }
    side = maxSide;
    const double span = double(maxSide) * up;
    start = std::floor(centre - 0.5 * span);
    start = std::max(start, std::floor(low));
    start = std::min(start, std::ceil(high - span));
    return static_cast<int32_t>(start);
}

}  // namespace

void redrawSource(const PF_LayerDef& source, int bytesPerPixel, const SourceToComp& map,
                  const RedrawGrid& grid, RedrawnSource& out) {
    out.pixels.reset();
    std::memset(&out.layer, 0, sizeof(out.layer));
    out.left = out.top = 0;
    const double(&a)[2][2] = map.linear;
    const double det = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    if (source.data == nullptr || source.width <= 0 || source.height <= 0 || !(det != 0.0) ||
        !std::isfinite(det)) {
        return;  // a Source scaled to nothing shows nothing
    }
    // The Source's box in the composition: its four full-resolution corners mapped.
    const double w = double(source.width) * grid.upX, h = double(source.height) * grid.upY;
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const double cx : {0.0, w}) {
        for (const double cy : {0.0, h}) {
            const double px = cx - map.originX, py = cy - map.originY;
            const double x = px * a[0][0] + py * a[1][0] + map.moveX;
            const double y = px * a[0][1] + py * a[1][1] + map.moveY;
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    }
    constexpr double kFar = 1e9;  // farther than any layer can be placed; keeps ints in range
    if (!(std::fabs(x0) < kFar && std::fabs(x1) < kFar && std::fabs(y0) < kFar &&
          std::fabs(y1) < kFar)) {
        return;
    }
    int32_t width = 0, height = 0;
    out.left = firstPixel(x0, x1, grid.upX, grid.centreX, grid.maxSide, width);
    out.top = firstPixel(y0, y1, grid.upY, grid.centreY, grid.maxSide, height);
    if (width <= 0 || height <= 0) {
        return;
    }
    const size_t rowBytes = size_t(width) * size_t(bytesPerPixel);
    out.pixels.reset(new uint8_t[rowBytes * size_t(height)]());
    // The inverse of the linear part, for row vectors.
    const double i00 = a[1][1] / det, i01 = -a[0][1] / det;
    const double i10 = -a[1][0] / det, i11 = a[0][0] / det;
    const auto* from = reinterpret_cast<const uint8_t*>(source.data);
    uint8_t* const to = out.pixels.get();
    const int32_t left = out.left, top = out.top;
    const size_t pixelBytes = size_t(bytesPerPixel);
    parallelFor(size_t(width) * size_t(height), [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k) {
            const size_t u = k % size_t(width), v = k / size_t(width);
            const double dx = double(left) + (double(u) + 0.5) * grid.upX - map.moveX;
            const double dy = double(top) + (double(v) + 0.5) * grid.upY - map.moveY;
            const double fx = std::floor((dx * i00 + dy * i10 + map.originX) * grid.downX);
            const double fy = std::floor((dx * i01 + dy * i11 + map.originY) * grid.downY);
            if (fx < 0.0 || fy < 0.0 || fx >= double(source.width) || fy >= double(source.height)) {
                continue;  // off the Source: stays transparent
            }
            const uint8_t* p = from + static_cast<ptrdiff_t>(fy) * source.rowbytes +
                               static_cast<ptrdiff_t>(fx) * bytesPerPixel;
            std::memcpy(to + v * rowBytes + u * pixelBytes, p, pixelBytes);
        }
    });
    out.layer.data = reinterpret_cast<PF_PixelPtr>(to);
    out.layer.rowbytes = static_cast<A_long>(rowBytes);
    out.layer.width = width;
    out.layer.height = height;
    out.layer.world_flags = source.world_flags;
    out.layer.pix_aspect_ratio = source.pix_aspect_ratio;
    out.layer.extent_hint = {0, 0, width, height};
}

#include "sim/model/SourceFrame.h"

#include <algorithm>
#include <cmath>

#include "sim/model/LayerTime.h"

namespace sim {

SourceFrame sourceFrame(const Layer& layer, const Comp& comp) {
    SourceFrame f;
    const double w = layer.width, h = layer.height;
    if (layer.type == LayerType::Shape || layer.type == LayerType::Text) {
        f.width = comp.width;
        f.height = comp.height;
        f.left = -comp.width / 2.0;
        f.top = -comp.height / 2.0;
        f.content = {-w / 2.0, -h / 2.0, w / 2.0, h / 2.0};
    } else {
        f.width = layer.width;
        f.height = layer.height;
        f.content = {0.0, 0.0, w, h};
    }
    return f;
}

namespace {

// The frame of the list shown at a composition time (0 before any has started).
size_t frameIndexAt(const Layer& layer, double compSeconds) {
    const double seconds = layerSeconds(layer, compSeconds);
    size_t chosen = 0;
    for (size_t i = 0; i < layer.frames.size(); ++i) {
        if (layer.frames[i].first <= seconds + 1e-9) chosen = i;
    }
    return chosen;
}

}  // namespace

SourceFrame sourceFrameAt(const Layer& layer, const Comp& comp, double compSeconds) {
    SourceFrame f = sourceFrame(layer, comp);
    if (layer.type != LayerType::Footage || layer.frameSizes.size() != layer.frames.size() ||
        layer.frames.empty())
        return f;
    const auto [w, h] = layer.frameSizes[frameIndexAt(layer, compSeconds)];
    f.width = w;
    f.height = h;
    f.content = {0.0, 0.0, double(w), double(h)};
    return f;
}

std::array<double, 4> maskedBoundsAt(const Layer& layer, const Comp& comp, double compSeconds) {
    std::array<double, 4> b = sourceFrameAt(layer, comp, compSeconds).content;
    if (!layer.mask) return b;
    const auto& m = *layer.mask;
    b = {std::max(b[0], m[0]), std::max(b[1], m[1]), std::min(b[2], m[2]), std::min(b[3], m[3])};
    // Nothing left shows as an empty rectangle where the mask starts.
    if (b[2] < b[0]) b[2] = b[0];
    if (b[3] < b[1]) b[3] = b[1];
    return b;
}

std::string pictureAt(const Layer& layer, double compSeconds) {
    if (layer.frames.empty()) return layer.imagePath;
    return layer.frames[frameIndexAt(layer, compSeconds)].second;
}

std::string resolvePath(const Project& project, const std::string& path) {
    return path.empty() || path[0] == '/' || project.baseDir.empty() ? path
                                                                     : project.baseDir + "/" + path;
}

int sourceAlphaAt(const Layer& layer, const SourceFrame& frame, const Image* picture, double x,
                  double y) {
    const auto& c = frame.content;
    if (!(x >= c[0] && x < c[2] && y >= c[1] && y < c[3])) return 0;
    if (!picture) return layer.fill[3];
    if (frame.width <= 0 || frame.height <= 0 || picture->width <= 0 || picture->height <= 0)
        return 0;
    const int px = int(std::floor((x - frame.left) * picture->width / frame.width));
    const int py = int(std::floor((y - frame.top) * picture->height / frame.height));
    if (px < 0 || py < 0 || px >= picture->width || py >= picture->height) return 0;
    return picture->rgba[(size_t(py) * size_t(picture->width) + size_t(px)) * 4 + 3];
}

}  // namespace sim

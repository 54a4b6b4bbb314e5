#include "sim/model/SourceFrame.h"

#include <cmath>

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

std::string pictureAt(const Layer& layer, double seconds) {
    if (layer.frames.empty()) return layer.imagePath;
    const std::string* chosen = &layer.frames.front().second;
    for (const auto& [time, path] : layer.frames) {
        if (time <= seconds + 1e-9) chosen = &path;
    }
    return *chosen;
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

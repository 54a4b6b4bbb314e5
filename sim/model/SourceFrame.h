#pragma once
// Where a layer's source pixels lie in its layer space, as the host lays them out. Footage,
// solids and nulls: the source is the layer's own size with pixel (0, 0) at the layer-space
// origin. Shape and text layers: the source is the composition's size with the layer-space
// origin in its middle, and what the layer draws (its size in the scene) is centred on that
// origin. Host-free.
#include <array>
#include <string>

#include "sim/model/Model.h"

namespace sim {

struct SourceFrame {
    int width = 0, height = 0;        // of the source the host hands out, in pixels
    double left = 0.0, top = 0.0;     // layer-space position of source pixel (0, 0)
    std::array<double, 4> content{};  // left, top, right, bottom of the drawn part, layer space
};

SourceFrame sourceFrame(const Layer& layer, const Comp& comp);
// The same at a composition time: footage frames of their own sizes give the size of the frame
// shown then (the item's size, sourceFrame's, is that of the first frame).
SourceFrame sourceFrameAt(const Layer& layer, const Comp& comp, double compSeconds);
// What the layer shows of its source at a composition time: the drawn part within its mask.
std::array<double, 4> maskedBoundsAt(const Layer& layer, const Comp& comp, double compSeconds);

// The picture a footage layer shows at a composition time: the last frame of its list that has
// started in the layer's own time (the first before any has), else its image; empty when it has
// none.
std::string pictureAt(const Layer& layer, double compSeconds);

// A scene's image path, relative to the project's folder unless absolute.
std::string resolvePath(const Project& project, const std::string& path);

// The opacity (0..255) of the layer's source at a layer-space point: a picture is stretched
// over the source frame and read at the pixel containing the point; without one, the fill
// colour's alpha inside the drawn part. Zero outside.
int sourceAlphaAt(const Layer& layer, const SourceFrame& frame, const Image* picture, double x,
                  double y);

}  // namespace sim

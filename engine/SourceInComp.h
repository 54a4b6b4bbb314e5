#pragma once
// A Source layer the composition shows scaled, turned, mirrored or sheared: its picture redrawn
// in composition pixels, so that sites, sizes, growth and angles are made on the shape the user
// sees. A Source that is only moved keeps its own picture (and every collage made before).
#include <cstdint>
#include <memory>

#include "AE_Effect.h"
#include "AE_GeneralPlug.h"

// Full-resolution Source image point p to composition pixels, with row vectors:
// p' = (p - origin) * linear + move. origin is the image point at the layer's own origin.
struct SourceToComp {
    double linear[2][2] = {{1.0, 0.0}, {0.0, 1.0}};
    double originX = 0.0, originY = 0.0;
    double moveX = 0.0, moveY = 0.0;

    // The composition shows the picture at its own size and angle: only moved.
    bool onlyMoves() const;
};

// The mapping of a layer-to-world matrix (its x and y rows and its translation; a 2D layer's
// matrix has no perspective) for a picture whose layer origin is image point (originX, originY).
SourceToComp sourceToComp(const A_Matrix4& toWorld, double originX, double originY);

// The Source picture redrawn: pixel (u, v) takes the Source pixel under the composition point
// (left + (u + 0.5) * up.x, top + (v + 0.5) * up.y), nearest, in the picture's own format, and
// is transparent off the Source. It covers the Source's box in the composition, at the image's
// resolution (up: full-resolution pixels per image pixel), at most maxSide pixels a side (a
// larger box keeps the part around the composition's centre).
struct RedrawnSource {
    std::unique_ptr<uint8_t[]> pixels;
    PF_LayerDef layer = {};     // the picture; data is null when the Source shows nothing
    int32_t left = 0, top = 0;  // composition pixel of the picture's top-left corner
};

struct RedrawGrid {
    double upX = 1.0, upY = 1.0;          // full-resolution pixels per image pixel
    double downX = 1.0, downY = 1.0;      // image pixels per full-resolution pixel
    double centreX = 0.0, centreY = 0.0;  // the composition's centre
    int32_t maxSide = PF_MAX_WORLD_WIDTH;
};

void redrawSource(const PF_LayerDef& source, int bytesPerPixel, const SourceToComp& map,
                  const RedrawGrid& grid, RedrawnSource& out);

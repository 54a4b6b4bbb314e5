#pragma once
// What a designer would check on one evaluated frame of a collage: how many layers were placed,
// where the shape is left bare, which layers sit off the shape, which visible layers overlap,
// and how much of the shape the layers cover. Host-free.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "sim/model/Model.h"

namespace sim {

// A layer's visible rectangle in composition pixels: the corners of what it draws, mapped
// through its transform, in order around the rectangle.
using Quad = std::array<std::array<double, 2>, 4>;
Quad visibleQuad(const Layer& layer, const Comp& comp, double seconds);

// How deep two convex quads interpenetrate: the smallest overlap of their projections over
// the separating axes (the edge normals); 0 or less when they do not overlap.
double overlapDepth(const Quad& a, const Quad& b);
bool contains(const Quad& q, double x, double y);

// Overlaps shallower than this (in pixels) are layers that touch.
constexpr double kTouchDepth = 1e-3;

struct FrameSummary {
    double time = 0.0;
    int placed = 0;         // layers the run keyed at this frame
    bool hasShape = false;  // a Source layer with pixels; the fields below need it
    int bareCells = 0;      // cells of the shape whose centre no visible placed layer covers
    double cellSize = 0.0;  // side of those cells: the median placed layer's visible side
    int outside = 0;        // placed layers whose centre lies on a transparent Source pixel
    double covered = 0.0;   // share (0..1) of the shape's opaque area under a visible layer
    std::vector<std::pair<int, int>> overlaps;  // layer indices of overlapping visible pairs
    double deepestOverlap = 0.0;                // largest overlapDepth among them, pixels
};

// The Source: its layer and, for footage, the picture it shows at the frame (nullptr: none).
struct ShapeSource {
    const Layer* layer = nullptr;
    const Image* picture = nullptr;
};

// Summarises the frame at `seconds` for the layers (indices into comp.layers) placed there.
FrameSummary summariseFrame(const Comp& comp, const std::vector<int>& placed,
                            const ShapeSource& source, double seconds);

}  // namespace sim

#pragma once
// What a designer would check on one evaluated frame of a collage: how many layers were placed,
// where the shape is left bare, which layers sit off the shape, which visible layers overlap,
// and how much of the shape the layers cover. Host-free.
#include <array>
#include <functional>
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
// Overlaps up to this deep (in pixels) are within the growth's step: the layers touch.
constexpr double kShallowDepth = 1.0;

// A visible layer's size: its longer side in composition pixels, as Min and Max Size measure it.
struct LayerSize {
    int layer = -1;  // index into comp.layers; -1: no visible layer
    double size = 0.0;
};

struct FrameSummary {
    double time = 0.0;
    int placed = 0;         // layers the run keyed at this frame
    bool hasShape = false;  // a Source layer with pixels; the fields below need it
    int bareCells = 0;      // cells of the shape whose centre no visible placed layer covers
    double cellSize = 0.0;  // side of those cells: the median placed layer's visible side
    int outside = 0;        // placed layers whose centre lies on a transparent Source pixel
    double covered = 0.0;   // share (0..1) of the shape's opaque area under a visible layer
    double spill = 0.0;     // share (0..1) of the visible layers' summed area off the shape
    int mostlyOff = 0;      // visible placed layers with more than half their area off the shape
    std::vector<std::pair<int, int>> overlaps;  // layer indices of overlapping visible pairs
    double deepestOverlap = 0.0;                // largest overlapDepth among them, pixels
    int deepOverlaps = 0;                       // overlaps deeper than kShallowDepth
    int touchingPairs = 0;        // visible pairs that meet or overlap by at most kShallowDepth
    LayerSize smallest, largest;  // among the visible placed layers
};

// The Source: its layer and, for footage, the picture it shows at the frame (nullptr: none).
struct ShapeSource {
    const Layer* layer = nullptr;
    const Image* picture = nullptr;
};

// The share (0..1) of a visible rectangle's area that lies off the Source's non-transparent
// pixels, from samples spread evenly over the rectangle in its own axes (so a turned layer is
// measured as exactly as a straight one): one per composition pixel, at most 64 a side.
double offShare(const Quad& q, const std::function<bool(double, double)>& onShape);

// Summarises the frame at `seconds` for the layers (indices into comp.layers) placed there.
FrameSummary summariseFrame(const Comp& comp, const std::vector<int>& placed,
                            const ShapeSource& source, double seconds);

}  // namespace sim

#pragma once
#include <cstdint>
#include <vector>

#include "engine/Point2D.h"
#include "placement/NearestSite.h"

// What a followed frame takes over from the evaluated frame before, besides the sites.
struct FollowState {
    // Per layer, kept after the assignment: the offset of its cell's centroid from its site at
    // rest, and its longer side.
    std::vector<Point2D> offsets;
    std::vector<float> sizes;
    // The offsets per site while a frame is relaxed, before the assignment orders them by layer.
    std::vector<Point2D> siteOffsets;
    // How far the rounds may move each site at this frame, in pixels (empty: as far as the
    // frame allows).
    std::vector<float> settle;
    // At a frame that fades in place, each site where it was at the frame before (empty: none),
    // and the share of the way to the fade's end that this frame's step takes (0: none).
    std::vector<Point2D> fadeFrom;
    double fadeShare = 0;
    // The samples' lattice (origin and unit per axis), moved with the sites between frames.
    double lattice[4] = {0, 0, 1, 1};
    // The frame before's sites by layer, as its layers were placed (full resolution).
    std::vector<Point2D> placed;
    // The frame before's alpha and opaque bounds, to tell a motion from a fade.
    std::vector<uint8_t> alpha;
    int32_t bounds[4] = {0, 0, 0, 0};
    int32_t width = 0, height = 0;
    // A fade's shortest paths and kernel over its grid's cells, kept for the next frame of the
    // fade (the union of the two frames' shapes stays the same while a crossfade runs).
    struct FadePaths {
        double grid[5] = {0, 0, 0, 0, 0};  // origin, cell side, cells across and down
        std::vector<int> cells, parts;
        std::vector<float> distances;
        std::vector<double> kernel;
        std::vector<double> block;  // the kernel's block that a transport's rounds read
        // The fade under way: the alpha per cell it began with, the share of the fading alpha
        // lost since it began (1: none under way), and this frame's alpha and end per cell,
        // which the next frame's alpha before and end must match to go on with it.
        std::vector<double> startMass;
        double progress = 1;
        std::vector<double> nowMass, endMass;
        // The factor per cell on the samples' weights at the fade's frame.
        std::vector<float> weights;
    } fadePaths;
    // Whether this frame's rounds weight the samples by fadePaths.weights as well.
    bool fadeWeighted = false;
    // The relaxation's samples and their weights, drawn anew every frame into the frame
    // before's room (a few MB at thousands of layers, which fresh pages would cost again).
    OrderedSamples samples;
    std::vector<float> weights;
    std::vector<int32_t> nearest;
};

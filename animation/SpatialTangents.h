#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "engine/Point2D.h"
#include "host/Params.h"

// The out tangent of the first key of a pair and the in tangent of the second, as offsets from
// each key's value (z always 0).
struct TangentPair {
    Point2D out;
    Point2D in;
};

// The random sources a preset may draw from: `uniformRand` (the pick generator, float in
// [0, 1)) and `uniform53` (the value generator, double in [0, 1)).
struct TangentDraws {
    std::function<float()> rand01;
    std::function<double()> mt01;
};

// The tangents of a Position key pair a -> b under a Spatial Interpolation preset. outArm and
// inArm are the Custom preset's Out and In Tangent as fractions (1 = a full half-circle arm).
// Returns nothing for an unknown preset: the tangents are then left as they are.
std::optional<TangentPair> spatialTangents(SpatialPreset preset, const Point2D& a, const Point2D& b,
                                           float outArm, float inArm, const TangentDraws& draws);

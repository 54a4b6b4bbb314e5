#pragma once
#include <cstdint>
#include <vector>

#include "A.h"

class MyTessaron;

// Key times are written at this fixed time scale; times too late for it at milliseconds.
constexpr A_u_long KeyTimeScale = 100000;
constexpr A_u_long LongKeyTimeScale = 1000;

// Seconds of a layer's key at a frame: the frame's time, shifted later by the layer's place in
// the frame's offset order (0 .. n-1) spread over offsetFrames frames. One layer is not shifted.
double offsetKeySeconds(int32_t frame, double frameSeconds, int32_t place, int32_t n,
                        int32_t offsetFrames);

// Seconds as a host time at KeyTimeScale, rounded half up (at LongKeyTimeScale when the value
// would not fit 32 bits, saturated beyond that).
A_Time keyTimeAt(double seconds);

// The time of collage layer `layer`'s key at frame position k, as the keyframe writer writes it.
A_Time layerKeyTime(const MyTessaron& engine, int layer, int k);

// A host time in seconds (0 for a time without a scale).
double timeSeconds(const A_Time& t);

// The index of the key nearest to t among key times in ascending order (a stream's keys), the
// earlier one on a tie; keySeconds must not be empty.
int nearestKeyIndex(const std::vector<double>& keySeconds, double t);

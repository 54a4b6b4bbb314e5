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

// True when a is strictly later than b (exact, whatever the two time scales).
bool laterTime(const A_Time& a, const A_Time& b);

// One layer's key times in frame order, so that no key lands on or before the one of an earlier
// frame (the host would then overwrite or reorder it). specified[k] is frame position k's time
// with the layer's offset; keyed[k] says whether the layer gets a key at k. A keyed time later
// than the previous keyed time is kept as it is; any other is moved to one frame after the
// previous keyed time. Times of frames not keyed are returned as specified.
std::vector<A_Time> orderedKeyTimes(const std::vector<A_Time>& specified,
                                    const std::vector<bool>& keyed, double frameSeconds);

// Collage layer `layer`'s key time at every frame position, as the keyframe writer writes them
// and the ease script looks them up.
std::vector<A_Time> layerKeyTimes(const MyTessaron& engine, int layer);

// The index of the key nearest to t among key times in ascending order (a stream's keys), the
// earlier one on a tie; keySeconds must not be empty.
int nearestKeyIndex(const std::vector<double>& keySeconds, double t);

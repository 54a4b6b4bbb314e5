#pragma once
// Composition times as the host keeps them: frame rates as exact frame durations, seconds to
// whole frames within what the host's 32-bit time values hold.
#include <cstdint>
#include <utility>

#include "sim/model/Model.h"

namespace sim {

// The best ratio num / den of x with den <= maxDen (continued fractions).
std::pair<int64_t, int64_t> ratioOf(double x, int64_t maxDen);
// Frame rate in frames per second to a frame duration: integer rates give {1, fps}, the NTSC
// family (29.97, 23.976, 59.94 ...) gives {1001, 1000 * n}, others the nearest exact ratio.
Time frameDurationOf(double fps);
// Seconds to the nearest frame at the composition's time scale, clamped to latestFrame either way.
Time frameTime(const Comp& comp, double seconds);
// The most frames from zero whose time value fits the host's 32-bit time values.
double latestFrame(const Comp& comp);

}  // namespace sim

#pragma once
// Popup values the attribute stages branch on (the host's 1-based item numbers; the separator
// item counts, so Ignore is 7 for Scale and Rotation and 6 for Opacity).
#include <cstdint>

constexpr uint32_t ScaleMode_FromAlpha = 1;
constexpr uint32_t ScaleMode_FromLuminance = 2;
constexpr uint32_t ScaleMode_FromNeighborhood = 3;
constexpr uint32_t ScaleMode_Random = 4;
constexpr uint32_t ScaleMode_UsePreviousValue = 5;
constexpr uint32_t ScaleMode_Ignore = 7;

constexpr uint32_t RotationMode_FromAlpha = 1;
constexpr uint32_t RotationMode_FromLuminance = 2;
constexpr uint32_t RotationMode_OrientTowardsCenter = 3;
constexpr uint32_t RotationMode_Random = 4;
constexpr uint32_t RotationMode_UsePreviousValue = 5;
constexpr uint32_t RotationMode_Ignore = 7;

constexpr uint32_t OpacityMode_FromAlpha = 1;
constexpr uint32_t OpacityMode_FromLuminance = 2;
constexpr uint32_t OpacityMode_Random = 3;
constexpr uint32_t OpacityMode_UsePreviousValue = 4;
constexpr uint32_t OpacityMode_Ignore = 6;

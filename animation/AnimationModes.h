#pragma once
// Popup values the animation output branches on (the host's 1-based item numbers).
#include <cstdint>

constexpr uint32_t FramesToRender_CurrentFrame = 1;
constexpr uint32_t FramesToRender_EveryXFrames = 2;
constexpr uint32_t FramesToRender_FromLayerMarkers = 3;

constexpr uint32_t SpatialPreset_Linear = 1;
constexpr uint32_t SpatialPreset_InnerHalfCircle = 2;
constexpr uint32_t SpatialPreset_OuterHalfCircle = 3;
constexpr uint32_t SpatialPreset_RandomInnerOuter = 4;
constexpr uint32_t SpatialPreset_Random = 5;
constexpr uint32_t SpatialPreset_ZigZag = 6;
constexpr uint32_t SpatialPreset_Custom = 7;

constexpr uint32_t OffsetMethod_LeftToRight = 1;
constexpr uint32_t OffsetMethod_RightToLeft = 2;
constexpr uint32_t OffsetMethod_TopToBottom = 3;
constexpr uint32_t OffsetMethod_BottomToTop = 4;
constexpr uint32_t OffsetMethod_DistanceFromCompCenter = 5;
constexpr uint32_t OffsetMethod_DistanceFromImageCenter = 6;
constexpr uint32_t OffsetMethod_Random = 7;

#pragma once
// The effect's parameters by index in the host's params array (0 is the input layer), and the
// item numbers of its popups. Stored projects depend on both: never reorder or renumber.
#include <cstdint>

enum ParamIndex : int {
    PARAM_INPUT = 0,
    PARAM_ABOUT = 1,
    PARAM_SOURCE_LAYER = 2,
    PARAM_TRANSFORM_GROUP = 3,
    PARAM_POSITION = 4,
    PARAM_SCALE = 5,
    PARAM_ROTATION = 6,
    PARAM_OPACITY = 7,
    PARAM_OPTIONS_GROUP = 8,
    PARAM_MIN_SIZE = 9,
    PARAM_MAX_SIZE = 10,
    PARAM_PREVENT_OVERLAP = 11,
    PARAM_RESCALE_FACTOR = 12,
    PARAM_MIN_ROTATION = 13,
    PARAM_MAX_ROTATION = 14,
    PARAM_MIN_OPACITY = 15,
    PARAM_MAX_OPACITY = 16,
    PARAM_LAYER_ORDER = 17,
    PARAM_OPTIONS_GROUP_END = 18,
    PARAM_TRANSFORM_GROUP_END = 19,
    PARAM_ANIMATION_GROUP = 20,
    PARAM_FRAMES_TO_RENDER = 21,
    PARAM_INTERVAL = 22,
    PARAM_FORCE_KEYFRAMING = 23,
    PARAM_TEMPORAL_INTERPOLATION = 24,
    PARAM_SPEED_IN = 25,
    PARAM_INFLUENCE_IN = 26,
    PARAM_SPEED_OUT = 27,
    PARAM_INFLUENCE_OUT = 28,
    PARAM_SPATIAL_INTERPOLATION = 29,
    PARAM_IN_TANGENT = 30,
    PARAM_OUT_TANGENT = 31,
    PARAM_OFFSET_FRAMES = 32,
    PARAM_OFFSET_METHOD = 33,
    PARAM_MOTION_BLUR = 34,
    PARAM_ANIMATION_GROUP_END = 35,
    PARAM_ADVANCED_GROUP = 36,
    PARAM_RANDOM_SEED = 37,
    PARAM_SEED = 38,
    PARAM_ADVANCED_GROUP_END = 39,
    PARAM_CREATE = 40,
    PARAM_REMOVE_EXISTING_KEYS = 41,
    PARAM_SHAPE_GROUP = 42,
    PARAM_ALPHA_THRESHOLD = 43,
    PARAM_KEEP_INSIDE_SHAPE = 44,
    PARAM_OVERHANG = 45,
    PARAM_CELL_SHAPE = 46,
    PARAM_HIDE_BELOW_MIN_SIZE = 47,
    PARAM_FOLLOW_SHAPE_CHANGES = 48,
    PARAM_SHAPE_GROUP_END = 49,
    PARAM_FILL_GAPS = 50,
    PARAM_COUNT = 51  // what the host is told, the input layer included
};

// Popup values are the host's 1-based item numbers; a separator item still takes a number.
enum class PositionMode : uint32_t {
    Grid = 1,
    Organic = 2,
    Radial = 3,
    Random = 4,
    UsePreviousValue = 5,
    Separator = 6,
    Ignore = 7
};

enum class ScaleMode : uint32_t {
    FromAlpha = 1,
    FromLuminance = 2,
    FromNeighborhood = 3,
    Random = 4,
    UsePreviousValue = 5,
    Separator = 6,
    Ignore = 7
};

enum class RotationMode : uint32_t {
    FromAlpha = 1,
    FromLuminance = 2,
    OrientTowardsCenter = 3,
    Random = 4,
    UsePreviousValue = 5,
    Separator = 6,
    Ignore = 7
};

enum class OpacityMode : uint32_t {
    FromAlpha = 1,
    FromLuminance = 2,
    Random = 3,
    UsePreviousValue = 4,
    Separator = 5,
    Ignore = 6
};

enum class LayerOrder : uint32_t {
    ByX = 1,
    ByY = 2,
    ByNorm = 3,
    ByInverseNorm = 4,
    ByDistanceFromCompCenter = 5,
    ByDistanceFromImageCenter = 6,
    MinimumAssignment = 7,
    Random = 8
};

enum class FramesToRender : uint32_t { CurrentFrame = 1, EveryXFrames = 2, FromLayerMarkers = 3 };

enum class TemporalPreset : uint32_t {
    Linear = 1,
    EaseIn = 2,
    EaseOut = 3,
    EaseInAndOut = 4,
    PunchyIn = 5,
    PunchyOut = 6,
    PunchyInAndOut = 7,
    Hold = 8,
    Custom = 9
};

enum class SpatialPreset : uint32_t {
    Linear = 1,
    InnerHalfCircle = 2,
    OuterHalfCircle = 3,
    RandomInnerAndOuter = 4,
    Random = 5,
    ZigZag = 6,
    Custom = 7
};

enum class OffsetMethod : uint32_t {
    FromLeftToRight = 1,
    FromRightToLeft = 2,
    FromTopToBottom = 3,
    FromBottomToTop = 4,
    DistanceFromCompCenter = 5,
    DistanceFromImageCenter = 6,
    Random = 7
};

// What Grid cells take their width-to-height ratio from.
enum class CellShape : uint32_t { FirstLayer = 1, TypicalLayer = 2, Square = 3 };

// A popup's value as its enumeration.
template <class Mode>
constexpr Mode asMode(int32_t value) {
    return static_cast<Mode>(static_cast<uint32_t>(value));
}

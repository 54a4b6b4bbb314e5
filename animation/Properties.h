#pragma once
// The four transform properties the run writes, by the codes the ease script also uses.
#include <array>
#include <vector>

#include "AE_GeneralPlug.h"

class MyTessaron;

enum PropertyCode { Property_Position = 0, Property_Scale, Property_Rotation, Property_Opacity };
constexpr int PropertyCount = 4;

// The layer stream of each property, in code order.
constexpr std::array<AEGP_LayerStream, PropertyCount> kPropertyStreams = {
    AEGP_LayerStream_POSITION, AEGP_LayerStream_SCALE, AEGP_LayerStream_ROTATION,
    AEGP_LayerStream_OPACITY};

// The property's mode is other than Ignore at one evaluated frame or more.
bool propertyActive(const MyTessaron& engine, int code);

// The property's mode at frame position k is Ignore (7 in the Position, Scale and Rotation
// popups, 6 in the Opacity popup).
bool propertyIgnoredAt(const MyTessaron& engine, int code, int k);

// Some active property is keyed at frame position k (its mode there is not Ignore).
bool anyPropertyKeyedAt(const MyTessaron& engine, int k);

// The frame positions at which the property gets a key, in frame order.
std::vector<int> keyedFrames(const MyTessaron& engine, int code);

// Keys (or plain values) a run writes on each collage layer: one per active property and
// evaluated frame that does not ignore it.
int plannedKeysPerLayer(const MyTessaron& engine);

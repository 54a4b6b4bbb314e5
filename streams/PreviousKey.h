#pragma once
// Reading a layer stream's "previous key": the value of the last key strictly before a time,
// shared by the Position, Scale, Rotation and Opacity readers.
#include "AEGP_SuiteHandler.h"
#include "AE_GeneralPlug.h"

// Key counts below which a stream reads its value at the time itself: a single Position key
// does; Scale, Rotation and Opacity only without any key.
constexpr A_long kPositionMinKeys = 2;
constexpr A_long kAttributeMinKeys = 1;

// Keys within this many seconds of the first key count as "at" it.
constexpr double kFirstKeyWindowSeconds = 0.005;

// The time whose value stands for the previous key at t (composition time). A stream with fewer
// than minKeys keys reads its value at t itself (Position: minKeys 2; Scale, Rotation, Opacity:
// 1). Otherwise: key 0 when t lies within 0.005 s of it, else the last key strictly before t,
// else time 0. *numKeys receives the key count (0 when the count failed).
A_Err previousKeyTime(AEGP_SuiteHandler& suites, AEGP_StreamRefH stream, A_Time t, A_long minKeys,
                      A_Time* chosen, A_long* numKeys);

// The stream's value at t (composition time, before expressions); the host's value is disposed.
A_Err streamValueAt(AEGP_SuiteHandler& suites, AEGP_PluginID pluginId, AEGP_StreamRefH stream,
                    A_Time t, AEGP_StreamVal2* out);

// previousKeyTime followed by streamValueAt; *out is left untouched after a failure.
A_Err previousKeyValue(AEGP_SuiteHandler& suites, AEGP_PluginID pluginId, AEGP_StreamRefH stream,
                       A_Time t, A_long minKeys, AEGP_StreamVal2* out);

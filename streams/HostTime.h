#pragma once
// Host times as seconds, for the readers of a layer's keys and the keyframe writer alike.
#include "A.h"

// A host time in seconds (0 for a time without a scale).
double timeSeconds(const A_Time& t);

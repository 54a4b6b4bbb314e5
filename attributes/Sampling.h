#pragma once
#include "engine/Point2D.h"

class MyTessaron;

// The source image's alpha (or luminance) under full-resolution point p, 0 to 255 mapped
// linearly onto lo to hi and clamped there.
float sampledValue(const MyTessaron& e, bool alpha, const Point2D& p, float lo, float hi);

#pragma once
#include "AE_GeneralPlug.h"
#include "engine/Point2D.h"

// How far a layer's visible rectangle (its bounds in layer pixels) is centred from its anchor
// point once the layer is scaled (percent per axis) and turned (degrees, clockwise on screen),
// in composition pixels. A Position of site - offset centres the rectangle on the site.
Point2D visibleCentreOffset(const A_FloatRect& bounds, const Point2D& anchor, float scaleX,
                            float scaleY, float rotation);

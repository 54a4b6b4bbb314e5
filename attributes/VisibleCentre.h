#pragma once
#include "AEGP_SuiteHandler.h"
#include "AE_GeneralPlug.h"
#include "engine/Point2D.h"

// How far a layer's visible rectangle (its bounds in layer pixels) is centred from its anchor
// point once the layer is scaled (percent per axis) and turned (degrees, clockwise on screen),
// in composition pixels. A Position of site - offset centres the rectangle on the site.
Point2D visibleCentreOffset(const A_FloatRect& bounds, const Point2D& anchor, float scaleX,
                            float scaleY, float rotation);

class MyTessaron;

// The layer's Anchor Point at t (x, y).
A_Err anchorPointAt(AEGP_SuiteHandler& suites, const MyTessaron& e, AEGP_LayerH layer, A_Time t,
                    Point2D* anchor);

// Where the visible rectangle (bounds) is centred from the anchor point, in units of a w x h
// rectangle: the site's centreOffset for a layer that keeps its own Position. (0, 0) without area.
Point2D centreFromAnchor(const A_FloatRect& bounds, const Point2D& anchor, float w, float h);

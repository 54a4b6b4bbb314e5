#pragma once
#include "placement/MySitePoint.h"

// The seed rectangle of a site: its longer side one pixel, with the proportions of a layer of
// w x h pixels.
// A layer without area gets an empty rectangle that does not grow (and aspect 1, so that nothing
// downstream divides by zero).
void seedSite(MySitePoint& site, float w, float h);

// Sets the rectangle's longer side (by the layer's aspect) to size; the other side follows.
void setLongerSide(MySitePoint& site, float size);

// The rectangle's longer side.
float longerSide(const MySitePoint& site);

// Scale in percent of the layer's own width, times the rescale factor r. A layer without area
// keeps its own size: r x 100.
float scalePercent(float r, const MySitePoint& site);

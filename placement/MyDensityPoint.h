#pragma once
#include "engine/Point2D.h"

// A random sample of the shape in Organic relaxation, with the site it was last assigned to.
struct MyDensityPoint {
    Point2D position;
    Point2D nearestSite;
};

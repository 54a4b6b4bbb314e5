#pragma once
// The paths the layers of a followed frame take from where they were: none may cross another.
#include <vector>

#include "engine/Point2D.h"
#include "placement/MySitePoint.h"

// Whether the open paths ab and cd cross (touching ends do not count).
bool pathsCross(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d);

// Swaps the new sites (and their cells' offsets) of layers whose paths from where they were
// cross: the swapped paths never cross and are shorter in all, so the passes end; candidate
// pairs come from a grid over the paths' boxes, taken in a fixed order.
void uncrossPaths(const std::vector<Point2D>& from, std::vector<MySitePoint>& sites,
                  std::vector<Point2D>& offsets);

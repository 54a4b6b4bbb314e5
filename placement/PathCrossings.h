#pragma once
// The paths the layers of a followed frame take from where they were: none may cross another.
#include <functional>
#include <vector>

#include "engine/Point2D.h"
#include "placement/MySitePoint.h"

// Whether the open paths ab and cd cross (touching ends do not count).
bool pathsCross(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d);

// Uncrosses the paths of layers from where they were to their new sites. Two new sites that lie
// within a quarter of `spacing` of each other across the pair's common direction move past each
// other across it in the first passes, where `inside` holds for both; other crossing
// pairs swap their new sites (and their cells' offsets). The swapped paths never cross and are
// shorter in all, so the passes end. Candidate pairs come from a grid over the paths' boxes, the
// pairs with the nearest new sites first. Without `inside` or a spacing, sites only swap.
void uncrossPaths(const std::vector<Point2D>& from, std::vector<MySitePoint>& sites,
                  std::vector<Point2D>& offsets,
                  const std::function<bool(const Point2D&)>& inside = nullptr, double spacing = 0);

#pragma once
// Keep Inside Shape: how much of a site's rectangle lies off the shape. The share is exact over
// the shape's pixels (each pixel all shape or none; everything off the Source is off the shape):
// by Green's theorem the area of the shape inside a polygon is the sum, over its edges, of the
// integral of "shape pixels of the row left of x" along the edge, and that integrand is linear
// within each pixel an edge crosses, so the cost is the pixels along the rectangle's outline.
#include <cstdint>
#include <vector>

#include "engine/OpaqueIndex.h"
#include "placement/MySitePoint.h"

class ShapeLimit {
  public:
    // shape: the frame's shape pixels, countWords() done; toImageX, toImageY: image pixels per
    // site pixel (the resolution's downsample factors); overhang: the share of a rectangle
    // allowed off the shape, 0 to 1; siteCount: the sites tooFarOff may be asked about.
    ShapeLimit(const OpaqueIndex& shape, float toImageX, float toImageY, float overhang,
               size_t siteCount);

    // True when more than the overhang of site s's rectangle (its corners) lies off the shape.
    bool tooFarOff(int32_t s, const MySitePoint& site) const;
    // Site s's centre moved: what was known clear around it no longer holds.
    void moved(int32_t s) { clear_[size_t(s)] = 0.0f; }
    // Whether the image pixel under a site point is shape.
    bool onShape(const Point2D& p) const;

    // The share of the convex polygon (site pixels, in order around it) off the shape, 0 to 1;
    // 0 for a polygon without area.
    double offShare(const std::vector<Point2D>& corners) const;

  private:
    // The integral of the shape pixels of row floor(y) left of x, over y along one edge.
    double edgeIntegral(double x0, double y0, double x1, double y1) const;
    // Shape pixels of row j left of x, for x inside pixel column i (or beyond the image).
    double leftOf(int i, int j, double x) const;
    // Whether the square of image pixels k around the pixel of the site's centre is all shape.
    bool squareIsShape(const MySitePoint& site, int k) const;

    const OpaqueIndex& shape_;
    double toImageX_, toImageY_;
    double overhang_;
    // Per site, a radius (site pixels) within which everything is shape; negative once the
    // site's rectangle has outgrown the squares of shape around its centre.
    mutable std::vector<float> clear_;
};

#pragma once
#include <vector>

#include "engine/Point2D.h"

// One site per collage layer per frame: where the layer goes, and the rectangle it covers with
// the layer's proportions, turned by the layer's rotation.
struct MySitePoint {
    Point2D position;                    // site centre
    std::vector<Point2D> densityPoints;  // samples assigned in the last Organic round
    float layerWidth = 0.0f;             // own width (px) of the layer taking the site
    float layerHeight = 0.0f;            // own height (px)
    float aspect = 0.0f;                 // layerWidth / layerHeight
    float width = 0.0f;                  // current rectangle width (px)
    float height = 0.0f;                 // current rectangle height (px)
    float rotation = 0.0f;               // degrees, clockwise on screen
    float opacity = 0.0f;
    bool growing = false;          // the rectangle may still grow
    bool hidden = false;           // shrunk below Min Size and hidden: it fills no gap
    float growStep = 0.0f;         // growth per step (px)
    float radius = 0.0f;           // reach of the rectangle from position
    std::vector<Point2D> corners;  // rotated corners, see getPolygonFromPointSizeRot
    // Where the rectangle is centred from position, in units of its width and height before
    // turning: (0, 0) for a layer placed on its site; a layer that keeps its own Position shows
    // its rectangle around its anchor point, off centre when re-anchored.
    Point2D centreOffset;

    // Sets corners and radius for the current width, height and rotation.
    void placeRectangle();

    // Grows the longer side by one step (nothing unless growing).
    void update();
    // Shrinks the longer side by half a step, whatever growing says.
    void updateBack();
    // True when the two rotated rectangles overlap or touch.
    bool intersect(const MySitePoint& other) const;
};

// Corners (left, top), (right, top), (right, bottom), (left, bottom) of a w x h rectangle centred
// on c, each turned by rotation degrees about c.
std::vector<Point2D> getPolygonFromPointSizeRot(const Point2D& c, float w, float h, float rotation);

// p turned about c by angle degrees (clockwise on screen, y pointing down).
Point2D rotatePoint(const Point2D& c, const Point2D& p, float angle);

#pragma once
// A parented layer's Position, Scale and Rotation are in its parent's space, which the parent's
// own layer-to-world (through its parents) maps into the composition. The collage is planned in
// the composition; these convert between what a layer shows there and its own stream values.
#include "AEGP_SuiteHandler.h"
#include "AE_GeneralPlug.h"
#include "engine/Point2D.h"

// The parent's layer-to-world at one time, as an affine map of row vectors:
// x' = x a + y c + tx, y' = x b + y d + ty. Without a parent it is the identity.
struct ParentSpace {
    bool parented = false;
    double a = 1.0, b = 0.0, c = 0.0, d = 1.0, tx = 0.0, ty = 0.0;

    // The parent flattens its children to a line or a point: nothing can be placed through it.
    bool degenerate() const;
};

// The layer's parent space at a composition time: one call without a parent, two with one.
A_Err parentSpaceAt(AEGP_SuiteHandler& suites, AEGP_LayerH layer, A_Time compTime,
                    ParentSpace* out);

// What a layer shows in the composition: its anchor point's place, its uniform scale (percent)
// and its angle (degrees, clockwise on screen).
struct Shown {
    double x = 0.0, y = 0.0, scale = 100.0, rotation = 0.0;
};

// A layer's own values in its parent's space.
struct Own {
    double x = 0.0, y = 0.0, scaleX = 100.0, scaleY = 100.0, rotation = 0.0;
    // The layer shows as planned. False when an unevenly scaled parent shears the turned layer:
    // its width edge then lies and measures as planned, its height edge has the planned length
    // but leans off the square.
    bool exact = true;
};

// The own values that show `shown`. With turn false the layer keeps its own Rotation
// (ownRotation) and Scale is fitted to it. A degenerate parent gives the shown values as they
// are, not exact.
Own ownValues(const ParentSpace& parent, const Shown& shown, bool turn, double ownRotation);

// Where a point of the parent's space shows in the composition.
void shownPoint(const ParentSpace& parent, double x, double y, double* sx, double* sy);

// What a layer's own values show: its anchor's place, and the length (percent) and angle of
// its width edge in the composition.
Shown shownValues(const ParentSpace& parent, const Own& own);

// Where a layer's own Position `own` (parent space) shows in the composition at compTime. A
// layer without a parent gets `own` as it is; after a failed call too (the failure noted).
Point2D shownPositionAt(AEGP_SuiteHandler& suites, AEGP_LayerH layer, A_Time compTime,
                        const Point2D& own);

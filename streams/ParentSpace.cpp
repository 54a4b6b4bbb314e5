#include "streams/ParentSpace.h"

#include <cmath>

#include "host/HostFailures.h"

namespace {

constexpr double kDegrees = 180.0 / M_PI;
// Edges this close to square (cosine of their angle, relative) are taken as square: rounding
// of exact cases stays far below it, a visible lean far above.
constexpr double kSquare = 1e-6;

double determinant(const ParentSpace& p) {
    return p.a * p.d - p.b * p.c;
}

// A direction (x, y) of the parent's space, mapped into the composition.
void mapped(const ParentSpace& p, double x, double y, double* mx, double* my) {
    *mx = x * p.a + y * p.c;
    *my = x * p.b + y * p.d;
}

}  // namespace

bool ParentSpace::degenerate() const {
    const double scale = std::fabs(a) + std::fabs(b) + std::fabs(c) + std::fabs(d);
    return !(std::fabs(determinant(*this)) > 1e-12 * scale * scale) || !std::isfinite(scale);
}

A_Err parentSpaceAt(AEGP_SuiteHandler& suites, AEGP_LayerH layer, A_Time compTime,
                    ParentSpace* out) {
    *out = ParentSpace();
    AEGP_LayerH parent = nullptr;
    A_Err err = suites.LayerSuite7()->AEGP_GetLayerParent(layer, &parent);
    if (err || !parent) {
        return err;
    }
    A_Matrix4 m = {};
    err = suites.LayerSuite7()->AEGP_GetLayerToWorldXform(parent, &compTime, &m);
    if (!err) {
        out->parented = true;
        out->a = m.mat[0][0];
        out->b = m.mat[0][1];
        out->c = m.mat[1][0];
        out->d = m.mat[1][1];
        out->tx = m.mat[3][0];
        out->ty = m.mat[3][1];
    }
    return err;
}

void shownPoint(const ParentSpace& p, double x, double y, double* sx, double* sy) {
    mapped(p, x, y, sx, sy);
    *sx += p.tx;
    *sy += p.ty;
}

Own ownValues(const ParentSpace& p, const Shown& shown, bool turn, double ownRotation) {
    Own own;
    if (p.degenerate()) {
        own.x = shown.x, own.y = shown.y, own.rotation = shown.rotation;
        own.scaleX = own.scaleY = shown.scale;
        own.exact = false;
        return own;
    }
    const double det = determinant(p);
    // The inverse map: (x, y) of the composition to the parent's space.
    const double ia = p.d / det, ib = -p.b / det, ic = -p.c / det, id = p.a / det;
    const double dx = shown.x - p.tx, dy = shown.y - p.ty;
    own.x = dx * ia + dy * ic;
    own.y = dx * ib + dy * id;
    own.rotation = ownRotation;
    if (turn) {
        // The width edge's direction on screen, taken back into the parent's space.
        const double r = shown.rotation / kDegrees;
        const double ux = std::cos(r) * ia + std::sin(r) * ic;
        const double uy = std::cos(r) * ib + std::sin(r) * id;
        // Keep the whole turns: a layer turned 370 degrees spins as planned.
        own.rotation = std::atan2(uy, ux) * kDegrees;
        own.rotation += 360.0 * std::round((shown.rotation - own.rotation) / 360.0);
    }
    // Each edge's own scale gives it its planned length on screen; a mirroring parent is
    // mirrored back through the height, as the unparented layer shows.
    const double r = own.rotation / kDegrees;
    double ex = 0, ey = 0, fx = 0, fy = 0;
    mapped(p, std::cos(r), std::sin(r), &ex, &ey);
    mapped(p, -std::sin(r), std::cos(r), &fx, &fy);
    const double lengthE = std::hypot(ex, ey), lengthF = std::hypot(fx, fy);
    own.scaleX = shown.scale / lengthE;
    own.scaleY = (det < 0 ? -shown.scale : shown.scale) / lengthF;
    own.exact = std::fabs(ex * fx + ey * fy) <= kSquare * lengthE * lengthF;
    return own;
}

Shown shownValues(const ParentSpace& p, const Own& own) {
    Shown shown;
    shownPoint(p, own.x, own.y, &shown.x, &shown.y);
    const double r = own.rotation / kDegrees;
    double ex = 0, ey = 0;
    mapped(p, std::cos(r), std::sin(r), &ex, &ey);
    shown.scale = own.scaleX * std::hypot(ex, ey);
    const double angle = std::atan2(ey, ex) * kDegrees;
    shown.rotation = angle + 360.0 * std::round((own.rotation - angle) / 360.0);
    return shown;
}

Point2D shownPositionAt(AEGP_SuiteHandler& suites, AEGP_LayerH layer, A_Time compTime,
                        const Point2D& own) {
    ParentSpace parent;
    if (const A_Err err = parentSpaceAt(suites, layer, compTime, &parent)) {
        hostFailures().fellBack("reading the layers' parents", err, 1);
        return own;
    }
    if (!parent.parented) {
        return own;
    }
    double x = 0, y = 0;
    shownPoint(parent, own.x, own.y, &x, &y);
    return Point2D(float(x), float(y), own.z);
}

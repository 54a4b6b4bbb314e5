#include "attributes/Sampling.h"

#include "engine/MyTessaron.h"

float sampledValue(const MyTessaron& e, bool alpha, const Point2D& p, float lo, float hi) {
    const int sample = alpha ? e.getAlphaAtPoint(p.x, p.y) : e.getLuminanceAtPoint(p.x, p.y);
    return MyTessaron::remap(float(sample), 0, 255, lo, hi, true);
}

#include "attributes/Angle.h"

#include <cmath>

float nearestEquivalentAngle(float angle, float reference) {
    const double turns = std::floor((double(reference) - double(angle)) / 360.0 + 0.5);
    return float(double(angle) + 360.0 * turns);
}
